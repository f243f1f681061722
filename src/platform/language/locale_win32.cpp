// FormatSettings from GetLocaleInfoEx: separators, currency, and the short date and time
// pictures translated into the program's date-time codes.
#include <windows.h>

#include <cctype>
#include <string>

#include "platform/language/locale_settings.h"
#include "platform/language/locale_win32.h"
#include "platform/language/utf16_win32.h"

namespace {

std::wstring Info(const wchar_t* locale, LCTYPE type) {
  wchar_t buf[128];
  const int n = GetLocaleInfoEx(locale, type, buf, 128);
  return n > 1 ? std::wstring(buf, static_cast<std::size_t>(n - 1)) : std::wstring();
}

int InfoNumber(const wchar_t* locale, LCTYPE type, int fallback) {
  DWORD value = 0;
  if (GetLocaleInfoEx(locale, type | LOCALE_RETURN_NUMBER, reinterpret_cast<wchar_t*>(&value),
                      sizeof value / sizeof(wchar_t)) == 0)
    return fallback;
  return static_cast<int>(value);
}

// A one-character separator; what a char cannot hold keeps the default (a no-break space as
// thousands separator becomes a plain one).
void TakeSeparator(const std::wstring& s, char& out, bool spaceForOthers) {
  if (s.size() != 1) return;
  if (s[0] < 0x80)
    out = static_cast<char>(s[0]);
  else if (spaceForOthers && (s[0] == 0x00A0 || s[0] == 0x202F))
    out = ' ';
}

// Translates a Windows date or time picture into the program's codes. The first one-character
// separator between fields becomes *separator and is written as sepCode; other literal text is
// quoted. Names of days and months and the era have no code of ours and are left out.
std::string TranslatePicture(const std::wstring& f, char sepCode, char* separator, bool* haveSep) {
  std::string out;
  std::wstring literal;
  auto flush = [&] {
    if (literal.empty()) return;
    const wchar_t c = literal[0];
    if (literal.size() == 1 && c == L' ') {
      out += ' ';
    } else if (literal.size() == 1 && c < 0x80 && std::ispunct(static_cast<int>(c)) && c != L'\'' &&
               c != L'"' && (!*haveSep || static_cast<char>(c) == *separator)) {
      *separator = static_cast<char>(c);
      *haveSep = true;
      out += sepCode;
    } else {
      out += '"' + Narrow(literal) + '"';
    }
    literal.clear();
  };
  for (std::size_t i = 0; i < f.size();) {
    const wchar_t c = f[i];
    if (c == L'\'') {  // quoted literal; '' is a quote
      std::size_t j = i + 1;
      if (j < f.size() && f[j] == L'\'') {
        literal += L'\'';
        i = j + 1;
        continue;
      }
      for (; j < f.size(); ++j) {
        if (f[j] != L'\'') {
          literal += f[j];
        } else if (j + 1 < f.size() && f[j + 1] == L'\'') {
          literal += L'\'';
          ++j;
        } else {
          break;
        }
      }
      i = j + 1;
      continue;
    }
    std::size_t run = 1;
    while (i + run < f.size() && f[i + run] == c) ++run;
    const char* code = nullptr;
    bool known = true;
    switch (c) {
      case L'd':
        code = run == 1 ? "d" : run == 2 ? "dd" : nullptr;
        break;
      case L'M':
        code = run == 1 ? "m" : run == 2 ? "mm" : nullptr;
        break;
      case L'y':
        code = run <= 2 ? "yy" : "yyyy";
        break;
      case L'h':
      case L'H':
        code = run == 1 ? "h" : "hh";
        break;
      case L'm':
        code = run == 1 ? "n" : "nn";
        break;
      case L's':
        code = run == 1 ? "s" : "ss";
        break;
      case L't':
        code = "am/pm";
        break;
      case L'g':
        break;
      default:
        known = false;
        break;
    }
    if (!known) {
      literal.append(run, c);
    } else if (code) {
      flush();
      out += code;
    }
    i += run;
  }
  flush();
  return out;
}

FormatSettings Load(const wchar_t* locale) {
  FormatSettings fs;
  TakeSeparator(Info(locale, LOCALE_SDECIMAL), fs.DecimalSeparator, false);
  TakeSeparator(Info(locale, LOCALE_STHOUSAND), fs.ThousandSeparator, true);
  if (const std::wstring c = Info(locale, LOCALE_SCURRENCY); !c.empty())
    fs.CurrencyString = Narrow(c);
  fs.CurrencyFormat = InfoNumber(locale, LOCALE_ICURRENCY, fs.CurrencyFormat);
  fs.CurrencyDecimals = InfoNumber(locale, LOCALE_ICURRDIGITS, fs.CurrencyDecimals);
  bool dateSep = false, timeSep = false;
  if (const std::wstring d = Info(locale, LOCALE_SSHORTDATE); !d.empty())
    fs.ShortDateFormat = TranslatePicture(d, '/', &fs.DateSeparator, &dateSep);
  if (const std::wstring t = Info(locale, LOCALE_STIMEFORMAT); !t.empty())
    fs.LongTimeFormat = TranslatePicture(t, ':', &fs.TimeSeparator, &timeSep);
  if (const std::wstring t = Info(locale, LOCALE_SSHORTTIME); !t.empty()) {
    fs.ShortTimeFormat = TranslatePicture(t, ':', &fs.TimeSeparator, &timeSep);
  } else {
    std::string shorter = fs.LongTimeFormat;
    if (const auto pos = shorter.find(":ss"); pos != std::string::npos) shorter.erase(pos, 3);
    fs.ShortTimeFormat = shorter;
  }
  return fs;
}

}  // namespace

FormatSettings LoadSystemFormatSettings() {
  return Load(LOCALE_NAME_USER_DEFAULT);
}

std::string TranslateLocalePicture(const std::string& picture, char sepCode, char& separator) {
  bool haveSep = false;
  return TranslatePicture(Widen(picture), sepCode, &separator, &haveSep);
}

FormatSettings LoadLocaleFormatSettings(const std::string& localeName) {
  const std::wstring name = Widen(localeName);
  return Load(name.c_str());
}
