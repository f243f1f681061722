// A spreadsheet application that records every call as one line of text and answers reads
// from a small model (workbooks with sheet names, written cell values), so tests can compare
// whole call sequences of the engine.
#pragma once

#include <initializer_list>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "sheetexport/sheet_app.h"

class TSheetRecorder : public TSheetSystem, public std::enable_shared_from_this<TSheetRecorder> {
 public:
  TSheetRecorder();
  // A recorder on a machine whose registry holds these Excel keys (Excel 2010's by default).
  static std::shared_ptr<TSheetRecorder> WithKeys(
      std::initializer_list<const char*> keys = {"\\Software\\Microsoft\\Office\\14.0\\Excel"});

  std::vector<std::string> Calls;
  std::map<int, std::string> InternationalCodes;     // answers of International
  std::set<std::string> ExistingKeys;                // of the current user's registry
  std::map<std::string, std::string> ClassVersions;  // registered classes' current versions
  std::map<std::string, TVariant> Cells;             // by cell name, from writes or preset
  std::vector<TWindow> Windows;                      // top-level windows of class XLMAIN
  bool WindowsRefuseClose = false;
  std::string UsedRangeAddress = "A1:A1";
  // Calls beginning with one of these are recorded, then fail.
  std::vector<std::string> FailingCalls;
  // Workbooks, each a list of sheet names; the last added or opened one is active.
  std::vector<std::vector<std::string>> Books;

  // The recorded calls that begin with the prefix.
  std::vector<std::string> CallsStartingWith(const std::string& prefix) const;
  int IndexOf(const std::string& call, int from = 0) const;

  void Record(const std::string& call);

  std::shared_ptr<TSheetApplication> StartNewInstance() override;
  std::shared_ptr<TSheetApplication> AttachOrStartInstance() override;
  TWindow FindTopLevelWindow(const std::string& className) override;
  void SendCloseAndWait(TWindow window) override;
  bool CurrentUserKeyExists(const std::string& key) override;
  std::string ClassCurrentVersion(const std::string& progId) override;
};

// Text of a value as the recorder writes it: "text", 12, 1.5, true, Empty, Date(41440.5).
std::string RecordedValue(const TVariant& v);
