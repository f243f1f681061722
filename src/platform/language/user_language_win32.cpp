#include <windows.h>

#include <string>

#include "platform/language/user_language.h"
#include "platform/language/utf16_win32.h"

std::vector<std::string> UserLanguagePreferences() {
  ULONG count = 0, size = 0;
  std::vector<std::string> list;
  if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, nullptr, &size) && size > 0) {
    std::wstring names(size, L'\0');
    if (GetUserPreferredUILanguages(MUI_LANGUAGE_NAME, &count, names.data(), &size)) {
      // A list of names, each ended by NUL, the whole ended by a second NUL.
      for (const wchar_t* p = names.c_str(); *p; p += wcslen(p) + 1) list.push_back(Narrow(p));
    }
  }
  if (list.empty()) {
    wchar_t name[LOCALE_NAME_MAX_LENGTH] = {};
    if (LCIDToLocaleName(MAKELCID(GetUserDefaultUILanguage(), SORT_DEFAULT), name,
                         LOCALE_NAME_MAX_LENGTH, 0) > 0) {
      list.push_back(Narrow(name));
    }
  }
  return list;
}
