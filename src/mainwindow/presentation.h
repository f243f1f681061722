// What both exports show of a record: the column table, the label tables, the strength units
// with their conversion, the number and date-time texts and the fixed-width helpers.
// Pure functions of their arguments; thread-safe.
#pragma once

#include <array>
#include <string>

#include "base/datetime.h"
#include "base/field_type.h"
#include "base/format_settings.h"
#include "text/string_table.h"

struct TColumn {
  const char* FieldName;
  TS Title;   // for R and S the unit text follows
  int Width;  // characters in the text report
  TFieldType Type;
};

constexpr int ColumnCount = 15;
constexpr int ColR = 5, ColS = 6, ColRpr = 14;
extern const std::array<TColumn, ColumnCount> Columns;

extern const char* const ColumnSeparator;  // " | "

// A column's title in the given language (for R and S without the unit).
std::string ColumnTitle(int column, const TStringTable& tr = Strings());

// Label lookups: the label in the given language, or its "Error" for a code out of range.
std::string MaterialLabel(int code, const TStringTable& tr = Strings());
std::string ArticleLabel(int code, const TStringTable& tr = Strings());
std::string AgeLabel(int code, const TStringTable& tr = Strings());
std::string DirWord(int code, const TStringTable& tr = Strings());
std::string DirArrow(int code);
std::string CondLabel(int code, const TStringTable& tr = Strings());
std::string OtbrakLabel(int code, const TStringTable& tr = Strings());

// Strength units 0..3: MPa, kg/cm², N/mm², PSI. Any other index is treated as MPa.
constexpr int UnitCount = 4;
int NormalizeUnit(int unit);
std::string UnitComboText(int unit, const TStringTable& tr = Strings());   // superscript two
std::string UnitReportText(int unit, const TStringTable& tr = Strings());  // plain digit 2

// The whole number shown for kg/cm² and PSI: integer part of (mpa * factor + 0.5), formed in
// 80-bit extended precision with the extended factor.
long long ConvertedWhole(double mpa, int unit);
// Text report form: "%4.1f" with the locale's decimal separator, or the whole number.
std::string StrengthText(double mpa, int unit, const FormatSettings& fs);
// Spreadsheet form: the MPa value, or the whole number.
double StrengthNumber(double mpa, int unit);
int StrengthDecimals(int unit);

// value with decimals digits after the locale's decimal separator, right-justified to width.
std::string FormatFixed(double value, int width, int decimals, const FormatSettings& fs);
std::string VText(double v, const FormatSettings& fs);    // "%2.1f"
std::string KcText(double kc, const FormatSettings& fs);  // "%1.2f"
// A number text without the spaces that right-justify it in the text report.
std::string Unpadded(std::string text);
// Short date, then a space and the long time unless the time of day is 00:00:00.
std::string DateTimeText(TDateTime value, const FormatSettings& fs);

// nint spaces; empty when nint <= 0.
std::string int2space(int nint);
// txt centred in alllen characters (UTF-16 units), the odd space on the right; empty when
// alllen < 1 or txt is longer than alllen.
std::string text2center(int alllen, const std::string& txt);
