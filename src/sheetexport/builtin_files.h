// Files of the built-in workbook: the whole workbook as .xlsx (through libxlsxwriter, in its
// constant-memory mode whenever the sheets allow), one sheet as CSV with the values as shown.
#pragma once

#include <memory>
#include <string>

#include "sheetexport/builtin_book.h"

namespace builtin {

// Paths are UTF-8. Both replace the file as a whole (an existing one stays untouched on any
// failure) and raise ESheetAppError, naming the file, when it cannot be written.
void WriteXlsx(const TBook& book, const std::string& path);
void WriteCsv(const TSheet& sheet, const std::string& path);
// A CSV file as a one-sheet workbook: numbers where a field is one, text otherwise.
std::shared_ptr<TBook> ReadCsv(const std::string& path);

// The text the cell shows: numbers under their format, booleans as TRUE/FALSE.
std::string CellText(const TBook& book, const TCell& cell);

}  // namespace builtin
