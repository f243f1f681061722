// Handing a workbook of the built-in application to the desktop: it is written to a new file in
// the user's documents folder (where there is none, in the temporary folder, and the user is
// told so), named after its sheet and the time ("Quarrow VORNEX 2026-12-09 14-05.xlsx", never
// over an existing file), and opened in the desktop's spreadsheet program.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "base/datetime.h"
#include "sheetexport/builtin_book.h"
#include "sheetexport/desktop.h"

namespace builtin {

struct THandOver {
  std::shared_ptr<TDesktop> Desktop;  // none: nothing is handed over
  // Where a file went that nothing opened, or that went to the temporary folder.
  std::function<void(const std::string&)> TellUser;
  std::function<TDateTime()> Now;  // the time in the file's name
};

// The name of the file for a workbook whose active sheet is sheetName, exported at time.
std::string HandOverFileName(const std::string& sheetName, TDateTime time, int attempt);

// Returns false when nothing was handed over: no desktop, or no file could be written (the
// user has then been told why).
bool HandOver(const TBook& book, const THandOver& to);

}  // namespace builtin
