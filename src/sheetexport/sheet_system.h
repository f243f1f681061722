// The spreadsheet application of the system the program runs on: Excel by automation on
// Windows, the built-in workbook elsewhere.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/format_settings.h"
#include "sheetexport/sheet_app.h"

struct TSystemSheetOptions {
  FormatSettings Settings;                           // the user's locale (built-in workbook)
  std::function<void(const std::string&)> TellUser;  // where a handed-over file went
};

std::shared_ptr<TSheetSystem> CreateSystemSheetSystem(TSystemSheetOptions options);
