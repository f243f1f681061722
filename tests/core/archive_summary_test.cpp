#include "mainwindow/archive_summary.h"

#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <vector>

#include "mainwindow/presentation.h"
#include "test_record.h"

namespace {

struct Series {
  int article, material;
  unsigned raw;  // R in tenths of MPa
};

TArchive ArchiveOf(const std::vector<Series>& series) {
  TArchive a;
  a.Resize(static_cast<std::uint32_t>(series.size()));
  for (const Series& s : series) {
    auto r = TestRecord(0, 0);
    r[2] = static_cast<std::uint8_t>((s.material << 4) | s.article);
    r[18] = s.raw & 255;
    r[19] = static_cast<std::uint8_t>(s.raw >> 8);
    a.StoreRecord(r.data(), r.size());
  }
  return a;
}

// The reference: R as the first sheet shows it, groups found by a linear search over the labels,
// S from the sums of values and squares.
double ShownR(unsigned raw, int unit) {
  const long double mpa = raw / 10.0;
  if (unit == 1) return std::floor(mpa * 10.19L + 0.5L);
  if (unit == 3) return std::floor(mpa * 145.04L + 0.5L);
  return raw / 10.0;
}

TSummaryRow Reference(const std::vector<double>& r) {
  TSummaryRow row;
  row.N = static_cast<int>(r.size());
  long double sum = 0, squares = 0;
  row.Min = row.Max = r.front();
  for (double x : r) {
    sum += x;
    squares += static_cast<long double>(x) * x;
    row.Min = std::min(row.Min, x);
    row.Max = std::max(row.Max, x);
  }
  row.Mean = static_cast<double>(sum / row.N);
  if (row.N > 1) {
    const long double var = (squares - sum * sum / row.N) / (row.N - 1);
    row.S = static_cast<double>(std::sqrt(std::max(var, 0.0L)));
    if (row.Mean != 0) row.V = *row.S / row.Mean * 100;
  }
  return row;
}

void ExpectRow(const TSummaryRow& got, const TSummaryRow& want, const std::string& where) {
  const double eps = 1e-9 * std::max(1.0, std::abs(want.Mean));
  EXPECT_EQ(got.Article, want.Article) << where;
  EXPECT_EQ(got.Material, want.Material) << where;
  EXPECT_EQ(got.N, want.N) << where;
  EXPECT_NEAR(got.Mean, want.Mean, eps) << where;
  EXPECT_EQ(got.Min, want.Min) << where;
  EXPECT_EQ(got.Max, want.Max) << where;
  ASSERT_EQ(got.S.has_value(), want.S.has_value()) << where;
  ASSERT_EQ(got.V.has_value(), want.V.has_value()) << where;
  if (want.S) {
    EXPECT_NEAR(*got.S, *want.S, 1e-6 * std::max(1.0, *want.S)) << where;
  }
  if (want.V) {
    EXPECT_NEAR(*got.V, *want.V, 1e-6 * std::max(1.0, *want.V)) << where;
  }
}

}  // namespace

TEST(ArchiveSummary, StatisticsEqualAnIndependentComputationInEveryUnit) {
  struct Case {
    const char* name;
    std::vector<Series> series;
    std::size_t groups;
  };
  std::vector<Series> many;
  for (unsigned i = 0; i < 300; ++i) many.push_back({static_cast<int>(i % 3), 1, 200 + i});
  const std::vector<Case> cases = {
      {"one series", {{2, 1, 350}}, 1},
      {"groups of one", {{0, 0, 100}, {1, 1, 200}, {2, 2, 300}}, 3},
      {"invalid codes under Error",
       {{9, 14, 500}, {15, 15, 410}, {9, 3, 333}, {0, 0, 65535}, {12, 15, 500}},
       3},
      {"interleaved, first appearance", {{1, 1, 301}, {0, 0, 99}, {1, 1, 305}, {0, 0, 0}}, 2},
      {"mean of zero", {{0, 0, 0}, {0, 0, 0}}, 1},
      {"close values far from zero", {{0, 0, 60001}, {0, 0, 60002}, {0, 0, 60003}}, 1},
      {"more series than the chart shows", many, 3},
  };
  for (const Case& c : cases) {
    for (int unit = 0; unit < UnitCount; ++unit) {
      const std::string where = std::string(c.name) + ", unit " + std::to_string(unit);
      const TArchiveSummary got = SummarizeArchive(ArchiveOf(c.series), unit);
      std::vector<TSummaryRow> keys;
      std::vector<std::vector<double>> values;
      std::vector<double> all;
      for (const Series& s : c.series) {
        const std::string article = ArticleLabel(s.article), material = MaterialLabel(s.material);
        std::size_t g = 0;
        while (g < keys.size() && (keys[g].Article != article || keys[g].Material != material)) ++g;
        if (g == keys.size()) {
          keys.push_back({.Article = article, .Material = material});
          values.emplace_back();
        }
        values[g].push_back(ShownR(s.raw, unit));
        all.push_back(ShownR(s.raw, unit));
      }
      ASSERT_EQ(got.Groups.size(), c.groups) << where;
      ASSERT_EQ(keys.size(), c.groups) << where;
      for (std::size_t g = 0; g < keys.size(); ++g) {
        TSummaryRow want = Reference(values[g]);
        want.Article = keys[g].Article;
        want.Material = keys[g].Material;
        ExpectRow(got.Groups[g], want, where + ", group " + std::to_string(g));
      }
      TSummaryRow want = Reference(all);
      want.Article = "All series";
      ExpectRow(got.All, want, where + ", all");
      EXPECT_EQ(got.SeriesR, all) << where;
      EXPECT_EQ(got.ChartCount, std::min<std::size_t>(all.size(), 200)) << where;
      const std::string title = SummaryChartTitle(got);
      if (all.size() > 200)
        EXPECT_EQ(title, "R of series 1 to 200 of 300, " + UnitComboText(unit)) << where;
      else
        EXPECT_EQ(title, "R of every series, " + UnitComboText(unit)) << where;
    }
  }
}
