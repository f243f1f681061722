// The workbook's summary sheet through Excel's automation, against the fake of Excel's objects:
// the same calls as to the recording application, and the fake refusing what Excel refuses of
// sheets added after another, page setup and charts.
#include <gtest/gtest.h>

#include <functional>

#include "../core/test_record.h"
#include "fake_excel_win32.h"
#include "mainwindow/summary_sheet.h"
#include "sheet_app_recorder.h"
#include "sheetexport/dispatch_win32.h"
#include "sheetexport/sheet_app_excel_win32.h"

namespace {

TArchive ArchiveOf(unsigned records) {
  TArchive a;
  a.Resize(records);
  for (unsigned i = 1; i <= records; ++i) {
    const auto r = TestRecord(i, 0);
    a.StoreRecord(r.data(), r.size());
  }
  return a;
}

TEST(ExcelSummary, TheSummaryGoesToExcelCallForCallAsToTheRecordingApplication) {
  const TArchiveSummary summary = SummarizeArchive(ArchiveOf(5), 1);
  auto rec = std::make_shared<TSheetRecorder>();
  auto excel = std::make_shared<FakeExcel>();
  IDispatch* raw = excel->NewApplication();
  const std::shared_ptr<TSheetApplication> app = CreateExcelApplication(raw);
  raw->Release();
  for (const auto& a : {rec->StartNewInstance(), app}) {
    const auto book = a->Workbooks()->Add(-4167);
    const auto data = book->Worksheets()->Item(1);
    SetPrintLayout(*data, 6);
    WriteSummarySheet(*book, *data, summary, FormatSettings{});
  }
  ASSERT_GT(rec->Calls.size(), 30u);
  const std::vector<std::string> recorded(rec->Calls.begin() + 1, rec->Calls.end());
  EXPECT_EQ(excel->Calls, recorded);
  // The recorder keeps one sheet's cells; the fake keeps the summary's apart.
  for (const auto& [cell, value] : rec->Cells)
    EXPECT_EQ(excel->Cells["Summary!" + cell], value) << cell;
  EXPECT_EQ(excel->Cells["Summary!A1"], TVariant(SummaryCaption(1)));
  EXPECT_EQ(excel->Books, (std::vector<std::vector<std::string>>{{"Sheet1", "Summary"}}));
  ASSERT_EQ(excel->Charts.size(), 1u);
  EXPECT_EQ(excel->Charts[0].Sheet, 1);
  EXPECT_EQ(excel->Charts[0].Series, 2);
  EXPECT_EQ(excel->Charts[0].Title, "R of every series, kg/cm\u00B2");
}

TEST(ExcelSummary, TheFakeRefusesWhatExcelRefuses) {
  using V = TOleVariant;
  const auto text = [](const char* s) { return ToOleVariant(TVariant(std::string(s))); };
  const auto no = [] { return ToOleVariant(TVariant(false)); };
  struct Case {
    const char* name;
    bool refused;
    std::function<void(const TDispatch& book, const TDispatch& sheet, const TDispatch& chart)> call;
  };
  const Case cases[] = {
      {"fit to pages tall False", false,
       [&](const TDispatch&, const TDispatch& s, const TDispatch&) {
         s.GetChild("PageSetup").Put("FitToPagesTall", no());
       }},
      {"fit to 0 pages tall", true,
       [&](const TDispatch&, const TDispatch& s, const TDispatch&) {
         s.GetChild("PageSetup").Put("FitToPagesTall", V::Int(0));
       }},
      {"zoom 5 %", true,
       [&](const TDispatch&, const TDispatch& s, const TDispatch&) {
         s.GetChild("PageSetup").Put("Zoom", V::Int(5));
       }},
      {"title rows as a number", true,
       [&](const TDispatch&, const TDispatch& s, const TDispatch&) {
         s.GetChild("PageSetup").Put("PrintTitleRows", V::Int(3));
       }},
      {"a chart without its height", true,
       [&](const TDispatch&, const TDispatch& s, const TDispatch&) {
         s.CallChild("ChartObjects").CallChild("Add", {V::Int(0), V::Int(0), V::Int(100)});
       }},
      {"source data as a text", true,
       [&](const TDispatch&, const TDispatch&, const TDispatch& c) {
         c.Call("SetSourceData", {text("A1:A3")});
       }},
      {"the title before the chart has one", true,
       [&](const TDispatch&, const TDispatch&, const TDispatch& c) { c.GetChild("ChartTitle"); }},
      {"a second series of one", true,
       [&](const TDispatch&, const TDispatch& s, const TDispatch& c) {
         c.Call("SetSourceData", {V::Object(s.GetChild("Range", {text("A1"), text("A3")}).get())});
         c.CallChild("SeriesCollection").CallChild("Item", {V::Int(2)});
       }},
      {"values as a text", true,
       [&](const TDispatch&, const TDispatch&, const TDispatch& c) {
         c.CallChild("SeriesCollection").CallChild("NewSeries").Put("Values", text("A1:A3"));
       }},
      {"a chart type Excel does not have", true,
       [&](const TDispatch&, const TDispatch&, const TDispatch& c) {
         c.Put("ChartType", V::Int(12345));
       }},
      {"a sheet after the first", false,
       [&](const TDispatch& b, const TDispatch& s, const TDispatch&) {
         b.GetChild("Worksheets").CallChild("Add", {V::Omitted(), V::Object(s.get())});
       }},
      {"a sheet before and after the first", true,
       [&](const TDispatch& b, const TDispatch& s, const TDispatch&) {
         b.GetChild("Worksheets").CallChild("Add", {V::Object(s.get()), V::Object(s.get())});
       }},
      {"a sheet after a range", true,
       [&](const TDispatch& b, const TDispatch& s, const TDispatch&) {
         const TDispatch range = s.GetChild("Range", {text("A1"), text("A1")});
         b.GetChild("Worksheets").CallChild("Add", {V::Omitted(), V::Object(range.get())});
       }},
  };
  for (const Case& c : cases) {
    auto excel = std::make_shared<FakeExcel>();
    IDispatch* raw = excel->NewApplication();
    const TDispatch app(raw);
    raw->Release();
    const TDispatch book = app.GetChild("Workbooks").CallChild("Add", {V::Int(-4167)});
    const TDispatch sheet = book.GetChild("ActiveSheet");
    const TDispatch chart = sheet.CallChild("ChartObjects")
                                .CallChild("Add", {V::Int(0), V::Int(0), V::Int(200), V::Int(100)})
                                .GetChild("Chart");
    bool refused = false;
    try {
      c.call(book, sheet, chart);
    } catch (const ESheetAppError&) {
      refused = true;
    }
    EXPECT_EQ(refused, c.refused) << c.name;
  }
}

}  // namespace
