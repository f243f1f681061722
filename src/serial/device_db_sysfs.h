// The serial ports of a Linux machine as the device list sees them: every tty of sysfs with a
// real device behind it, plus the virtual ports announced by programs of this user. Thread-safe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#include "serial/srwin32di.h"

class TsrSysfsDeviceDatabase : public TsrDeviceDatabase {
 public:
  // sysRoot and devRoot stand for /sys and /dev; virtualPorts for VirtualPortsFolder().
  TsrSysfsDeviceDatabase(std::filesystem::path sysRoot, std::filesystem::path devRoot,
                         std::filesystem::path virtualPorts);

  std::vector<TsrPortMapEntry> PortMap() override;
  // Every record is of a present device: sysfs knows nothing of unplugged ones.
  std::vector<TsrDevice> EnumerationRecords(bool presentOnly) override;

 private:
  struct Port {
    std::string Name;  // what the number is remembered by: the path that opens the port
    std::string Kernel;
    TsrDevice Record;
  };
  std::vector<Port> Scan();
  std::int32_t NumberOf(const std::string& name);

  std::filesystem::path sysRoot_, devRoot_, virtualPorts_;
  std::mutex mutex_;
  std::map<std::string, std::int32_t> numbers_;
  std::int32_t next_ = 4097;
};
