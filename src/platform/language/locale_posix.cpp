#include <langinfo.h>

#include <cctype>
#include <climits>
#include <cstring>
#include <string>

#include "platform/language/locale_settings.h"
#include "platform/language/system_locale_posix.h"

TEnvironmentLocale::TEnvironmentLocale() : locale_(newlocale(LC_ALL_MASK, "", locale_t{})) {
  if (!locale_) locale_ = newlocale(LC_ALL_MASK, "C", locale_t{});
}

TEnvironmentLocale::~TEnvironmentLocale() {
  if (locale_) freelocale(locale_);
}

namespace {

// A separator the record can hold: ASCII as it is, a no-break space (U+00A0 or the narrow
// U+202F that Russian uses) as a plain space; anything else keeps the default.
void TakeSeparator(const char* s, char& out) {
  if (!s || !*s) return;
  const std::string sep = s;
  if (sep.size() == 1 && static_cast<unsigned char>(sep[0]) < 0x80)
    out = sep[0];
  else if (sep == "\xC2\xA0" || sep == "\xE2\x80\xAF")
    out = ' ';
}

// A one-byte monetary item of the locale; CHAR_MAX where the locale leaves it open.
int MonetaryByte(nl_item item, locale_t l) {
  const char* v = nl_langinfo_l(item, l);
  return v ? static_cast<unsigned char>(*v) : CHAR_MAX;
}

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
  const TEnvironmentLocale environment;
  const locale_t l = environment.Get();
  FormatSettings fs;
  TakeSeparator(nl_langinfo_l(RADIXCHAR, l), fs.DecimalSeparator);
  TakeSeparator(nl_langinfo_l(THOUSEP, l), fs.ThousandSeparator);
  if (fs.ThousandSeparator == fs.DecimalSeparator) fs.ThousandSeparator = ' ';
  if (const char* c = nl_langinfo_l(CURRENCY_SYMBOL, l); c && *c) fs.CurrencyString = c;
  if (const int digits = MonetaryByte(FRAC_DIGITS, l); digits != CHAR_MAX)
    fs.CurrencyDecimals = digits;
  const int precedes = MonetaryByte(P_CS_PRECEDES, l);
  const int space = MonetaryByte(P_SEP_BY_SPACE, l);
  if (precedes != CHAR_MAX && space != CHAR_MAX)
    fs.CurrencyFormat = precedes ? (space ? 2 : 0) : (space ? 3 : 1);
  bool date_sep = false, time_sep = false;
  if (const char* d = nl_langinfo_l(D_FMT, l); d && *d)
    fs.ShortDateFormat = TranslateStrftime(d, '/', &fs.DateSeparator, &date_sep);
  if (const char* t = nl_langinfo_l(T_FMT, l); t && *t) {
    fs.LongTimeFormat = TranslateStrftime(t, ':', &fs.TimeSeparator, &time_sep);
    std::string shorter = fs.LongTimeFormat;
    if (const auto pos = shorter.find(":ss"); pos != std::string::npos) shorter.erase(pos, 3);
    fs.ShortTimeFormat = shorter;
  }
  return fs;
}
