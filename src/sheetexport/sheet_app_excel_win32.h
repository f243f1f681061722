// Microsoft Excel driven by automation out of process, late-bound through IDispatch, one
// automation call per call of the application interface. Windows files only.
#pragma once

#include <memory>

#include "sheetexport/sheet_app.h"

struct IDispatch;

// Starts or attaches to Excel ("Excel.Application"), finds its windows and reads the current
// user's registry. COM is entered on the calling thread while its objects live.
std::shared_ptr<TSheetSystem> CreateExcelSheetSystem();

// The application interface over an Excel Application object already at hand; takes a
// reference of its own.
std::shared_ptr<TSheetApplication> CreateExcelApplication(IDispatch* application);
