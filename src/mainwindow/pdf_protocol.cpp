#include "mainwindow/pdf_protocol.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <vector>

#include "base/version.h"
#include "mainwindow/archive_summary.h"
#include "mainwindow/pdf_summary.h"
#include "mainwindow/presentation.h"
#include "pdf/pdf_columns.h"
#include "pdf/pdf_document.h"
#include "platform/language/protocol_font.h"

namespace {

// A4 landscape in points, with a 10 mm margin.
constexpr float kPageW = 841.89f, kPageH = 595.28f, kMargin = 28.35f;
constexpr float kUsableW = kPageW - 2 * kMargin;
constexpr float kFont = 7.0f, kRowH = 9.6f;
constexpr float kSingleFont = 6.3f, kSingleH = 8.4f, kSinglesPerLine = 25;
constexpr float kHeadFont = 6.8f, kHeadH = 20.0f;
constexpr float kTitleH = 54.0f;
constexpr float kFootH = 16.0f;
constexpr float kPad = 2.0f, kGap = 14.0f;
constexpr float kTop = kPageH - kMargin, kBottom = kMargin + kFootH;

enum TAlign { alLeft, alCenter, alRight };
constexpr int kCols = ColRpr;  // the single values go under their record, not into a column
// Relative widths of the record table's columns and how their texts sit.
constexpr std::array<float, kCols> kWidths = {30, 84, 104, 88, 64, 44, 44,
                                              30, 54, 70,  50, 42, 30, 30};
constexpr std::array<TAlign, kCols> kAligns = {alRight,  alCenter, alLeft,  alLeft,   alCenter,
                                               alRight,  alRight,  alRight, alCenter, alCenter,
                                               alCenter, alCenter, alRight, alCenter};

class TProtocol {
 public:
  TProtocol(const TProtocolInput& in, TPdfDocument& doc)
      : in_(in),
        doc_(doc),
        stats_(SummarizeArchive(in.Archive, in.Unit, in.Tr)),
        summary_(stats_, in.Format, in.Tr, doc, kMargin, kUsableW) {
    SpreadColumns(kWidths, kMargin, kUsableW, x_, w_);
    unit_ = NormalizeUnit(in.Unit);
    for (int c = 0; c < kCols; ++c) {
      std::string title = ColumnTitle(c, in.Tr);
      if (c == ColR || c == ColS) title += UnitReportText(unit_, in.Tr);
      titles_[c] = title;
    }
  }

  // Where every page starts, in a layout pass that draws nothing: the records first, each page
  // under the table's head, then the summary's blocks.
  void Layout() {
    const std::size_t total = in_.Archive.RecTotal();
    float y = kTop - kTitleH - kHeadH;
    pages_.assign(1, {0, 0});
    for (std::size_t i = 0; i < total; ++i) {
      const float h = RecordHeight(in_.Archive.Slot(i));
      if (y - h < kBottom && pages_.back().Record != i) {
        pages_.push_back({static_cast<std::uint32_t>(i), 0});
        y = kTop - kHeadH;
      }
      y -= h;
    }
    const auto records = static_cast<std::uint32_t>(total);
    y -= kGap;
    for (std::size_t b = 0; b < summary_.Blocks(); ++b) {
      float h = summary_.Height(b);
      if (y - h < kBottom) {
        pages_.push_back({records, static_cast<std::uint32_t>(b)});
        y = kTop;
        if (summary_.IsTableLine(b)) h += summary_.HeadHeight();
      }
      y -= h;
    }
  }

  void Draw(const std::function<void(std::size_t)>& progress) {
    const std::size_t total = in_.Archive.RecTotal();
    const std::size_t pages = pages_.size(), blocks = summary_.Blocks();
    for (std::size_t p = 0; p < pages; ++p) {
      doc_.AddPage(kPageW, kPageH);
      float y = kTop;
      if (p == 0) y = TitleBlock(y);
      const bool last = p + 1 == pages;
      const std::size_t end = last ? total : pages_[p + 1].Record;
      if (pages_[p].Record < end) {
        y = HeadRow(y);
        for (std::size_t i = pages_[p].Record; i < end; ++i) {
          y = Record(y, in_.Archive.Slot(i), i);
          if (progress) progress(i + 1);
        }
      }
      if (end == total) {
        const std::size_t from = pages_[p].Record < total ? 0 : pages_[p].Block;
        const std::size_t to = last || pages_[p + 1].Record < total ? blocks : pages_[p + 1].Block;
        if (from == 0 && from < to) y -= kGap;
        for (std::size_t b = from; b < to; ++b) {
          if (b == from && from > 0 && summary_.IsTableLine(b)) y = summary_.DrawHead(y);
          y = summary_.Draw(b, y);
        }
      }
      Foot(p + 1, pages);
    }
  }

 private:
  int SingleLines(const ArchiveSlot& slot) const {
    if (!in_.Singles) return 0;
    const int n = RprCount(slot);
    return (n + static_cast<int>(kSinglesPerLine) - 1) / static_cast<int>(kSinglesPerLine);
  }
  float RecordHeight(const ArchiveSlot& slot) const {
    return kRowH + static_cast<float>(SingleLines(slot)) * kSingleH;
  }

  // The size at which text fits width, at most size.
  float Fit(const std::string& text, float size, float width) const {
    const float w = doc_.TextWidth(text, size);
    return w <= width ? size : std::max(3.0f, size * width / w);
  }

  void Cell(int c, float baseline, const std::string& text, float size, float gray = 0) {
    const float room = w_[c] - 2 * kPad;
    const float s = Fit(text, size, room);
    const float w = doc_.TextWidth(text, s);
    float x = x_[c] + kPad;
    if (kAligns[c] == alRight) x = x_[c] + w_[c] - kPad - w;
    if (kAligns[c] == alCenter) x = x_[c] + (w_[c] - w) / 2;
    doc_.Text(x, baseline, s, text, gray);
  }

  float TitleBlock(float y) {
    const TStringTable& tr = in_.Tr;
    doc_.Text(kMargin, y - 14, 14, tr.Text(TS::ProtocolTitle));
    doc_.Text(kMargin, y - 29, 10,
              std::string("Quarrow2Excel ") + kProgramVersion + " \u00B7 " + tr.Text(TS::Caption));
    const std::string facts[] = {
        FormatText(tr.Text(TS::ProtocolReadAt), {DateTimeText(in_.ReadAt, in_.Format)}),
        FormatText(tr.Text(TS::ProtocolTesterDate), {DateTimeText(in_.TesterDate, in_.Format)}),
        FormatText(tr.Text(TS::ProtocolUnit), {UnitReportText(unit_, tr)}),
        FormatText(tr.Text(TS::ProtocolRecords), {std::to_string(in_.Archive.RecTotal())})};
    float x = kMargin;
    for (const auto& f : facts) {
      doc_.Text(x, y - 43, 8.5f, f);
      x += doc_.TextWidth(f, 8.5f) + 24;
    }
    doc_.Line(kMargin, y - kTitleH + 5, kPageW - kMargin, y - kTitleH + 5, 0.6f);
    return y - kTitleH;
  }

  // The column titles on a gray band, in one or two lines each.
  float HeadRow(float y) {
    doc_.FillRect(kMargin, y - kHeadH, kUsableW, kHeadH, 0.88f);
    for (int c = 0; c < kCols; ++c) {
      const auto lines = TitleLines(titles_[c], w_[c] - 2 * kPad);
      if (lines.size() == 1) {
        Cell(c, y - kHeadH / 2 - kHeadFont / 3, lines[0], kHeadFont);
      } else {
        Cell(c, y - 8, lines[0], kHeadFont);
        Cell(c, y - 16.5f, lines[1], kHeadFont);
      }
    }
    return y - kHeadH;
  }

  // Breaks a title at spaces into at most two lines; what does not fit is shrunk by Cell.
  std::vector<std::string> TitleLines(const std::string& title, float room) const {
    if (doc_.TextWidth(title, kHeadFont) <= room) return {title};
    std::size_t best = std::string::npos;
    for (std::size_t sp = title.find(' '); sp != std::string::npos; sp = title.find(' ', sp + 1)) {
      if (best == std::string::npos || doc_.TextWidth(title.substr(0, sp), kHeadFont) <= room)
        best = sp;
      else
        break;
    }
    if (best == std::string::npos) return {title};
    return {title.substr(0, best), title.substr(best + 1)};
  }

  float Record(float y, const ArchiveSlot& slot, std::size_t index) {
    const FormatSettings& fs = in_.Format;
    const TStringTable& tr = in_.Tr;
    const float base = y - kRowH + 2.6f;
    Cell(0, base, std::to_string(index + 1), kFont);
    Cell(1, base, DateTimeText(RecordDateTime(slot), fs), kFont);
    Cell(2, base, MaterialLabel(Material(slot), tr), kFont);
    Cell(3, base, ArticleLabel(Article(slot), tr), kFont);
    Cell(4, base, DirWord(Dir(slot), tr), kFont);
    Cell(5, base, Strength(RawR(slot)), kFont);
    Cell(6, base, Strength(RawS(slot)), kFont);
    Cell(7, base, Unpadded(VText(V(slot), fs)), kFont);
    Cell(8, base, AgeLabel(Age(slot), tr), kFont);
    Cell(9, base, CondLabel(Cond(slot), tr), kFont);
    Cell(10, base, OtbrakLabel(Otbrak(slot), tr), kFont);
    Cell(11, base, std::to_string(Limit(slot)), kFont);
    Cell(12, base, Unpadded(KcText(Kc(slot), fs)), kFont);
    Cell(13, base, std::to_string(Q(slot)), kFont);
    y -= kRowH;
    if (in_.Singles) {
      const int n = RprCount(slot);
      const float left = x_[1], slot_w = (kPageW - kMargin - left) / kSinglesPerLine;
      for (int k = 0; k < n; ++k) {
        const int col = k % static_cast<int>(kSinglesPerLine);
        if (col == 0) y -= kSingleH;
        const std::string& v = Strength(RawRpr(slot, k));
        const float right = left + slot_w * static_cast<float>(col + 1) - kPad;
        doc_.Text(right - doc_.TextWidth(v, kSingleFont), y + 2.2f, kSingleFont, v, 0.3f);
      }
    }
    doc_.Line(kMargin, y, kPageW - kMargin, y, 0.3f, 0.75f);
    return y;
  }

  void Foot(std::size_t page, std::size_t pages) {
    const std::string left =
        in_.Tr.Text(TS::ProtocolTitle) + " \u00B7 " + DateTimeText(in_.ReadAt, in_.Format);
    doc_.Text(kMargin, kMargin, 7, left, 0.35f);
    const std::string right =
        FormatText(in_.Tr.Text(TS::ProtocolPage), {std::to_string(page), std::to_string(pages)});
    doc_.Text(kPageW - kMargin - doc_.TextWidth(right, 7), kMargin, 7, right, 0.35f);
  }

  // The strength text of a raw value, formed once per value.
  const std::string& Strength(std::uint16_t raw) {
    std::string& text = strengths_[raw];
    if (text.empty()) text = Unpadded(StrengthText(raw / 10.0, unit_, in_.Format));
    return text;
  }

  struct TPageStart {
    std::uint32_t Record;  // the first record drawn on the page; all of them: none
    std::uint32_t Block;   // the first block of the summary, on pages after the records
  };

  const TProtocolInput& in_;
  TPdfDocument& doc_;
  TArchiveSummary stats_;
  TPdfSummary summary_;
  int unit_ = 0;
  std::array<float, kCols> x_{}, w_{};
  std::array<std::string, kCols> titles_;
  std::vector<TPageStart> pages_;
  std::vector<std::string> strengths_ = std::vector<std::string>(65536);
};

}  // namespace

void WritePdfProtocol(const TProtocolInput& in, const std::string& fileName,
                      const std::function<void(std::size_t)>& progress,
                      const std::filesystem::path& font) {
  TPdfDocument doc(font.empty() ? ProtocolFontFile() : font);
  doc.SetInfo(in.Tr.Text(TS::ProtocolTitle) + " \u2013 " + in.Tr.Text(TS::Caption),
              std::string("Quarrow2Excel ") + kProgramVersion, in.Now);
  TProtocol protocol(in, doc);
  protocol.Layout();
  protocol.Draw(progress);
  doc.Save(fileName);
}
