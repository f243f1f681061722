// The spreadsheet application as the export engine drives it: one class per automation object
// level, one member per automation call, so that an automation binding maps call for call.
// Objects are references (shared_ptr) as automation objects are; releasing the last one lets go.
// Not thread-safe: every object is used on the thread that created the application.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/variant.h"

// A colour laid out 0x00BBGGRR; system colours carry 0xFF in the top byte.
using TColor = std::uint32_t;

// An operation of the application failed; carries the application's message.
class ESheetAppError : public Exception {
 public:
  using Exception::Exception;
};

// A rows x columns block of values, row-major, as Value2 takes a two-dimensional array.
struct TVariantBlock {
  const TVariant* Data = nullptr;
  int Rows = 0;
  int Columns = 0;
  const TVariant& At(int row, int column) const { return Data[row * Columns + column]; }
};

class TSheetFont {
 public:
  virtual ~TSheetFont() = default;
  virtual void SetName(const std::string& name) = 0;
  virtual void SetSize(double points) = 0;
  virtual void SetColor(TColor color) = 0;
  virtual void SetBold(bool bold) = 0;
  virtual void SetItalic(bool italic) = 0;
  virtual void SetUnderline(bool underline) = 0;
};

class TSheetInterior {
 public:
  virtual ~TSheetInterior() = default;
  virtual void SetColor(TColor color) = 0;
};

// One edge of a range: 7 left, 8 top, 9 bottom, 10 right.
class TSheetBorder {
 public:
  virtual ~TSheetBorder() = default;
  virtual void SetLineStyle(int lineStyle) = 0;
  virtual void SetWeight(int weight) = 0;
  virtual void SetColor(TColor color) = 0;
};

class TSheetRange {
 public:
  virtual ~TSheetRange() = default;
  virtual void SetValue2(const TVariant& value) = 0;
  // The block's top-left part fills the range; cells of the range outside the block get
  // nothing, cells of the block outside the range are ignored.
  virtual void SetValue2(const TVariantBlock& block) = 0;
  // The value of the range's first cell.
  virtual TVariant Value2() = 0;
  virtual void SetNumberFormat(const std::string& format) = 0;
  virtual void SetMergeCells(bool merge) = 0;
  virtual void SetColumnWidth(double characters) = 0;
  virtual std::shared_ptr<TSheetRange> EntireColumn() = 0;
  virtual void AutoFit() = 0;
  virtual std::shared_ptr<TSheetFont> Font() = 0;
  virtual std::shared_ptr<TSheetInterior> Interior() = 0;
  virtual std::shared_ptr<TSheetBorder> Borders(int edge) = 0;
  virtual void SetOrientation(int degrees) = 0;
  virtual void SetWrapText(bool wrap) = 0;
  virtual void SetHorizontalAlignment(int alignment) = 0;
  virtual void ClearContents() = 0;
  virtual std::shared_ptr<TSheetRange> Rows() = 0;
  // Rows.Group with every argument empty.
  virtual void Group() = 0;
  virtual int Row() = 0;
  virtual std::shared_ptr<TSheetRange> Offset(int rows, int columns) = 0;
  // AutoFilter(field, criteria1 omitted, op, criteria2 omitted, visibleDropDown).
  virtual void AutoFilter(int field, int op, bool visibleDropDown) = 0;
  // Distance of the range's top-left corner from the sheet's, in points.
  virtual double Left() = 0;
  virtual double Top() = 0;
};

class TSheetOutline {
 public:
  virtual ~TSheetOutline() = default;
  virtual void SetSummaryRow(int summaryRow) = 0;        // 0 above, 1 below
  virtual void SetSummaryColumn(int summaryColumn) = 0;  // -4152 right, -4131 left
  virtual void ShowLevels(int rowLevels) = 0;
};

class TSheetPageSetup {
 public:
  virtual ~TSheetPageSetup() = default;
  virtual void SetPrintGridlines(bool print) = 0;
  virtual void SetCenterHeader(const std::string& text) = 0;
  virtual void SetOrientation(int orientation) = 0;  // 1 portrait, 2 landscape
  // 0 puts Zoom to False: the fit-to-pages counts decide the scale.
  virtual void SetZoom(int percent) = 0;
  virtual void SetFitToPagesWide(int pages) = 0;
  // 0 puts FitToPagesTall to False: as many pages as the rows take.
  virtual void SetFitToPagesTall(int pages) = 0;
  // Rows repeated at the top of every page, as "$6:$6".
  virtual void SetPrintTitleRows(const std::string& rows) = 0;
};

class TSheetChartTitle {
 public:
  virtual ~TSheetChartTitle() = default;
  virtual void SetText(const std::string& text) = 0;
};

// One data series of a chart; its ranges may lie on any sheet of the workbook.
class TSheetSeries {
 public:
  virtual ~TSheetSeries() = default;
  virtual void SetName(const std::string& name) = 0;
  virtual void SetValues(TSheetRange& values) = 0;
  virtual void SetXValues(TSheetRange& categories) = 0;
  virtual void SetChartType(int chartType) = 0;  // 51 clustered columns, 4 line
  virtual void SetAxisGroup(int axisGroup) = 0;  // 1 primary, 2 secondary
};

class TSheetSeriesCollection {
 public:
  virtual ~TSheetSeriesCollection() = default;
  virtual std::shared_ptr<TSheetSeries> Item(int index) = 0;  // from 1
  virtual std::shared_ptr<TSheetSeries> NewSeries() = 0;
};

class TSheetChart {
 public:
  virtual ~TSheetChart() = default;
  virtual void SetChartType(int chartType) = 0;
  // SetSourceData(source, plotBy omitted): a column with a text at its top is a named series.
  virtual void SetSourceData(TSheetRange& source) = 0;
  virtual void SetHasTitle(bool has) = 0;
  virtual std::shared_ptr<TSheetChartTitle> ChartTitle() = 0;
  virtual void SetHasLegend(bool has) = 0;
  virtual std::shared_ptr<TSheetSeriesCollection> SeriesCollection() = 0;
};

class TSheetChartObject {
 public:
  virtual ~TSheetChartObject() = default;
  virtual std::shared_ptr<TSheetChart> Chart() = 0;
};

class TSheetChartObjects {
 public:
  virtual ~TSheetChartObjects() = default;
  // A new empty chart at that place and size, in points.
  virtual std::shared_ptr<TSheetChartObject> Add(double left, double top, double width,
                                                 double height) = 0;
};

class TSheetWorksheet {
 public:
  virtual ~TSheetWorksheet() = default;
  virtual std::string Name() = 0;
  virtual void SetName(const std::string& name) = 0;
  // Cells in A1 style: "A6", "O6".
  virtual std::shared_ptr<TSheetRange> Range(const std::string& first, const std::string& last) = 0;
  virtual std::shared_ptr<TSheetRange> UsedRange() = 0;
  virtual std::shared_ptr<TSheetOutline> Outline() = 0;
  virtual std::shared_ptr<TSheetPageSetup> PageSetup() = 0;
  virtual std::shared_ptr<TSheetChartObjects> ChartObjects() = 0;
  virtual void Activate() = 0;
  virtual void PrintPreview() = 0;
  virtual void SaveAs(const std::string& path) = 0;
  virtual void SaveAs(const std::string& path, int fileFormat) = 0;
};

class TSheetWorksheets {
 public:
  virtual ~TSheetWorksheets() = default;
  virtual int Count() = 0;
  virtual std::shared_ptr<TSheetWorksheet> Item(int index) = 0;  // from 1
  // Add(before, after omitted; count 1; type -4167).
  virtual std::shared_ptr<TSheetWorksheet> Add() = 0;
  // Add(before omitted, after; count 1; type -4167): the new sheet follows that one.
  virtual std::shared_ptr<TSheetWorksheet> AddAfter(TSheetWorksheet& after) = 0;
};

class TSheetWorkbook {
 public:
  virtual ~TSheetWorkbook() = default;
  virtual std::shared_ptr<TSheetWorksheets> Worksheets() = 0;
  virtual std::shared_ptr<TSheetWorksheet> ActiveSheet() = 0;
};

class TSheetWorkbooks {
 public:
  virtual ~TSheetWorkbooks() = default;
  virtual int Count() = 0;
  virtual std::shared_ptr<TSheetWorkbook> Add(int templateCode) = 0;  // -4167: one sheet
  virtual std::shared_ptr<TSheetWorkbook> Open(const std::string& path) = 0;
};

class TSheetApplication {
 public:
  virtual ~TSheetApplication() = default;
  virtual void SetDisplayAlerts(bool on) = 0;
  virtual void SetScreenUpdating(bool on) = 0;
  virtual void SetVisible(bool on) = 0;
  virtual void Quit() = 0;
  // Codes 17..24: date separator, time separator, year, month, day, hour, minute, second codes.
  virtual std::string International(int code) = 0;
  virtual std::shared_ptr<TSheetWorkbooks> Workbooks() = 0;
  // Empty when no workbook is open.
  virtual std::shared_ptr<TSheetWorkbook> ActiveWorkbook() = 0;
};

// What lies outside automation: starting or attaching to an instance, its top-level windows
// and the installation keys of the current user's registry.
class TSheetSystem {
 public:
  using TWindow = std::uintptr_t;  // 0: none

  virtual ~TSheetSystem() = default;
  // Both raise ESheetAppError when no application can be started.
  virtual std::shared_ptr<TSheetApplication> StartNewInstance() = 0;
  virtual std::shared_ptr<TSheetApplication> AttachOrStartInstance() = 0;
  virtual TWindow FindTopLevelWindow(const std::string& className) = 0;
  // Sends WM_CLOSE and waits for the answer.
  virtual void SendCloseAndWait(TWindow window) = 0;
  virtual bool CurrentUserKeyExists(const std::string& key) = 0;
  // The version a registered automation class points to ("Excel.Application" gives
  // "Excel.Application.16"); empty when the class is not registered or names none.
  virtual std::string ClassCurrentVersion(const std::string& progId) = 0;
};
