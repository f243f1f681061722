#include "sheetexport/sheet_app_excel_win32.h"
#include "sheetexport/sheet_system.h"
#include "sheetexport/sx_excel_export.h"

// Excel when the export engine finds one installed, as it decides whether it can export.
std::shared_ptr<TSheetSystem> InstalledSheetSystem(const FormatSettings& settings) {
  auto excel = CreateExcelSheetSystem();
  if (TsxExcelExport(excel, settings).ExcelVersion() == 0) return nullptr;
  return excel;
}
