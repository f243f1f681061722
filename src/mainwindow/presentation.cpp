#include "presentation.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/format_datetime.h"
#include "base/utf16.h"

static_assert(std::numeric_limits<long double>::digits == 64,
              "the unit conversion needs 80-bit extended precision (64-bit mantissa)");

const std::array<TColumn, ColumnCount> Columns = {{
    {"N", "N", 4, ftInteger},
    {"DateTime", "Date/Time", 25, ftString},
    {"Material", "Material", 30, ftString},
    {"Article", "Article", 20, ftString},
    {"Dir", "Impact direction", 20, ftString},
    {"R", "R, ", 10, ftFloat},
    {"S", "S, ", 10, ftFloat},
    {"V", "V, %", 5, ftFloat},
    {"Age", "Age", 10, ftString},
    {"Cond", "Conditions harden", 20, ftString},
    {"Otbrak", "Outliers criterion", 20, ftString},
    {"Limit", "Rejection limit, %", 20, ftInteger},
    {"Kc", "Kc", 5, ftFloat},
    {"Q", "Impacts quantity", 16, ftInteger},
    {"Rpr", "Single Values", 25, ftFloat},
}};

const char* const ColumnSeparator = " | ";
const char* const TitlePrefixR = "R, ";
const char* const TitlePrefixS = "S, ";
const char* const ErrorLabel = "Error";

namespace {

template <std::size_t N>
std::string Lookup(const char* const (&table)[N], int code) {
  return (code >= 0 && code < static_cast<int>(N)) ? table[code] : ErrorLabel;
}

const char* const kMaterials[] = {"Basic curve",
                                  "Heave concrete at granite",
                                  "Heave concrete at limestone",
                                  "Heave concrete at gravel",
                                  "Heave concrete at granslag",
                                  "Compo",
                                  "Light concrete at claydit",
                                  "ight concrete at pumice",
                                  "Lime-and-sand brick",
                                  "Ceramic clay brick",
                                  "Users curve 1",
                                  "Users curve 2",
                                  "Users curve 3",
                                  "Users curve 4"};
const char* const kArticles[] = {"Beam",           "Grith rail", "Slab", "Internal panel",
                                 "External panel", "Column",     "Pile", "Block"};
const char* const kAges[] = {"1 day",  "7 days",  "28 days", "100 days",
                             "1 year", "2 years", "3 years", "4 years"};
const char* const kDirWords[] = {"Up", "Up-45", "Horizontally", "Down-45", "Down"};
const char* const kDirArrows[] = {"\u2191", "\u2197", "\u2192", "\u2198", "\u2193"};
const char* const kConds[] = {"Normal", "Steaming"};
const char* const kOtbraks[] = {"M1", "M2", "M3"};
const char* const kUnitCombo[] = {"MPa", "kg/cm\u00B2", "N/mm\u00B2", "PSI"};
const char* const kUnitReport[] = {"MPa", "kg/cm2", "N/mm2", "PSI"};

}  // namespace

std::string MaterialLabel(int code) {
  return Lookup(kMaterials, code);
}
std::string ArticleLabel(int code) {
  return Lookup(kArticles, code);
}
std::string AgeLabel(int code) {
  return Lookup(kAges, code);
}
std::string DirWord(int code) {
  return Lookup(kDirWords, code);
}
std::string DirArrow(int code) {
  return Lookup(kDirArrows, code);
}
std::string CondLabel(int code) {
  return Lookup(kConds, code);
}
std::string OtbrakLabel(int code) {
  return Lookup(kOtbraks, code);
}

int NormalizeUnit(int unit) {
  return (unit >= 0 && unit < UnitCount) ? unit : 0;
}
std::string UnitComboText(int unit) {
  return kUnitCombo[NormalizeUnit(unit)];
}
std::string UnitReportText(int unit) {
  return kUnitReport[NormalizeUnit(unit)];
}

long long ConvertedWhole(double mpa, int unit) {
  const long double factor = NormalizeUnit(unit) == 1 ? 10.19L : 145.04L;
  return static_cast<long long>(static_cast<long double>(mpa) * factor + 0.5L);
}

int StrengthDecimals(int unit) {
  const int u = NormalizeUnit(unit);
  return (u == 1 || u == 3) ? 0 : 1;
}

std::string StrengthText(double mpa, int unit, const FormatSettings& fs) {
  if (StrengthDecimals(unit) == 1) return FormatFixed(mpa, 4, 1, fs);
  return std::to_string(ConvertedWhole(mpa, unit));
}

double StrengthNumber(double mpa, int unit) {
  if (StrengthDecimals(unit) == 1) return mpa;
  return static_cast<double>(ConvertedWhole(mpa, unit));
}

std::string FormatFixed(double value, int width, int decimals, const FormatSettings& fs) {
  // to_chars ignores the C library's locale: the separator comes from fs alone.
  char buf[400];
  const auto r = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed, decimals);
  std::string out(buf, r.ptr);
  for (char& c : out)
    if (c == '.') c = fs.DecimalSeparator;
  if (static_cast<int>(out.size()) < width) out.insert(0, width - out.size(), ' ');
  return out;
}

std::string VText(double v, const FormatSettings& fs) {
  return FormatFixed(v, 2, 1, fs);
}
std::string KcText(double kc, const FormatSettings& fs) {
  return FormatFixed(kc, 1, 2, fs);
}

std::string DateTimeText(TDateTime value, const FormatSettings& fs) {
  std::string out = FormatDateTime(fs.ShortDateFormat, value, fs);
  const TDateParts p = DecodeDateTime(value);
  if (p.Hour != 0 || p.Minute != 0 || p.Second != 0)
    out += ' ' + FormatDateTime(fs.LongTimeFormat, value, fs);
  return out;
}

std::string int2space(int nint) {
  return nint > 0 ? std::string(nint, ' ') : std::string();
}

std::string text2center(int alllen, const std::string& txt) {
  const auto len = static_cast<long long>(Utf16Length(txt));
  if (alllen < 1 || len > alllen) return {};
  const int pad = alllen - static_cast<int>(len);
  return int2space(pad / 2) + txt + int2space(pad - pad / 2);
}
