// Number formats of the built-in workbook: the user's local notation turned into the file's
// invariant codes, and the text a value shows under a format (for CSV files and AutoFit).
#pragma once

#include <string>

#include "base/format_settings.h"

namespace builtin {

// Whether the format shows dates or times (d, m, y, h, s codes outside quoted text).
bool IsDateFormat(const std::string& format);

// The local separators of a number format swapped for "." and ","; date formats, whose
// separators are literal, stay as they are.
std::string InvariantNumberFormat(const std::string& local, const FormatSettings& settings);

// The text a number shows under an invariant format ("General" or empty: up to 15 digits).
std::string FormatNumber(double value, const std::string& format);

}  // namespace builtin
