// The built-in workbook: whole exports through the engine written to .xlsx and read back, the
// handing over of unsaved work to the desktop, CSV files, formats and a real reader.
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <regex>
#include <sstream>

#include "custom_source.h"
#include "fake_desktop.h"
#include "sheetexport/builtin_format.h"
#include "sheetexport/sheet_app_builtin.h"
#include "xlsx_reader.h"

namespace fs = std::filesystem;

namespace {

class BuiltinWorkbook : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("q2e_builtin_" + std::to_string(std::random_device{}()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::create_directories(dir_);
    desktop_ = std::make_shared<FakeDesktop>(dir_ / "Documents");
    TBuiltinSheetOptions options;
    options.Settings = settings_;
    options.Desktop = desktop_;
    options.TellUser = [this](const std::string& text) { told_.push_back(text); };
    options.Now = [] { return EncodeDateTime(2026, 12, 9, 14, 5, 30, 0); };
    system_ = CreateBuiltinSheetSystem(options);
  }
  void TearDown() override { fs::remove_all(dir_); }

  // The main window's export: header, titles in 6, data from 7, groups on N.
  void Configure(TsxExcelExport& x) {
    x.SetStyleColumnWidth(cwAutoFit);
    x.SetWorksheetName("Quarrow VORNEX");
    x.SetHeaderText({" ", "Quarrow VORNEX", " ", "09.12.2026 10:00:00"});
    x.SetBeginRowTitles(6);
    x.SetBeginRowData(7);
    for (TCellBorder* b : {&x.BorderTitles(), &x.BorderData(), &x.BorderGroup()})
      b->LineStyle = blContinuous;
    for (TxlFont* f : {&x.FontHeader(), &x.FontTitles(), &x.FontData(), &x.FontGroup()}) {
      f->Name = "Tahoma";
      f->Alignment = haCenter;
      f->Size = 12;
    }
    x.FontHeader().Size = 16;
    x.FontHeader().Style = fsBold;
    x.FontTitles().Style = fsBold;
  }

  CustomSource Archive(bool singles) {
    CustomSource s;
    s.Fields = {{"N", ftInteger, "No."},
                {"DateTime", ftString, "Date and time"},
                {"R", ftFloat, "R, MPa", 1},
                {"Rpr", ftFloat, "Single Values", 1}};
    const int q[] = {2, 0, 1};
    for (int r = 0; r < 3; ++r) {
      s.Rows.push_back(
          {TVariant(std::int64_t{r + 1}),
           TVariant(std::string("0" + std::to_string(r + 1) + ".05.2013 10:1" + std::to_string(r))),
           TVariant(20.25 + r), TVariant{}});
      if (!singles) continue;
      for (int k = 0; k < q[r]; ++k)
        s.Rows.push_back(
            {TVariant(std::int64_t{r + 1}), TVariant{}, TVariant{}, TVariant(30.0 + k)});
    }
    return s;
  }

  fs::path dir_;
  FormatSettings settings_;
  std::shared_ptr<FakeDesktop> desktop_;
  std::shared_ptr<TSheetSystem> system_;
  std::vector<std::string> told_;
};

int StyleOf(const XlsxSheet& s, const std::string& cell) {
  const auto it = s.Cells.find(cell);
  return it == s.Cells.end() ? -1 : it->second.Style;
}

TEST_F(BuiltinWorkbook, ExportReadsBackWithValuesFormatsMergesOutlineFontsAndWidths) {
  TsxExcelExport x(system_, settings_);
  EXPECT_EQ(x.ExcelVersion(), 14);
  EXPECT_EQ(x.ExcelRestrictions().MaxNumberOfRows, 1048576);
  CustomSource src = Archive(true);
  src.Attach(x);
  Configure(x);
  x.SetGroupFields({"N"});
  x.ExportDataset();
  EXPECT_TRUE(x.IsExcelAppActive());
  const std::string file = (dir_ / "out.xlsx").string();
  x.SaveAs(file, ffXLSX);
  x.Disconnect(false);
  EXPECT_TRUE(desktop_->Opened.empty()) << "a saved workbook is not handed over";

  XlsxFile book(file);
  ASSERT_TRUE(book.Ok());
  EXPECT_NE(book.Part("xl/workbook.xml").find("name=\"Quarrow VORNEX\""), std::string::npos);
  const XlsxSheet s = book.Sheet(1);
  EXPECT_EQ(s.Text("A2"), "Quarrow VORNEX");
  EXPECT_EQ(s.Text("A6"), "No.");
  EXPECT_EQ(s.Text("D6"), "Single Values");
  EXPECT_EQ(s.Text("A7"), "1");
  EXPECT_EQ(s.Text("B7"), "01.05.2013 10:10");
  EXPECT_EQ(s.Text("C7"), "20.25");
  EXPECT_EQ(s.Text("A8"), "") << "group rows keep the key only in the head row";
  EXPECT_EQ(s.Text("D8"), "30");
  EXPECT_EQ(s.Text("A10"), "2");
  EXPECT_EQ(s.Text("A11"), "3");
  EXPECT_EQ(s.Text("D12"), "30");
  EXPECT_NE(s.Xml.find("<mergeCell ref=\"A1:D1\"/>"), std::string::npos);
  EXPECT_NE(s.Xml.find("<mergeCell ref=\"A4:D4\"/>"), std::string::npos);

  const auto& styles = book.Styles();
  EXPECT_EQ(styles.at(StyleOf(s, "C7")).NumberFormat, "0.0");
  EXPECT_EQ(styles.at(StyleOf(s, "A7")).NumberFormat, "0");
  EXPECT_EQ(styles.at(StyleOf(s, "B7")).NumberFormat, "@");
  const XlsxStyle& header = styles.at(StyleOf(s, "A2"));
  EXPECT_NE(header.Font.find("<b/>"), std::string::npos);
  EXPECT_NE(header.Font.find("<sz val=\"16\"/>"), std::string::npos);
  EXPECT_NE(header.Font.find("<name val=\"Tahoma\"/>"), std::string::npos);
  EXPECT_NE(header.Alignment.find("horizontal=\"center\""), std::string::npos);
  const XlsxStyle& title = styles.at(StyleOf(s, "A6"));
  EXPECT_NE(title.Border.find("<top style=\"medium\">"), std::string::npos);
  EXPECT_NE(title.Border.find("<left style=\"medium\">"), std::string::npos);
  EXPECT_EQ(title.Border.find("<right style="), std::string::npos) << "only the outline";
  EXPECT_NE(styles.at(StyleOf(s, "D6")).Border.find("<right style=\"medium\">"), std::string::npos);
  EXPECT_NE(styles.at(StyleOf(s, "A12")).Border.find("<bottom style=\"medium\">"),
            std::string::npos);
  EXPECT_NE(styles.at(StyleOf(s, "A11")).Font.find("<sz val=\"12\"/>"), std::string::npos);

  // Rows 8-9 and 12 are the grouped single values, collapsed under rows 7 and 11.
  for (int row : {8, 9, 12}) {
    EXPECT_NE(s.RowAttributes.at(row).find("outlineLevel=\"1\""), std::string::npos) << row;
    EXPECT_NE(s.RowAttributes.at(row).find("hidden=\"1\""), std::string::npos) << row;
  }
  for (int row : {7, 11})
    EXPECT_NE(s.RowAttributes.at(row).find("collapsed=\"1\""), std::string::npos);
  EXPECT_EQ(s.RowAttributes.at(10).find("hidden"), std::string::npos);
  EXPECT_NE(s.Xml.find("summaryBelow=\"0\""), std::string::npos);

  // AutoFit measures the content: the date-time texts are wider than the numbers.
  std::smatch m;
  const std::regex col("<col min=\"([0-9]+)\" max=\"[0-9]+\" width=\"([0-9.]+)\"");
  std::map<int, double> widths;
  for (std::sregex_iterator it(s.Xml.begin(), s.Xml.end(), col), e; it != e; ++it)
    widths[std::stoi((*it)[1].str())] = std::stod((*it)[2].str());
  ASSERT_EQ(widths.size(), 4u);
  EXPECT_GT(widths[2], widths[3]);
  EXPECT_GT(widths[2], 16.0 * 12 / 11);
  EXPECT_LT(widths[2], 25.0);
}

TEST_F(BuiltinWorkbook, LettingGoOfAVisibleUnsavedWorkbookHandsItToTheDesktop) {
  for (int run = 1; run <= 2; ++run) {
    TsxExcelExport x(system_, settings_);
    CustomSource src = Archive(false);
    src.Attach(x);
    Configure(x);
    x.ExportDataset();
    x.Disconnect(false);
  }
  ASSERT_EQ(desktop_->Opened.size(), 2u);
  EXPECT_NE(desktop_->Opened[0], desktop_->Opened[1]) << "never over an earlier file";
  EXPECT_EQ(desktop_->Opened[0].parent_path(), dir_ / "Documents");
  EXPECT_EQ(desktop_->Opened[0].filename(), "Quarrow VORNEX 2026-12-09 14-05.xlsx");
  EXPECT_EQ(desktop_->Opened[1].filename(), "Quarrow VORNEX 2026-12-09 14-05 (2).xlsx");
  const XlsxSheet s = XlsxFile(desktop_->Opened[1].string()).Sheet(1);
  EXPECT_EQ(s.Text("A9"), "3");
  EXPECT_TRUE(told_.empty());

  desktop_->Opens = false;
  {
    TsxExcelExport x(system_, settings_);
    CustomSource src = Archive(false);
    src.Attach(x);
    x.SetDataPipe(dpCustom);
    x.ExportDataset();
    x.Disconnect(false);
  }
  ASSERT_EQ(told_.size(), 1u);
  EXPECT_NE(told_[0].find(desktop_->Opened.back().string()), std::string::npos)
      << "the user learns where the file is";
  // An opener that was started and reports later that nothing opened the file.
  desktop_->NotOpened[1]();
  ASSERT_EQ(told_.size(), 2u);
  EXPECT_NE(told_[1].find(desktop_->Opened[1].string()), std::string::npos);

  {
    TsxExcelExport x(system_, settings_);
    CustomSource src = Archive(false);
    src.Attach(x);
    x.SetExcelVisible(false);
    x.ExportDataset();
    EXPECT_FALSE(x.IsExcelAppActive()) << "an invisible instance shows no window";
    x.Disconnect(false);
  }
  EXPECT_EQ(desktop_->Opened.size(), 3u) << "an invisible instance quits without handing over";
}

TEST_F(BuiltinWorkbook, ClosingItsWindowKeepsTheWork) {
  TsxExcelExport x(system_, settings_);
  CustomSource src = Archive(false);
  src.Attach(x);
  x.ExportDataset();
  EXPECT_TRUE(x.IsExcelAppActive());
  x.CloseAllExcelApps();
  EXPECT_FALSE(x.IsExcelAppActive());
  EXPECT_EQ(desktop_->Opened.size(), 1u);
  EXPECT_THROW(x.ExcelApplication->Workbooks(), ESheetAppError) << "the instance has quit";
  x.Disconnect(false);
  EXPECT_EQ(desktop_->Opened.size(), 1u);
}

TEST_F(BuiltinWorkbook, SheetsNamesRangesAndCsvFiles) {
  auto app = system_->StartNewInstance();
  auto book = app->Workbooks()->Add(-4167);
  auto sheet = book->Worksheets()->Item(1);
  EXPECT_EQ(sheet->Name(), "Sheet1");
  for (const char* bad : {"", "a/b", "[x]", "0123456789012345678901234567890123"})
    EXPECT_THROW(sheet->SetName(bad), ESheetAppError) << bad;
  auto added = book->Worksheets()->Add();
  EXPECT_EQ(added->Name(), "Sheet2");
  EXPECT_THROW(added->SetName("SHEET1"), ESheetAppError) << "names differ in more than case";
  EXPECT_EQ(book->Worksheets()->Item(1)->Name(), "Sheet2") << "added before the active sheet";
  EXPECT_EQ(app->International(17), "/");
  EXPECT_EQ(app->International(23), "m");
  EXPECT_THROW(app->International(99), ESheetAppError);
  EXPECT_THROW(sheet->Range("A0", "B2"), ESheetAppError);

  sheet->Range("B3", "B3")->SetValue2(TVariant(1234.5));
  sheet->Range("B3", "B3")->SetNumberFormat("#,##0.00");
  sheet->Range("C3", "C3")->SetValue2(TVariant(std::string("say \"hi\", then")));
  sheet->Range("B4", "B4")->SetValue2(TVariant(TDateTime{41440.6149305556}));
  sheet->Range("B4", "B4")->SetNumberFormat("dd/mm/yyyy hh:mm");
  sheet->Range("C4", "C4")->SetValue2(TVariant(true));
  auto used = sheet->UsedRange();
  EXPECT_EQ(used->Row(), 3);
  EXPECT_EQ(std::get<double>(used->Value2()), 1234.5) << "UsedRange starts at B3";
  EXPECT_EQ(std::get<std::string>(used->Offset(0, 1)->Value2()), "say \"hi\", then");
  const std::string csv = (dir_ / "s.csv").string();
  sheet->SaveAs(csv, 6);
  std::ifstream in(csv, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  EXPECT_EQ(text.str(),
            ",,\r\n,,\r\n,\"1,234.50\",\"say \"\"hi\"\", then\"\r\n,15/06/2013 14:45,TRUE\r\n");
  EXPECT_THROW(sheet->SaveAs((dir_ / "x.xls").string(), 56), ESheetAppError);

  auto opened = app->Workbooks()->Open(csv);
  auto back = opened->Worksheets()->Item(1);
  EXPECT_EQ(std::get<std::string>(back->Range("C3", "C3")->Value2()), "say \"hi\", then");
  EXPECT_EQ(std::get<std::string>(back->Range("B3", "B3")->Value2()), "1,234.50");
  EXPECT_THROW(app->Workbooks()->Open((dir_ / "book.xlsx").string()), ESheetAppError);
  app->Quit();
}

TEST(BuiltinFormat, NumberAndDateTexts) {
  struct Case {
    double value;
    const char* format;
    const char* text;
  } cases[] = {
      {1.26, "0.0", "1.3"},
      {3, "0", "3"},
      {-1234567.891, "#,##0.00", "-1,234,567.89"},
      {1234.5, "$#,##0.00", "$1,234.50"},
      {1234.5, "#,##0.00 \"EUR\"", "1,234.50 EUR"},
      {0.1, "General", "0.1"},
      {0.25, "0%", "25%"},
      {41440.6149305556, "dd.mm.yyyy hh:mm", "15.06.2013 14:45"},
      {41440.6149305556, "d/m/yy h:mm:ss AM/PM", "15/6/13 2:45:30 PM"},
      {41440.0, "dddd d mmmm yyyy", "Saturday 15 June 2013"},
  };
  for (const auto& c : cases)
    EXPECT_EQ(builtin::FormatNumber(c.value, c.format), c.text) << c.format;

  FormatSettings german;
  german.DecimalSeparator = ',';
  german.ThousandSeparator = '.';
  EXPECT_EQ(builtin::InvariantNumberFormat("#.##0,00", german), "#,##0.00");
  EXPECT_EQ(builtin::InvariantNumberFormat("0,0", german), "0.0");
  EXPECT_EQ(builtin::InvariantNumberFormat("dd.mm.yyyy", german), "dd.mm.yyyy");
  FormatSettings spaced;
  spaced.DecimalSeparator = ',';
  spaced.ThousandSeparator = ' ';
  EXPECT_EQ(builtin::InvariantNumberFormat("# ##0,00 EUR", spaced), "#,##0.00 EUR");
}

// Gnumeric's converter reads the exported workbook as a spreadsheet program does.
TEST_F(BuiltinWorkbook, GnumericReadsTheExport) {
  if (std::system("command -v ssconvert >/dev/null 2>&1") != 0) GTEST_SKIP() << "no ssconvert";
  TsxExcelExport x(system_, settings_);
  CustomSource src = Archive(true);
  src.Attach(x);
  Configure(x);
  x.SetGroupFields({"N"});
  x.ExportDataset();
  const std::string file = (dir_ / "read.xlsx").string();
  const std::string ours = (dir_ / "ours.csv").string();
  x.SaveAs(file, ffXLSX);
  x.SaveAs(ours, ffCSV);
  x.Disconnect(false);
  const std::string theirs = (dir_ / "theirs.csv").string();
  const std::string command =
      "ssconvert --export-type=Gnumeric_stf:stf_assistant -O 'format=preserve quoting-mode=auto' "
      "'" +
      file + "' '" + theirs + "' >/dev/null 2>&1";
  ASSERT_EQ(std::system(command.c_str()), 0);
  // Fields of each line, unquoted and trimmed: the two writers quote differently.
  const auto table = [](const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::vector<std::vector<std::string>> rows;
    std::string line;
    while (std::getline(in, line)) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      std::vector<std::string> fields(1);
      bool quoted = false;
      for (std::size_t i = 0; i < line.size(); ++i) {
        const char c = line[i];
        if (c == '"' && quoted && i + 1 < line.size() && line[i + 1] == '"') {
          fields.back() += '"';
          ++i;
        } else if (c == '"') {
          quoted = !quoted;
        } else if (c == ',' && !quoted) {
          fields.emplace_back();
        } else {
          fields.back() += c;
        }
      }
      for (auto& f : fields) {
        const auto b = f.find_first_not_of(' ');
        f = b == std::string::npos ? "" : f.substr(b, f.find_last_not_of(' ') - b + 1);
      }
      rows.push_back(fields);
    }
    return rows;
  };
  const std::vector<std::vector<std::string>> expected = {
      {"", "", "", ""},
      {"Quarrow VORNEX", "", "", ""},
      {"", "", "", ""},
      {"09.12.2026 10:00:00", "", "", ""},
      {"", "", "", ""},
      {"No.", "Date and time", "R, MPa", "Single Values"},
      {"1", "01.05.2013 10:10", "20.3", ""},
      {"", "", "", "30.0"},
      {"", "", "", "31.0"},
      {"2", "02.05.2013 10:11", "21.3", ""},
      {"3", "03.05.2013 10:12", "22.3", ""},
      {"", "", "", "30.0"},
  };
  EXPECT_EQ(table(theirs), expected);
  EXPECT_EQ(table(ours), expected);
}

}  // namespace
