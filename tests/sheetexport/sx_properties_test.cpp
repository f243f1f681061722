// Properties, row rules, restrictions by version, column letters, format translations and the
// session with the application, against the recording application.
#include <gtest/gtest.h>

#include "sheet_app_recorder.h"
#include "sheetexport/sx_excel_export.h"

namespace {

const char* kKey14 = "\\Software\\Microsoft\\Office\\14.0\\Excel";
const char* kKey11 = "\\Software\\Microsoft\\Office\\11.0\\Excel";
const char* kKey9 = "\\Software\\Microsoft\\Office\\9.0\\Excel";
const char* kKey12 = "\\Software\\Microsoft\\Office\\12.0\\Excel";
const char* kKey15 = "\\Software\\Microsoft\\Office\\15.0\\Excel";
const char* kKey16 = "\\Software\\Microsoft\\Office\\16.0\\Excel";

TEST(SxProperties, RowRulesKeepHeaderTitlesAndDataApart) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  EXPECT_EQ(x.BeginRowHeader(), 1);
  EXPECT_EQ(x.BeginRowTitles(), 1);
  EXPECT_EQ(x.BeginRowData(), 2);

  x.SetBeginRowTitles(6);
  EXPECT_EQ(x.BeginRowData(), 7) << "titles at 6 push data below them";
  x.SetBeginRowData(7);
  EXPECT_EQ(x.BeginRowTitles(), 6);
  EXPECT_EQ(x.BeginRowData(), 7);

  x.SetBeginRowData(6);
  EXPECT_EQ(x.BeginRowData(), 7) << "data never shares the titles row while titles show";
  x.SetBeginRowData(2);
  EXPECT_EQ(x.BeginRowData(), 7);

  x.SetShowTitles(false);
  x.SetBeginRowData(6);
  EXPECT_EQ(x.BeginRowData(), 6);
  x.SetShowTitles(true);
  EXPECT_EQ(x.BeginRowData(), 7);

  TsxExcelExport y(rec, FormatSettings{});
  y.SetHeaderText({"a", "b", "c", "d"});
  EXPECT_EQ(y.BeginRowTitles(), 5);
  y.SetBeginRowTitles(3);
  EXPECT_EQ(y.BeginRowTitles(), 5);
  y.SetBeginRowHeader(-3);
  EXPECT_EQ(y.BeginRowHeader(), 1);
  y.SetBeginRowHeader(4);
  EXPECT_EQ(y.BeginRowTitles(), 8);
  EXPECT_EQ(y.BeginRowData(), 9);
  y.SetHeaderText({});
  EXPECT_EQ(y.BeginRowHeader(), 1) << "no header lines: the header row returns to 1";

  for (int v : {0, -5}) {
    y.SetBeginColumnData(v);
    y.SetBeginColumnHeader(v);
    EXPECT_EQ(y.BeginColumnData(), 1);
    EXPECT_EQ(y.BeginColumnHeader(), 1);
  }
  y.SetSummaryFields({"r", "kc"});
  EXPECT_EQ(y.SummaryFields(), (std::vector<std::string>{"R", "KC"}));
}

TEST(SxProperties, DefaultsComeBackGroupByGroup) {
  TsxExcelExport x(TSheetRecorder::WithKeys(), FormatSettings{});
  EXPECT_TRUE(x.ExcelVisible());
  EXPECT_EQ(x.DataPipe(), dpDataSet);
  EXPECT_EQ(x.TypeLibrary(), tlExcel2000);
  EXPECT_EQ(x.LCID(), 0);
  EXPECT_EQ(x.FontData().Size, -1);
  EXPECT_EQ(x.FontData().Color, clWindowText);
  EXPECT_EQ(x.BorderData().BackAlternateColor, clWhite);
  EXPECT_EQ(x.BorderTitles().BackAlternateColor, 0u);
  EXPECT_EQ(x.BorderTitles().LineStyle, blNone);
  EXPECT_EQ(x.GroupOptions().IntervalFontSize, 2);

  x.FontData().Size = 12;
  x.SetBlockOfRecords(5);
  x.SetHeaderText({"h"});
  x.SetGroupFields({"N"});
  x.SetExcelVisible(false);
  x.SetSummaryDisplayFormat("0.0");
  x.SetBeginRowTitles(9);
  x.LoadDefaultProperties(PropertyGroup(pgFont) | PropertyGroup(pgText));
  EXPECT_EQ(x.FontData().Size, -1);
  EXPECT_TRUE(x.HeaderText().empty());
  EXPECT_EQ(x.BlockOfRecords(), 5) << "positions untouched";
  EXPECT_EQ(x.GroupFields().size(), 1u) << "groups untouched";
  EXPECT_FALSE(x.ExcelVisible());
  x.LoadDefaultProperties(AllPropertyGroups);
  EXPECT_EQ(x.BlockOfRecords(), 20);
  EXPECT_EQ(x.BeginRowTitles(), 1);
  EXPECT_EQ(x.BeginRowData(), 2);
  EXPECT_TRUE(x.GroupFields().empty());
  EXPECT_TRUE(x.ExcelVisible());
  EXPECT_EQ(x.SummaryDisplayFormat(), "0.0") << "not part of any group";

  TxlFont pixel;
  pixel.SetHeight(-21);
  EXPECT_EQ(pixel.Size, 16);
  pixel.SetHeight(1);
  EXPECT_EQ(pixel.Size, -1);
  TxlFont aligned;
  aligned.Alignment = haCenter;
  aligned.Name = "Tahoma";
  x.SetFontHeader(aligned);
  EXPECT_EQ(x.FontHeader().Name, "Tahoma");
  EXPECT_EQ(x.FontHeader().Alignment, haGeneral) << "assignment copies the base font only";
}

TEST(SxProperties, VersionDecidesTheRestrictions) {
  struct Case {
    std::initializer_list<const char*> keys;
    const char* curVer;  // of the registered class, asked only without a key
    int version, rows, columns, length;
  } cases[] = {
      {{}, "", 0, 65536, 256, 910},
      {{kKey9}, "", 9, 65536, 256, 99999},
      {{kKey11}, "", 11, 65536, 256, 910},
      {{kKey12}, "", 12, 1048576, 16384, 99999},
      {{kKey11, kKey14}, "", 14, 1048576, 16384, 99999},
      {{kKey15}, "", 15, 1048576, 16384, 99999},
      {{kKey16}, "", 16, 1048576, 16384, 99999},
      {{kKey14, kKey15, kKey16}, "Excel.Application.12", 16, 1048576, 16384, 99999},
      {{kKey11}, "Excel.Application.16", 11, 65536, 256, 910},
      {{}, "Excel.Application.16", 16, 1048576, 16384, 99999},
      {{}, "excel.application.15", 15, 1048576, 16384, 99999},
      {{}, "Excel.Application.11", 11, 65536, 256, 910},
      {{}, "Excel.Application.9", 9, 65536, 256, 99999},
      {{}, "Excel.Application.5", 0, 65536, 256, 910},
      {{}, "Excel.Application", 0, 65536, 256, 910},
      {{}, "Excel.Application.", 0, 65536, 256, 910},
      {{}, "Excel.Application.16a", 0, 65536, 256, 910},
      {{}, "Excel.Application.-16", 0, 65536, 256, 910},
      {{}, "Word.Application.16", 0, 65536, 256, 910},
      {{}, "Excel.Application.99999999999", 0, 65536, 256, 910},
  };
  for (const auto& c : cases) {
    auto rec = TSheetRecorder::WithKeys(c.keys);
    rec->ClassVersions["Excel.Application"] = c.curVer;
    TsxExcelExport x(rec, FormatSettings{});
    SCOPED_TRACE(c.curVer);
    EXPECT_EQ(x.ExcelVersion(), c.version);
    EXPECT_EQ(x.ExcelRestrictions().MaxNumberOfRows, c.rows) << c.version;
    EXPECT_EQ(x.ExcelRestrictions().MaxNumberOfColumns, c.columns) << c.version;
    EXPECT_EQ(x.ExcelRestrictions().MaxStringLength, c.length) << c.version;
  }
  auto rec = TSheetRecorder::WithKeys({kKey11, kKey14});
  TsxExcelExport x(rec, FormatSettings{});
  EXPECT_EQ(rec->CallsStartingWith("KeyExists"),
            (std::vector<std::string>{"KeyExists(" + std::string(kKey16) + ")",
                                      "KeyExists(" + std::string(kKey15) + ")",
                                      "KeyExists(" + std::string(kKey14) + ")"}))
      << "highest first, and it stops at the first key found";
  EXPECT_TRUE(rec->CallsStartingWith("CurVer").empty()) << "a key decides alone";
  auto none = TSheetRecorder::WithKeys({});
  TsxExcelExport y(none, FormatSettings{});
  EXPECT_EQ(none->CallsStartingWith("KeyExists").size(), 8u);
  EXPECT_EQ(none->CallsStartingWith("CurVer"),
            std::vector<std::string>{"CurVer(Excel.Application)"});
}

TEST(SxProperties, ColumnLettersAndTheirLimit) {
  TsxExcelExport x(TSheetRecorder::WithKeys(), FormatSettings{});
  const std::pair<int, const char*> cases[] = {{1, "A"},   {26, "Z"},   {27, "AA"},   {52, "AZ"},
                                               {53, "BA"}, {702, "ZZ"}, {703, "AAA"}, {257, "IW"},
                                               {0, ""},    {-3, ""}};
  for (const auto& [n, letters] : cases) EXPECT_EQ(x.GetColumnCharacters(n), letters) << n;

  TsxExcelExport old(TSheetRecorder::WithKeys({kKey11}), FormatSettings{});
  EXPECT_EQ(old.GetColumnCharacters(256), "IV");
  try {
    old.GetColumnCharacters(257);
    FAIL() << "column 257 on version 11";
  } catch (const EMaxColumnsReached& e) {
    EXPECT_STREQ(e.what(), "The maximum number of columns (256) has been reached");
  }
}

TEST(SxProperties, DateTimeFormatsTakeTheApplicationsCodes) {
  FormatSettings fs;
  fs.DateSeparator = '.';
  fs.TimeSeparator = ':';
  auto rec = TSheetRecorder::WithKeys();
  rec->InternationalCodes = {{17, "."}, {18, ":"}, {19, "y"}, {20, "m"},
                             {21, "d"}, {22, "h"}, {23, "m"}, {24, "s"}};
  TsxExcelExport x(rec, fs);
  x.Connect();
  EXPECT_EQ(x.GetDateTimeFormat("dd.mm.yyyy hh:nn"), "dd.mm.yyyy hh:mm");
  // A German application: later steps see what earlier ones inserted, letter case aside.
  rec->InternationalCodes = {{17, "."}, {18, ":"}, {19, "J"}, {20, "M"},
                             {21, "T"}, {22, "h"}, {23, "m"}, {24, "s"}};
  EXPECT_EQ(x.GetDateTimeFormat("dd.mm.yyyy hh:nn:ss"), "TT.MM.JJJJ hh:MM:ss");
  rec->InternationalCodes[17] = "-";
  EXPECT_EQ(x.GetDateTimeFormat("d.m"), "T-M");

  const std::pair<int, const char*> currency[] = {
      {0, "$0.00"}, {1, "0.00$"}, {2, "$ 0.00"}, {3, "0.00 $"}, {4, ""}};
  for (const auto& [setting, expected] : currency) {
    fs.CurrencyFormat = setting;
    TsxExcelExport c(TSheetRecorder::WithKeys(), fs);
    EXPECT_EQ(c.GetCurrencyFormat("0.00"), expected) << setting;
  }
}

TEST(SxSession, ConnectStartsOneInstanceAndNamesTheSheet) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  x.SetWorksheetName("Quarrow VORNEX");
  rec->Calls.clear();
  x.Connect();
  x.Connect();
  EXPECT_TRUE(x.Connected());
  EXPECT_EQ(x.LCID(), 1024);
  const std::vector<std::string> expected = {"StartNewInstance", "Workbooks.Add(-4167)",
                                             "Worksheets.Item(1)", "App.ScreenUpdating=false",
                                             "Sheet.Name=\"Quarrow VORNEX\""};
  EXPECT_EQ(rec->Calls, expected);

  const std::size_t before = rec->Calls.size();
  x.SetWorksheetName("Sheet1");
  x.SetWorksheetName("Quarrow VORNEX");
  EXPECT_TRUE(rec->CallsStartingWith("Worksheets.Add").size() == 1u)
      << "the renamed first sheet is found again, Sheet1 is new";
  EXPECT_GT(rec->Calls.size(), before);
  EXPECT_EQ(x.GetIndexOfWorksheet("quarrow vornex"), -1);
  EXPECT_EQ(x.GetIndexOfWorksheet("Quarrow VORNEX"), 1);
  EXPECT_EQ(x.GetIndexOfWorksheet("Sheet1"), 2);
}

TEST(SxSession, ConnectFailuresLeaveItDisconnected) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  x.SetConnectTo(ctNewWorksheet);
  EXPECT_THROW(x.Connect(), ENoActiveWorkbook);
  EXPECT_FALSE(x.Connected());

  TsxExcelExport y(rec, FormatSettings{});
  y.SetFilename("/nonexistent/book.xlsx");
  try {
    y.Connect();
    FAIL();
  } catch (const EFileNotExists& e) {
    EXPECT_STREQ(e.what(), "File /nonexistent/book.xlsx does not exist");
  }
  EXPECT_FALSE(y.Connected());

  rec->FailingCalls = {"StartNewInstance"};
  TsxExcelExport z(rec, FormatSettings{});
  EXPECT_THROW(z.Connect(), ESheetAppError);
  EXPECT_FALSE(z.Connected());
}

TEST(SxSession, NewWorksheetUsesTheActiveWorkbook) {
  auto rec = TSheetRecorder::WithKeys();
  rec->Books = {{"Sheet1", "Data"}};
  TsxExcelExport x(rec, FormatSettings{});
  x.SetConnectTo(ctNewWorksheet);
  x.SetWorksheetName("Data");
  x.Connect();
  EXPECT_TRUE(rec->CallsStartingWith("Worksheets.Add").empty());
  EXPECT_TRUE(rec->CallsStartingWith("Sheet.Name=").empty()) << "a found sheet keeps its name";
  EXPECT_EQ(rec->CallsStartingWith("AttachOrStartInstance").size(), 1u);
}

TEST(SxSession, DisconnectQuitsOnlyWhenAskedOrInvisible) {
  struct Case {
    bool visible, quit;
    int quits;
  } cases[] = {{true, false, 0}, {false, false, 1}, {true, true, 1}, {false, true, 1}};
  for (const auto& c : cases) {
    auto rec = TSheetRecorder::WithKeys();
    TsxExcelExport x(rec, FormatSettings{});
    x.SetExcelVisible(c.visible);
    x.Connect();
    x.Disconnect(c.quit);
    EXPECT_FALSE(x.Connected());
    EXPECT_FALSE(x.ExcelApplication);
    EXPECT_EQ(static_cast<int>(rec->CallsStartingWith("App.Quit").size()), c.quits);
    EXPECT_EQ(static_cast<int>(rec->CallsStartingWith("App.DisplayAlerts=false").size()), c.quits);
  }
}

TEST(SxSession, SaveAsFormatsByVersion) {
  struct Case {
    const char* key;
    TFileFormat format;
    const char* call;  // nullptr: ENotSupported
  } cases[] = {
      {kKey14, ffDefault, "Sheet.SaveAs(\"f\")"},
      {kKey14, ffXLSX, "Sheet.SaveAs(\"f\",51)"},
      {kKey11, ffXLSX, nullptr},
      {kKey11, ffXLS, "Sheet.SaveAs(\"f\")"},
      {kKey14, ffXLS, "Sheet.SaveAs(\"f\",56)"},
      {kKey14, ffHTM, "Sheet.SaveAs(\"f\",44)"},
      {kKey14, ffCSV, "Sheet.SaveAs(\"f\",6)"},
      {kKey14, ffXL97, nullptr},
      {kKey11, ffXL97, "Sheet.SaveAs(\"f\",43)"},
      {kKey9, ffXML, nullptr},
      {kKey11, ffXML, "Sheet.SaveAs(\"f\",46)"},
      {kKey15, ffXLSX, "Sheet.SaveAs(\"f\",51)"},
      {kKey16, ffXLSX, "Sheet.SaveAs(\"f\",51)"},
      {kKey16, ffXLS, "Sheet.SaveAs(\"f\",56)"},
      {kKey15, ffXLS, "Sheet.SaveAs(\"f\",56)"},
      {kKey16, ffXL97, nullptr},
      {kKey15, ffXL97, nullptr},
      {kKey16, ffHTM, "Sheet.SaveAs(\"f\",44)"},
      {kKey16, ffXML, "Sheet.SaveAs(\"f\",46)"},
  };
  for (const auto& c : cases) {
    auto rec = TSheetRecorder::WithKeys({c.key});
    TsxExcelExport x(rec, FormatSettings{});
    EXPECT_THROW(x.SaveAs("f", c.format), ENoActiveWorkbook);
    x.Connect();
    if (!c.call) {
      EXPECT_THROW(x.SaveAs("f", c.format), ENotSupported) << c.key << " " << c.format;
      continue;
    }
    x.SaveAs("f", c.format);
    EXPECT_EQ(rec->Calls.back(), c.call);
    EXPECT_EQ(rec->Calls[rec->Calls.size() - 2], "App.DisplayAlerts=false");
  }
}

TEST(SxSession, PreviewWindowsAndEmptyRows) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  x.SetExcelVisible(false);
  x.Connect();
  x.PrintPreview(true);
  EXPECT_TRUE(x.ExcelVisible());
  EXPECT_NE(rec->IndexOf("PageSetup.PrintGridlines=true"), -1);
  EXPECT_NE(rec->IndexOf("PageSetup.CenterHeader=\"Sheet1\""), -1);
  EXPECT_EQ(rec->Calls.back(), "Sheet.PrintPreview");

  rec->Cells = {{"B3", TVariant(std::int64_t{1})},
                {"B4", TVariant(std::string("x"))},
                {"B5", TVariant(std::string())}};
  EXPECT_EQ(x.FindFirstEmptyRow("B", 3), 5);
  EXPECT_EQ(x.FindFirstEmptyRow(2, 1), 1);
  EXPECT_EQ(x.FindFirstEmptyRow(2, 4), 5);

  EXPECT_FALSE(x.IsExcelAppActive());
  rec->Windows = {11, 12};
  EXPECT_TRUE(x.IsExcelAppActive());
  x.CloseAllExcelApps();
  EXPECT_TRUE(rec->Windows.empty());
  rec->Windows = {13};
  rec->WindowsRefuseClose = true;
  x.CloseAllExcelApps();
  EXPECT_EQ(rec->CallsStartingWith("SendCloseAndWait(13)").size(), 1u);
}

}  // namespace
