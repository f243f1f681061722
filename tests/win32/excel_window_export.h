// The main window's "Export to Excel" of a made-up archive, run headless against a given
// spreadsheet system, for test files that cannot include the serial headers beside <windows.h>.
#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "sheetexport/sheet_app.h"

struct TWindowExport {
  std::string DateLine;             // the header's date line as the window writes it
  std::vector<std::string> Errors;  // what the export raised
};

// `records` records of `q` single values each, with or without the single values; beforeExport
// runs when the window is ready, just before the click.
TWindowExport ExportByTheWindow(std::shared_ptr<TSheetSystem> sheets, unsigned records, unsigned q,
                                bool singles, const std::function<void()>& beforeExport = {});
