// The fixed-width text report of a received archive: built in memory (one compact run of
// blocks, never a list of line objects), then written as a whole with CR LF line ends in the
// system's ANSI code page, replacing the target file atomically. Main thread only.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/datetime.h"
#include "mainwindow/archive.h"
#include "platform/locale_settings.h"

class TTextReport {
 public:
  // unit: strength unit index (titles and values); singles: one line per single value.
  TTextReport(const FormatSettings& fs, int unit, bool singles);

  // Lines 1-6: blank, caption, blank, the date-time now, blank, the title line.
  void AddHeader(TDateTime now);
  // The record line of the slot shown as record index + 1, then its single-value lines.
  void AddRecord(const ArchiveSlot& slot, std::size_t index);

  std::size_t LineCount() const { return lines_; }
  // Bytes of the report as UTF-8 with CR LF.
  std::uint64_t Size() const;
  // The whole report as UTF-8 with CR LF (for small reports and tests).
  std::string Text() const;
  // Writes the report to fileName (UTF-8), replacing it as a whole. Raises EOSError "Cannot
  // create file ..." when the file cannot be created, "Cannot write file ..." when writing it
  // fails; in both cases an existing file keeps its old content.
  void SaveToFile(const std::string& fileName) const;
  void Clear();

 private:
  void AppendLine(std::string_view line);
  std::string& Room(std::size_t size);

  FormatSettings fs_;
  int unit_;
  bool singles_;
  std::string blank_prefix_;
  std::string line_;
  std::vector<std::string> blocks_;
  std::size_t lines_ = 0;
};

// The whole report of the archive's first RecTotal slots; progress(records done) after each.
TTextReport BuildTextReport(const TArchive& archive, int unit, bool singles,
                            const FormatSettings& fs, TDateTime now,
                            const std::function<void(std::size_t)>& progress = {});
