#include "port_check.h"

#include <filesystem>

#include "base/utf8_path.h"
#include "platform/serial/port_fault.h"
#include "text/string_table.h"

std::optional<std::string> NotASerialPort(const std::string& path, TSerialApi& api) {
  std::error_code ec;
  const auto status = std::filesystem::status(Utf8Path(path), ec);
  if (std::filesystem::is_directory(status)) return Str(TS::PortIsFolder, {path});
  if (std::filesystem::is_regular_file(status)) return Str(TS::PortIsFile, {path});
  // Opened the way the serial component opens it, and let go at once.
  const THandle h = api.CreateFileW("\\\\?\\" + path);
  TPortFault fault = TPortFault::None;
  if (h == INVALID_HANDLE_VALUE) {
    fault = PortFaultOf(api.GetLastError());
  } else {
    DCB dcb;
    if (!api.GetCommState(h, dcb)) fault = TPortFault::NotSerial;
    api.CloseHandle(h);
  }
  if (fault == TPortFault::Missing) return Str(TS::NoSuchPort, {path});
  if (fault == TPortFault::NotSerial) return Str(TS::NotASerialPort, {path});
  return std::nullopt;
}
