#include "sheetexport/builtin_format.h"

#include <cctype>
#include <charconv>
#include <cmath>
#include <cstdio>

#include "base/datetime.h"

namespace builtin {
namespace {

char Lower(char c) {
  return static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
}

// Calls f(index) for every character outside quotes, escapes and [brackets] of the first
// section of the format.
template <class F>
void ForCodes(const std::string& format, F f) {
  bool quoted = false, bracket = false;
  for (std::size_t i = 0; i < format.size(); ++i) {
    const char c = format[i];
    if (quoted) {
      quoted = c != '"';
    } else if (bracket) {
      bracket = c != ']';
    } else if (c == '"') {
      quoted = true;
    } else if (c == '[') {
      bracket = true;
    } else if (c == '\\' || c == '_' || c == '*') {
      ++i;
    } else if (c == ';') {
      return;
    } else {
      f(i);
    }
  }
}

// Numbers as the C library's "%.15g" and "%.*f" write them in the C locale, whatever locale
// the process has: charconv knows none.
std::string GeneralText(double v) {
  char buf[40];
  return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::general, 15).ptr};
}

std::string FixedText(double v, int decimals) {
  char buf[400];
  return {buf, std::to_chars(buf, buf + sizeof buf, v, std::chars_format::fixed, decimals).ptr};
}

std::string Grouped(const std::string& digits) {
  std::string out;
  const std::size_t n = digits.size();
  for (std::size_t i = 0; i < n; ++i) {
    if (i > 0 && (n - i) % 3 == 0) out += ',';
    out += digits[i];
  }
  return out;
}

// Literal text of a stretch of the format: quotes and escapes removed.
std::string Literal(const std::string& s) {
  std::string out;
  bool quoted = false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    const char c = s[i];
    if (c == '"') {
      quoted = !quoted;
    } else if (!quoted && (c == '\\' || c == '_' || c == '*') && i + 1 < s.size()) {
      out += c == '\\' ? s[++i] : (++i, ' ');
    } else {
      out += c;
    }
  }
  return out;
}

std::string NumberText(double value, const std::string& format) {
  std::size_t first = std::string::npos, last = 0;
  int decimals = 0;
  bool grouping = false, point = false, percent = false;
  ForCodes(format, [&](std::size_t i) {
    const char c = format[i];
    if (c == '0' || c == '#' || c == '?') {
      if (first == std::string::npos) first = i;
      last = i;
      if (point) ++decimals;
    } else if (c == '.' && first != std::string::npos) {
      point = true;
      last = i;
    } else if (c == ',' && first != std::string::npos && !point) {
      grouping = true;
    } else if (c == '%') {
      percent = true;
    }
  });
  if (first == std::string::npos) return Literal(format);
  const std::size_t section = format.find(';');
  const std::string prefix = Literal(format.substr(0, first));
  const std::string suffix = Literal(format.substr(
      last + 1, section == std::string::npos ? std::string::npos : section - last - 1));
  if (percent) value *= 100;
  // Halves round away from zero, on the value's 15 significant digits, as spreadsheets show.
  const double scale = std::pow(10.0, decimals);
  double shown = std::fabs(value);
  if (decimals <= 15 && shown * scale < 1e15) {
    const std::string text = GeneralText(shown * scale);
    std::from_chars(text.data(), text.data() + text.size(), shown);
    shown = std::round(shown) / scale;
  }
  std::string digits = FixedText(shown, decimals);
  const std::size_t dot = digits.find('.');
  std::string whole = digits.substr(0, dot);
  const std::string fraction = dot == std::string::npos ? "" : digits.substr(dot);
  if (grouping) whole = Grouped(whole);
  const bool negative = value < 0 && digits.find_first_not_of("0.") != std::string::npos;
  return (negative ? "-" : "") + prefix + whole + fraction + suffix;
}

const char* const kMonths[] = {"January",   "February", "March",    "April",
                               "May",       "June",     "July",     "August",
                               "September", "October",  "November", "December"};
const char* const kDays[] = {"Sunday",   "Monday", "Tuesday", "Wednesday",
                             "Thursday", "Friday", "Saturday"};

std::string Two(int v) {
  char b[8];
  std::snprintf(b, sizeof b, "%02d", v);
  return b;
}

std::string DateText(double value, const std::string& format) {
  const TDateParts p = DecodeDateTime(TDateTime{value});
  const bool ampm = [&] {
    bool found = false;
    ForCodes(format, [&](std::size_t i) {
      if (Lower(format[i]) == 'a' && i + 1 < format.size() && Lower(format[i + 1]) == 'm')
        found = true;
    });
    return found;
  }();
  std::string out;
  bool afterHour = false;
  std::size_t i = 0;
  const std::size_t end = format.find(';');
  const std::size_t n = end == std::string::npos ? format.size() : end;
  while (i < n) {
    const char c = format[i];
    const char l = Lower(c);
    std::size_t run = 1;
    while (i + run < n && Lower(format[i + run]) == l) ++run;
    if (c == '"') {
      const std::size_t close = format.find('"', i + 1);
      const std::size_t stop = close == std::string::npos ? n : close;
      out += format.substr(i + 1, stop - i - 1);
      i = stop + 1;
      continue;
    }
    if (c == '\\' && i + 1 < n) {
      out += format[i + 1];
      i += 2;
      continue;
    }
    if (c == '[') {
      const std::size_t close = format.find(']', i);
      i = close == std::string::npos ? n : close + 1;
      continue;
    }
    if ((l == 'a') && format.compare(i, 5, "AM/PM") == 0) {
      out += p.Hour < 12 ? "AM" : "PM";
      i += 5;
      continue;
    }
    bool minuteNext = false;
    if (l == 'm') {
      // m after an hour or before a second code is the minute.
      std::size_t j = i + run;
      while (j < n && !std::isalpha(static_cast<unsigned char>(format[j]))) ++j;
      minuteNext = j < n && Lower(format[j]) == 's';
    }
    switch (l) {
      case 'y':
        out += run <= 2 ? Two(p.Year % 100) : std::to_string(p.Year);
        break;
      case 'd':
        if (run == 1)
          out += std::to_string(p.Day);
        else if (run == 2)
          out += Two(p.Day);
        else {
          const int dow = (static_cast<long>(std::floor(value)) % 7 + 6) % 7;
          out += run == 3 ? std::string(kDays[dow], 3) : kDays[dow];
        }
        break;
      case 'h': {
        int h = p.Hour;
        if (ampm) h = h % 12 == 0 ? 12 : h % 12;
        out += run == 1 ? std::to_string(h) : Two(h);
        afterHour = true;
        break;
      }
      case 'm':
        if (afterHour || minuteNext) {
          out += run == 1 ? std::to_string(p.Minute) : Two(p.Minute);
          afterHour = false;
        } else if (run == 1)
          out += std::to_string(p.Month);
        else if (run == 2)
          out += Two(p.Month);
        else
          out += run == 3 ? std::string(kMonths[p.Month - 1], 3) : kMonths[p.Month - 1];
        break;
      case 's':
        out += run == 1 ? std::to_string(p.Second) : Two(p.Second);
        break;
      default:
        out.append(run, c);
        break;
    }
    i += run;
  }
  return out;
}

}  // namespace

bool IsDateFormat(const std::string& format) {
  bool date = false;
  ForCodes(format, [&](std::size_t i) {
    const char l = Lower(format[i]);
    if (l == 'd' || l == 'm' || l == 'y' || l == 'h' || l == 's') date = true;
  });
  return date;
}

std::string InvariantNumberFormat(const std::string& local, const FormatSettings& settings) {
  if (IsDateFormat(local) || local == "@") return local;
  // Separators count only beside digit placeholders; elsewhere they are literal text, as
  // the space before a currency symbol is.
  const auto digit = [&](std::size_t i) {
    return i < local.size() && (local[i] == '0' || local[i] == '#' || local[i] == '?');
  };
  std::string out = local;
  bool quoted = false;
  for (std::size_t i = 0; i < out.size(); ++i) {
    const char c = local[i];
    if (c == '"') quoted = !quoted;
    if (quoted) continue;
    const bool before = i > 0 && digit(i - 1);
    if (c == settings.DecimalSeparator && (before || digit(i + 1)))
      out[i] = '.';
    else if (c == settings.ThousandSeparator && before && digit(i + 1))
      out[i] = ',';
  }
  return out;
}

std::string FormatNumber(double value, const std::string& format) {
  if (format.empty() || format == "General" || format == "@") return GeneralText(value);
  if (IsDateFormat(format)) return DateText(value, format);
  return NumberText(value, format);
}

}  // namespace builtin
