// Call sequences of whole exports against the recording application: the main window's
// export, blocks, number formats, groups, fills, widths and both pipes.
#include <gtest/gtest.h>

#include <algorithm>

#include "custom_source.h"
#include "main_window_design.h"
#include "sheet_app_recorder.h"
#include "sheetexport/sx_memory_dataset.h"

namespace {

using Calls = std::vector<std::string>;

TVariant I(std::int64_t v) {
  return TVariant(v);
}
TVariant S(const char* v) {
  return TVariant(std::string(v));
}

// Calls from the first occurrence of `from` on, `count` of them.
Calls Slice(const TSheetRecorder& r, const std::string& from, std::size_t count) {
  const int i = r.IndexOf(from);
  if (i < 0) return {"<missing " + from + ">"};
  const auto end = std::min(r.Calls.size(), static_cast<std::size_t>(i) + count);
  return Calls(r.Calls.begin() + i, r.Calls.begin() + static_cast<long>(end));
}

// Three integer columns with `n` records, keys in column 0.
CustomSource Table(int n, const std::vector<int>& keys = {}) {
  CustomSource s;
  s.Fields = {{"N", ftInteger, "No."}, {"R", ftFloat, "R, MPa", 1}, {"Txt", ftString, ""}};
  for (int i = 0; i < n; ++i)
    s.Rows.push_back({I(keys.empty() ? i + 1 : keys[i]), TVariant(1.5 * i), S("t")});
  return s;
}

TEST(SxExport, MainWindowExampleWritesHeaderTitlesDataAndWidths) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src;
  const TFieldType types[15] = {ftInteger, ftString,  ftString, ftString,  ftString,
                                ftFloat,   ftFloat,   ftFloat,  ftString,  ftString,
                                ftString,  ftInteger, ftFloat,  ftInteger, ftFloat};
  for (int i = 0; i < 15; ++i)
    src.Fields.push_back(
        {"F" + std::to_string(i), types[i], "T" + std::to_string(i), i == 12 ? 2 : 1});
  for (int r = 0; r < 3; ++r) {
    std::vector<TVariant> row(15);
    row[0] = I(r + 1);
    src.Rows.push_back(row);
  }
  src.Attach(x);
  ConfigureLikeTheMainWindow(x);
  std::vector<bool> busy;
  int pumped = 0;
  x.HostBusyCursor = [&](bool b) { busy.push_back(b); };
  x.HostProcessMessages = [&] { ++pumped; };
  x.ExportDataset();

  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(pumped, 3);
  EXPECT_EQ(x.EndRowData(), 9);
  EXPECT_EQ(rec->Cells["A6"], S("T0"));
  EXPECT_EQ(rec->Cells["O6"], S("T14"));
  EXPECT_EQ(
      Slice(*rec, "Range(A6:O6).Font.Name=\"Tahoma\"", 16),
      (Calls{"Range(A6:O6).Font.Name=\"Tahoma\"", "Range(A6:O6).Font.Size=12",
             "Range(A6:O6).Font.Color=$FF000008", "Range(A6:O6).Font.Bold=true",
             "Range(A6:O6).Font.Italic=false", "Range(A6:O6).Font.Underline=false",
             "Range(A6:O6).Borders(8).LineStyle=1", "Range(A6:O6).Borders(8).Weight=-4138",
             "Range(A6:O6).Borders(8).Color=$000000", "Range(A6:O6).Borders(10).LineStyle=1",
             "Range(A6:O6).Borders(10).Weight=-4138", "Range(A6:O6).Borders(10).Color=$000000",
             "Range(A6:O6).Borders(7).LineStyle=1", "Range(A6:O6).Borders(7).Weight=-4138",
             "Range(A6:O6).Borders(7).Color=$000000", "Range(A6:O6).Borders(9).LineStyle=1"}));
  // Number formats per column, then the block, then the data style on the whole range.
  const int formats = rec->IndexOf("Range(A7:A9).NumberFormat=\"0\"");
  ASSERT_NE(formats, -1);
  EXPECT_EQ(rec->Calls[formats + 1], "Range(B7:B9).NumberFormat=\"@\"");
  EXPECT_EQ(rec->Calls[formats + 5], "Range(F7:F9).NumberFormat=\"0.0\"");
  EXPECT_EQ(rec->Calls[formats + 12], "Range(M7:M9).NumberFormat=\"0.00\"");
  EXPECT_EQ(rec->Calls[formats + 15], "Range(A7:O9).Value2=[20x15]");
  EXPECT_EQ(rec->Calls[formats + 16], "Range(A7:O9).Font.Name=\"Tahoma\"");
  EXPECT_EQ(Slice(*rec, "Range(A1:A1).Value2=\" \"", 11),
            (Calls{"Range(A1:A1).Value2=\" \"", "Range(A1:O1).MergeCells=true",
                   "Range(A1:A1).Font.Name=\"Tahoma\"", "Range(A1:A1).Font.Size=16",
                   "Range(A1:A1).Font.Color=$FF000008", "Range(A1:A1).Font.Bold=true",
                   "Range(A1:A1).Font.Italic=false", "Range(A1:A1).Font.Underline=false",
                   "Range(A1:A1).Orientation=0", "Range(A1:A1).WrapText=false",
                   "Range(A1:A1).HorizontalAlignment=-4108"}));
  EXPECT_EQ(rec->Cells["A4"], S("09.12.2026 10:00:00"));
  for (const char* line : {"A1", "A2", "A3", "A4"}) {
    const std::string range = std::string("Range(") + line + ":" + line + ").";
    const int value = rec->IndexOf(range + "Value2=" + RecordedValue(rec->Cells[line]));
    ASSERT_GT(value, 0) << line;
    EXPECT_EQ(rec->Calls[value - 1], range + "NumberFormat=\"@\"")
        << "a header line is text before it is written: " << line;
  }
  EXPECT_TRUE(rec->CallsStartingWith("Range(A1:A1).Interior").empty()) << "header has no fill";
  const Calls tail(rec->Calls.end() - 6, rec->Calls.end());
  EXPECT_EQ(tail, (Calls{"Range(A1:O1).EntireColumn.AutoFit", "App.ScreenUpdating=true",
                         "App.Visible=true", "App.ActiveWorkbook", "Workbook.ActiveSheet",
                         "Outline.ShowLevels(1)"}));
  EXPECT_TRUE(x.Connected()) << "the export leaves disconnecting to the host";
}

TEST(SxExport, RecordsGoInBlocks) {
  struct Case {
    int records;
    Calls writes;
  } cases[] = {
      {45,
       {"Range(A7:C26).Value2=[20x3]", "Range(A27:C46).Value2=[20x3]",
        "Range(A47:C51).Value2=[20x3]"}},
      {40, {"Range(A7:C26).Value2=[20x3]", "Range(A27:C46).Value2=[20x3]"}},
      {1, {"Range(A7:C7).Value2=[20x3]"}},
      {0, {}},
  };
  for (const auto& c : cases) {
    auto rec = TSheetRecorder::WithKeys();
    TsxExcelExport x(rec, FormatSettings{});
    CustomSource src = Table(c.records);
    src.Attach(x);
    x.SetBeginRowTitles(6);
    x.SetBeginRowData(7);
    x.ExportDataset();
    std::vector<std::string> writes;
    for (const auto& call : rec->CallsStartingWith("Range(A"))
      if (call.find(".Value2=[") != std::string::npos) writes.push_back(call);
    EXPECT_EQ(writes, c.writes) << c.records;
    std::vector<int> numbers(c.records);
    for (int i = 0; i < c.records; ++i) numbers[i] = i + 1;
    EXPECT_EQ(src.RecordNumbers, numbers);
    EXPECT_EQ(x.EndRowData(), 6 + c.records);
    const bool styled = !rec->CallsStartingWith("Range(A7:C" + std::to_string(6 + c.records) +
                                                ").HorizontalAlignment")
                             .empty();
    EXPECT_EQ(styled, c.records > 0) << "data style only over existing rows";
    if (c.records == 45) {
      EXPECT_EQ(rec->Cells["A51"], I(45));
      EXPECT_EQ(rec->Cells["A52"], TVariant{}) << "stale rows of the reused block stay out";
      EXPECT_NE(rec->IndexOf("Range(A47:A51).NumberFormat=\"0\""), -1);
    }
  }
}

TEST(SxExport, SkippedFieldsGiveUpTheirColumn) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src;
  src.Fields = {{"A", ftInteger},
                {"Hidden", ftInteger, "", 0, false},
                {"Blob", ftBlob},
                {"Unknown", ftUnknown},
                {"B", ftString}};
  src.Rows = {{I(1), I(2), I(3), I(4), S("b")}};
  src.Attach(x);
  x.ExportDataset();
  EXPECT_EQ(rec->Cells["A1"], S("A"));
  EXPECT_EQ(rec->Cells["B1"], S("B")) << "the title falls back to the name";
  EXPECT_EQ(rec->Cells["B2"], S("b"));
  EXPECT_EQ(src.ValueRequests, (std::vector<int>{0, 4})) << "fields keep their own index";
  EXPECT_EQ(rec->CallsStartingWith("Range(C").size(), 0u);

  auto rec2 = TSheetRecorder::WithKeys();
  TsxExcelExport y(rec2, FormatSettings{});
  y.SetVisibleFieldsOnly(false);
  src.Attach(y);
  y.ExportDataset();
  EXPECT_EQ(rec2->Cells["B1"], S("Hidden"));
  EXPECT_EQ(rec2->Cells["C1"], S("B"));

  auto rec3 = TSheetRecorder::WithKeys();
  TsxExcelExport z(rec3, FormatSettings{});
  z.SetDataPipe(dpCustom);
  z.ExportDataset();
  EXPECT_TRUE(rec3->CallsStartingWith("Range(").empty()) << "no field count event: no columns";
}

TEST(SxExport, CustomNumberFormatsFollowTheLocale) {
  FormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ShortDateFormat = "dd/mm/yyyy";
  fs.ShortTimeFormat = "hh:nn";
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, fs);
  CustomSource src;
  src.Fields = {{"F1", ftFloat, "", 1}, {"F0", ftFloat}, {"C", ftCurrency, "", 3}, {"I", ftInteger},
                {"S", ftString},        {"D", ftDate},   {"DT", ftDateTime},       {"M", ftMemo}};
  src.Rows = {{TVariant(1.25)}};
  src.Attach(x);
  x.ExportDataset();
  const Calls expected = {"Range(A2:A2).NumberFormat=\"0,0\"",
                          "Range(B2:B2).NumberFormat=\"0\"",
                          "Range(C2:C2).NumberFormat=\"0,00\"",
                          "Range(D2:D2).NumberFormat=\"0\"",
                          "Range(E2:E2).NumberFormat=\"@\"",
                          "Range(F2:F2).NumberFormat=\"dd/mm/yyyy\"",
                          "Range(G2:G2).NumberFormat=\"dd/mm/yyyy hh:mm\"",
                          "Range(H2:H2).NumberFormat=\"@\""};
  Calls formats;
  for (const auto& c : rec->Calls)
    if (c.find("NumberFormat") != std::string::npos) formats.push_back(c);
  EXPECT_EQ(formats, expected);

  auto failing = TSheetRecorder::WithKeys();
  failing->FailingCalls = {"Range(A2:A2).NumberFormat=\"0,0\""};
  TsxExcelExport y(failing, fs);
  src.Attach(y);
  EXPECT_NO_THROW(y.ExportDataset());
  EXPECT_NE(failing->IndexOf("Range(A2:A2).NumberFormat=\"0,00\""), -1)
      << "a refused float format falls back to two decimals";
}

TEST(SxExport, RowLimitStopsBeforeTheRecordThatPassesIt) {
  auto rec = TSheetRecorder::WithKeys({"\\Software\\Microsoft\\Office\\11.0\\Excel"});
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src = Table(5);
  src.Attach(x);
  x.SetBeginRowTitles(65533);
  x.SetBeginRowData(65534);
  try {
    x.ExportDataset();
    FAIL() << "row 65537 passes the limit";
  } catch (const EMaxRowsReached& e) {
    EXPECT_STREQ(e.what(), "The maximum number of rows (65536) has been reached");
  }
  EXPECT_EQ(src.RecordNumbers.size(), 3u);
  for (const auto& c : rec->Calls)
    EXPECT_EQ(c.find(".Value2=["), std::string::npos) << "an unfinished block is not written";
}

TEST(SxExport, GroupRunsAreClearedGroupedAndStyled) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src = Table(6, {1, 1, 1, 2, 3, 3});
  src.Attach(x);
  ConfigureLikeTheMainWindow(x);
  x.SetHeaderText({});
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  x.SetGroupFields({"N"});
  x.SetFooterText({"end"});
  x.ExportDataset();

  EXPECT_EQ(rec->CallsStartingWith("Range(A8:A9)"),
            (Calls{"Range(A8:A9).ClearContents", "Range(A8:A9).Rows.Group"}));
  EXPECT_EQ(rec->CallsStartingWith("Range(A12:A12)"),
            (Calls{"Range(A12:A12).ClearContents", "Range(A12:A12).Rows.Group"}));
  for (const char* head : {"A7:C7", "A10:C10", "A11:C11"})
    EXPECT_NE(rec->IndexOf(std::string("Range(") + head + ").Font.Size=12"), -1) << head;
  EXPECT_TRUE(rec->CallsStartingWith("Range(A11:A11)").empty()) << "row 10 stands alone";
  EXPECT_EQ(rec->Cells["A8"], TVariant{});
  EXPECT_EQ(rec->Cells["A10"], I(2));
  EXPECT_EQ(rec->Cells["A14"], S("end")) << "footer two rows below the data";
  EXPECT_EQ(x.FontGroup().Size, 10);
  const int summary = rec->IndexOf("Outline.SummaryRow=0");
  EXPECT_NE(summary, -1);
  EXPECT_EQ(rec->Calls[summary + 1], "Outline.SummaryColumn=-4152");
}

TEST(SxExport, NestedGroupsOpenTheInnerRunBelowTheOuterHead) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src;
  src.Fields = {{"Outer", ftInteger}, {"Inner", ftString}};
  src.Rows = {{I(1), S("a")}, {I(1), S("a")}, {I(1), S("b")},
              {I(2), S("c")}, {I(2), S("c")}, {I(2), S("d")}};
  src.Attach(x);
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  x.FontGroup().Size = 12;
  x.SetGroupFields({"Outer", "Inner"});
  x.ExportDataset();
  Calls groups = rec->CallsStartingWith("Range(");
  groups.erase(std::remove_if(
                   groups.begin(), groups.end(),
                   [](const std::string& c) { return c.find(".Rows.Group") == std::string::npos; }),
               groups.end());
  EXPECT_EQ(groups, (Calls{"Range(A8:A9).Rows.Group", "Range(A11:A12).Rows.Group",
                           "Range(B8:B8).Rows.Group"}));
  EXPECT_NE(rec->IndexOf("Range(A10:B10).Font.Size=12"), -1) << "outer run starts at 10";
  EXPECT_NE(rec->IndexOf("Range(B11:B11).Font.Size=10"), -1) << "inner run starts at 11";
  EXPECT_EQ(rec->IndexOf("Range(B10:B10).Font.Size=10"), -1);
  EXPECT_EQ(x.FontGroup().Size, 8);

  auto rec2 = TSheetRecorder::WithKeys();
  TsxExcelExport y(rec2, FormatSettings{});
  src.Attach(y);
  y.FontGroup().Size = 12;
  y.SetGroupFields({"  "});
  y.ExportDataset();
  EXPECT_EQ(y.FontGroup().Size, 12) << "a blank group entry is skipped";
  EXPECT_TRUE(rec2->CallsStartingWith("Range(A8").empty());
}

TEST(SxExport, AlternatingFillsCoverDataRowsOnly) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src = Table(5);
  src.Attach(x);
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  x.BorderData().BackAlternateColor = 0x0000FF;
  x.ExportDataset();
  EXPECT_EQ(rec->CallsStartingWith("Range(A").size() > 0, true);
  Calls fills;
  for (const auto& c : rec->Calls)
    if (c.find("Interior") != std::string::npos) fills.push_back(c);
  EXPECT_EQ(fills,
            (Calls{"Range(A7:C7).Interior.Color=$0000FF", "Range(A8:C8).Interior.Color=$FFFFFF",
                   "Range(A9:C9).Interior.Color=$0000FF", "Range(A10:C10).Interior.Color=$FFFFFF",
                   "Range(A11:C11).Interior.Color=$0000FF"}));
}

TEST(SxExport, FontEdgesAndBorderlessRanges) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  x.Connect();
  TxlFont font;
  font.Name = "MS Sans Serif";
  font.Color = 0;
  font.Style = fsItalic;
  TCellBorder border;
  border.BackColor = 0x00FF00;
  rec->Calls.clear();
  x.SetFontAndBorderRange(rtSummary, font, border, "B2", "D2");
  EXPECT_EQ(rec->Calls,
            (Calls{"Range(B2:D2).Font.Bold=false", "Range(B2:D2).Font.Italic=true",
                   "Range(B2:D2).Font.Underline=false", "Range(B2:D2).Interior.Color=$00FF00",
                   "Range(B2:D2).Orientation=0", "Range(B2:D2).WrapText=false",
                   "Range(B2:D2).HorizontalAlignment=1"}));
  rec->Calls.clear();
  border.LineStyle = blDash;
  border.Weight = bwThin;
  rec->FailingCalls = {"Range(B2:D2).Borders(10)"};
  EXPECT_NO_THROW(x.SetFontAndBorderRange(rtSummary, font, border, "B2", "D2"));
  EXPECT_NE(rec->IndexOf("Range(B2:D2).Borders(8).LineStyle=-4115"), -1);
  EXPECT_NE(rec->IndexOf("Range(B2:D2).HorizontalAlignment=1"), -1) << "after a border failure";
}

TEST(SxExport, HeaderLinesWithoutMergingFillOneColumn) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src = Table(1);
  src.Attach(x);
  x.SetHeaderText({"one", "two"});
  x.SetMergeHeaderCells(false);
  x.ExportDataset();
  EXPECT_NE(rec->IndexOf("Range(A1:A2).Value2=[2x1]"), -1);
  EXPECT_EQ(rec->Cells["A2"], S("two"));
  EXPECT_EQ(rec->Cells["A3"], S("No.")) << "titles below the header";
  for (const auto& c : rec->Calls) EXPECT_EQ(c.find("MergeCells"), std::string::npos);
}

TEST(SxExport, TitleWidthRules) {
  struct Case {
    TStyleColumnWidth style;
    int dataSize, titleSize, displayWidth;
    TFieldType type;
    const char* width;
  } cases[] = {
      {cwEnhAutoFit, 12, 10, 5, ftInteger, "11"},        // 5 x 1.2 = 6 < (9 + 1) x 1
      {cwEnhAutoFit, 12, 10, 20, ftInteger, "24"},       // 20 x 1.2 = 24 >= 10
      {cwFieldDisplayWidth, 15, 10, 5, ftInteger, "8"},  // 7.5 rounds to even
      {cwFieldDisplayWidth, 15, 10, 3, ftInteger, "4"},  // 4.5 rounds to even
      {cwFieldDisplayWidth, -1, 10, 3, ftInteger, "3"},  // unset size counts 1
      {cwFieldDataSize, 12, 10, 0, ftInteger, "12"},     // preset 10 x 1.2
      {cwFieldDataSize, 12, 10, 0, ftDateTime, "19"},    // 16 x 1.2 = 19.2
  };
  for (const auto& c : cases) {
    auto rec = TSheetRecorder::WithKeys();
    TsxExcelExport x(rec, FormatSettings{});
    CustomSource src;
    src.Fields = {{"N", c.type, "Nine char", 0, true, c.displayWidth}};
    src.Attach(x);
    x.SetStyleColumnWidth(c.style);
    x.FontData().Size = c.dataSize;
    x.FontTitles().Size = c.titleSize;
    x.ExportDataset();
    EXPECT_EQ(rec->CallsStartingWith("Range(A1:A1).ColumnWidth"),
              (Calls{std::string("Range(A1:A1).ColumnWidth=") + c.width}))
        << c.style << " " << c.displayWidth;
  }
}

TEST(SxExport, CellStyleEventsSetOnlyWhatDiffers) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src = Table(2);
  src.Attach(x);
  x.FontData().Name = "Tahoma";
  x.FontData().Size = 12;
  x.OnGetFieldCellStyleEvent = [&](TsxExcelExport&, int field, TColor& back, TxlFont& font) {
    if (field == 1 && src.Pos == 1) {
      back = 0x00FFFF;
      font.Style = fsBold;
      font.Size = 14;
    }
  };
  x.ExportDataset();
  EXPECT_EQ(rec->CallsStartingWith("Range(B3:B3)"),
            (Calls{"Range(B3:B3).Interior.Color=$00FFFF", "Range(B3:B3).Font.Size=14",
                   "Range(B3:B3).Font.Bold=true"}));
  EXPECT_TRUE(rec->CallsStartingWith("Range(A2:A2)").empty());
}

TEST(SxExport, DataSetPipeValuesFormatsAndSummary) {
  FormatSettings fs;
  fs.DecimalSeparator = ',';
  fs.ThousandSeparator = ' ';
  fs.CurrencyString = "EUR";
  fs.CurrencyFormat = 3;
  auto rec = TSheetRecorder::WithKeys({"\\Software\\Microsoft\\Office\\11.0\\Excel"});
  TsxExcelExport x(rec, fs);
  TsxMemoryDataSet ds("Tests");
  ds.AddField({"Name", ftString});
  ds.AddField({"Count", ftInteger});
  ds.AddField({"Price", ftFloat, "", true, 10, 10, "#,##0.00"});
  ds.AddField({"Cost", ftCurrency});
  ds.AddField({"Day", ftDate});
  ds.AddField({"Note", ftMemo});
  ds.AddField({"Code", ftInteger, "", true, 10, 10, "",
               [](const TVariant& v) { return "#" + std::to_string(std::get<std::int64_t>(v)); }});
  ds.AppendRecord({S("a"), I(2), TVariant(1.5), TVariant(3.0), TVariant(TDateTime{41000}),
                   TVariant(std::string(2000, 'x')), I(7)});
  ds.AppendRecord(
      {S("b"), I(3), TVariant(2.5), TVariant(4.0), TVariant(TDateTime{0}), S("short"), I(8)});
  x.SetDataset(&ds);
  EXPECT_THROW(x.ExportDataset(), EDatasetNotActive);
  ds.Open();
  ds.First();
  ds.Next();
  x.SetSummarySelection(ssValues);
  x.SetSummaryDisplayFormat("0.0");
  x.ExportDataset();

  EXPECT_EQ(rec->CallsStartingWith("Sheet.Name="), (Calls{"Sheet.Name=\"Tests\""}));
  EXPECT_EQ(ds.RecNo(), 1) << "position restored";
  EXPECT_EQ(ds.ControlsDisabled(), 0);
  EXPECT_NE(rec->IndexOf("Range(A2:A3).NumberFormat=\"@\""), -1);
  EXPECT_NE(rec->IndexOf("Range(C2:C3).NumberFormat=\"# ##0,00\""), -1);
  EXPECT_NE(rec->IndexOf("Range(D2:D3).NumberFormat=\"# ##0,00 EUR\""), -1);
  EXPECT_NE(rec->IndexOf("Range(E2:E3).NumberFormat=\"dd/mm/yyyy\""), -1);
  EXPECT_TRUE(rec->CallsStartingWith("Range(B2:B3).NumberFormat").empty());
  const auto note = std::get<std::string>(rec->Cells["F2"]);
  EXPECT_EQ(note.size(), 910u) << "a long memo is cut to the string limit";
  EXPECT_EQ(note.substr(907), "...");
  EXPECT_EQ(rec->Cells["F3"], S("short"));
  EXPECT_EQ(rec->Cells["E2"], TVariant(TDateTime{41000}));
  EXPECT_EQ(rec->Cells["E3"], S("")) << "a zero date is empty text";
  EXPECT_EQ(rec->Cells["G2"], S("#7")) << "a display-text handler wins over the value";
  EXPECT_EQ(rec->Cells["B4"], S("=SUM(B2:B3)"));
  EXPECT_EQ(rec->Cells["G4"], S("=SUM(G2:G3)"));
  EXPECT_NE(rec->IndexOf("Range(B4:B4).NumberFormat=\"0,0\""), -1);
  EXPECT_EQ(rec->IndexOf("Range(C4:C4).NumberFormat=\"0,0\""), -1) << "own display format";
  EXPECT_EQ(rec->IndexOf("Range(D4:D4).NumberFormat=\"0,0\""), -1) << "currency";

  x.Notification(&ds, opRemove);
  EXPECT_EQ(x.Dataset(), nullptr);
  EXPECT_THROW(x.ExportDataset(), ENoDatasetConnected);
}

TEST(SxExport, DataSetGroupsUseTheFieldsSheetColumn) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  TsxMemoryDataSet ds("ds");
  ds.AddField({"Hidden", ftInteger, "", false});
  ds.AddField({"Key", ftInteger});
  ds.AddField({"Val", ftString});
  for (int k : {1, 1, 2}) ds.AppendRecord({I(0), I(k), S("v")});
  ds.Open();
  x.SetDataset(&ds);
  x.SetGroupFields({"key"});
  x.SetAutoFilter(true);
  rec->UsedRangeAddress = "A1:B4";
  x.ExportDataset();
  EXPECT_EQ(rec->CallsStartingWith("Range(A3:A3)"),
            (Calls{"Range(A3:A3).ClearContents", "Range(A3:A3).Rows.Group"}));
  EXPECT_NE(rec->IndexOf("Range(A1:B4).Offset(0,0)"), -1);
  EXPECT_NE(rec->IndexOf("Range(A1:B4).AutoFilter(1,1,true)"), -1);
}

TEST(SxExport, UnmergedLinesAreTextAndARefusedLineFormatIsNoFailure) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  CustomSource src = Table(2);
  src.Attach(x);
  x.SetHeaderText({"12.05.2026 08:00", "1.5"});
  x.SetFooterText({"0"});
  x.SetMergeHeaderCells(false);
  x.SetMergeFooterCells(false);
  rec->FailingCalls = {"Range(A6:A6).NumberFormat"};
  x.ExportDataset();
  EXPECT_EQ(Slice(*rec, "Range(A1:A2).NumberFormat=\"@\"", 2),
            (Calls{"Range(A1:A2).NumberFormat=\"@\"", "Range(A1:A2).Value2=[2x1]"}));
  EXPECT_EQ(rec->Cells["A1"], S("12.05.2026 08:00"));
  EXPECT_EQ(rec->Cells["A2"], S("1.5"));
  EXPECT_EQ(Slice(*rec, "Range(A6:A6).NumberFormat=\"@\"", 2),
            (Calls{"Range(A6:A6).NumberFormat=\"@\"", "Range(A6:A6).Value2=[1x1]"}))
      << "the footer line is written all the same";
  EXPECT_EQ(rec->Cells["A6"], S("0"));
}

// Excel answers ShowLevels on a sheet without an outline with an error.
TEST(SxExport, ShowingLevelsWithoutGroupsMayBeRefused) {
  struct Case {
    std::vector<int> keys;  // of the group field
    bool fails;
  } cases[] = {
      {{1, 2, 3}, false},  // a group field, but every run is one row: no group
      {{}, false},         // no group field
      {{1, 1, 2}, true},
  };
  for (const auto& c : cases) {
    auto rec = TSheetRecorder::WithKeys();
    rec->FailingCalls = {"Outline.ShowLevels"};
    TsxExcelExport x(rec, FormatSettings{});
    CustomSource src = Table(3, c.keys);
    src.Attach(x);
    if (!c.keys.empty()) x.SetGroupFields({"N"});
    if (c.fails)
      EXPECT_THROW(x.ExportDataset(), ESheetAppError) << "an outline that exists must collapse";
    else
      EXPECT_NO_THROW(x.ExportDataset());
    EXPECT_EQ(rec->Calls.back(), "Outline.ShowLevels(1)");
  }
}

TEST(SxExport, FailuresPropagateAndRestoreTheHost) {
  auto rec = TSheetRecorder::WithKeys();
  TsxExcelExport x(rec, FormatSettings{});
  TsxMemoryDataSet ds("ds");
  ds.AddField({"A", ftInteger});
  for (int i = 0; i < 5; ++i) ds.AppendRecord({I(i)});
  ds.Open();
  x.SetDataset(&ds);
  x.SetBlockOfRecords(0);
  EXPECT_EQ(x.BlockOfRecords(), 1) << "a block holds one record at least";
  x.SetBlockOfRecords(2);
  std::vector<bool> busy;
  x.HostBusyCursor = [&](bool b) { busy.push_back(b); };
  x.OnExportRecords = [](TsxExcelExport&, int n) {
    if (n == 3) throw Exception("stop at 3");
  };
  EXPECT_THROW(x.ExportDataset(), Exception);
  EXPECT_EQ(busy, (std::vector<bool>{true, false}));
  EXPECT_EQ(ds.ControlsDisabled(), 0) << "displays resume after a failure";
  EXPECT_EQ(rec->CallsStartingWith("Range(A2:A3).Value2=[2x1]").size(), 1u);
  EXPECT_TRUE(rec->CallsStartingWith("Range(A4:A5).Value2").empty());
  EXPECT_TRUE(x.Connected());
}

}  // namespace
