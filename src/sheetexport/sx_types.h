// Value types of the export engine: enumerations, the cell font with its alignment, the border
// style of a kind of row, the group options and the engine's exceptions.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>

#include "base/exceptions.h"
#include "sheetexport/sheet_app.h"
#include "text/string_table.h"

enum TTypeLibrary { tlExcel97, tlExcel2000, tlExcelXP, tlExcel2010 };
enum TDataPipe { dpDataSet, dpCustom };
enum TConnectTo { ctNewExcel, ctNewWorkbook, ctNewWorksheet };
enum TFileFormat { ffDefault, ffXLSX, ffXLS, ffHTM, ffCSV, ffXL97, ffXML };
enum TStyleColumnWidth {
  cwDefault,
  cwOwnerWidth,
  cwAutoFit,
  cwFieldDisplayWidth,
  cwFieldDataSize,
  cwEnhAutoFit
};
enum TBorderWeight { bwHairline, bwMedium, bwThick, bwThin };
enum TBorderLineStyle {
  blContinuous,
  blDash,
  blDashDot,
  blDashDotDot,
  blDot,
  blDouble,
  blSlantDashDot,
  blLine,
  blNone
};
enum TSummarySelection { ssNone, ssValues, ssGiven };
enum TSummaryCalculation { scSUM, scMIN, scMAX, scAVG, scCOUNT };
enum THAlignment { haGeneral, haLeft, haRight, haCenter };
enum TBorderRange { bsCell, bsRow };
enum TRowType { rtHeader, rtFooter, rtTitles, rtData, rtGroup, rtSummary };
enum TPropertyGroup { pgFont, pgPositions, pgSummary, pgGroup, pgText, pgOther };

// A set of TPropertyGroup members.
using TPropertyGroups = unsigned;
constexpr TPropertyGroups PropertyGroup(TPropertyGroup g) {
  return 1u << g;
}
constexpr TPropertyGroups AllPropertyGroups = 0x3F;

// Font style set.
using TFontStyles = unsigned;
constexpr TFontStyles fsBold = 1, fsItalic = 2, fsUnderline = 4, fsStrikeOut = 8;

constexpr TColor clWindowText = 0xFF000008;
constexpr TColor clBlack = 0x000000;
constexpr TColor clWhite = 0xFFFFFF;
constexpr int DEFAULT_CHARSET = 1;

struct RecExcelRestrictions {
  std::int32_t MaxNumberOfRows = 0;
  std::int32_t MaxNumberOfColumns = 0;
  std::int32_t MaxStringLength = 0;
};

// A cell font: the base attributes plus alignment, wrapping and rotation.
class TxlFont {
 public:
  std::string Name;
  int Size = -1;  // points; 0 or less keeps the application's size
  TColor Color = clWindowText;
  TFontStyles Style = 0;
  int Charset = DEFAULT_CHARSET;
  THAlignment Alignment = haGeneral;
  bool WrapText = false;
  std::int32_t Orientation = 0;

  // A pixel height at 96 dots per inch, as forms store fonts.
  void SetHeight(int height) { Size = static_cast<int>(std::round(-height * 72.0 / 96.0)); }
  // Copies the base attributes only.
  void Assign(const TxlFont& source) {
    Name = source.Name;
    Size = source.Size;
    Color = source.Color;
    Style = source.Style;
    Charset = source.Charset;
  }
};

class TCellBorder {
 public:
  TColor BackColor = clWhite;
  TColor BackAlternateColor = 0;
  TColor BorderColor = 0;
  TBorderWeight Weight = bwMedium;
  TBorderLineStyle LineStyle = blNone;
};

class TGroupOptions {
 public:
  bool ClearContents = true;
  TBorderRange BorderRange = bsRow;
  std::int32_t IntervalFontSize = 2;
};

class EFileNotExists : public Exception {
 public:
  explicit EFileNotExists(const std::string& file) : Exception(Str(TS::FileDoesNotExist, {file})) {}
};
class ENoDatasetConnected : public Exception {
 public:
  ENoDatasetConnected() : Exception(Str(TS::NoDatasetConnected)) {}
};
class EDatasetNotActive : public Exception {
 public:
  EDatasetNotActive() : Exception(Str(TS::DatasetNotActive)) {}
};
class ENoActiveWorkbook : public Exception {
 public:
  ENoActiveWorkbook() : Exception(Str(TS::NoActiveWorkbook)) {}
};
class ENotSupported : public Exception {
 public:
  ENotSupported() : Exception(Str(TS::NotSupportedInVersion)) {}
};
class EMaxColumnsReached : public Exception {
 public:
  explicit EMaxColumnsReached(int max)
      : Exception(Str(TS::MaxColumnsReached, {std::to_string(max)})) {}
};
class EMaxRowsReached : public Exception {
 public:
  explicit EMaxRowsReached(int max) : Exception(Str(TS::MaxRowsReached, {std::to_string(max)})) {}
};
