#include "sheetexport/sheet_system.h"

// The desktop's spreadsheet programs take files, not automation.
std::shared_ptr<TSheetSystem> InstalledSheetSystem(const FormatSettings&) {
  return nullptr;
}
