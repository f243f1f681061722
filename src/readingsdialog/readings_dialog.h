// The dialog of earlier readings: lists them newest first (when, tester, records, new records),
// opens the chosen one ("Open", Return, a double click) or deletes it after a question; Escape
// closes. Built on the element factory, so it runs with every binding. Main thread only.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "history/reading_store.h"
#include "infodialog/question.h"
#include "ui/elements.h"

class TForm_Readings {
 public:
  // whenText: how the window writes a date and time.
  TForm_Readings(TElementFactory& factory, TForm* owner, TReadingStore& store,
                 std::function<std::string(TDateTime)> whenText);

  // Lists the readings and shows the dialog modally; the reading chosen to open, if any.
  // Throws EStoreError.
  std::optional<std::int64_t> Execute();
  // Each reading deleted.
  std::function<void(std::int64_t id)> OnDeleted;

  // The tester column: the adapter's maker, product and serial number on its port.
  static std::string TesterText(const TReadingInfo& info);

  std::unique_ptr<TForm> Form;
  TListView* LV_Readings;
  TButton *B_Open, *B_Delete, *B_Close;
  TForm_Question Question;

 private:
  void Fill(int select);
  void UpdateButtons();
  void B_OpenClick();
  void B_DeleteClick();

  TReadingStore& store_;
  std::function<std::string(TDateTime)> whenText_;
  std::vector<TReadingRow> rows_;
  std::optional<std::int64_t> chosen_;
};
