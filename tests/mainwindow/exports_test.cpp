// "Save as text" and "Export to Excel" from the window: the flow through the states, the
// dialog and the folder setting, the data pipe's rows and cells, and the workbook on disk.
#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "../sheetexport/fake_desktop.h"
#include "../sheetexport/sheet_app_recorder.h"
#include "../sheetexport/xlsx_reader.h"
#include "form_fixture.h"
#include "mainwindow/archive_summary.h"
#include "mainwindow/presentation.h"
#include "mainwindow/textreport.h"
#include "sheetexport/sheet_app_builtin.h"

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class ExportsTest : public ::testing::Test, public FormFixture {
 protected:
  headless::TSaveDialog& Dialog() { return static_cast<headless::TSaveDialog&>(*form->SaveAsText); }
};

// Rows of the pipe as "N" or "N:k" for single-value rows.
std::vector<std::string> PipeRows(TForm_Main& f) {
  std::vector<std::string> rows;
  TsxExcelExport* x = f.sxExcelExport1.get();
  f.ExportCursor.Size = f.Archive.RecTotal();
  f.sxExcelExport1GotoFirstRecord(*x);
  for (bool eof = false;;) {
    f.sxExcelExport1GetEOF(*x, eof);
    if (eof || rows.size() > 100) break;
    TVariant n;
    f.sxExcelExport1GetFieldValue(*x, 0, n);
    std::string row = std::to_string(std::get<std::int64_t>(n));
    if (f.ExportCursor.SingleRow) row += ":" + std::to_string(f.ExportCursor.Single);
    rows.push_back(row);
    f.sxExcelExport1GotoNextRecord(*x);
  }
  return rows;
}

TEST_F(ExportsTest, PipeRowsFollowTheRecordsAndTheirSingleValues) {
  sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}});
  struct Case {
    std::vector<unsigned> q;
    bool singles;
    std::vector<std::string> rows;
  } cases[] = {
      {{2, 0, 1}, true, {"1", "1:0", "1:1", "2", "3", "3:0"}},
      {{2, 0, 1}, false, {"1", "2", "3"}},
      {{1}, false, {"1"}},
      {{0}, true, {"1"}},
      {{60}, true, {}},  // filled below: a count above 49 stops at the 49 values a slot holds
      {{}, true, {}},
  };
  cases[4].rows.push_back("1");
  for (int k = 0; k < 49; ++k) cases[4].rows.push_back("1:" + std::to_string(k));
  for (const Case& c : cases) {
    form.reset();
    TForm_Main& f = Loaded(c.q);
    f.Singles = c.singles;
    EXPECT_EQ(PipeRows(f), c.rows) << c.q.size() << " records, singles " << c.singles;
    if (!c.q.empty()) {
      EXPECT_EQ(f.ExportCursor.Position, c.q.size() - 1);
    }
  }
}

TEST_F(ExportsTest, CellsTitlesAndDecimalsFollowTheUnit) {
  sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}});
  TForm_Main& f = Loaded({2});
  TsxExcelExport& x = *f.sxExcelExport1;
  struct Case {
    int unit;
    const char* title;
    double r, rpr;
    int decimals;
  } cases[] = {
      {0, "R, MPa", 21.0, 21.0, 1},
      {1, "R, kg/cm²", 214.0, 214.0, 0},
      {2, "R, N/mm²", 21.0, 21.0, 1},
      {3, "R, PSI", 3046.0, 3046.0, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.title);
    static_cast<headless::TComboBox*>(f.CB_Unit)->Select(c.unit);
    std::string title;
    f.sxExcelExport1GetFieldDisplayName(x, ColR, title);
    EXPECT_EQ(title, c.title);
    f.sxExcelExport1GetFieldDisplayName(x, ColS, title);
    EXPECT_EQ(title.substr(0, 3), "S, ");
    for (int col : {ColR, ColS, ColRpr}) {
      int dec = 0;
      f.sxExcelExport1GetFieldDecSize(x, col, dec);
      EXPECT_EQ(dec, c.decimals) << col;
    }
    int dec = 0;
    f.sxExcelExport1GetFieldDecSize(x, 7, dec);
    EXPECT_EQ(dec, 1);
    f.sxExcelExport1GetFieldDecSize(x, 12, dec);
    EXPECT_EQ(dec, 2);
    dec = 5;
    f.sxExcelExport1GetFieldDecSize(x, 3, dec);
    EXPECT_EQ(dec, 5) << "other columns keep what the engine preset";

    f.ExportCursor.Size = 1;
    f.sxExcelExport1GotoFirstRecord(x);
    TVariant v;
    f.sxExcelExport1GetFieldValue(x, ColR, v);
    EXPECT_DOUBLE_EQ(std::get<double>(v), c.r);
    TVariant empty;
    f.sxExcelExport1GetFieldValue(x, ColRpr, empty);
    EXPECT_TRUE(VarIsEmpty(empty));
    f.sxExcelExport1GotoNextRecord(x);  // the first single value
    ASSERT_TRUE(f.ExportCursor.SingleRow);
    TVariant single, dateOnSingle;
    f.sxExcelExport1GetFieldValue(x, ColRpr, single);
    EXPECT_DOUBLE_EQ(std::get<double>(single), c.rpr);
    f.sxExcelExport1GetFieldValue(x, 1, dateOnSingle);
    EXPECT_TRUE(VarIsEmpty(dateOnSingle));
  }
  TVariant v, kc, q;
  f.sxExcelExport1GotoFirstRecord(x);
  f.sxExcelExport1GetFieldValue(x, 12, kc);
  f.sxExcelExport1GetFieldValue(x, 13, q);
  f.sxExcelExport1GetFieldValue(x, 2, v);
  EXPECT_DOUBLE_EQ(std::get<double>(kc), 1.0);
  EXPECT_EQ(std::get<std::int64_t>(q), 2);
  EXPECT_EQ(std::get<std::string>(v), MaterialLabel(1));
  int count = 0;
  f.sxExcelExport1GetFieldCount(x, count);
  EXPECT_EQ(count, 15);
}

TEST_F(ExportsTest, ProgressDuringTheRunIsRowsPercentOverFourteen) {
  sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}});
  TForm_Main& f = Loaded(std::vector<unsigned>(300, 0));
  f.ExportCursor.Size = 300;
  f.sxExcelExport1ExportRecords(*f.sxExcelExport1, 300);
  EXPECT_EQ(f.PB_Data->Position(), 7);
  f.sxExcelExport1ExportRecords(*f.sxExcelExport1, 150);
  EXPECT_EQ(f.PB_Data->Position(), 3);
  f.ExportCursor.Size = 0;
  f.sxExcelExport1ExportRecords(*f.sxExcelExport1, 10);
  EXPECT_EQ(f.PB_Data->Position(), 0);
}

TEST_F(ExportsTest, SaveAsTextWritesTheReportAndRemembersTheFolder) {
  TForm_Main& f = Loaded({2, 0, 1});
  fs::create_directories(Root() / "out");
  int maxAtDialog = 0, posAtDialog = 0;
  Dialog().Answer = [&](headless::TSaveDialog& d) {
    maxAtDialog = f.PB_Data->Max();
    posAtDialog = f.PB_Data->Position();
    EXPECT_EQ(d.InitialDir(), Docs().string());
    return std::optional<std::string>((Root() / "out" / "site12").string());
  };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
  EXPECT_EQ(maxAtDialog, 100);
  EXPECT_EQ(posAtDialog, 100);
  const fs::path file = Root() / "out" / "site12.txt";
  ASSERT_TRUE(fs::exists(file));
  std::ifstream in(file, std::ios::binary);
  std::stringstream got;
  got << in.rdbuf();
  const std::string expected =
      BuildTextReport(f.Archive, 0, true, format, EncodeDateTime(2026, 12, 9, 10, 30, 0, 0)).Text();
  EXPECT_EQ(got.str(), expected);
  EXPECT_EQ(f.DefPath, (Root() / "out").string());
  EXPECT_EQ(f.L_State->Caption(), "3 records received.\r\nPlease select unit and save file.");
  EXPECT_TRUE(app.Errors().empty());
}

TEST_F(ExportsTest, SaveAsTextWritesTheTypeChosenOrTypedAndRemembersTheType) {
  TForm_Main& f = Loaded({2, 0, 1});
  fs::create_directories(Root() / "out");
  const struct {
    int filter;
    const char* answer;
    const char* file;
    const char* starts;
  } cases[] = {
      {2, "p", "p.pdf", "%PDF-"},
      {3, "c", "c.csv", "\xEF\xBB\xBFN,"},
      {1, "t.pdf", "t.pdf", "%PDF-"},
      {4, "a", "a.txt", " \r\nQuarrow VORNEX\r\n"},
      {2, "x.CSV", "x.CSV", "\xEF\xBB\xBF"},
      {1, "t", "t.txt", " \r\n"},
  };
  int shownWith = 0;
  for (const auto& c : cases) {
    SCOPED_TRACE(c.answer);
    Dialog().Answer = [&](headless::TSaveDialog& d) {
      shownWith = d.FilterIndex();
      d.SetFilterIndex(c.filter);
      return std::optional<std::string>((Root() / "out" / c.answer).string());
    };
    const int before = f.DefFilter;
    ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
    EXPECT_EQ(shownWith, before) << "the dialog opens on the type chosen last";
    const std::string bytes = ReadFile(Root() / "out" / c.file);
    EXPECT_EQ(bytes.rfind(c.starts, 0), 0u) << bytes.substr(0, 16);
    EXPECT_EQ(f.DefFilter, c.filter);
    EXPECT_EQ(f.Reg()->ReadInteger("DefFilter"), c.filter);
    EXPECT_TRUE(f.B_Text->Visible());
  }
  EXPECT_TRUE(app.Errors().empty());
}

TEST_F(ExportsTest, CancelledOrFailedSaveReturnsToDataReady) {
  TForm_Main& f = Loaded({1});
  Dialog().Answer = [](headless::TSaveDialog&) { return std::nullopt; };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
  EXPECT_EQ(f.DefPath, Docs().string());
  EXPECT_TRUE(f.B_Text->Visible());
  EXPECT_TRUE(app.Errors().empty());

  // A folder stands where the report should go: the write fails and leaves nothing behind.
  fs::create_directories(Root() / "ro");
  const std::string target = (Root() / "ro" / "r.txt").string();
  fs::create_directories(target);
  Dialog().Answer = [&](headless::TSaveDialog&) { return std::optional<std::string>(target); };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Text)->Click());
  ASSERT_EQ(app.Errors().size(), 1u);
  EXPECT_FALSE(app.Errors()[0].empty());
  EXPECT_TRUE(fs::is_directory(target));
  EXPECT_EQ(std::distance(fs::directory_iterator(Root() / "ro"), fs::directory_iterator()), 1);
  EXPECT_EQ(f.DefPath, (Root() / "ro").string());
  EXPECT_TRUE(f.B_Text->Visible());
  EXPECT_TRUE(f.B_Exit->Enabled());
}

TEST_F(ExportsTest, ExportToExcelWritesTheTitledSheetAndLetsTheWorkbookGo) {
  auto desktop = NoDesktop();
  std::vector<std::string> told;
  sheets = CreateBuiltinSheetSystem(
      {format, desktop, [&](const std::string& text) { told.push_back(text); }});
  TForm_Main& f = Loaded({2, 0, 1});
  ASSERT_TRUE(f.B_Excel->Enabled());
  const fs::path saved = Root() / "book.xlsx";
  bool inExportState = false;
  f.OnWorkbookWritten = [&](TsxExcelExport& x) {
    inExportState = !f.B_Exit->Enabled() && f.PB_Data->Visible();
    x.SaveAs(saved.string(), ffXLSX);
  };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Excel)->Click());
  EXPECT_TRUE(app.Errors().empty()) << app.Errors().front();
  EXPECT_TRUE(inExportState);
  EXPECT_TRUE(f.B_Excel->Visible());
  EXPECT_TRUE(desktop->Opened.empty()) << "a saved workbook is not handed to the desktop";

  XlsxFile book(saved.string());
  ASSERT_TRUE(book.Ok());
  const XlsxSheet sheet = book.Sheet(1);
  EXPECT_NE(book.Part("xl/workbook.xml").find("name=\"Quarrow VORNEX\""), std::string::npos);
  EXPECT_EQ(sheet.Text("A2"), "Quarrow VORNEX");
  EXPECT_EQ(sheet.Text("A6"), "N");
  EXPECT_EQ(sheet.Text("F6"), "R, MPa");
  EXPECT_EQ(sheet.Text("O6"), "Single Values");
  EXPECT_EQ(sheet.Text("A7"), "1");
  EXPECT_EQ(sheet.Text("F7"), "21");
  EXPECT_EQ(sheet.Text("O8"), "21");
  EXPECT_EQ(sheet.Text("O9"), "21.1");
  EXPECT_EQ(sheet.Text("A10"), "2");
  EXPECT_EQ(sheet.Text("A11"), "3");
  EXPECT_EQ(sheet.Text("O12"), "23");
  EXPECT_EQ(sheet.Text("A8"), "") << "the group clears its repeated numbers";
  // Single-value rows are grouped under their record.
  EXPECT_NE(sheet.RowAttributes.at(8).find("outlineLevel=\"1\""), std::string::npos);

  // Without a save the visible workbook goes to the documents folder for the desktop to open.
  f.OnWorkbookWritten = nullptr;
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Excel)->Click());
  ASSERT_EQ(desktop->Opened.size(), 1u);
  EXPECT_EQ(desktop->Opened[0].parent_path(), Root() / "handed");
  EXPECT_EQ(told.size(), 1u);
}

TEST_F(ExportsTest, ExportFailureIsReportedAndTheWindowReturnsToDataReady) {
  sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}});
  TForm_Main& f = Loaded({1, 1});
  f.OnWorkbookWritten = [](TsxExcelExport&) { throw Exception("The disk is full"); };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Excel)->Click());
  ASSERT_EQ(app.Errors().size(), 1u);
  EXPECT_EQ(app.Errors()[0], "The disk is full.");
  EXPECT_TRUE(f.B_Excel->Visible());
  EXPECT_TRUE(f.B_Exit->Enabled());
  EXPECT_FALSE(f.sxExcelExport1->Connected());
}

std::string Cell(char column, int row) {
  return std::string(1, column) + std::to_string(row);
}

void ExpectNumber(const XlsxSheet& sheet, const std::string& cell,
                  const std::optional<double>& want, const std::string& where) {
  if (!want) {
    EXPECT_EQ(sheet.Text(cell), "") << where << " " << cell;
  } else {
    ASSERT_FALSE(sheet.Text(cell).empty()) << where << " " << cell;
    EXPECT_DOUBLE_EQ(std::stod(sheet.Text(cell)), *want) << where << " " << cell;
  }
}

TEST_F(ExportsTest, TheSummarySheetSumsUpTheArchiveAndBothSheetsPrintOnePageWide) {
  struct Case {
    const char* name;
    std::vector<unsigned> q;
    int unit;
  };
  const Case cases[] = {
      {"one series", {0}, 0},
      {"three series in kg/cm2", {2, 0, 1}, 1},
      {"more series than the chart shows", std::vector<unsigned>(230, 0), 3},
  };
  for (const Case& c : cases) {
    sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}});
    form.reset();
    TForm_Main& f = Loaded(c.q);
    f.CB_Unit->SetItemIndex(c.unit);
    f.Unit = c.unit;
    const fs::path saved = Root() / "summary.xlsx";
    f.OnWorkbookWritten = [&](TsxExcelExport& x) { x.SaveAs(saved.string(), ffXLSX); };
    ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Excel)->Click());
    ASSERT_TRUE(app.Errors().empty()) << app.Errors().front();
    const TArchiveSummary want = SummarizeArchive(f.Archive, c.unit);

    XlsxFile book(saved.string());
    ASSERT_TRUE(book.Ok()) << c.name;
    const std::string workbook = book.Part("xl/workbook.xml");
    EXPECT_LT(workbook.find("name=\"Quarrow VORNEX\""), workbook.find("name=\"Summary\""));
    EXPECT_EQ(workbook.find("activeTab"), std::string::npos) << "the data sheet stays active";
    const XlsxSheet sheet = book.Sheet(2);
    EXPECT_EQ(sheet.Text("A1"), SummaryCaption(c.unit)) << c.name;
    EXPECT_EQ(sheet.Text("D3"), SummaryColumnTitle(scMean, c.unit)) << c.name;
    std::vector<const TSummaryRow*> rows;
    for (const auto& g : want.Groups) rows.push_back(&g);
    rows.push_back(&want.All);
    for (std::size_t i = 0; i < rows.size(); ++i) {
      const int row = 4 + static_cast<int>(i);
      const TSummaryRow& r = *rows[i];
      EXPECT_EQ(sheet.Text(Cell('A', row)), r.Article) << c.name;
      EXPECT_EQ(sheet.Text(Cell('B', row)), r.Material) << c.name;
      ExpectNumber(sheet, Cell('C', row), r.N, c.name);
      ExpectNumber(sheet, Cell('D', row), r.Mean, c.name);
      ExpectNumber(sheet, Cell('E', row), r.Min, c.name);
      ExpectNumber(sheet, Cell('F', row), r.Max, c.name);
      ExpectNumber(sheet, Cell('G', row), r.S, c.name);
      ExpectNumber(sheet, Cell('H', row), r.V, c.name);
    }
    // The chart's data: a title row, then N, R and the mean of each charted series; the chart
    // refers to exactly those cells.
    const int title = 4 + static_cast<int>(rows.size()) + 1 + 22;
    const int first = title + 1, last = title + static_cast<int>(want.ChartCount);
    EXPECT_EQ(sheet.Text(Cell('A', title)), "N") << c.name;
    ExpectNumber(sheet, Cell('A', last), static_cast<double>(want.ChartCount), c.name);
    ExpectNumber(sheet, Cell('B', last), want.SeriesR[want.ChartCount - 1], c.name);
    ExpectNumber(sheet, Cell('C', first), want.All.Mean, c.name);
    EXPECT_EQ(sheet.Text(Cell('A', last + 1)), "") << c.name;
    const std::string chart = book.Part("xl/charts/chart1.xml");
    const auto range = [&](char col) {
      const std::string column = "$" + std::string(1, col) + "$";
      const std::string to = last > first ? ":" + column + std::to_string(last) : "";
      return "Summary!" + column + std::to_string(first) + to;
    };
    for (char col : {'A', 'B', 'C'})
      EXPECT_NE(chart.find(range(col)), std::string::npos) << c.name << " " << range(col);
    EXPECT_NE(chart.find(SummaryChartTitle(want)), std::string::npos) << c.name;
    EXPECT_NE(book.Part("xl/drawings/drawing1.xml").find("<xdr:row>"), std::string::npos);
    // Both sheets print landscape, one page wide, their column titles on every page.
    for (int s : {1, 2}) {
      const std::string xml = book.Sheet(s).Xml;
      EXPECT_NE(xml.find("orientation=\"landscape\""), std::string::npos) << c.name << s;
      EXPECT_NE(xml.find("fitToHeight=\"0\""), std::string::npos) << c.name << s;
      EXPECT_NE(xml.find("<pageSetUpPr fitToPage=\"1\"/>"), std::string::npos) << c.name << s;
    }
    EXPECT_NE(workbook.find("'Quarrow VORNEX'!$6:$6"), std::string::npos) << c.name;
    EXPECT_NE(workbook.find("Summary!$3:$3"), std::string::npos) << c.name;
  }
}

TEST_F(ExportsTest, ASummaryTheApplicationRefusesLeavesTheDataSheetWholeAndIsToldOf) {
  auto recorder = std::make_shared<TSheetRecorder>();
  recorder->ExistingKeys.insert("\\Software\\Microsoft\\Office\\14.0\\Excel");
  recorder->FailingCalls = {"Worksheets.Add(?,Sheet"};
  sheets = recorder;
  TForm_Main& f = Loaded({1, 0});
  bool saved = false;
  f.OnWorkbookWritten = [&](TsxExcelExport&) { saved = true; };
  std::string told;
  InfoForm().ModalAnswer = [&](headless::TForm& dialog) {
    told = f.Form_Info->L_Info->Caption();
    dialog.Close();
  };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Excel)->Click());
  EXPECT_TRUE(app.Errors().empty()) << app.Errors().front();
  EXPECT_TRUE(saved) << "the data sheet is still saved";
  EXPECT_EQ(told.rfind("The workbook was written without its summary sheet", 0), 0u) << told;
  EXPECT_EQ(recorder->Books.at(0).size(), 1u);
  EXPECT_EQ(recorder->Cells["F7"], TVariant(21.0)) << "the data sheet's cells are written";
  EXPECT_TRUE(f.B_Exit->Enabled());
}

std::string Output(const std::string& command) {
  std::string out;
  if (FILE* p = popen(command.c_str(), "r")) {
    char buf[4096];
    for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
    pclose(p);
  }
  return out;
}

// Gnumeric opens both sheets; LibreOffice prints each sheet one page wide, landscape, with the
// column titles again at the top of a page the summary runs on to.
TEST_F(ExportsTest, SpreadsheetProgramsOpenTheWorkbookAndPrintItOnePageWide) {
  for (const char* tool : {"ssconvert", "soffice", "pdftotext", "pdfinfo"})
    if (std::system(("command -v " + std::string(tool) + " >/dev/null 2>&1").c_str()) != 0)
      GTEST_SKIP() << "no " << tool;
  sheets = CreateBuiltinSheetSystem({format, NoDesktop(), {}});
  std::vector<unsigned> q(80, 0);
  TForm_Main& f = Loaded(q);
  const fs::path saved = Root() / "print.xlsx";
  f.OnWorkbookWritten = [&](TsxExcelExport& x) { x.SaveAs(saved.string(), ffXLSX); };
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Excel)->Click());
  const std::string dir = Root().string();
  ASSERT_EQ(
      std::system(("ssconvert -S '" + saved.string() + "' '" + dir + "/sheet.csv' >/dev/null 2>&1")
                      .c_str()),
      0);
  std::ifstream summary(dir + "/sheet.csv.1");
  std::stringstream csv;
  csv << summary.rdbuf();
  EXPECT_NE(csv.str().find("\"All series\",,80"), std::string::npos) << csv.str();

  ASSERT_EQ(std::system(("cd '" + dir + "' && HOME='" + dir +
                         "' soffice --headless --convert-to pdf print.xlsx >/dev/null 2>&1")
                            .c_str()),
            0);
  const std::string pdf = dir + "/print.pdf";
  const std::string info = Output("pdfinfo '" + pdf + "'");
  EXPECT_NE(info.find("792 x 612"), std::string::npos) << "landscape letter: " << info;
  // Pages as pdftotext separates them: the data sheet's first, then the summary's.
  std::vector<std::string> pages(1);
  for (const char ch : Output("pdftotext '" + pdf + "' -"))
    if (ch == '\f')
      pages.emplace_back();
    else
      pages.back() += ch;
  std::size_t first = 0;
  while (first < pages.size() && pages[first].find("Date/Time") != std::string::npos) ++first;
  ASSERT_GE(first, 2u) << "80 records take two pages";
  ASSERT_LT(first + 1, pages.size()) << "the summary runs on to a second page";
  for (std::size_t i = 0; i < first; ++i)
    for (const char* title : {"Heave concrete at granite", "Single Values", "Impacts quantity"})
      EXPECT_NE(pages[i].find(title), std::string::npos) << "page " << i + 1 << ": " << title;
  for (const char* title : {"Article", "V, %", "All series", "R of every series, MPa"})
    EXPECT_NE(pages[first].find(title), std::string::npos) << "the summary's page: " << title;
  EXPECT_NE(pages[first + 1].find("Highest R, MPa"), std::string::npos)
      << "titles repeated: " << pages[first + 1];
}

}  // namespace
