#include "sheetexport/sheet_system.h"

#include "sheetexport/sheet_app_builtin.h"

std::shared_ptr<TSheetSystem> CreateSystemSheetSystem(TSystemSheetOptions options) {
  if (options.Desktop)
    if (auto installed = InstalledSheetSystem(options.Settings)) return installed;
  std::shared_ptr<TDesktop> desktop;
  if (options.Desktop) desktop = CreateSystemDesktop();
  return CreateBuiltinSheetSystem(
      {std::move(options.Settings), std::move(desktop), std::move(options.TellUser), {}});
}
