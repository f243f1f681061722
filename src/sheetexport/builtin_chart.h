// The built-in workbook's page setup and charts as objects of the application interface; what
// they set is kept in the sheet (builtin_book.h) and written with the workbook.
#pragma once

#include <memory>

#include "sheetexport/builtin_book.h"
#include "sheetexport/sheet_app.h"

namespace builtin {

// The cells of a range of the built-in workbook, for the objects that refer to them.
class TRangeCells {
 public:
  virtual ~TRangeCells() = default;
  virtual const TSheet& CellsSheet() const = 0;
  virtual TArea CellsArea() const = 0;
};

// Points per row at the default height, and per pixel at 96 dpi.
constexpr double kRowPoints = 15.0;
constexpr double kPixelPoints = 0.75;

std::shared_ptr<TSheetPageSetup> PageSetupOf(std::shared_ptr<TBook> book, TSheet* sheet);
std::shared_ptr<TSheetChartObjects> ChartObjectsOf(std::shared_ptr<TBook> book, TSheet* sheet);

}  // namespace builtin
