// The format settings of a named Windows locale ("de-DE"); LoadSystemFormatSettings reads the
// user's. Windows files only.
#pragma once

#include <string>

#include "platform/locale_settings.h"

FormatSettings LoadLocaleFormatSettings(const std::string& localeName);
