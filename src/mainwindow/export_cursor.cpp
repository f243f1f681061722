#include "export_cursor.h"

void TExportCursor::First() {
  Position = 0;
  Single = 0;
  End = false;
  SingleRow = false;
  if (Size == 0) End = true;
}

void TExportCursor::Next(const TArchive& archive, bool singles) {
  const auto clampAtEnd = [this] {
    if (Position >= Size) {
      Position = Size == 0 ? 0 : Size - 1;
      End = true;
      return true;
    }
    return false;
  };
  if (clampAtEnd()) return;
  if (!singles) {
    ++Position;
    SingleRow = false;
  } else if (SingleRow) {
    // The rows a record has are the single values it holds: a count above 49 stops at 49.
    if (++Single >= static_cast<std::uint32_t>(RprCount(archive.Slot(Position)))) {
      ++Position;
      SingleRow = false;
    }
  } else if (RprCount(archive.Slot(Position)) > 0) {
    SingleRow = true;
    Single = 0;
  } else {
    ++Position;
  }
  clampAtEnd();
}
