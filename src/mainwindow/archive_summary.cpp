#include "archive_summary.h"

#include <algorithm>
#include <cmath>
#include <map>
#include <utility>

#include "mainwindow/presentation.h"

namespace {

// Two passes: the mean first, then the squares of the deviations from it, which keeps S exact
// for values far from zero with a small spread.
TSummaryRow Statistics(const std::vector<double>& r) {
  TSummaryRow row;
  row.N = static_cast<int>(r.size());
  if (r.empty()) return row;
  long double sum = 0;
  for (double x : r) sum += x;
  const long double mean = sum / static_cast<long double>(r.size());
  row.Mean = static_cast<double>(mean);
  const auto [lo, hi] = std::minmax_element(r.begin(), r.end());
  row.Min = *lo;
  row.Max = *hi;
  if (r.size() < 2) return row;
  long double squares = 0;
  for (double x : r) squares += (x - mean) * (x - mean);
  const double s = static_cast<double>(std::sqrt(squares / static_cast<long double>(r.size() - 1)));
  row.S = s;
  if (row.Mean != 0) row.V = s / row.Mean * 100.0;
  return row;
}

}  // namespace

TArchiveSummary SummarizeArchive(const TArchive& archive, int unit, const TStringTable& tr) {
  TArchiveSummary out;
  out.Unit = NormalizeUnit(unit);
  const std::size_t count = archive.RecTotal();
  out.SeriesR.reserve(count);
  // Keyed by the labels the first sheet shows, so every invalid code falls under "Error".
  std::map<std::pair<std::string, std::string>, std::size_t> index;
  std::vector<std::vector<double>> members;
  for (std::size_t i = 0; i < count; ++i) {
    const ArchiveSlot& slot = archive.Slot(i);
    const double r = StrengthNumber(R(slot), out.Unit);
    out.SeriesR.push_back(r);
    auto [it, added] = index.try_emplace(
        {ArticleLabel(Article(slot), tr), MaterialLabel(Material(slot), tr)}, members.size());
    if (added) {
      members.emplace_back();
      TSummaryRow row;
      row.Article = it->first.first;
      row.Material = it->first.second;
      out.Groups.push_back(std::move(row));
    }
    members[it->second].push_back(r);
  }
  for (std::size_t g = 0; g < out.Groups.size(); ++g) {
    TSummaryRow stats = Statistics(members[g]);
    stats.Article = std::move(out.Groups[g].Article);
    stats.Material = std::move(out.Groups[g].Material);
    out.Groups[g] = std::move(stats);
  }
  out.All = Statistics(out.SeriesR);
  out.All.Article = tr.Text(TS::SummaryAll);
  out.ChartCount = std::min(count, kChartSeriesLimit);
  return out;
}

std::string SummaryColumnTitle(int column, int unit, const TStringTable& tr) {
  const std::string u = UnitComboText(unit, tr);
  switch (column) {
    case scArticle:
      return tr.Text(TS::TitleArticle);
    case scMaterial:
      return tr.Text(TS::TitleMaterial);
    case scN:
      return tr.Text(TS::SummarySeries);
    case scMean:
      return FormatText(tr.Text(TS::SummaryMean), {u});
    case scMin:
      return FormatText(tr.Text(TS::SummaryLowest), {u});
    case scMax:
      return FormatText(tr.Text(TS::SummaryHighest), {u});
    case scS:
      return tr.Text(TS::TitleS) + u;
    case scV:
      return tr.Text(TS::TitleV);
    default:
      return {};
  }
}

int SummaryColumnDecimals(int column, int unit) {
  switch (column) {
    case scMin:
    case scMax:
      return StrengthDecimals(unit);
    case scMean:
    case scS:
      return StrengthDecimals(unit) + 1;
    case scV:
      return 1;
    default:
      return 0;
  }
}

std::string SummaryCaption(int unit, const TStringTable& tr) {
  return FormatText(tr.Text(TS::SummaryCaption), {UnitComboText(unit, tr)});
}

std::string SummaryChartTitle(const TArchiveSummary& summary, const TStringTable& tr) {
  const std::string u = UnitComboText(summary.Unit, tr);
  if (summary.ChartCount == summary.SeriesR.size())
    return FormatText(tr.Text(TS::ChartTitleAll), {u});
  return FormatText(tr.Text(TS::ChartTitleFirst), {std::to_string(summary.ChartCount),
                                                   std::to_string(summary.SeriesR.size()), u});
}
