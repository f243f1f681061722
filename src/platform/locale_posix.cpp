#include <langinfo.h>

#include <cctype>
#include <climits>
#include <clocale>
#include <cstring>
#include <mutex>
#include <string>

#include "platform/locale_settings.h"
#include "platform/system_locale_posix.h"

void UseEnvironmentLocale() {
  static std::once_flag once;
  std::call_once(once, [] { std::setlocale(LC_ALL, ""); });
}

namespace {

// Translates a strftime format into the program's codes. The first one-character separator
// met between fields becomes *separator and is written as sep_code; other literal text is quoted.
std::string TranslateStrftime(const char* f, char sep_code, char* separator, bool* have_sep) {
  std::string out;
  std::string literal;
  auto flush = [&] {
    if (literal.empty()) return;
    const unsigned char c = static_cast<unsigned char>(literal[0]);
    if (literal.size() == 1 && c == ' ') {
      out += ' ';
    } else if (literal.size() == 1 && std::ispunct(c) && c != '\'' && c != '"' &&
               (!*have_sep || literal[0] == *separator)) {
      *separator = literal[0];
      *have_sep = true;
      out += sep_code;
    } else {
      out += '"' + literal + '"';
    }
    literal.clear();
  };
  for (const char* p = f; *p; ++p) {
    if (*p != '%' || p[1] == '\0') {
      literal += *p;
      continue;
    }
    ++p;
    while (*p == 'E' || *p == 'O' || *p == '-' || *p == '_' || *p == '0' || *p == '^') ++p;
    const char* code = nullptr;
    const char* nested = nullptr;
    switch (*p) {
      case 'd':
        code = "dd";
        break;
      case 'e':
        code = "d";
        break;
      case 'm':
        code = "mm";
        break;
      case 'y':
        code = "yy";
        break;
      case 'Y':
        code = "yyyy";
        break;
      case 'H':
        code = "hh";
        break;
      case 'k':
        code = "h";
        break;
      case 'I':
        code = "hh";
        break;
      case 'l':
        code = "h";
        break;
      case 'M':
        code = "nn";
        break;
      case 'S':
        code = "ss";
        break;
      case 'p':
      case 'P':
        code = "am/pm";
        break;
      case 'D':
        nested = "%m/%d/%y";
        break;
      case 'F':
        nested = "%Y-%m-%d";
        break;
      case 'T':
        nested = "%H:%M:%S";
        break;
      case 'R':
        nested = "%H:%M";
        break;
      case 'r':
        nested = "%I:%M:%S %p";
        break;
      case '%':
        literal += '%';
        continue;
      case 'n':
      case 't':
        literal += ' ';
        continue;
      case '\0':
        --p;
        continue;
      default:
        continue;  // names of days and months have no code of ours: left out
    }
    flush();
    out += nested ? TranslateStrftime(nested, sep_code, separator, have_sep) : code;
  }
  flush();
  return out;
}

}  // namespace

FormatSettings LoadSystemFormatSettings() {
  UseEnvironmentLocale();
  FormatSettings fs;
  const lconv* lc = std::localeconv();
  if (lc->decimal_point && lc->decimal_point[0]) fs.DecimalSeparator = lc->decimal_point[0];
  if (lc->thousands_sep && lc->thousands_sep[0]) fs.ThousandSeparator = lc->thousands_sep[0];
  if (lc->currency_symbol && lc->currency_symbol[0]) fs.CurrencyString = lc->currency_symbol;
  if (lc->frac_digits != CHAR_MAX) fs.CurrencyDecimals = lc->frac_digits;
  if (lc->p_cs_precedes != CHAR_MAX && lc->p_sep_by_space != CHAR_MAX) {
    const bool before = lc->p_cs_precedes != 0;
    const bool space = lc->p_sep_by_space != 0;
    fs.CurrencyFormat = before ? (space ? 2 : 0) : (space ? 3 : 1);
  }
  bool date_sep = false, time_sep = false;
  if (const char* d = nl_langinfo(D_FMT); d && *d)
    fs.ShortDateFormat = TranslateStrftime(d, '/', &fs.DateSeparator, &date_sep);
  if (const char* t = nl_langinfo(T_FMT); t && *t) {
    fs.LongTimeFormat = TranslateStrftime(t, ':', &fs.TimeSeparator, &time_sep);
    std::string shorter = fs.LongTimeFormat;
    if (const auto pos = shorter.find(":ss"); pos != std::string::npos) shorter.erase(pos, 3);
    fs.ShortTimeFormat = shorter;
  }
  return fs;
}
