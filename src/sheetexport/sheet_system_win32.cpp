#include "sheetexport/sheet_app_excel_win32.h"
#include "sheetexport/sheet_system.h"

// Excel formats and tells the user itself.
std::shared_ptr<TSheetSystem> CreateSystemSheetSystem(TSystemSheetOptions) {
  return CreateExcelSheetSystem();
}
