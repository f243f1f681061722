// Scopes of an export run: the host's busy cursor, and the paused displays and remembered
// position of the data set.
#pragma once

#include "sheetexport/sx_excel_export.h"

// Shows the host's busy cursor for the lifetime of the scope.
class TsxExcelExport::BusyScope {
 public:
  explicit BusyScope(const std::function<void(bool)>& busy) : busy_(busy) {
    if (busy_) busy_(true);
  }
  ~BusyScope() {
    if (busy_) busy_(false);
  }

 private:
  const std::function<void(bool)>& busy_;
};

// Pauses the data set's displays and remembers its position; Restore goes back to it. Leaving
// without Restore (a failure) releases the position without moving.
class TsxExcelExport::ControlsPause {
 public:
  explicit ControlsPause(TsxDataSet* ds) : ds_(ds) {
    if (!ds_) return;
    ds_->DisableControls();
    mark_ = ds_->GetBookmark();
  }
  void Restore() {
    if (!ds_) return;
    ds_->GotoBookmark(mark_);
    Release();
  }
  ~ControlsPause() { Release(); }

 private:
  void Release() {
    if (!ds_) return;
    ds_->FreeBookmark(mark_);
    ds_->EnableControls();
    ds_ = nullptr;
  }
  TsxDataSet* ds_;
  TsxDataSet::TBookmark mark_ = 0;
};
