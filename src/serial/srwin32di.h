// The machine's serial ports as the serial component lists them: one TsrDevice per port, kept in
// ascending order of port number, loaded from a device database (the port map plus the Plug and
// Play records). Built and read on one thread (the owner's); nothing here is locked.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

class TsrBaseIO;

enum TsrEnumPorts { epQuickAll, epFullInfo, epFullPresent };

struct TsrDevice {
  int fIndex = 0;
  TsrBaseIO* fParent = nullptr;
  std::uint32_t Handle = 0;
  std::uint32_t DevInst = 0;
  std::int32_t Data = 0;  // the port number: n of COMn; 4097, 4098, ... for other names
  std::int32_t DataEx = 0;
  std::string NameFriendly, NamePDO, NameDeviceDos, NameSymbolic, RegKey, Description, Service,
      Driver, InstanceId, BusRelations, PortName, Manufacturer, SerialNumber, GuidClass;

  int Index() const { return fIndex; }
  TsrBaseIO* Parent() const { return fParent; }
};

// One entry of the system's port map: the port's name (COMn, or a device path) and the kernel
// name of its device object, with its number.
struct TsrPortMapEntry {
  std::string Port;
  std::string Value;
  std::int32_t Number = 0;
};

// Where the list comes from. One implementation per operating system; tests supply their own.
class TsrDeviceDatabase {
 public:
  virtual ~TsrDeviceDatabase() = default;
  // The port map, in ascending order of number.
  virtual std::vector<TsrPortMapEntry> PortMap() = 0;
  // The enumeration records of every serial-capable device (present ones only when asked).
  virtual std::vector<TsrDevice> EnumerationRecords(bool presentOnly) = 0;
};

// The device list of a component (its slDevices): owns its entries; every entry's fIndex equals
// its position.
class TsrDeviceList {
 public:
  int Count() const { return static_cast<int>(items_.size()); }
  // Entry i, or nullptr when i is outside the list.
  TsrDevice* Item(int i) const;
  // The display string the entry was added with (its NameFriendly at that time).
  const std::string& String(int i) const { return items_.at(static_cast<std::size_t>(i)).first; }
  int IndexOfDevice(const TsrDevice* device) const;
  int IndexOfPortNo(std::int32_t n) const;
  int DeviceAdd(std::unique_ptr<TsrDevice> device, TsrBaseIO* parent);
  // Keeps ascending Data; returns the position, or -1 when an entry with that Data exists.
  int DeviceInsert(std::unique_ptr<TsrDevice> device, TsrBaseIO* parent);
  void Clear() { items_.clear(); }

 private:
  std::vector<std::pair<std::string, std::unique_ptr<TsrDevice>>> items_;
};

// Fills the (empty) list from the database in the given mode. Present only (epFullPresent): the
// map's ports that a present device record names, and no COM port that is missing from the map.
void DeviceListLoad(TsrDeviceList& list, TsrEnumPorts mode, TsrDeviceDatabase& db,
                    TsrBaseIO* parent);

// The operating system's database (on Linux: sysfs, /dev and the announced virtual ports).
std::shared_ptr<TsrDeviceDatabase> SystemDeviceDatabase();
