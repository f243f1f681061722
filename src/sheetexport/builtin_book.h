// The built-in workbook's data: sheets of compactly stored cells (16 bytes each, sparse rows),
// shared text and style tables, merges, column widths, row outline, filter, page setup, charts.
// Not thread-safe.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "sheetexport/sheet_app.h"

namespace builtin {

constexpr TColor kAutomatic = 0xFFFFFFFFu;  // no colour of its own
constexpr int kNoLine = -4142;

struct TEdge {
  std::int16_t LineStyle = kNoLine;
  std::int16_t Weight = 2;  // thin, the application's own default
  TColor Color = kAutomatic;
  bool operator==(const TEdge&) const = default;
};

enum TEdgeIndex { edLeft, edTop, edBottom, edRight };

struct TCellStyle {
  std::uint32_t FontName = 0;  // text pool index; 0: the default font
  float FontSize = 11;
  TColor FontColor = kAutomatic;
  bool Bold = false, Italic = false, Underline = false, Wrap = false;
  TColor Fill = kAutomatic;
  TEdge Edges[4];
  std::uint32_t NumberFormat = 0;  // text pool index; 0: General
  std::int16_t HAlign = 1;         // the application's alignment codes
  std::int16_t Orientation = 0;
  bool operator==(const TCellStyle&) const = default;
};

struct TStyleHash {
  std::size_t operator()(const TCellStyle& s) const;
};

// Texts stored once; index 0 is the empty text.
class TTextPool {
 public:
  TTextPool();
  std::uint32_t Intern(std::string_view text);
  const std::string& At(std::uint32_t index) const { return *texts_[index]; }

 private:
  std::vector<std::unique_ptr<std::string>> texts_;
  std::unordered_map<std::string_view, std::uint32_t> index_;
};

class TStyleTable {
 public:
  TStyleTable();
  std::uint32_t Intern(const TCellStyle& style);
  const TCellStyle& At(std::uint32_t index) const { return styles_[index]; }
  std::size_t Size() const { return styles_.size(); }

 private:
  std::vector<TCellStyle> styles_;
  std::unordered_map<TCellStyle, std::uint32_t, TStyleHash> index_;
};

enum class TCellKind : std::uint8_t { Blank, Number, Text, Boolean, Formula };

struct TCell {
  std::uint32_t Style = 0;
  std::uint16_t Column = 0;  // from 0
  TCellKind Kind = TCellKind::Blank;
  union {
    double Number;
    std::uint32_t Text;  // pool index of the text or the formula
    bool Boolean;
  };
  TCell() : Number(0) {}
};
static_assert(sizeof(TCell) == 16);

struct TRow {
  std::vector<TCell> Cells;  // by column
  std::uint8_t Level = 0;
  bool Hidden = false;
  bool Collapsed = false;
};

struct TArea {
  int Row1, Column1, Row2, Column2;  // from 0, inclusive
};

class TBook;
class TSheet;

// A chart series: its cells by sheet and area, and the chart type when it differs from the chart's.
struct TChartSeries {
  std::string Name;
  const TSheet* ValuesSheet = nullptr;  // none: no values yet
  TArea Values{};
  const TSheet* CategoriesSheet = nullptr;
  TArea Categories{};
  int Type = 0;  // 0: the chart's
  int AxisGroup = 1;
};

// A chart placed on a sheet at points from its top-left corner.
struct TChart {
  double Left = 0, Top = 0, Width = 0, Height = 0;
  int Type = 51;  // clustered columns, the application's default
  bool HasTitle = false;
  std::string Title;
  bool HasLegend = true;
  std::vector<TChartSeries> Series;
};

// How a sheet prints. Zoom 0 lets FitWide and FitTall decide (0 there: as many as needed).
struct TPageSetup {
  bool PrintGridlines = false;
  std::string CenterHeader;
  bool Landscape = false;
  int Zoom = 100;
  int FitWide = 1, FitTall = 1;
  int TitleRow1 = -1, TitleRow2 = -1;  // rows repeated on every page, from 0; -1: none
};

class TSheet {
 public:
  explicit TSheet(TBook& book, std::string name) : Book(book), Name(std::move(name)) {}

  TBook& Book;
  std::string Name;
  std::vector<TRow> Rows;
  std::vector<TArea> Merges;
  std::unordered_map<int, double> ColumnWidths;  // characters, by column from 0
  bool SummaryBelow = true;
  bool SummaryRight = true;
  bool HasFilter = false;
  TArea Filter{};
  TPageSetup Page;
  std::vector<TChart> Charts;

  // The cell, created blank when missing.
  TCell& At(int row, int column);
  // Nullptr when the cell does not exist.
  const TCell* Find(int row, int column) const;
  void SetValue(int row, int column, const TVariant& value);
  TVariant Value(int row, int column) const;
  // Rows and columns that hold a cell; false for an empty sheet.
  bool Used(TArea& area) const;
  // A column's width in characters (the default where none was set) and pixels, as the
  // application shows it at 96 dpi in its default font.
  double ColumnWidth(int column) const;
  static int ColumnPixels(double characters);
};

class TBook {
 public:
  std::vector<std::unique_ptr<TSheet>> Sheets;
  int Active = 0;  // index into Sheets
  TTextPool Texts;
  TStyleTable Styles;
  bool Dirty = false;  // changed since created or last saved whole
};

}  // namespace builtin
