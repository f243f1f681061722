// The exports' cursor over the archive: one row per record and, when single values are
// included, one row per single value right after its record. It never leaves the archive:
// past the last row it stays on the last record with End set. Main thread only.
#pragma once

#include <cstdint>

#include "mainwindow/archive.h"

struct TExportCursor {
  std::uint32_t Position = 0;
  std::uint32_t Single = 0;  // k, the single value of the current record
  bool SingleRow = false;
  bool End = false;
  std::uint32_t Size = 0;

  // Position 0, first row; End at once for an empty archive.
  void First();
  // One row on; singles: whether single-value rows follow their records.
  void Next(const TArchive& archive, bool singles);
};
