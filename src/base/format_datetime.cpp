#include "format_datetime.h"

#include <cctype>

namespace {

bool StartsWithNoCase(std::string_view s, std::size_t pos, std::string_view word) {
  if (s.size() - pos < word.size()) return false;
  for (std::size_t i = 0; i < word.size(); ++i)
    if (std::tolower(static_cast<unsigned char>(s[pos + i])) != word[i]) return false;
  return true;
}

void AppendNumber(std::string& out, int value, int digits) {
  std::string t = std::to_string(value);
  if (static_cast<int>(t.size()) < digits) out.append(digits - t.size(), '0');
  out += t;
}

}  // namespace

std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& fs) {
  const TDateParts p = DecodeDateTime(value);
  bool twelve = false;
  for (std::size_t i = 0; i < format.size(); ++i)
    if (StartsWithNoCase(format, i, "am/pm")) twelve = true;
  int hour = p.Hour;
  if (twelve) hour = (hour % 12 == 0) ? 12 : hour % 12;

  std::string out;
  std::size_t i = 0;
  while (i < format.size()) {
    const char c = format[i];
    if (c == '\'' || c == '"') {
      const std::size_t end = format.find(c, i + 1);
      const std::size_t stop = end == std::string_view::npos ? format.size() : end;
      out.append(format.substr(i + 1, stop - i - 1));
      i = stop == format.size() ? stop : stop + 1;
    } else if (StartsWithNoCase(format, i, "am/pm")) {
      out += p.Hour < 12 ? "am" : "pm";
      i += 5;
    } else if (StartsWithNoCase(format, i, "yyyy")) {
      AppendNumber(out, p.Year, 4);
      i += 4;
    } else if (StartsWithNoCase(format, i, "yy")) {
      AppendNumber(out, p.Year % 100, 2);
      i += 2;
    } else if (c == '/') {
      out += fs.DateSeparator;
      ++i;
    } else if (c == ':') {
      out += fs.TimeSeparator;
      ++i;
    } else {
      const int lower = std::tolower(static_cast<unsigned char>(c));
      int field = -1;
      switch (lower) {
        case 'd':
          field = p.Day;
          break;
        case 'm':
          field = p.Month;
          break;
        case 'h':
          field = hour;
          break;
        case 'n':
          field = p.Minute;
          break;
        case 's':
          field = p.Second;
          break;
        default:
          break;
      }
      if (field < 0) {
        out += c;
        ++i;
        continue;
      }
      const bool two =
          i + 1 < format.size() && std::tolower(static_cast<unsigned char>(format[i + 1])) == lower;
      AppendNumber(out, field, two ? 2 : 1);
      i += two ? 2 : 1;
    }
  }
  return out;
}
