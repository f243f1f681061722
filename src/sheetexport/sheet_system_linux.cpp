#include "sheetexport/sheet_app_builtin.h"
#include "sheetexport/sheet_system.h"

std::shared_ptr<TSheetSystem> CreateSystemSheetSystem(TSystemSheetOptions options) {
  return CreateBuiltinSheetSystem(
      {std::move(options.Settings), nullptr, std::move(options.TellUser)});
}
