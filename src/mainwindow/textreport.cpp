#include "textreport.h"

#include <algorithm>

#include "base/exceptions.h"
#include "base/utf16.h"
#include "base/utf8_path.h"
#include "mainwindow/presentation.h"
#include "platform/files/atomic_file.h"
#include "platform/language/text_codec.h"

namespace {

// Expanded lines go to the file in chunks of about this size: large enough to go straight to
// the system, small enough to stay in the cache.
constexpr std::size_t kChunk = 1u << 20;
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
std::size_t Pad(int width, std::string_view text) {
  return static_cast<std::size_t>(std::max(0, width - static_cast<int>(Utf16Length(text))));
}
bool IsAscii(std::string_view s) {
  unsigned char any = 0;
  for (const char c : s) any |= static_cast<unsigned char>(c);
  return any < 0x80;
}

}  // namespace

TTextReport::TTextReport(const FormatSettings& fs, int unit, bool singles, const TStringTable& tr)
    : fs_(fs), tr_(&tr), unit_(NormalizeUnit(unit)), singles_(singles), strengths_(65536) {
  for (int c = 0; c < ColRpr; ++c) Cell(blank_prefix_, int2space(W(c)));
}

void TTextReport::Put(TLineKind kind, std::string_view bytes) {
  held_ += static_cast<char>(kind);
  for (std::size_t n = bytes.size();; n >>= 7) {
    held_ += static_cast<char>((n & 0x7F) | (n >= 0x80 ? 0x80 : 0));
    if (n < 0x80) break;
  }
  held_ += bytes;
  ++lines_;
}

void TTextReport::AppendLine(std::string_view line) {
  Put(IsAscii(line) ? lkAscii : lkText, line);
  size_ += line.size() + 2;
}

const std::string& TTextReport::Strength(std::uint16_t raw) {
  std::string& text = strengths_[raw];
  if (text.empty()) text = StrengthText(raw / 10.0, unit_, fs_);
  return text;
}

void TTextReport::AddHeader(TDateTime now) {
  AppendLine(" ");
  AppendLine(tr_->Text(TS::Caption));
  AppendLine(" ");
  AppendLine(DateTimeText(now, fs_));
  AppendLine(" ");
  line_.clear();
  const int last = singles_ ? ColRpr : ColRpr - 1;
  for (int c = 0; c <= last; ++c) {
    std::string title = ColumnTitle(c, *tr_);
    if (c == ColR || c == ColS) title += UnitReportText(unit_, *tr_);
    Center(line_, W(c), title);
  }
  AppendLine(line_);
}

void TTextReport::AddRecord(const ArchiveSlot& slot, std::size_t index) {
  line_.clear();
  Right(line_, W(0), std::to_string(index + 1));
  Center(line_, W(1), DateTimeText(RecordDateTime(slot), fs_));
  Left(line_, W(2), MaterialLabel(Material(slot), *tr_));
  Left(line_, W(3), ArticleLabel(Article(slot), *tr_));
  Center(line_, W(4), DirWord(Dir(slot), *tr_));
  Right(line_, W(5), Strength(RawR(slot)));
  Right(line_, W(6), Strength(RawS(slot)));
  Right(line_, W(7), VText(V(slot), fs_));
  Center(line_, W(8), AgeLabel(Age(slot), *tr_));
  Center(line_, W(9), CondLabel(Cond(slot), *tr_));
  Center(line_, W(10), OtbrakLabel(Otbrak(slot), *tr_));
  Center(line_, W(11), std::to_string(Limit(slot)));
  Right(line_, W(12), KcText(Kc(slot), fs_));
  Center(line_, W(13), std::to_string(Q(slot)));
  if (singles_) Cell(line_, int2space(W(ColRpr)));
  AppendLine(line_);
  if (!singles_) return;
  const int n = RprCount(slot);
  for (int k = 0; k < n; ++k) {
    const std::string& value = Strength(RawRpr(slot, k));
    Put(lkSingle, value);
    size_ += blank_prefix_.size() + Pad(W(ColRpr), value) + value.size() + 5;
  }
}

template <class Emit>
void TTextReport::Expand(Emit&& emit) const {
  const std::string_view separator = ColumnSeparator, eol = kEol;
  std::string chunk;
  chunk.reserve(kChunk + 4096);
  bool ascii = true;
  std::size_t pos = 0;
  while (pos < held_.size()) {
    const auto kind = static_cast<TLineKind>(held_[pos++]);
    std::size_t len = 0;
    for (int shift = 0;; shift += 7) {
      const auto b = static_cast<unsigned char>(held_[pos++]);
      len |= static_cast<std::size_t>(b & 0x7F) << shift;
      if (b < 0x80) break;
    }
    const std::string_view bytes(held_.data() + pos, len);
    pos += len;
    if (kind == lkSingle) {
      chunk += blank_prefix_;
      chunk.append(Pad(W(ColRpr), bytes), ' ');
      chunk += bytes;
      chunk += separator;
    } else {
      chunk += bytes;
    }
    chunk += eol;
    ascii = ascii && (kind == lkAscii || (kind == lkSingle && IsAscii(bytes)));
    if (chunk.size() >= kChunk) {
      emit(chunk, ascii);
      chunk.clear();
      ascii = true;
    }
  }
  if (!chunk.empty()) emit(chunk, ascii);
}

std::string TTextReport::Text() const {
  std::string all;
  all.reserve(static_cast<std::size_t>(size_));
  Expand([&](const std::string& chunk, bool) { all += chunk; });
  return all;
}

void TTextReport::SaveToFile(const std::string& fileName) const {
  TAnsiEncoder encoder;
  TAtomicFile file(Utf8Path(fileName));
  const bool ascii_passes = encoder.AsciiPassesUnchanged();
  std::string encoded;
  Expand([&](const std::string& chunk, bool ascii) {
    if (ascii && ascii_passes) {
      file.Write(chunk);
      return;
    }
    encoded.clear();
    encoder.Encode(chunk, encoded);
    file.Write(encoded);
  });
  file.Commit();
}

void TTextReport::Clear() {
  held_.clear();
  held_.shrink_to_fit();
  lines_ = 0;
  size_ = 0;
}

const TStringTable& ReportStrings(const TStringTable& tr) {
  TAnsiEncoder encoder;
  return ReportStrings(tr, encoder);
}

const TStringTable& ReportStrings(const TStringTable& tr, TAnsiEncoder& encoder) {
  if (encoder.Identity()) return tr;
  // Every code a label lookup answers, the "Error" label for codes out of range included.
  constexpr int kCodes = 20;
  bool held = encoder.Holds(tr.Text(TS::Caption));
  for (int c = 0; c < ColumnCount && held; ++c) held = encoder.Holds(ColumnTitle(c, tr));
  for (int u = 0; u < UnitCount && held; ++u) held = encoder.Holds(UnitReportText(u, tr));
  for (int code = 0; code < kCodes && held; ++code)
    held = encoder.Holds(MaterialLabel(code, tr) + ArticleLabel(code, tr) + AgeLabel(code, tr) +
                         DirWord(code, tr) + CondLabel(code, tr) + OtbrakLabel(code, tr));
  return held ? tr : TStringTable::English();
}

TTextReport BuildTextReport(const TArchive& archive, int unit, bool singles,
                            const FormatSettings& fs, TDateTime now,
                            const std::function<void(std::size_t)>& progress,
                            const TStringTable& tr) {
  TTextReport report(fs, unit, singles, tr);
  report.AddHeader(now);
  const std::size_t total = archive.RecTotal();
  for (std::size_t i = 0; i < total; ++i) {
    report.AddRecord(archive.Slot(i), i);
    if (progress) progress(i + 1);
  }
  return report;
}
