#include "textreport.h"

#include <algorithm>
#include <memory>

#include "base/exceptions.h"
#include "base/utf16.h"
#include "mainwindow/presentation.h"
#include "platform/atomic_file.h"
#include "platform/text_codec.h"

namespace {

constexpr std::size_t kBlockSize = 16u << 20;
const char* const kCaption = "Quarrow VORNEX";
const char* const kEol = "\r\n";

int Len(const std::string& s) {
  return static_cast<int>(Utf16Length(s));
}

void Cell(std::string& line, const std::string& content) {
  line += content;
  line += ColumnSeparator;
}
void Right(std::string& line, int width, const std::string& text) {
  line.append(static_cast<std::size_t>(std::max(0, width - Len(text))), ' ');
  Cell(line, text);
}
void Left(std::string& line, int width, const std::string& text) {
  line += text;
  line.append(static_cast<std::size_t>(std::max(0, width - Len(text))), ' ');
  line += ColumnSeparator;
}
void Center(std::string& line, int width, const std::string& text) {
  Cell(line, text2center(width, text));
}
int W(int col) {
  return Columns[col].Width;
}

}  // namespace

TTextReport::TTextReport(const FormatSettings& fs, int unit, bool singles)
    : fs_(fs), unit_(NormalizeUnit(unit)), singles_(singles) {
  for (int c = 0; c < ColRpr; ++c) Cell(blank_prefix_, int2space(W(c)));
}

std::string& TTextReport::Room(std::size_t size) {
  if (blocks_.empty() || blocks_.back().size() + size > blocks_.back().capacity()) {
    blocks_.emplace_back();
    blocks_.back().reserve(std::max(kBlockSize, size));
  }
  return blocks_.back();
}

void TTextReport::AppendLine(std::string_view line) {
  std::string& block = Room(line.size() + 2);
  block.append(line);
  block.append(kEol);
  ++lines_;
}

void TTextReport::AddHeader(TDateTime now) {
  AppendLine(" ");
  AppendLine(kCaption);
  AppendLine(" ");
  AppendLine(DateTimeText(now, fs_));
  AppendLine(" ");
  line_.clear();
  const int last = singles_ ? ColRpr : ColRpr - 1;
  for (int c = 0; c <= last; ++c) {
    std::string title = ColumnTitle(c);
    if (c == ColR || c == ColS) title += UnitReportText(unit_);
    Center(line_, W(c), title);
  }
  AppendLine(line_);
}

void TTextReport::AddRecord(const ArchiveSlot& slot, std::size_t index) {
  line_.clear();
  Right(line_, W(0), std::to_string(index + 1));
  Center(line_, W(1), DateTimeText(RecordDateTime(slot), fs_));
  Left(line_, W(2), MaterialLabel(Material(slot)));
  Left(line_, W(3), ArticleLabel(Article(slot)));
  Center(line_, W(4), DirWord(Dir(slot)));
  Right(line_, W(5), StrengthText(R(slot), unit_, fs_));
  Right(line_, W(6), StrengthText(S(slot), unit_, fs_));
  Right(line_, W(7), VText(V(slot), fs_));
  Center(line_, W(8), AgeLabel(Age(slot)));
  Center(line_, W(9), CondLabel(Cond(slot)));
  Center(line_, W(10), OtbrakLabel(Otbrak(slot)));
  Center(line_, W(11), std::to_string(Limit(slot)));
  Right(line_, W(12), KcText(Kc(slot), fs_));
  Center(line_, W(13), std::to_string(Q(slot)));
  if (singles_) Cell(line_, int2space(W(ColRpr)));
  AppendLine(line_);
  if (!singles_) return;
  const int n = RprCount(slot);
  for (int k = 0; k < n; ++k) {
    const std::string value = StrengthText(Rpr(slot, k), unit_, fs_);
    const std::size_t pad = static_cast<std::size_t>(std::max(0, W(ColRpr) - Len(value)));
    std::string& block = Room(blank_prefix_.size() + pad + value.size() + 5);
    block += blank_prefix_;
    block.append(pad, ' ');
    block += value;
    block += ColumnSeparator;
    block += kEol;
    ++lines_;
  }
}

std::uint64_t TTextReport::Size() const {
  std::uint64_t n = 0;
  for (const auto& b : blocks_) n += b.size();
  return n;
}

std::string TTextReport::Text() const {
  std::string all;
  all.reserve(static_cast<std::size_t>(Size()));
  for (const auto& b : blocks_) all += b;
  return all;
}

void TTextReport::SaveToFile(const std::string& fileName) const {
  TAnsiEncoder encoder;
  std::unique_ptr<TAtomicFile> file;
  try {
    file = std::make_unique<TAtomicFile>(fileName);
  } catch (const Exception& e) {
    throw Exception("Cannot create file \"" + fileName + "\". " + e.Message());
  }
  std::string encoded;
  for (const auto& b : blocks_) {
    if (encoder.PassesUnchanged(b)) {
      file->Write(b);
      continue;
    }
    encoded.clear();
    encoder.Encode(b, encoded);
    file->Write(encoded);
  }
  file->Commit();
}

void TTextReport::Clear() {
  blocks_.clear();
  blocks_.shrink_to_fit();
  lines_ = 0;
}

TTextReport BuildTextReport(const TArchive& archive, int unit, bool singles,
                            const FormatSettings& fs, TDateTime now,
                            const std::function<void(std::size_t)>& progress) {
  TTextReport report(fs, unit, singles);
  report.AddHeader(now);
  const std::size_t total = archive.RecTotal();
  for (std::size_t i = 0; i < total; ++i) {
    report.AddRecord(archive.Slot(i), i);
    if (progress) progress(i + 1);
  }
  return report;
}
