// The part of the PDF protocol after the records: the summary table and the chart of R per
// series with the overall mean, drawn as vectors. Cut into blocks (the caption, the table's head,
// each of its lines, the chart) that the protocol places on its pages. Main thread only.
#pragma once

#include <cstddef>

#include "base/format_settings.h"
#include "mainwindow/archive_summary.h"
#include "pdf/pdf_document.h"
#include "text/string_table.h"

class TPdfSummary {
 public:
  // left, width: the printable band of the page.
  TPdfSummary(const TArchiveSummary& summary, const FormatSettings& fs, const TStringTable& tr,
              TPdfDocument& doc, float left, float width);

  std::size_t Blocks() const;
  float Height(std::size_t block) const;
  // A line of the table: a page that starts with one repeats the table's head first.
  bool IsTableLine(std::size_t block) const;
  float HeadHeight() const;
  // Draw a block, or the table's head, below top; each returns the y under it.
  float Draw(std::size_t block, float top);
  float DrawHead(float top);

 private:
  float Line(const TSummaryRow& row, float top, bool all);
  float Chart(float top);
  void Cell(int column, float baseline, const std::string& text, float size);

  const TArchiveSummary& s_;
  const FormatSettings& fs_;
  const TStringTable& tr_;
  TPdfDocument& doc_;
  float left_, width_;
  float x_[SummaryColumnCount] = {}, w_[SummaryColumnCount] = {};
};
