// Feeds arbitrary captured readings to the replay of quarrow-decode and writes the text report
// of whatever reading it completes: every record counted once, every line ended by CR LF.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>

#include "mainwindow/presentation.h"
#include "mainwindow/textreport.h"
#include "replay.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const TReplay replay = ReplayCapture(data, size, {});
  if (!replay.Complete) return 0;
  const TArchive& a = replay.Archive;
  if (a.RecCount() != a.RecTotal() || a.RecTotal() == 0) std::abort();
  const bool singles = size % 2 == 0;
  const TTextReport report = BuildTextReport(a, static_cast<int>(size % UnitCount), singles,
                                             FormatSettings{}, TDateTime{});
  std::size_t lines = 6 + a.RecTotal();
  if (singles)
    for (std::size_t i = 0; i < a.RecTotal(); ++i) lines += RprCount(a.Slot(i));
  const std::string text = report.Text();
  const auto ends = static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
  if (report.LineCount() != lines || ends != lines || text.size() != report.Size() ||
      text.substr(text.size() - 2) != "\r\n")
    std::abort();
  return 0;
}
