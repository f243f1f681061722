// An in-process stand-in for Excel's automation objects: IDispatch objects that know the
// member names, invoke kinds and argument counts of the Excel members the program uses, record
// every call as a line of text in the recording application's notation and answer from a small
// model (workbooks with sheet names, written cells and their number formats, grouped sheets).
// Unknown names, wrong invoke kinds and wrong argument counts fail as Excel fails them; text
// written into a cell not formatted as text is read as Excel reads typed input (a number or a
// date-time becomes one), showing the levels of a sheet without an outline fails, and charts,
// page setup and sheets added after another take only what Excel's object model takes.
#pragma once

#include <windows.h>

#include <oaidl.h>

#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include "base/variant.h"
#include "sheetexport/sheet_app.h"

struct FakeExcel : std::enable_shared_from_this<FakeExcel> {
  FakeExcel();
  ~FakeExcel();
  FakeExcel(const FakeExcel&) = delete;
  FakeExcel& operator=(const FakeExcel&) = delete;

  std::vector<std::string> Calls;
  std::map<int, std::string> InternationalCodes;
  std::vector<std::vector<std::string>> Books;
  std::map<std::string, TVariant> Cells;        // by cell name, "Summary!A1" on later sheets
  std::map<std::string, std::string> Formats;   // by cell name; none: General
  std::set<std::pair<int, int>> GroupedSheets;  // (workbook, sheet) with a row group
  struct FakeChart {
    int Book = 0, Sheet = 0;
    bool HasTitle = false;
    int Series = 0;
    std::string Title;
  };
  std::vector<FakeChart> Charts;
  std::string UsedRangeAddress = "A1:A1";
  int LiveObjects = 0;  // fake objects not yet released
  // The calls that cross to Excel's process, and the names an object was asked for again.
  int IdLookups = 0, Invocations = 0, RepeatedLookups = 0;

  // A call whose record begins with Prefix fails: with Description in EXCEPINFO (filled in
  // later when Deferred), or, when Result is not DISP_E_EXCEPTION, with that HRESULT alone.
  struct Failure {
    std::string Prefix;
    std::wstring Description;
    HRESULT Result = DISP_E_EXCEPTION;
    bool Deferred = false;
  };
  std::vector<Failure> Failures;

  // The last array written to Value2, as it arrived.
  VARIANT LastArray{};

  // A new Application object, one reference owned by the caller.
  IDispatch* NewApplication();

  // Ids handed out by GetIDsOfNames, one per name.
  DISPID IdOf(const std::string& name);
  std::string NameOf(DISPID id) const;

 private:
  std::map<std::string, DISPID> ids_;
  std::vector<std::string> names_;
};

// What a test's system gives the engine: Excel's application wrapper over the fake, with the
// system calls recorded as the recording application records them.
class FakeExcelSystem : public TSheetSystem {
 public:
  explicit FakeExcelSystem(std::shared_ptr<FakeExcel> excel) : Excel(std::move(excel)) {}
  std::shared_ptr<FakeExcel> Excel;
  std::vector<std::string> ExistingKeys = {"\\Software\\Microsoft\\Office\\14.0\\Excel"};
  std::string CurVer;  // of "Excel.Application"

  std::shared_ptr<TSheetApplication> StartNewInstance() override;
  std::shared_ptr<TSheetApplication> AttachOrStartInstance() override;
  TWindow FindTopLevelWindow(const std::string& className) override;
  void SendCloseAndWait(TWindow window) override;
  bool CurrentUserKeyExists(const std::string& key) override;
  std::string ClassCurrentVersion(const std::string& progId) override;
};
