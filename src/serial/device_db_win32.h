// The Windows device database of the port list: the registry's port map
// (HKLM\HARDWARE\DEVICEMAP\SERIALCOMM) and the Plug and Play records of SetupAPI and the
// configuration manager, both libraries bound by name at run time. The rules below are plain
// text handling, shared with the tests on every system; the database itself is Windows only.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "serial/srwin32di.h"

// One value of the port map: its data is the port name (upper-cased and trimmed here), its name
// the kernel name of the device object. A port that is no COMn, whose rest is no integer, or
// that the map already holds is skipped; the others go in by AddByPortNumber. Returns whether
// the value was added.
bool AddSerialCommValue(std::vector<TsrPortMapEntry>& map, std::string_view valueName,
                        std::string_view data);

// A function's wide-character name: the last character replaced by "W".
std::string WideName(std::string_view name);

enum class TKeyRoot { None, LocalMachine, CurrentUser };
struct TKeyPath {
  TKeyRoot Root = TKeyRoot::None;
  std::string Path;
};
// A kernel registry path (\REGISTRY\MACHINE\..., \REGISTRY\USER\<sid>\...) as root and path.
TKeyPath SplitKernelKeyPath(std::string_view kernelName);

// A list of zero-terminated strings of the given length (the final zero included) joined with
// the separator.
template <typename Char>
std::basic_string<Char> JoinMultiSz(const Char* buffer, std::size_t length,
                                    std::basic_string_view<Char> separator) {
  std::basic_string<Char> out;
  for (std::size_t i = 0; i + 1 < length; ++i) {
    if (buffer[i] != Char(0))
      out += buffer[i];
    else if (i + 2 == length)
      break;
    else
      out += separator;
  }
  return out;
}

// "{4D36E978-E325-11CE-BFC1-08002BE10318}" of a GUID's fields.
std::string GuidText(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                     const std::uint8_t (&data4)[8]);

class TsrWin32DeviceDatabase : public TsrDeviceDatabase {
 public:
  std::vector<TsrPortMapEntry> PortMap() override;
  std::vector<TsrDevice> EnumerationRecords(bool presentOnly) override;
  // Binds the device-database functions (once; a failed binding is tried again next time).
  static bool LoadSetupApi();
};
