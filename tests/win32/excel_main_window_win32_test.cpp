// The main window's "Export to Excel" against the fake of Excel's objects, which refuses and
// converts as Excel does: the export completes with and without single values, the header's
// date line stays the text shown, the summary sheet follows with its chart, and each object is
// asked each member's id once. The figures are the calls that would cross to Excel's process, per
// exported record.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <memory>

#include "excel_window_export.h"
#include "fake_excel_win32.h"
#include "sheetexport/dispatch_win32.h"

namespace {

struct TExportRun {
  std::shared_ptr<FakeExcel> Excel = std::make_shared<FakeExcel>();
  TWindowExport Export;
};

TExportRun Export(unsigned records, unsigned q, bool singles) {
  TExportRun run;
  run.Export = ExportByTheWindow(
      std::make_shared<FakeExcelSystem>(run.Excel), records, q, singles,
      [&run] { run.Excel->IdLookups = run.Excel->Invocations = run.Excel->RepeatedLookups = 0; });
  return run;
}

TEST(ExcelMainWindow, ExportsWithAndWithoutSingleValuesAsExcelTakesThem) {
  for (const bool singles : {false, true}) {
    SCOPED_TRACE(singles ? "with single values" : "without single values");
    const TExportRun run = Export(30, 3, singles);
    EXPECT_TRUE(run.Export.Errors.empty()) << run.Export.Errors.front();
    const FakeExcel& x = *run.Excel;
    ASSERT_EQ(x.Books.size(), 1u);
    EXPECT_EQ(x.Books[0], (std::vector<std::string>{"Quarrow VORNEX", "Summary"}));
    ASSERT_EQ(x.Charts.size(), 1u);
    EXPECT_EQ(x.Charts[0].Title, "R of every series, MPa");
    ASSERT_EQ(x.Cells.count("A4"), 1u);
    EXPECT_EQ(x.Cells.at("A2"), TVariant(std::string("Quarrow VORNEX")));
    EXPECT_EQ(x.Cells.at("A4"), TVariant(run.Export.DateLine))
        << "the date line as the window shows it";
    EXPECT_EQ(x.Formats.count("A4") ? x.Formats.at("A4") : "General", "@");
    // The last record's row: from row 7 one row per record, or four with three single values.
    const std::string last = "A" + std::to_string(singles ? 7 + 29 * 4 : 36);
    ASSERT_EQ(x.Cells.count(last), 1u) << last;
    EXPECT_EQ(x.Cells.at(last), TVariant(std::int64_t{30})) << last;
    EXPECT_EQ(x.GroupedSheets.empty(), !singles);
    // Then the window asks for the version again, to offer the button.
    const auto lastToExcel = std::find_if(x.Calls.rbegin(), x.Calls.rend(), [](const auto& c) {
      return c.rfind("KeyExists", 0) != 0 && c.rfind("CurVer", 0) != 0;
    });
    ASSERT_NE(lastToExcel, x.Calls.rend());
    EXPECT_EQ(*lastToExcel, "Sheet.Activate") << "the summary is written last";
    EXPECT_EQ(x.RepeatedLookups, 0) << "an object is asked a member's id once";
    EXPECT_EQ(x.LiveObjects, 0) << "every object is let go";
  }
}

// Without the text format the fake does what Excel does with the date line: it becomes a date.
TEST(ExcelMainWindow, TheFakeReadsADateTimeTextIntoAGeneralCellAsADate) {
  const TExportRun run = Export(1, 0, false);
  auto excel = std::make_shared<FakeExcel>();
  IDispatch* raw = excel->NewApplication();
  const TDispatch app(raw);
  raw->Release();
  const TDispatch sheet =
      app.GetChild("Workbooks").CallChild("Add", {TOleVariant::Int(-4167)}).GetChild("ActiveSheet");
  struct Case {
    const char* cell;
    const char* format;  // nullptr: General
    std::string text;
    int kind;  // index in TVariant: 1 integer, 2 double, 3 text, 5 date-time
  } cases[] = {
      {"A1", nullptr, run.Export.DateLine, 5},
      {"A2", "@", run.Export.DateLine, 3},
      {"A3", nullptr, "Quarrow VORNEX", 3},
      {"A4", nullptr, "12", 2},
      {"A5", "@", "12", 3},
      {"A6", nullptr, " ", 3},
  };
  for (const auto& c : cases) {
    const TDispatch cell = sheet.GetChild("Range", {ToOleVariant(TVariant(std::string(c.cell)))});
    if (c.format) cell.Put("NumberFormatLocal", ToOleVariant(TVariant(std::string(c.format))));
    cell.Put("Value2", ToOleVariant(TVariant(c.text)));
    EXPECT_EQ(static_cast<int>(excel->Cells.at(c.cell).index()), c.kind) << c.cell << " " << c.text;
  }
}

// The calls that cross to Excel per record: the difference between two archive sizes.
TEST(ExcelMainWindow, CrossProcessCallsPerRecord) {
  for (const bool singles : {false, true}) {
    const TExportRun small = Export(40, 10, singles);
    const TExportRun large = Export(80, 10, singles);
    ASSERT_TRUE(small.Export.Errors.empty() && large.Export.Errors.empty());
    const double lookups = (large.Excel->IdLookups - small.Excel->IdLookups) / 40.0;
    const double invocations = (large.Excel->Invocations - small.Excel->Invocations) / 40.0;
    const char* name = singles ? "with_singles" : "without_singles";
    std::printf("cross-process calls per record %s: %.2f GetIDsOfNames + %.2f Invoke = %.2f\n",
                name, lookups, invocations, lookups + invocations);
    RecordProperty(std::string("lookups_per_record_") + name, std::to_string(lookups));
    RecordProperty(std::string("invokes_per_record_") + name, std::to_string(invocations));
    EXPECT_GT(invocations, 0);
    // The figures of this export: 0.8 + 1.6 and 38.8 + 52.6 (1.6 + 1.6 and 52.6 + 52.6 when
    // every call asked for its member's id).
    EXPECT_LE(lookups + invocations, singles ? 91.5 : 2.5);
    // Each member is invoked on a fresh object at most once, so a lookup never outnumbers an
    // invocation; the cache leaves fewer.
    EXPECT_LT(lookups, invocations);
  }
}

}  // namespace
