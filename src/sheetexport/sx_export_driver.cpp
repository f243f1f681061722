// The export run: columns and titles, data in blocks, number formats, column letters and the
// translation of formats into the application's local codes.
#include <algorithm>
#include <cctype>
#include <cmath>

#include "base/utf16.h"
#include "sheetexport/sx_excel_export.h"
#include "sheetexport/sx_field_types.h"
#include "sheetexport/sx_scopes.h"

namespace {

// The first `units` UTF-16 code units of the text, never splitting a character.
std::string Utf16Prefix(const std::string& text, std::size_t units) {
  std::size_t n = 0, i = 0;
  while (i < text.size()) {
    const auto b = static_cast<unsigned char>(text[i]);
    const std::size_t len = b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
    const std::size_t w = len == 4 ? 2 : 1;
    if (n + w > units) break;
    n += w;
    i += len;
  }
  return text.substr(0, i);
}

void ReplaceIgnoringCase(std::string& text, char letter, const std::string& by) {
  const char lower = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));
  std::string out;
  out.reserve(text.size());
  for (const char c : text) {
    if (std::tolower(static_cast<unsigned char>(c)) == lower)
      out += by;
    else
      out += c;
  }
  text = std::move(out);
}

}  // namespace

std::string TsxExcelExport::GetColumnCharacters(std::int32_t n) const {
  if (n > FRecExcelRestrictions.MaxNumberOfColumns)
    throw EMaxColumnsReached(FRecExcelRestrictions.MaxNumberOfColumns);
  std::string letters;
  while (n > 0) {
    letters.insert(letters.begin(), static_cast<char>('A' + (n - 1) % 26));
    n = (n - 1) / 26;
  }
  return letters;
}

std::string TsxExcelExport::GetDateTimeFormat(const std::string& format) {
  std::string s = format;
  const auto code = [&](int c) { return ExcelApplication->International(c); };
  ReplaceIgnoringCase(s, 'h', code(22));
  ReplaceIgnoringCase(s, 'n', code(23));
  ReplaceIgnoringCase(s, 's', code(24));
  ReplaceIgnoringCase(s, FSettings.DateSeparator, code(17));
  ReplaceIgnoringCase(s, FSettings.TimeSeparator, code(18));
  ReplaceIgnoringCase(s, 'y', code(19));
  ReplaceIgnoringCase(s, 'm', code(20));
  ReplaceIgnoringCase(s, 'd', code(21));
  return s;
}

std::string TsxExcelExport::GetCurrencyFormat(const std::string& format) const {
  const std::string& symbol = FSettings.CurrencyString;
  switch (FSettings.CurrencyFormat) {
    case 0:
      return symbol + format;
    case 1:
      return format + symbol;
    case 2:
      return symbol + " " + format;
    case 3:
      return format + " " + symbol;
    default:
      return {};
  }
}

std::string TsxExcelExport::LocalizeNumberFormat(const std::string& text) const {
  std::string out = text;
  for (char& c : out) {
    if (c == '.')
      c = FDecimalSeparator;
    else if (c == ',')
      c = FThousandSeparator;
  }
  return out;
}

int TsxExcelExport::LastDataColumn() const {
  return FIntBeginColumnData + static_cast<int>(FSLFieldNames.size()) - 1;
}

std::shared_ptr<TSheetRange> TsxExcelExport::Range(const std::string& first,
                                                   const std::string& last) {
  return ExcelWorkSheet->Range(first, last);
}

// Pipe access.

int TsxExcelExport::PipeFieldCount(bool& known) {
  known = true;
  if (FDataPipe == dpDataSet) return FDataset->FieldCount();
  int count = 0;
  if (!OnGetFieldCount) {
    known = false;
    return 0;
  }
  OnGetFieldCount(*this, count);
  return count;
}

bool TsxExcelExport::PipeEof() {
  if (FDataPipe == dpDataSet) return FDataset->Eof();
  bool eof = true;
  if (OnGetEOF) OnGetEOF(*this, eof);
  return eof;
}

void TsxExcelExport::PipeFirst() {
  if (FDataPipe == dpDataSet)
    FDataset->First();
  else if (OnGotoFirstRecord)
    OnGotoFirstRecord(*this);
}

void TsxExcelExport::PipeNext() {
  if (FDataPipe == dpDataSet)
    FDataset->Next();
  else if (OnGotoNextRecord)
    OnGotoNextRecord(*this);
}

TFieldType TsxExcelExport::PipeFieldType(int fi) {
  if (FDataPipe == dpDataSet) return FDataset->Fields(fi).DataType();
  TFieldType t = ftUnknown;
  if (OnGetFieldDataType) OnGetFieldDataType(*this, fi, t);
  return t;
}

bool TsxExcelExport::HasStyleEvents() const {
  return OnGetCellBackgroundColorEvent || OnGetCellStyleEvent || OnGetFieldCellStyleEvent;
}

bool TsxExcelExport::StyleEventsOfPipe() const {
  if (FDataPipe == dpCustom) return static_cast<bool>(OnGetFieldCellStyleEvent);
  return OnGetCellBackgroundColorEvent || OnGetCellStyleEvent;
}

// The run.

void TsxExcelExport::ExportDataset() {
  BusyScope busy(HostBusyCursor);
  if (FDataPipe == dpDataSet) {
    if (!FDataset) throw ENoDatasetConnected();
    if (!FDataset->Active()) throw EDatasetNotActive();
  }
  if (!FBlnConnected) Connect();
  SetHeaderText();
  BuildColumnsAndTitles();
  WriteDataBlocks();
  WriteHeader();
  if (FSummarySelection != ssNone) WriteSummary();
  ApplyColumnWidths();
  BuildGroups();
  WriteFooter();
  ApplyAutoFilter();
  ExcelApplication->SetScreenUpdating(FBlnExcelVisible);
  if (FBlnExcelVisible) ExcelApplication->SetVisible(true);
  const auto book = ExcelApplication->ActiveWorkbook();
  if (!book) throw ENoActiveWorkbook();
  const auto outline = book->ActiveSheet()->Outline();
  try {
    outline->ShowLevels(1);
  } catch (const std::exception&) {
    // Excel refuses to show the levels of a sheet without an outline.
    if (FBlnRowsGrouped) throw;
  }
}

void TsxExcelExport::BuildColumnsAndTitles() {
  FStrBeginColumnDataChar = GetColumnCharacters(FIntBeginColumnData);
  FSLFieldNames.clear();
  bool known = false;
  const int count = PipeFieldCount(known);
  if (!known) return;
  const bool custom = FDataPipe == dpCustom;
  for (int i = 0; i < count; ++i) {
    TsxField* field = custom ? nullptr : &FDataset->Fields(i);
    bool visible = true;
    if (field)
      visible = field->Visible();
    else if (OnGetFieldVisible)
      OnGetFieldVisible(*this, i, visible);
    const TFieldType type = PipeFieldType(i);
    const bool included = IsExportableType(type) && (!FBlnVisibleFieldsOnly || visible);

    std::string name;
    if (field)
      name = field->FieldName();
    else if (OnGetFieldName)
      OnGetFieldName(*this, i, name);
    if (!FBlnShowTitles) {
      if (included) FSLFieldNames.push_back({name, i});
      continue;
    }
    if (!included) continue;
    const int column = FIntBeginColumnData + static_cast<int>(FSLFieldNames.size());
    const std::string cell = Cell(column, FIntBeginRowTitles);
    FSLFieldNames.push_back({name, i});
    std::string display;
    if (field)
      display = field->DisplayLabel();
    else if (OnGetFieldDisplayName)
      OnGetFieldDisplayName(*this, i, display);
    const std::string title = display.empty() ? name : display;
    Range(cell, cell)->SetValue2(TVariant(title));
    int width = 0;
    if (field)
      width = field->DisplayWidth();
    else if (OnGetFieldDisplayWidth)
      OnGetFieldDisplayWidth(*this, i, width);
    ApplyTitleWidth(column, title, i, width);
  }
  if (FBlnShowTitles && !FSLFieldNames.empty())
    SetFontAndBorderRange(rtTitles, FFontTitles, FBorderTitles,
                          FStrBeginColumnDataChar + std::to_string(FIntBeginRowTitles),
                          Cell(LastDataColumn(), FIntBeginRowTitles));
}

void TsxExcelExport::ApplyTitleWidth(int column, const std::string& title, int fi,
                                     int displayWidth) {
  const double fd = std::max(FFontData.Size / 10.0, 1.0);
  const double ft = std::max(FFontTitles.Size / 10.0, 1.0);
  double width = 0;
  switch (FStyleColumnWidth) {
    case cwFieldDisplayWidth:
      width = std::nearbyint(displayWidth * fd);
      break;
    case cwFieldDataSize: {
      int size = 10;
      if (FDataPipe == dpDataSet)
        size = FDataset->Fields(fi).Size();
      else if (OnGetFieldDataSize)
        OnGetFieldDataSize(*this, fi, size);
      if (PipeFieldType(fi) == ftDateTime) size = 16;
      width = std::nearbyint(size * fd);
      break;
    }
    case cwEnhAutoFit: {
      const double titleWidth = (static_cast<double>(Utf16Length(title)) + 1) * ft;
      if (displayWidth * fd >= titleWidth)
        width = std::nearbyint(displayWidth * fd);
      else
        width = std::nearbyint(titleWidth) + 1;
      break;
    }
    default:
      return;
  }
  const std::string cell = Cell(column, FIntBeginRowTitles);
  Range(cell, cell)->SetColumnWidth(width);
}

void TsxExcelExport::ProduceRow(int filled, std::vector<TVariant>& block,
                                std::vector<CellStyle>* styles) {
  const int columns = static_cast<int>(FSLFieldNames.size());
  const bool custom = FDataPipe == dpCustom;
  const int maxLen = FRecExcelRestrictions.MaxStringLength;
  const auto shortened = [&](const std::string& raw) {
    return Utf16Prefix(raw, static_cast<std::size_t>(std::max(maxLen - 3, 0))) + "...";
  };
  TxlFont scratch;
  for (int d = 0; d < columns; ++d) {
    const int fi = FSLFieldNames[d].FieldIndex;
    TVariant& value = block[(filled - 1) * columns + d];
    TsxField* field = custom ? nullptr : &FDataset->Fields(fi);
    if (custom) {
      value = TVariant{};
      if (OnGetFieldValue) OnGetFieldValue(*this, fi, value);
    } else {
      const TFieldType t = field->DataType();
      const bool handler = field->HasGetTextHandler();
      if (IsDateType(t)) {
        const TVariant v = field->Value();
        const auto* dt = std::get_if<TDateTime>(&v);
        const auto* num = std::get_if<double>(&v);
        if (dt && dt->Value != 0)
          value = *dt;
        else if (num && *num != 0)
          value = TDateTime{*num};
        else
          value = std::string();
      } else if (IsNumericType(t) && !handler) {
        value = field->Value();
      } else {
        const bool memo = IsMemoType(t) && !handler;
        std::string raw = field->AsString();
        if (Utf16Length(raw) >= static_cast<std::size_t>(maxLen))
          value = shortened(raw);
        else if (memo)
          value = field->Value();
        else
          value = field->DisplayText();
      }
    }
    if (!styles) continue;
    // The presets stand also when no event of this pipe is assigned, so that the cell keeps
    // the data style.
    TColor background = FBorderData.BackColor;
    scratch.Assign(FFontData);
    if (custom) {
      if (OnGetFieldCellStyleEvent) OnGetFieldCellStyleEvent(*this, fi, background, scratch);
    } else {
      if (OnGetCellBackgroundColorEvent) OnGetCellBackgroundColorEvent(*this, *field, background);
      if (OnGetCellStyleEvent) OnGetCellStyleEvent(*this, *field, background, scratch);
    }
    CellStyle& s = (*styles)[(filled - 1) * columns + d];
    s.Background = background;
    s.FontColor = scratch.Color;
    s.FontName = scratch.Name;
    s.FontSize = scratch.Size;
    s.Bold = scratch.Style == fsBold;
  }
}

void TsxExcelExport::FlushBlock(int first, int last, int rows, const std::vector<TVariant>& block,
                                const std::vector<CellStyle>* styles) {
  ApplyNumberFormats(first, last);
  const std::string begin = FStrBeginColumnDataChar + std::to_string(first);
  const std::string end = Cell(LastDataColumn(), last);
  const TVariantBlock values{block.data(), FIntBlockOfRecords,
                             static_cast<int>(FSLFieldNames.size())};
  Range(begin, end)->SetValue2(values);
  if (styles) {
    SetFontAndBorderRange(rtData, FFontData, FBorderData, begin, end);
    ApplyCellStyles(first, rows, *styles);
  }
}

void TsxExcelExport::WriteDataBlocks() {
  FIntRecordNo = 0;
  ControlsPause pause(FDataPipe == dpDataSet ? FDataset : nullptr);
  const int columns = static_cast<int>(FSLFieldNames.size());
  const int blockRows = FIntBlockOfRecords;
  std::vector<TVariant> block(static_cast<std::size_t>(blockRows) * columns);
  std::vector<CellStyle> styleBuffer;
  if (HasStyleEvents()) styleBuffer.resize(block.size());
  std::vector<CellStyle>* styles = HasStyleEvents() ? &styleBuffer : nullptr;
  int first = FIntBeginRowData;
  int last = first + blockRows - 1;
  int filled = 0;

  PipeFirst();
  while (!PipeEof()) {
    ++FIntRecordNo;
    ++filled;
    if (FIntBeginRowData + FIntRecordNo - 1 > FRecExcelRestrictions.MaxNumberOfRows)
      throw EMaxRowsReached(FRecExcelRestrictions.MaxNumberOfRows);
    ProduceRow(filled, block, styles);
    if (FIntRecordNo % blockRows == 0) {
      FlushBlock(first, last, blockRows, block, styles);
      first += blockRows;
      last = first + blockRows - 1;
      filled = 0;
    }
    PipeNext();
    if (OnExportRecords) OnExportRecords(*this, FIntRecordNo);
    if (HostProcessMessages) HostProcessMessages();
  }
  last = first + filled - 1;
  if (filled > 0) FlushBlock(first, last, filled, block, styles);
  pause.Restore();
  FIntEndRowData = last;
  FIntBeginFooter = last + 1;
  if (!styles && FIntEndRowData >= FIntBeginRowData && columns > 0)
    SetFontAndBorderRange(rtData, FFontData, FBorderData,
                          FStrBeginColumnDataChar + std::to_string(FIntBeginRowData),
                          Cell(LastDataColumn(), FIntEndRowData));
}

std::string TsxExcelExport::CustomNumberFormat(int fi) {
  const TFieldType t = PipeFieldType(fi);
  const std::string two = std::string("0") + FDecimalSeparator + "00";
  switch (t) {
    case ftFloat:
    case ftCurrency:
    case ftBCD:
    case ftFMTBcd:
    case ftSingle:
      return two;
    case ftSmallint:
    case ftInteger:
    case ftWord:
    case ftBoolean:
    case ftLargeint:
    case ftLongWord:
    case ftShortint:
      return "0";
    case ftDate:
      return GetDateTimeFormat(FSettings.ShortDateFormat);
    case ftTime:
      return GetDateTimeFormat(FSettings.ShortTimeFormat);
    case ftDateTime:
    case ftTimeStamp:
      return GetDateTimeFormat(FSettings.ShortDateFormat + " " + FSettings.ShortTimeFormat);
    default:
      return "@";
  }
}

void TsxExcelExport::ApplyNumberFormats(int first, int last) {
  const bool custom = FDataPipe == dpCustom;
  const std::string two = std::string("0") + FDecimalSeparator + "00";
  for (std::size_t d = 0; d < FSLFieldNames.size(); ++d) {
    const int fi = FSLFieldNames[d].FieldIndex;
    const std::string col = GetColumnCharacters(FIntBeginColumnData + static_cast<int>(d));
    const auto range = Range(col + std::to_string(first), col + std::to_string(last));
    if (custom) {
      int decimals = 0;
      if (OnGetFieldDecSize) OnGetFieldDecSize(*this, fi, decimals);
      if (PipeFieldType(fi) == ftFloat) {
        std::string format = "0";
        if (decimals > 0) format += FDecimalSeparator + std::string(decimals, '0');
        try {
          range->SetNumberFormat(format);
          continue;
        } catch (const std::exception&) {
          // an unaccepted decimal count falls back to two decimals
        }
      }
      range->SetNumberFormat(CustomNumberFormat(fi));
      continue;
    }
    TsxField* field = FDataset->FindField(FSLFieldNames[d].Name);
    if (!field) continue;
    const TFieldType t = field->DataType();
    const std::string display = field->DisplayFormat();
    if (t == ftString) {
      range->SetNumberFormat("@");
    } else if (IsNumericType(t)) {
      if (!display.empty()) {
        try {
          range->SetNumberFormat(LocalizeNumberFormat(display));
        } catch (const std::exception&) {
          const bool fractional =
              t == ftFloat || t == ftCurrency || t == ftBCD || t == ftFMTBcd || t == ftSingle;
          range->SetNumberFormat(fractional ? two : "0");
        }
      } else if (t == ftCurrency) {
        const std::string format =
            "#,##0." +
            std::string(static_cast<std::size_t>(std::max(FSettings.CurrencyDecimals, 0)), '0');
        range->SetNumberFormat(GetCurrencyFormat(LocalizeNumberFormat(format)));
      }
    } else if (t == ftDate) {
      range->SetNumberFormat(
          GetDateTimeFormat(display.empty() ? FSettings.ShortDateFormat : display));
    } else if (t == ftTime) {
      range->SetNumberFormat(
          GetDateTimeFormat(display.empty() ? FSettings.ShortTimeFormat : display));
    } else if (t == ftDateTime || t == ftTimeStamp) {
      range->SetNumberFormat(GetDateTimeFormat(
          display.empty() ? FSettings.ShortDateFormat + " " + FSettings.ShortTimeFormat : display));
    }
  }
}
