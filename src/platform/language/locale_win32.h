// The format settings of a named Windows locale ("de-DE"); LoadSystemFormatSettings reads the
// user's. Windows files only.
#pragma once

#include <string>

#include "platform/language/locale_settings.h"

FormatSettings LoadLocaleFormatSettings(const std::string& localeName);

// A Windows date or time picture ("dd.MM.yyyy", "h:mm:ss tt") in the program's codes; the first
// one-character separator between fields goes to separator and is written as sepCode.
std::string TranslateLocalePicture(const std::string& picture, char sepCode, char& separator);
