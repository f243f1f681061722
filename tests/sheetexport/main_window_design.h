// The engine set up as the main window sets it before an export: titles in row 6, data from
// row 7, the header lines, continuous borders and the Tahoma fonts. Shared by the engine's tests
// on every spreadsheet application.
#pragma once

#include "sheetexport/sx_excel_export.h"

inline void ConfigureLikeTheMainWindow(TsxExcelExport& x) {
  x.SetStyleColumnWidth(cwAutoFit);
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  x.SetWorksheetName("Quarrow VORNEX");
  x.SetHeaderText({" ", "Quarrow VORNEX", " ", "09.12.2026 10:00:00"});
  for (TCellBorder* b : {&x.BorderTitles(), &x.BorderData(), &x.BorderGroup()})
    b->LineStyle = blContinuous;
  for (TxlFont* f : {&x.FontHeader(), &x.FontTitles(), &x.FontData(), &x.FontGroup()}) {
    f->Name = "Tahoma";
    f->Alignment = haCenter;
  }
  x.FontHeader().Size = 16;
  x.FontHeader().Style = fsBold;
  x.FontTitles().Size = 12;
  x.FontTitles().Style = fsBold;
  x.FontData().Size = 12;
  x.FontGroup().Size = 12;
}
