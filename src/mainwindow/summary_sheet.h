// The workbook's summary sheet, written through the spreadsheet application after the data
// sheet: the statistics of the archive, a caption, the chart of R with its data, and the page
// setup with which a lab prints both sheets.
#pragma once

#include "base/format_settings.h"
#include "mainwindow/archive_summary.h"
#include "sheetexport/sheet_app.h"

// Adds the sheet after `data` and leaves `data` the active sheet. Raises ESheetAppError (or
// the application's error) when the application refuses a call; `data` is not touched then.
void WriteSummarySheet(TSheetWorkbook& book, TSheetWorksheet& data, const TArchiveSummary& summary,
                       const FormatSettings& fs);

// Landscape, all columns one page wide, as many pages tall as the rows take, `titleRow`
// repeated at the top of every page.
void SetPrintLayout(TSheetWorksheet& sheet, int titleRow);
