// The printable protocol of a received archive: A4 landscape pages with a title block, the
// record table (its column titles on every page, single values in compact lines under their
// record) and "Page n of m" at the foot. A layout pass counts the pages first; the drawing pass
// then writes them one by one. Main thread only.
#pragma once

#include <cstddef>
#include <filesystem>
#include <functional>
#include <string>

#include "base/datetime.h"
#include "base/format_settings.h"
#include "mainwindow/archive.h"
#include "text/string_table.h"

struct TProtocolInput {
  const TArchive& Archive;  // its first RecTotal records
  int Unit = 0;
  bool Singles = true;
  FormatSettings Format;
  const TStringTable& Tr;
  TDateTime ReadAt{};      // when the archive was read
  TDateTime TesterDate{};  // the date the tester's clock showed
  TDateTime Now{};         // the document's creation date
};

// Writes the protocol to fileName (UTF-8), replacing it as a whole, with the font of
// ProtocolFontFile() unless another is given; progress(records drawn) after each record.
void WritePdfProtocol(const TProtocolInput& in, const std::string& fileName,
                      const std::function<void(std::size_t)>& progress = {},
                      const std::filesystem::path& font = {});
