// Formats a date-time value with the program's date-time codes (see FormatSettings): d dd m mm
// yy yyyy h hh n nn s ss am/pm, "/" and ":" for the locale's separators, text in single or
// double quotes copied as it stands; letters are not case-sensitive. Thread-safe.
#pragma once

#include <string>
#include <string_view>

#include "base/datetime.h"
#include "base/format_settings.h"

std::string FormatDateTime(std::string_view format, TDateTime value, const FormatSettings& fs);
