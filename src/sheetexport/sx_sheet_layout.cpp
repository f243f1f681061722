// The sheet's form: fonts, fills, borders and alignment of each kind of row, header and footer
// lines, the summary row, nested row groups, column widths, the auto filter and cell styles.
#include <algorithm>
#include <cctype>

#include "sheetexport/sx_excel_export.h"
#include "sheetexport/sx_field_types.h"
#include "sheetexport/sx_scopes.h"
#include "sheetexport/sx_variant_text.h"

namespace {

int AlignmentCode(THAlignment a) {
  switch (a) {
    case haLeft:
      return -4131;
    case haRight:
      return -4152;
    case haCenter:
      return -4108;
    default:
      return 1;
  }
}

int WeightCode(TBorderWeight w) {
  switch (w) {
    case bwHairline:
      return 1;
    case bwThick:
      return 4;
    case bwThin:
      return 2;
    default:
      return -4138;
  }
}

int LineStyleCode(TBorderLineStyle s) {
  switch (s) {
    case blDash:
      return -4115;
    case blDashDot:
      return 4;
    case blDashDotDot:
      return 5;
    case blDot:
      return -4118;
    case blDouble:
      return -4119;
    case blSlantDashDot:
      return 13;
    case blNone:
      return -4142;
    default:
      return 1;  // blContinuous, blLine
  }
}

const char* FunctionText(TSummaryCalculation c) {
  switch (c) {
    case scMIN:
      return "MIN";
    case scMAX:
      return "MAX";
    case scAVG:
      return "AVERAGE";
    case scCOUNT:
      return "COUNT";
    default:
      return "SUM";
  }
}

std::string Trimmed(const std::string& s) {
  const auto b = s.find_first_not_of(' ');
  if (b == std::string::npos) return {};
  return s.substr(b, s.find_last_not_of(' ') - b + 1);
}

std::string Upper(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
  return s;
}

}  // namespace

void TsxExcelExport::SetFontAndBorderRange(TRowType rowType, const TxlFont& font,
                                           const TCellBorder& border, const std::string& begin,
                                           const std::string& end) {
  const auto range = Range(begin, end);
  const auto f = range->Font();
  if (!font.Name.empty() && font.Name != "MS Sans Serif") f->SetName(font.Name);
  if (font.Size > 0) f->SetSize(font.Size);
  if (font.Color != 0) f->SetColor(font.Color);
  f->SetBold((font.Style & fsBold) != 0);
  f->SetItalic((font.Style & fsItalic) != 0);
  f->SetUnderline((font.Style & fsUnderline) != 0);

  const bool alternating = rowType == rtData && FBorderData.BackAlternateColor != clWhite;
  if (alternating) {
    const std::string firstDataCell = FStrBeginColumnDataChar + std::to_string(FIntBeginRowData);
    if (begin == firstDataCell && FIntEndRowData >= FIntBeginRowData) {
      const std::string lastCol = GetColumnCharacters(LastDataColumn());
      for (int row = FIntBeginRowData; row <= FIntEndRowData; ++row) {
        const TColor color =
            (row % 2 == 1 && FBorderData.BackAlternateColor != FBorderData.BackColor)
                ? FBorderData.BackAlternateColor
                : FBorderData.BackColor;
        Range(FStrBeginColumnDataChar + std::to_string(row), lastCol + std::to_string(row))
            ->Interior()
            ->SetColor(color);
      }
    }
  } else if (border.BackColor != clWhite) {
    range->Interior()->SetColor(border.BackColor);
  }

  if (border.LineStyle != blNone) {
    try {
      for (const int edge : {8, 10, 7, 9}) {
        const auto b = range->Borders(edge);
        b->SetLineStyle(LineStyleCode(border.LineStyle));
        b->SetWeight(WeightCode(border.Weight));
        b->SetColor(border.BorderColor);
      }
    } catch (const std::exception&) {
      // border lines are decoration; the export goes on without them
    }
  }
  range->SetOrientation(font.Orientation);
  range->SetWrapText(font.WrapText);
  range->SetHorizontalAlignment(AlignmentCode(font.Alignment));
}

// Header and footer lines stay as written: a General cell would turn a date-time line into a
// date in the application's own format, or a number line into a number.
void TsxExcelExport::AsText(TSheetRange& range) {
  try {
    range.SetNumberFormat("@");
  } catch (const std::exception&) {
    // the line keeps the application's reading of it
  }
}

void TsxExcelExport::WriteLines(const TStrings& lines, int firstRow, bool merge, TRowType rowType,
                                const TxlFont& font, const TCellBorder& border) {
  if (lines.empty()) return;
  const std::string col = GetColumnCharacters(FIntBeginColumnHeader);
  if (merge) {
    const int lastColumn = LastDataColumn();
    for (std::size_t j = 0; j < lines.size(); ++j) {
      const std::string row = std::to_string(firstRow + static_cast<int>(j));
      const std::string cell = col + row;
      const auto range = Range(cell, cell);
      AsText(*range);
      range->SetValue2(TVariant(lines[j]));
      // Without data columns to the right there is nothing to merge with.
      if (lastColumn >= FIntBeginColumnHeader)
        Range(cell, GetColumnCharacters(lastColumn) + row)->SetMergeCells(true);
      SetFontAndBorderRange(rowType, font, border, cell, cell);
    }
    return;
  }
  std::vector<TVariant> values(lines.begin(), lines.end());
  const int n = static_cast<int>(lines.size());
  const std::string first = col + std::to_string(firstRow);
  const std::string last = col + std::to_string(firstRow + n - 1);
  const auto range = Range(first, last);
  AsText(*range);
  range->SetValue2(TVariantBlock{values.data(), n, 1});
  SetFontAndBorderRange(rowType, font, border, first, last);
}

void TsxExcelExport::WriteHeader() {
  WriteLines(FHeaderText, FIntBeginRowHeader, FBlnMergeHeaderCells, rtHeader, FFontHeader,
             FBorderHeader);
}

void TsxExcelExport::WriteFooter() {
  WriteLines(FFooterText, FIntBeginFooter, FBlnMergeFooterCells, rtFooter, FFontFooter,
             FBorderFooter);
}

void TsxExcelExport::WriteSummary() {
  if (FSummarySelection == ssNone || FDataPipe == dpCustom || FSLFieldNames.empty()) return;
  const int row = FIntRecordNo + FIntBeginRowData;
  for (std::size_t d = 0; d < FSLFieldNames.size(); ++d) {
    TsxField& field = FDataset->Fields(FSLFieldNames[d].FieldIndex);
    const bool selected = FSummarySelection == ssValues
                              ? IsNumericType(field.DataType())
                              : std::find(FSummaryFields.begin(), FSummaryFields.end(),
                                          Upper(FSLFieldNames[d].Name)) != FSummaryFields.end();
    if (!selected) continue;
    const std::string col = GetColumnCharacters(FIntBeginColumnData + static_cast<int>(d));
    const std::string cell = col + std::to_string(row);
    const auto range = Range(cell, cell);
    range->SetValue2(TVariant("=" + std::string(FunctionText(FSummaryCalculation)) + "(" + col +
                              std::to_string(FIntBeginRowData) + ":" + col +
                              std::to_string(row - 1) + ")"));
    if (!FStrSummaryDisplayFormat.empty() && field.DataType() != ftCurrency &&
        field.DisplayFormat().empty()) {
      try {
        range->SetNumberFormat(LocalizeNumberFormat(FStrSummaryDisplayFormat));
      } catch (const std::exception&) {
        // the cell keeps the application's format
      }
    }
  }
  SetFontAndBorderRange(rtSummary, FFontSummary, FBorderSummary,
                        FStrBeginColumnDataChar + std::to_string(row), Cell(LastDataColumn(), row));
  FIntBeginFooter = row + 1;
}

void TsxExcelExport::ApplyColumnWidths() {
  if (FSLFieldNames.empty()) return;
  if (FStyleColumnWidth != cwOwnerWidth && FStyleColumnWidth != cwAutoFit) return;
  const auto range = Range(FStrBeginColumnDataChar + "1", Cell(LastDataColumn(), 1));
  if (FStyleColumnWidth == cwOwnerWidth)
    range->SetColumnWidth(FIntColumnWidth);
  else
    range->EntireColumn()->AutoFit();
}

void TsxExcelExport::BuildGroups() {
  FBlnRowsGrouped = false;
  if (FGroupFields.empty()) return;
  const bool custom = FDataPipe == dpCustom;
  ControlsPause pause(custom ? nullptr : FDataset);
  bool known = false;
  PipeFieldCount(known);
  if (!known) return;
  PipeFirst();
  const auto outline = ExcelWorkSheet->Outline();
  outline->SetSummaryRow(0);
  outline->SetSummaryColumn(-4152);

  const std::size_t groups = FGroupFields.size();
  std::vector<TsxField*> fields(groups, nullptr);
  if (!custom)
    for (std::size_t k = 0; k < groups; ++k) fields[k] = FDataset->FindField(FGroupFields[k]);
  const auto currentKey = [&](std::size_t k) -> std::string {
    if (!custom) return fields[k] ? fields[k]->AsString() : std::string();
    TVariant value;
    if (OnGetFieldValue) OnGetFieldValue(*this, static_cast<int>(k), value);
    return VarToStr(value);
  };

  struct Run {
    int Start, End;
  };
  int row = FIntBeginRowData;
  std::vector<std::string> keys(groups);
  std::vector<std::vector<Run>> runs(groups);
  for (std::size_t k = 0; k < groups; ++k) {
    keys[k] = currentKey(k);
    runs[k].push_back({row, row});
  }
  std::vector<std::string> current(groups);
  while (!PipeEof()) {
    for (std::size_t k = 0; k < groups; ++k) current[k] = currentKey(k);
    for (std::size_t k = 0; k < groups; ++k) {
      if (current[k] == keys[k]) continue;
      for (std::size_t j = k; j < groups; ++j) {
        keys[j] = current[j];
        runs[j].back().End = row - 1;
        runs[j].push_back({row + static_cast<int>(j - k), row});
      }
      break;
    }
    PipeNext();
    ++row;
  }
  FIntBeginFooter = row + 1;
  for (auto& r : runs) r.back().End = row - 1;

  const std::string lastCol = GetColumnCharacters(LastDataColumn());
  for (std::size_t k = 0; k < groups; ++k) {
    if (Trimmed(FGroupFields[k]).empty()) continue;
    int column = FIntBeginColumnData + static_cast<int>(k);
    if (!custom) {
      if (!fields[k]) continue;
      // The group's own sheet column: fields before it may not have been exported.
      const auto it =
          std::find_if(FSLFieldNames.begin(), FSLFieldNames.end(),
                       [&](const ColumnEntry& e) { return e.FieldIndex == fields[k]->Index(); });
      column = FIntBeginColumnData + (it != FSLFieldNames.end()
                                          ? static_cast<int>(it - FSLFieldNames.begin())
                                          : fields[k]->Index());
    }
    const std::string col = GetColumnCharacters(column);
    for (const Run& run : runs[k]) {
      // A run opened below the last data row holds no rows.
      if (run.End < run.Start) continue;
      if (run.End > run.Start) {
        const auto details =
            Range(col + std::to_string(run.Start + 1), col + std::to_string(run.End));
        if (FGroupOptions.ClearContents) details->ClearContents();
        details->Rows()->Group();
        FBlnRowsGrouped = true;
      }
      try {
        const std::string head = col + std::to_string(run.Start);
        const std::string headEnd =
            FGroupOptions.BorderRange == bsRow ? lastCol + std::to_string(run.Start) : head;
        SetFontAndBorderRange(rtGroup, FFontGroup, FBorderGroup, head, headEnd);
      } catch (const std::exception&) {
        // a head row that cannot be styled keeps its data style
      }
    }
    FFontGroup.Size -= FGroupOptions.IntervalFontSize;
  }
  pause.Restore();
}

void TsxExcelExport::ApplyAutoFilter() {
  if (!FBlnShowTitles || !FBlnAutoFilter) return;
  const auto used = ExcelWorkSheet->UsedRange();
  const int r = used->Row();
  used->Offset(FIntBeginRowTitles - r, FIntBeginColumnData - 1)->AutoFilter(1, 1, true);
}

void TsxExcelExport::ApplyCellStyles(int first, int rows, const std::vector<CellStyle>& styles) {
  const int columns = static_cast<int>(FSLFieldNames.size());
  for (int i = 0; i < rows; ++i) {
    for (int d = 0; d < columns; ++d) {
      const CellStyle& s = styles[i * columns + d];
      const std::string cell = Cell(FIntBeginColumnData + d, first + i);
      const auto range = Range(cell, cell);
      if (s.Background != FBorderData.BackColor) range->Interior()->SetColor(s.Background);
      if (s.FontColor != FFontData.Color) range->Font()->SetColor(s.FontColor);
      if (s.FontName != FFontData.Name) range->Font()->SetName(s.FontName);
      if (s.FontSize != FFontData.Size) range->Font()->SetSize(s.FontSize);
      if (s.Bold && FFontData.Style == 0) range->Font()->SetBold(true);
    }
  }
}
