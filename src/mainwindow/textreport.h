// The fixed-width text report of a received archive: built in memory, then written as a whole
// with CR LF line ends in the system's ANSI code page, replacing the target file atomically.
// Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "base/format_settings.h"
#include "mainwindow/archive.h"
#include "platform/language/text_codec.h"
#include "text/string_table.h"

class TTextReport {
 public:
  // unit: strength unit index (titles and values); singles: one line per single value;
  // tr: the language of the caption, titles and labels.
  TTextReport(const FormatSettings& fs, int unit, bool singles,
              const TStringTable& tr = TStringTable::English());

  // Lines 1-6: blank, caption, blank, the date-time now, blank, the title line.
  void AddHeader(TDateTime now);
  // The record line of the slot shown as record index + 1, then its single-value lines.
  void AddRecord(const ArchiveSlot& slot, std::size_t index);

  std::size_t LineCount() const { return lines_; }
  // Bytes of the report as UTF-8 with CR LF.
  std::uint64_t Size() const { return size_; }
  // The whole report as UTF-8 with CR LF (for small reports and tests).
  std::string Text() const;
  // Writes the report to fileName (UTF-8), replacing it as a whole. Raises EOSError "Cannot
  // create file ..." when the file cannot be created, "Cannot write file ..." when writing it
  // fails; in both cases an existing file keeps its old content.
  void SaveToFile(const std::string& fileName) const;
  void Clear();

 private:
  // Lines are held compactly: a kind byte, the length and the bytes of each. A single-value line
  // holds its value text only; the blank prefix, the same on every such line, is put back while
  // the report is written, so the bytes go out in small chunks that stay in the cache.
  enum TLineKind : char { lkAscii, lkText, lkSingle };
  void AppendLine(std::string_view line);
  void Put(TLineKind kind, std::string_view bytes);
  // The strength text of a raw value in tenths of MPa, formed once per value.
  const std::string& Strength(std::uint16_t raw);
  // Calls emit(chunk, ascii) with the expanded report in chunks of whole lines.
  template <class Emit>
  void Expand(Emit&& emit) const;

  FormatSettings fs_;
  const TStringTable* tr_;
  int unit_;
  bool singles_;
  std::string blank_prefix_;
  std::string line_;
  std::string held_;
  std::vector<std::string> strengths_;
  std::size_t lines_ = 0;
  std::uint64_t size_ = 0;
};

// The language a report is written in: the program's, where the system's code page holds all of
// its report texts; English otherwise, since a report of question marks helps no one.
const TStringTable& ReportStrings(const TStringTable& tr = Strings());
// The same for the code page of encoder.
const TStringTable& ReportStrings(const TStringTable& tr, TAnsiEncoder& encoder);

// The whole report of the archive's first RecTotal slots; progress(records done) after each.
TTextReport BuildTextReport(const TArchive& archive, int unit, bool singles,
                            const FormatSettings& fs, TDateTime now,
                            const std::function<void(std::size_t)>& progress = {},
                            const TStringTable& tr = ReportStrings());
