// The built-in spreadsheet application: an in-memory workbook that honours every operation of
// the application interface and writes real .xlsx and CSV files. When it is let go while
// visible with unsaved work, the workbook goes to a new file in the user's cache folder and is
// opened in the desktop's spreadsheet program. Answers the version test as version 14.
// Not thread-safe: one thread drives it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/format_settings.h"
#include "sheetexport/desktop.h"
#include "sheetexport/sheet_app.h"

struct TBuiltinSheetOptions {
  FormatSettings Settings;                           // answers International, reads number formats
  std::shared_ptr<TDesktop> Desktop;                 // CreateSystemDesktop() when empty
  std::function<void(const std::string&)> TellUser;  // where a handed-over file went
};

std::shared_ptr<TSheetSystem> CreateBuiltinSheetSystem(TBuiltinSheetOptions options);
