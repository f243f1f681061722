// What the workbook's summary sheet and the protocol show of an archive: sample statistics of the
// series' mean strength R per construction article and material, over all series, and the chart
// of R with what of it is charted. Pure functions of their arguments; thread-safe.
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "mainwindow/archive.h"
#include "text/string_table.h"

// One line of the summary: n series, their mean, lowest and highest R and the sample standard
// deviation S (n - 1) with the coefficient of variation V = S / mean * 100; S and V are empty for
// a single series (and V for a mean of 0).
struct TSummaryRow {
  std::string Article;
  std::string Material;
  int N = 0;
  double Mean = 0, Min = 0, Max = 0;
  std::optional<double> S, V;
};

// A chart with more columns than this shows the first ones only: beyond it a column is narrower
// than a printed line on a landscape page and the chart stops telling series apart.
constexpr std::size_t kChartSeriesLimit = 200;

struct TArchiveSummary {
  int Unit = 0;                     // 0..3 as the strength units
  std::vector<TSummaryRow> Groups;  // by article and material, in order of first appearance
  TSummaryRow All;                  // every series; its Article reads "All series"
  std::vector<double> SeriesR;      // R of every series in archive order, as the first sheet
  std::size_t ChartCount = 0;       // the chart shows SeriesR[0 .. ChartCount)
};

// The statistics of the archive's records in the unit (converted and rounded as the first
// sheet's R); invalid codes group under the "Error" label. Texts in the given language.
TArchiveSummary SummarizeArchive(const TArchive& archive, int unit,
                                 const TStringTable& tr = Strings());

// Columns of the summary table: article, material, n, mean, lowest, highest, S, V.
constexpr int SummaryColumnCount = 8;
enum TSummaryColumn { scArticle, scMaterial, scN, scMean, scMin, scMax, scS, scV };
std::string SummaryColumnTitle(int column, int unit, const TStringTable& tr = Strings());
// Decimals shown in a column: lowest and highest as the first sheet's R, mean and S one more.
int SummaryColumnDecimals(int column, int unit);

// The sentence above the table: what the numbers are, and the unit.
std::string SummaryCaption(int unit, const TStringTable& tr = Strings());
// The chart's title; it says when only the first series are charted.
std::string SummaryChartTitle(const TArchiveSummary& summary, const TStringTable& tr = Strings());
