// The spreadsheet application of the system the program runs on: the installed one where it
// can be driven (Excel on Windows), the built-in workbook everywhere else, so that every
// machine can export.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/format_settings.h"
#include "sheetexport/sheet_app.h"

struct TSystemSheetOptions {
  FormatSettings Settings;                           // the user's locale (built-in workbook)
  std::function<void(const std::string&)> TellUser;  // where a handed-over file went
  // A program without a desktop (the command-line reader) writes only the files it is told to:
  // it gets the built-in workbook, which then drops unsaved work, and never starts Excel.
  bool Desktop = true;
};

std::shared_ptr<TSheetSystem> CreateSystemSheetSystem(TSystemSheetOptions options);

// The installed spreadsheet application that the export engine can drive; none where there is
// none (Linux: always). One implementation per system.
std::shared_ptr<TSheetSystem> InstalledSheetSystem(const FormatSettings& settings);
