// The user's number, date and currency formats as one plain value: read once at start (see
// platform/language/locale_settings.h) and passed to whatever formats text. Tests fill the record
// themselves.
#pragma once

#include <string>

struct FormatSettings {
  char DecimalSeparator = '.';
  char ThousandSeparator = ',';
  char DateSeparator = '/';
  char TimeSeparator = ':';
  // Format strings in the program's date-time codes: d dd m mm yy yyyy h hh n nn s ss am/pm,
  // where "/" and ":" stand for the separators above.
  std::string ShortDateFormat = "dd/mm/yyyy";
  std::string LongTimeFormat = "hh:nn:ss";
  std::string ShortTimeFormat = "hh:nn";
  std::string CurrencyString = "$";
  int CurrencyFormat = 0;  // 0 "$1", 1 "1$", 2 "$ 1", 3 "1 $"
  int CurrencyDecimals = 2;
};
