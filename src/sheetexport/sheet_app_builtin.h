// The built-in spreadsheet application: an in-memory workbook that honours every operation of
// the application interface and writes real .xlsx and CSV files. When it is let go while
// visible with unsaved work, the workbook is handed to the desktop (builtin_handover.h); without
// a desktop that work is dropped. Answers the version test as version 14.
// Not thread-safe: one thread drives it.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/datetime.h"
#include "base/format_settings.h"
#include "sheetexport/desktop.h"
#include "sheetexport/sheet_app.h"

struct TBuiltinSheetOptions {
  FormatSettings Settings;                           // answers International, reads number formats
  std::shared_ptr<TDesktop> Desktop;                 // none: nothing is handed over
  std::function<void(const std::string&)> TellUser;  // where a file went that nothing opened
  std::function<TDateTime()> Now;                    // for the handed-over file's name; Now()
};

std::shared_ptr<TSheetSystem> CreateBuiltinSheetSystem(TBuiltinSheetOptions options);
