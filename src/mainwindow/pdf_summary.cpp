#include "mainwindow/pdf_summary.h"

#include <algorithm>
#include <cmath>

#include "mainwindow/presentation.h"
#include "pdf/pdf_columns.h"

namespace {

constexpr float kSummaryFont = 7.0f, kSummaryRowH = 10.0f, kSummaryHeadH = 20.0f, kCaptionH = 26.0f;
constexpr float kChartH = 330.0f, kSummaryPad = 2.0f;
// Relative widths of the summary's columns.
constexpr float kSummaryWidths[SummaryColumnCount] = {150, 190, 50, 80, 80, 80, 70, 60};

// Blocks: 0 the caption, 1 the head, then one per group, the all-series line, the chart.
constexpr std::size_t kCaption = 0, kHead = 1, kFirstLine = 2;

// A step of 1, 2 or 5 times a power of ten that cuts 0..top into at most about five parts.
double TickStep(double top) {
  const double raw = top / 5;
  const double p = std::pow(10.0, std::floor(std::log10(raw)));
  for (const double m : {1.0, 2.0, 5.0})
    if (m * p >= raw) return m * p;
  return 10 * p;
}

}  // namespace

TPdfSummary::TPdfSummary(const TArchiveSummary& summary, const FormatSettings& fs,
                         const TStringTable& tr, TPdfDocument& doc, float left, float width)
    : s_(summary), fs_(fs), tr_(tr), doc_(doc), left_(left), width_(width) {
  SpreadColumns(kSummaryWidths, left, width, x_, w_);
}

std::size_t TPdfSummary::Blocks() const {
  return kFirstLine + s_.Groups.size() + 1 + (s_.ChartCount > 0 ? 1 : 0);
}

bool TPdfSummary::IsTableLine(std::size_t block) const {
  return block >= kFirstLine && block <= kFirstLine + s_.Groups.size();
}

float TPdfSummary::HeadHeight() const {
  return kSummaryHeadH;
}

float TPdfSummary::Height(std::size_t block) const {
  if (block == kCaption) return kCaptionH;
  if (block == kHead) return kSummaryHeadH;
  if (IsTableLine(block)) return kSummaryRowH;
  return kChartH;
}

void TPdfSummary::Cell(int c, float baseline, const std::string& text, float size) {
  const float room = w_[c] - 2 * kSummaryPad;
  float w = doc_.TextWidth(text, size);
  if (w > room) {
    size = std::max(3.0f, size * room / w);
    w = doc_.TextWidth(text, size);
  }
  // Texts sit left, numbers right.
  const float x = c <= scMaterial ? x_[c] + kSummaryPad : x_[c] + w_[c] - kSummaryPad - w;
  doc_.Text(x, baseline, size, text);
}

float TPdfSummary::DrawHead(float top) {
  doc_.FillRect(left_, top - kSummaryHeadH, width_, kSummaryHeadH, 0.88f);
  for (int c = 0; c < SummaryColumnCount; ++c)
    Cell(c, top - kSummaryHeadH / 2 - 2.3f, SummaryColumnTitle(c, s_.Unit, tr_), kSummaryFont);
  return top - kSummaryHeadH;
}

float TPdfSummary::Line(const TSummaryRow& row, float top, bool all) {
  const float base = top - kSummaryRowH + 3;
  const auto number = [&](int column, double v) {
    return FormatFixed(v, 0, SummaryColumnDecimals(column, s_.Unit), fs_);
  };
  if (all) doc_.Line(left_, top, left_ + width_, top, 0.6f);
  Cell(scArticle, base, row.Article, kSummaryFont);
  Cell(scMaterial, base, row.Material, kSummaryFont);
  Cell(scN, base, std::to_string(row.N), kSummaryFont);
  Cell(scMean, base, number(scMean, row.Mean), kSummaryFont);
  Cell(scMin, base, number(scMin, row.Min), kSummaryFont);
  Cell(scMax, base, number(scMax, row.Max), kSummaryFont);
  if (row.S) Cell(scS, base, number(scS, *row.S), kSummaryFont);
  if (row.V) Cell(scV, base, number(scV, *row.V), kSummaryFont);
  doc_.Line(left_, top - kSummaryRowH, left_ + width_, top - kSummaryRowH, 0.3f, 0.75f);
  return top - kSummaryRowH;
}

// Columns of R per series on a scale from 0 with its ticks, and the mean of all series across.
float TPdfSummary::Chart(float top) {
  doc_.Text(left_, top - 16, 10, SummaryChartTitle(s_, tr_));
  const std::size_t n = s_.ChartCount;
  double high = s_.All.Mean;
  for (std::size_t i = 0; i < n; ++i) high = std::max(high, s_.SeriesR[i]);
  if (high <= 0) high = 1;
  const double step = TickStep(high);
  const double scaleTop = std::ceil(high / step) * step;
  const float x0 = left_ + 40, x1 = left_ + width_ - 10;
  const float y0 = top - kChartH + 24, y1 = top - 30;
  const auto Y = [&](double v) { return y0 + static_cast<float>(v / scaleTop) * (y1 - y0); };
  const int decimals = step < 1 ? 1 : 0;
  for (double v = 0; v <= scaleTop + step / 2; v += step) {
    doc_.Line(x0, Y(v), x1, Y(v), 0.3f, v == 0 ? 0.0f : 0.8f);
    const std::string label = FormatFixed(v, 0, decimals, fs_);
    doc_.Text(x0 - 4 - doc_.TextWidth(label, kSummaryFont), Y(v) - 2.4f, kSummaryFont, label);
  }
  const float slot = (x1 - x0) / static_cast<float>(n);
  // Numbers under the columns, as many as fit.
  const std::size_t every =
      std::max<std::size_t>(1, static_cast<std::size_t>(std::ceil(22 / slot)));
  for (std::size_t i = 0; i < n; ++i) {
    const float x = x0 + slot * static_cast<float>(i);
    doc_.FillRect(x + slot * 0.15f, y0, slot * 0.7f, Y(s_.SeriesR[i]) - y0, 0.55f);
    if ((i + 1) % every == 0 || i == 0) {
      const std::string label = std::to_string(i + 1);
      doc_.Text(x + (slot - doc_.TextWidth(label, 6)) / 2, y0 - 9, 6, label);
    }
  }
  const float ym = Y(s_.All.Mean);
  doc_.Line(x0, ym, x1, ym, 1.2f);
  const std::string mean = SummaryColumnTitle(scMean, s_.Unit, tr_) + ": " +
                           FormatFixed(s_.All.Mean, 0, SummaryColumnDecimals(scMean, s_.Unit), fs_);
  const float w = doc_.TextWidth(mean, kSummaryFont);
  doc_.FillRect(x1 - w - 6, ym + 2, w + 4, 9, 1.0f);
  doc_.Text(x1 - w - 4, ym + 4.5f, kSummaryFont, mean);
  return top - kChartH;
}

float TPdfSummary::Draw(std::size_t block, float top) {
  if (block == kCaption) {
    doc_.Text(left_, top - 16, 8.5f, SummaryCaption(s_.Unit, tr_));
    return top - kCaptionH;
  }
  if (block == kHead) return DrawHead(top);
  if (IsTableLine(block)) {
    const std::size_t g = block - kFirstLine;
    return g < s_.Groups.size() ? Line(s_.Groups[g], top, false) : Line(s_.All, top, true);
  }
  return Chart(top);
}
