#include "port_check.h"

#include <filesystem>

#include "base/utf8_path.h"
#include "platform/port_fault.h"

namespace {

const char* const kTextFolder = "\"%s\" is a folder, not a serial port.";
const char* const kTextFile = "\"%s\" is a file, not a serial port.";
const char* const kTextMissing = "There is no port \"%s\".";
const char* const kTextNotSerial = "\"%s\" is not a serial port.";

std::string Say(const char* text, const std::string& path) {
  std::string s = text;
  s.replace(s.find("%s"), 2, path);
  return s;
}

}  // namespace

std::optional<std::string> NotASerialPort(const std::string& path, TSerialApi& api) {
  std::error_code ec;
  const auto status = std::filesystem::status(Utf8Path(path), ec);
  if (std::filesystem::is_directory(status)) return Say(kTextFolder, path);
  if (std::filesystem::is_regular_file(status)) return Say(kTextFile, path);
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
  if (fault == TPortFault::Missing) return Say(kTextMissing, path);
  if (fault == TPortFault::NotSerial) return Say(kTextNotSerial, path);
  return std::nullopt;
}
