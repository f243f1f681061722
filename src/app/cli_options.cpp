#include "cli_options.h"

#include <algorithm>
#include <cctype>
#include <charconv>

#include "base/exceptions.h"

const char* const kCliUsage =
    "Usage: quarrow2excel-cli [options]\n"
    "Finds a Quarrow tester on the serial ports, reads its archive and writes the exports.\n"
    "  --port PATH          read only from this port (both baud rates) instead of searching\n"
    "  --unit UNIT          MPa, kg/cm2, N/mm2 or PSI (default MPa)\n"
    "  --singles            include the single impact values (default)\n"
    "  --no-singles         leave them out\n"
    "  --text FILE          write the text report to FILE\n"
    "  --xlsx FILE          write the workbook to FILE\n"
    "  --timeout SECONDS    give up when no archive was read by then (default 60)\n"
    "  --help               show this text\n"
    "  --version            show the program's version\n"
    "Exit codes: 0 read and written, 2 bad usage, 3 no archive before the timeout,\n"
    "6 an export could not be written.\n";

namespace {

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

}  // namespace

std::optional<int> ParseUnit(const std::string& text) {
  std::string u = Lower(text);
  for (std::size_t p; (p = u.find("\xC2\xB2")) != std::string::npos;) u.replace(p, 2, "2");
  const char* const names[] = {"mpa", "kg/cm2", "n/mm2", "psi"};
  for (int i = 0; i < 4; ++i)
    if (u == names[i]) return i;
  return std::nullopt;
}

TCliOptions ParseCliOptions(const std::vector<std::string>& args) {
  TCliOptions o;
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw Exception("option " + a + " needs a value");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a == "--version") {
      o.Version = true;
    } else if (a == "--port") {
      o.Port = value();
      if (o.Port.empty()) throw Exception("--port needs a path");
    } else if (a == "--unit") {
      const std::string& v = value();
      const auto unit = ParseUnit(v);
      if (!unit) throw Exception("unknown unit \"" + v + "\" (MPa, kg/cm2, N/mm2 or PSI)");
      o.Unit = *unit;
    } else if (a == "--singles") {
      o.Singles = true;
    } else if (a == "--no-singles") {
      o.Singles = false;
    } else if (a == "--text") {
      o.Text = value();
      if (o.Text.empty()) throw Exception("--text needs a file name");
    } else if (a == "--xlsx") {
      o.Xlsx = value();
      if (o.Xlsx.empty()) throw Exception("--xlsx needs a file name");
    } else if (a == "--timeout") {
      const std::string& v = value();
      unsigned seconds = 0;
      const auto [end, ec] = std::from_chars(v.data(), v.data() + v.size(), seconds);
      if (ec != std::errc() || end != v.data() + v.size() || seconds == 0 || seconds > 86400)
        throw Exception("--timeout needs a number of seconds from 1 to 86400, not \"" + v + "\"");
      o.TimeoutSeconds = seconds;
    } else {
      throw Exception("unknown option \"" + a + "\"");
    }
  }
  return o;
}
