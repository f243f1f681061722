#include <cctype>
#include <charconv>
#include <cstdio>

#include "serial/device_db_win32.h"
#include "serial/srportmap.h"

namespace {

bool StartsWithNoCase(std::string_view s, std::string_view prefix) {
  return s.size() >= prefix.size() && SameTextAscii(s.substr(0, prefix.size()), prefix);
}

}  // namespace

bool AddSerialCommValue(std::vector<TsrPortMapEntry>& map, std::string_view valueName,
                        std::string_view data) {
  std::string port = TrimPortName(data.substr(0, data.find('\0')));
  for (char& c : port) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  if (port.rfind("COM", 0) != 0) return false;
  for (const auto& e : map)
    if (e.Port == port) return false;
  std::int32_t n = 0;
  const char* end = port.data() + port.size();
  const auto [p, ec] = std::from_chars(port.data() + 3, end, n);
  if (ec != std::errc() || p != end) return false;
  return AddByPortNumber(map, {port, std::string(valueName), n});
}

std::string WideName(std::string_view name) {
  std::string w(name);
  if (!w.empty()) w.back() = 'W';
  return w;
}

TKeyPath SplitKernelKeyPath(std::string_view kernelName) {
  // \REGISTRY is nine characters; the hive's name follows it.
  const std::string_view hive = kernelName.size() > 9 ? kernelName.substr(9) : std::string_view();
  if (StartsWithNoCase(hive, "\\MACHINE\\"))
    return {TKeyRoot::LocalMachine, std::string(kernelName.substr(18))};
  if (StartsWithNoCase(hive, "\\USER\\")) {
    std::string_view rest = kernelName.substr(15);
    const auto slash = rest.find('\\');
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash + 1);
    return {TKeyRoot::CurrentUser, std::string(rest)};
  }
  return {TKeyRoot::None, std::string(kernelName)};
}

std::string GuidText(std::uint32_t data1, std::uint16_t data2, std::uint16_t data3,
                     const std::uint8_t (&data4)[8]) {
  char buf[40];
  std::snprintf(buf, sizeof buf, "{%08X-%04X-%04X-%02X%02X-%02X%02X%02X%02X%02X%02X}",
                static_cast<unsigned>(data1), data2, data3, data4[0], data4[1], data4[2], data4[3],
                data4[4], data4[5], data4[6], data4[7]);
  return buf;
}
