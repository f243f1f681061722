#include "presentation.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "base/format_datetime.h"
#include "base/utf16.h"

static_assert(std::numeric_limits<long double>::digits == 64,
              "the unit conversion needs 80-bit extended precision (64-bit mantissa)");

const std::array<TColumn, ColumnCount> Columns = {{
    {"N", TS::TitleN, 4, ftInteger},
    {"DateTime", TS::TitleDateTime, 25, ftString},
    {"Material", TS::TitleMaterial, 30, ftString},
    {"Article", TS::TitleArticle, 20, ftString},
    {"Dir", TS::TitleDir, 20, ftString},
    {"R", TS::TitleR, 10, ftFloat},
    {"S", TS::TitleS, 10, ftFloat},
    {"V", TS::TitleV, 5, ftFloat},
    {"Age", TS::TitleAge, 10, ftString},
    {"Cond", TS::TitleCond, 20, ftString},
    {"Otbrak", TS::TitleOtbrak, 20, ftString},
    {"Limit", TS::TitleLimit, 20, ftInteger},
    {"Kc", TS::TitleKc, 5, ftFloat},
    {"Q", TS::TitleQ, 16, ftInteger},
    {"Rpr", TS::TitleRpr, 25, ftFloat},
}};

const char* const ColumnSeparator = " | ";

namespace {

template <std::size_t N>
std::string Lookup(const TS (&table)[N], int code, const TStringTable& tr) {
  return (code >= 0 && code < static_cast<int>(N)) ? tr.Text(table[code]) : tr.Text(TS::ErrorLabel);
}

const TS kMaterials[] = {TS::MaterialBasic,     TS::MaterialGranite,  TS::MaterialLimestone,
                         TS::MaterialGravel,    TS::MaterialGranslag, TS::MaterialCompo,
                         TS::MaterialClaydit,   TS::MaterialPumice,   TS::MaterialSandBrick,
                         TS::MaterialClayBrick, TS::MaterialUser1,    TS::MaterialUser2,
                         TS::MaterialUser3,     TS::MaterialUser4};
const TS kArticles[] = {TS::ArticleBeam,          TS::ArticleGrithRail,     TS::ArticleSlab,
                        TS::ArticleInternalPanel, TS::ArticleExternalPanel, TS::ArticleColumn,
                        TS::ArticlePile,          TS::ArticleBlock};
const TS kAges[] = {TS::Age1Day,  TS::Age7Days,  TS::Age28Days, TS::Age100Days,
                    TS::Age1Year, TS::Age2Years, TS::Age3Years, TS::Age4Years};
const TS kDirWords[] = {TS::DirUp, TS::DirUp45, TS::DirHorizontally, TS::DirDown45, TS::DirDown};
const TS kConds[] = {TS::CondNormal, TS::CondSteaming};
const TS kOtbraks[] = {TS::OtbrakM1, TS::OtbrakM2, TS::OtbrakM3};
const TS kUnitCombo[] = {TS::UnitMPa, TS::UnitKgCm2, TS::UnitNmm2, TS::UnitPSI};
const TS kUnitReport[] = {TS::UnitMPa, TS::UnitKgCm2Plain, TS::UnitNmm2Plain, TS::UnitPSI};
const char* const kDirArrows[] = {"\u2191", "\u2197", "\u2192", "\u2198", "\u2193"};

}  // namespace

std::string MaterialLabel(int code, const TStringTable& tr) {
  return Lookup(kMaterials, code, tr);
}
std::string ArticleLabel(int code, const TStringTable& tr) {
  return Lookup(kArticles, code, tr);
}
std::string AgeLabel(int code, const TStringTable& tr) {
  return Lookup(kAges, code, tr);
}
std::string DirWord(int code, const TStringTable& tr) {
  return Lookup(kDirWords, code, tr);
}
std::string DirArrow(int code) {
  return (code >= 0 && code < static_cast<int>(std::size(kDirArrows))) ? kDirArrows[code]
                                                                       : Str(TS::ErrorLabel);
}
std::string CondLabel(int code, const TStringTable& tr) {
  return Lookup(kConds, code, tr);
}
std::string OtbrakLabel(int code, const TStringTable& tr) {
  return Lookup(kOtbraks, code, tr);
}

int NormalizeUnit(int unit) {
  return (unit >= 0 && unit < UnitCount) ? unit : 0;
}
std::string UnitComboText(int unit, const TStringTable& tr) {
  return tr.Text(kUnitCombo[NormalizeUnit(unit)]);
}
std::string UnitReportText(int unit, const TStringTable& tr) {
  return tr.Text(kUnitReport[NormalizeUnit(unit)]);
}
std::string ColumnTitle(int column, const TStringTable& tr) {
  return tr.Text(Columns[static_cast<std::size_t>(column)].Title);
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

std::string Unpadded(std::string text) {
  text.erase(0, text.find_first_not_of(' '));
  return text;
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
