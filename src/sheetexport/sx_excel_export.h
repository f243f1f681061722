// TsxExcelExport: writes a table of records, pulled through a data pipe (a data set or the
// host's events), into a worksheet of the spreadsheet application, with header, titles, data
// blocks, number formats, groups, summary, footer, fonts, fills, borders and column widths.
// Used on the thread that created it; the host's main thread runs every operation.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "base/field_type.h"
#include "base/format_settings.h"
#include "base/variant.h"
#include "sheetexport/sheet_app.h"
#include "sheetexport/sx_dataset.h"
#include "sheetexport/sx_types.h"

enum TOperation { opInsert, opRemove };

class TsxExcelExport {
 public:
  using TStrings = std::vector<std::string>;

  // The system starts or finds the application; the settings are the user's locale.
  TsxExcelExport(std::shared_ptr<TSheetSystem> system, const FormatSettings& settings);
  virtual ~TsxExcelExport();
  TsxExcelExport(const TsxExcelExport&) = delete;
  TsxExcelExport& operator=(const TsxExcelExport&) = delete;

  // Events of the custom pipe (and the record counter of both pipes).
  std::function<void(TsxExcelExport& Sender, int IntRecordNumber)> OnExportRecords;
  std::function<void(TsxExcelExport& Sender, const TsxField& Field, TColor& ColorBackground)>
      OnGetCellBackgroundColorEvent;
  std::function<void(TsxExcelExport& Sender, const TsxField& Field, TColor& ColorBackground,
                     TxlFont& FontCell)>
      OnGetCellStyleEvent;
  std::function<void(TsxExcelExport& Sender, int& IntFieldCount)> OnGetFieldCount;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, std::string& StrFieldName)>
      OnGetFieldName;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, std::string& StrFieldDisplayName)>
      OnGetFieldDisplayName;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, int& IntFieldDisplayWidth)>
      OnGetFieldDisplayWidth;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, int& IntFieldDataSize)>
      OnGetFieldDataSize;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, int& IntFieldDecSize)>
      OnGetFieldDecSize;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, TFieldType& FieldDataType)>
      OnGetFieldDataType;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, bool& BlnFieldVisible)>
      OnGetFieldVisible;
  std::function<void(TsxExcelExport& Sender, bool& BlnEOF)> OnGetEOF;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, TVariant& VarValue)>
      OnGetFieldValue;
  std::function<void(TsxExcelExport& Sender)> OnGotoFirstRecord;
  std::function<void(TsxExcelExport& Sender)> OnGotoNextRecord;
  std::function<void(TsxExcelExport& Sender, int IntFieldIndex, TColor& ColorBackground,
                     TxlFont& FontCell)>
      OnGetFieldCellStyleEvent;

  // Host toolkit services: the busy cursor (true shows it, false restores the previous one)
  // and processing the pending window messages between records.
  std::function<void(bool busy)> HostBusyCursor;
  std::function<void()> HostProcessMessages;

  // Automation objects: the application, the current workbook and worksheet.
  std::shared_ptr<TSheetApplication> ExcelApplication;
  std::shared_ptr<TSheetWorkbook> ExcelWorkbook;
  std::shared_ptr<TSheetWorksheet> ExcelWorkSheet;

  // Published properties.
  bool ExcelVisible() const { return FBlnExcelVisible; }
  void SetExcelVisible(bool v) { FBlnExcelVisible = v; }
  TConnectTo ConnectTo() const { return FConnectTo; }
  void SetConnectTo(TConnectTo v) { FConnectTo = v; }
  TDataPipe DataPipe() const { return FDataPipe; }
  void SetDataPipe(TDataPipe v) { FDataPipe = v; }
  const std::string& Filename() const { return FStrFilename; }
  void SetFilename(const std::string& v) { FStrFilename = v; }
  const std::string& WorksheetName() const { return FStrWorksheetName; }
  void SetWorksheetName(const std::string& name);
  TsxDataSet* Dataset() const { return FDataset; }
  void SetDataset(TsxDataSet* v) { FDataset = v; }
  TStyleColumnWidth StyleColumnWidth() const { return FStyleColumnWidth; }
  void SetStyleColumnWidth(TStyleColumnWidth v) { FStyleColumnWidth = v; }
  std::int32_t ColumnWidth() const { return FIntColumnWidth; }
  void SetColumnWidth(std::int32_t v) { FIntColumnWidth = v; }
  bool VisibleFieldsOnly() const { return FBlnVisibleFieldsOnly; }
  void SetVisibleFieldsOnly(bool v) { FBlnVisibleFieldsOnly = v; }

  TxlFont& FontHeader() { return FFontHeader; }
  void SetFontHeader(const TxlFont& f) { FFontHeader.Assign(f); }
  const TStrings& HeaderText() const { return FHeaderText; }
  void SetHeaderText(const TStrings& lines);
  void SetHeaderText();  // applies the header rule only
  TCellBorder& BorderHeader() { return FBorderHeader; }
  bool MergeHeaderCells() const { return FBlnMergeHeaderCells; }
  void SetMergeHeaderCells(bool v) { FBlnMergeHeaderCells = v; }
  bool ShowTitles() const { return FBlnShowTitles; }
  void SetShowTitles(bool v);
  TxlFont& FontTitles() { return FFontTitles; }
  void SetFontTitles(const TxlFont& f) { FFontTitles.Assign(f); }
  TCellBorder& BorderTitles() { return FBorderTitles; }
  bool AutoFilter() const { return FBlnAutoFilter; }
  void SetAutoFilter(bool v) { FBlnAutoFilter = v; }
  TxlFont& FontData() { return FFontData; }
  void SetFontData(const TxlFont& f) { FFontData.Assign(f); }
  TCellBorder& BorderData() { return FBorderData; }
  TxlFont& FontSummary() { return FFontSummary; }
  void SetFontSummary(const TxlFont& f) { FFontSummary.Assign(f); }
  TCellBorder& BorderSummary() { return FBorderSummary; }
  TSummarySelection SummarySelection() const { return FSummarySelection; }
  void SetSummarySelection(TSummarySelection v) { FSummarySelection = v; }
  const TStrings& SummaryFields() const { return FSummaryFields; }
  void SetSummaryFields(const TStrings& lines);
  TSummaryCalculation SummaryCalculation() const { return FSummaryCalculation; }
  void SetSummaryCalculation(TSummaryCalculation v) { FSummaryCalculation = v; }
  const std::string& SummaryDisplayFormat() const { return FStrSummaryDisplayFormat; }
  void SetSummaryDisplayFormat(const std::string& v) { FStrSummaryDisplayFormat = v; }
  TxlFont& FontFooter() { return FFontFooter; }
  void SetFontFooter(const TxlFont& f) { FFontFooter.Assign(f); }
  const TStrings& FooterText() const { return FFooterText; }
  void SetFooterText(const TStrings& lines) { FFooterText = lines; }
  TCellBorder& BorderFooter() { return FBorderFooter; }
  bool MergeFooterCells() const { return FBlnMergeFooterCells; }
  void SetMergeFooterCells(bool v) { FBlnMergeFooterCells = v; }
  const TStrings& GroupFields() const { return FGroupFields; }
  void SetGroupFields(const TStrings& lines) { FGroupFields = lines; }
  TxlFont& FontGroup() { return FFontGroup; }
  void SetFontGroup(const TxlFont& f) { FFontGroup.Assign(f); }
  TCellBorder& BorderGroup() { return FBorderGroup; }
  TGroupOptions& GroupOptions() { return FGroupOptions; }
  std::int32_t BlockOfRecords() const { return FIntBlockOfRecords; }
  // Below 1 counts as 1: a block holds at least one record.
  void SetBlockOfRecords(std::int32_t v) { FIntBlockOfRecords = v < 1 ? 1 : v; }
  std::int32_t BeginRowHeader() const { return FIntBeginRowHeader; }
  void SetBeginRowHeader(std::int32_t v);
  std::int32_t BeginRowTitles() const { return FIntBeginRowTitles; }
  void SetBeginRowTitles(std::int32_t v);
  std::int32_t BeginRowData() const { return FIntBeginRowData; }
  void SetBeginRowData(std::int32_t v);
  std::int32_t BeginColumnHeader() const { return FIntBeginColumnHeader; }
  void SetBeginColumnHeader(std::int32_t v) { FIntBeginColumnHeader = v < 1 ? 1 : v; }
  std::int32_t BeginColumnData() const { return FIntBeginColumnData; }
  void SetBeginColumnData(std::int32_t v) { FIntBeginColumnData = v < 1 ? 1 : v; }

  // Read-only state.
  bool Connected() const { return FBlnConnected; }
  std::int32_t LCID() const { return fLCID; }
  std::int32_t EndRowData() const { return FIntEndRowData; }
  // Detects the installed version anew (16, 15, 14, 12, 11, 10, 9, 8, or 0 for none): the
  // current user's Office keys, else the version the registered application class names.
  std::int32_t ExcelVersion();
  const RecExcelRestrictions& ExcelRestrictions() const { return FRecExcelRestrictions; }
  TTypeLibrary TypeLibrary() const { return FTypeLibrary; }

  // Session.
  void Connect();
  virtual void Disconnect(bool BlnQuit);
  std::int32_t GetIndexOfWorksheet(const std::string& StrWorksheetName);
  virtual void SaveAs(const std::string& StrFileName, TFileFormat FileFormat);
  virtual void PrintPreview(bool BlnPrintGridLines);
  std::int32_t FindFirstEmptyRow(const std::string& astrColumn, std::int32_t aintStartRow);
  std::int32_t FindFirstEmptyRow(std::int32_t aintColumn, std::int32_t aintStartRow);
  bool IsExcelAppActive();
  void CloseAllExcelApps();

  // Export.
  virtual void ExportDataset();
  std::string GetColumnCharacters(std::int32_t IntNumber) const;
  std::string GetDateTimeFormat(const std::string& StrFormat);
  std::string GetCurrencyFormat(const std::string& StrFormat) const;
  void SetFontAndBorderRange(TRowType RowType, const TxlFont& RangeFont, const TCellBorder& Border,
                             const std::string& StrBeginCell, const std::string& StrEndCell);
  void LoadDefaultProperties(TPropertyGroups PropertyGroups);
  // The data set referenced by Dataset is going away.
  void Notification(const void* AComponent, TOperation Operation);

 private:
  struct ColumnEntry {
    std::string Name;
    int FieldIndex;
  };
  struct CellStyle {
    TColor Background = 0;
    TColor FontColor = 0;
    std::string FontName;
    int FontSize = 0;
    bool Bold = false;
  };
  class BusyScope;
  class ControlsPause;

  std::string LocalizeNumberFormat(const std::string& text) const;
  std::string Cell(int column, int row) const {
    return GetColumnCharacters(column) + std::to_string(row);
  }
  int LastDataColumn() const;
  std::shared_ptr<TSheetRange> Range(const std::string& first, const std::string& last);

  // Export steps.
  void BuildColumnsAndTitles();
  void ApplyTitleWidth(int column, const std::string& title, int fieldIndex, int displayWidth);
  void WriteDataBlocks();
  void ProduceRow(int filled, std::vector<TVariant>& block, std::vector<CellStyle>* styles);
  void FlushBlock(int first, int last, int rows, const std::vector<TVariant>& block,
                  const std::vector<CellStyle>* styles);
  void ApplyNumberFormats(int first, int last);
  std::string CustomNumberFormat(int fieldIndex);
  void WriteHeader();
  void WriteFooter();
  void WriteLines(const TStrings& lines, int firstRow, bool merge, TRowType rowType,
                  const TxlFont& font, const TCellBorder& border);
  static void AsText(TSheetRange& range);
  void WriteSummary();
  void ApplyColumnWidths();
  void BuildGroups();
  void ApplyAutoFilter();
  void ApplyCellStyles(int first, int rows, const std::vector<CellStyle>& styles);
  bool HasStyleEvents() const;

  // Pipe access.
  int PipeFieldCount(bool& known);
  bool PipeEof();
  void PipeFirst();
  void PipeNext();
  TFieldType PipeFieldType(int fieldIndex);
  bool StyleEventsOfPipe() const;

  void ApplyHeaderRule();
  void AddWorksheetAsCurrent();
  // Makes the named sheet of the workbook current, or a new one; true when it was found.
  bool UseWorksheetNamed(const std::string& name);

  std::shared_ptr<TSheetSystem> FSystem;
  FormatSettings FSettings;

  bool FBlnExcelVisible = true;
  TConnectTo FConnectTo = ctNewExcel;
  TDataPipe FDataPipe = dpDataSet;
  std::string FStrFilename;
  std::string FStrWorksheetName;
  TsxDataSet* FDataset = nullptr;
  TStyleColumnWidth FStyleColumnWidth = cwDefault;
  std::int32_t FIntColumnWidth = 0;
  bool FBlnVisibleFieldsOnly = true;
  TxlFont FFontHeader, FFontTitles, FFontData, FFontSummary, FFontGroup, FFontFooter;
  TCellBorder FBorderHeader, FBorderTitles, FBorderData, FBorderSummary, FBorderGroup,
      FBorderFooter;
  TStrings FHeaderText, FFooterText, FSummaryFields, FGroupFields;
  TGroupOptions FGroupOptions;
  bool FBlnMergeHeaderCells = true;
  bool FBlnMergeFooterCells = true;
  bool FBlnShowTitles = true;
  bool FBlnAutoFilter = false;
  TSummarySelection FSummarySelection = ssNone;
  TSummaryCalculation FSummaryCalculation = scSUM;
  std::string FStrSummaryDisplayFormat;
  std::int32_t FIntBlockOfRecords = 20;
  std::int32_t FIntBeginRowHeader = 1;
  std::int32_t FIntBeginRowTitles = 1;
  std::int32_t FIntBeginRowData = 2;
  std::int32_t FIntBeginColumnHeader = 1;
  std::int32_t FIntBeginColumnData = 1;

  bool FBlnConnected = false;
  std::int32_t fLCID = 0;
  std::int32_t FIntRecordNo = 0;
  std::int32_t FIntEndRowData = 0;
  std::int32_t FIntBeginFooter = 0;
  std::string FStrBeginColumnDataChar;
  char FDecimalSeparator = '.';
  char FThousandSeparator = ',';
  std::int32_t FIntExcelVersion = 0;
  bool FBlnRowsGrouped = false;  // the last export built a row group
  RecExcelRestrictions FRecExcelRestrictions;
  TTypeLibrary FTypeLibrary = tlExcel2000;
  std::vector<ColumnEntry> FSLFieldNames;
};
