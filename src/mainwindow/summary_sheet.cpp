#include "summary_sheet.h"

#include <algorithm>
#include <vector>

#include "base/utf16.h"
#include "mainwindow/presentation.h"
#include "sheetexport/a1_address.h"

namespace {

constexpr int kCaptionRow = 1, kTitleRow = 3, kFirstRow = 4;
constexpr double kChartWidth = 640, kChartHeight = 300;  // points
constexpr int kChartRows = 21;                           // rows of 15 points under the chart

std::string Cell(int column, int row) {
  return A1Name({column, row});
}

// Characters of the default font a text takes in the widest fonts a spreadsheet program
// substitutes (DejaVu Sans for Calibri where Carlito is missing), with a margin.
double WidthFor(const std::string& text, bool bold) {
  return static_cast<double>(Utf16Length(text)) * (bold ? 1.25 : 1.15) + 2;
}

std::string NumberFormat(int decimals, const FormatSettings& fs) {
  std::string format = "0";
  if (decimals > 0) {
    format += fs.DecimalSeparator;
    format.append(static_cast<std::size_t>(decimals), '0');
  }
  return format;
}

TVariant Optional(const std::optional<double>& v) {
  return v ? TVariant(*v) : TVariant{};
}

void RowValues(const TSummaryRow& r, TVariant* out) {
  out[scArticle] = r.Article;
  out[scMaterial] = r.Material;
  out[scN] = static_cast<std::int64_t>(r.N);
  out[scMean] = r.Mean;
  out[scMin] = r.Min;
  out[scMax] = r.Max;
  out[scS] = Optional(r.S);
  out[scV] = Optional(r.V);
}

void Frame(TSheetRange& range) {
  for (int edge = 7; edge <= 12; ++edge) range.Borders(edge)->SetLineStyle(1);
}

void WriteBlock(TSheetWorksheet& sheet, int column, int row, const std::vector<TVariant>& cells,
                int columns) {
  const int rows = static_cast<int>(cells.size()) / columns;
  sheet.Range(Cell(column, row), Cell(column + columns - 1, row + rows - 1))
      ->SetValue2(TVariantBlock{cells.data(), rows, columns});
}

}  // namespace

void SetPrintLayout(TSheetWorksheet& sheet, int titleRow) {
  const auto page = sheet.PageSetup();
  page->SetOrientation(2);
  page->SetZoom(0);
  page->SetFitToPagesWide(1);
  page->SetFitToPagesTall(0);
  const std::string row = "$" + std::to_string(titleRow);
  page->SetPrintTitleRows(row + ":" + row);
}

void WriteSummarySheet(TSheetWorkbook& book, TSheetWorksheet& data, const TArchiveSummary& summary,
                       const FormatSettings& fs) {
  const auto sheet = book.Worksheets()->AddAfter(data);
  sheet->SetName(Str(TS::SummarySheet));
  const int unit = summary.Unit;

  // The table: titles, one row per group, the row of all series.
  std::vector<TVariant> cells;
  std::vector<double> widths(SummaryColumnCount, 0);
  for (int c = 0; c < SummaryColumnCount; ++c) {
    cells.emplace_back(SummaryColumnTitle(c, unit));
    widths[c] = WidthFor(SummaryColumnTitle(c, unit), true);
  }
  std::vector<const TSummaryRow*> rows;
  for (const TSummaryRow& g : summary.Groups) rows.push_back(&g);
  rows.push_back(&summary.All);
  for (const TSummaryRow* r : rows) {
    cells.resize(cells.size() + SummaryColumnCount);
    RowValues(*r, &cells[cells.size() - SummaryColumnCount]);
    widths[scArticle] = std::max(widths[scArticle], WidthFor(r->Article, false));
    widths[scMaterial] = std::max(widths[scMaterial], WidthFor(r->Material, false));
  }
  const int lastColumn = SummaryColumnCount;
  const int allRow = kFirstRow + static_cast<int>(summary.Groups.size());
  sheet->Range(Cell(1, kCaptionRow), Cell(1, kCaptionRow))->SetValue2(SummaryCaption(unit));
  sheet->Range(Cell(1, kTitleRow), Cell(lastColumn, allRow))->SetNumberFormat("@");
  for (int c = scN; c < SummaryColumnCount; ++c)
    sheet->Range(Cell(c + 1, kFirstRow), Cell(c + 1, allRow))
        ->SetNumberFormat(NumberFormat(SummaryColumnDecimals(c, unit), fs));
  WriteBlock(*sheet, 1, kTitleRow, cells, SummaryColumnCount);
  Frame(*sheet->Range(Cell(1, kTitleRow), Cell(lastColumn, allRow)));
  sheet->Range(Cell(1, kTitleRow), Cell(lastColumn, kTitleRow))->Font()->SetBold(true);
  sheet->Range(Cell(1, allRow), Cell(lastColumn, allRow))->Font()->SetBold(true);

  // The chart's data under the chart: N, R and the overall mean beside every charted series.
  const int chartRow = allRow + 2;
  const int dataTitle = chartRow + kChartRows + 1;
  const int count = static_cast<int>(summary.ChartCount);
  std::vector<TVariant> data3 = {Str(TS::TitleN), SummaryColumnTitle(scMean, unit)};
  data3.insert(data3.begin() + 1, ColumnTitle(ColR) + UnitComboText(unit));
  for (int i = 0; i < count; ++i) {
    data3.emplace_back(static_cast<std::int64_t>(i + 1));
    data3.emplace_back(summary.SeriesR[static_cast<std::size_t>(i)]);
    data3.emplace_back(summary.All.Mean);
  }
  if (count > 0) {
    const int last = dataTitle + count;
    sheet->Range(Cell(1, dataTitle), Cell(3, dataTitle))->SetNumberFormat("@");
    sheet->Range(Cell(2, dataTitle + 1), Cell(2, last))
        ->SetNumberFormat(NumberFormat(StrengthDecimals(unit), fs));
    sheet->Range(Cell(3, dataTitle + 1), Cell(3, last))
        ->SetNumberFormat(NumberFormat(SummaryColumnDecimals(scMean, unit), fs));
    WriteBlock(*sheet, 1, dataTitle, data3, 3);
    sheet->Range(Cell(1, dataTitle), Cell(3, dataTitle))->Font()->SetBold(true);

    const auto place = sheet->Range(Cell(1, chartRow), Cell(1, chartRow));
    const auto chart =
        sheet->ChartObjects()->Add(place->Left(), place->Top(), kChartWidth, kChartHeight)->Chart();
    chart->SetChartType(51);
    const auto n = sheet->Range(Cell(1, dataTitle + 1), Cell(1, last));
    chart->SetSourceData(*sheet->Range(Cell(2, dataTitle), Cell(2, last)));
    const auto series = chart->SeriesCollection();
    series->Item(1)->SetXValues(*n);
    const auto mean = series->NewSeries();
    mean->SetName(SummaryColumnTitle(scMean, unit));
    mean->SetValues(*sheet->Range(Cell(3, dataTitle + 1), Cell(3, last)));
    mean->SetXValues(*n);
    mean->SetChartType(4);
    mean->SetAxisGroup(1);
    chart->SetHasTitle(true);
    chart->ChartTitle()->SetText(SummaryChartTitle(summary));
    chart->SetHasLegend(true);
  }
  for (int c = 0; c < SummaryColumnCount; ++c)
    sheet->Range(Cell(c + 1, kTitleRow), Cell(c + 1, kTitleRow))
        ->EntireColumn()
        ->SetColumnWidth(std::min(widths[c], 255.0));
  SetPrintLayout(*sheet, kTitleRow);
  data.Activate();
}
