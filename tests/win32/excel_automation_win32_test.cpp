// The Excel automation layer against an in-process fake of Excel's objects: VARIANT
// conversions both ways, the member calls of every operation, failures with the application's
// text, and whole exports compared call for call with the recording application.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <limits>
#include <regex>

#include "custom_source.h"
#include "fake_excel_win32.h"
#include "main_window_design.h"
#include "sheet_app_recorder.h"
#include "sheetexport/dispatch_win32.h"
#include "sheetexport/sheet_app_excel_win32.h"

namespace {

using Calls = std::vector<std::string>;

TVariant I(std::int64_t v) {
  return TVariant(v);
}
TVariant S(const char* v) {
  return TVariant(std::string(v));
}

// ---- TVariant to VARIANT and back ----

TEST(ExcelVariants, ProgramValuesBecomeAutomationValues) {
  const auto maxI4 = std::numeric_limits<std::int32_t>::max();
  const auto minI4 = std::numeric_limits<std::int32_t>::min();
  struct Case {
    TVariant in;
    VARTYPE vt;
    double number;  // VT_I4, VT_R8, VT_DATE, VT_BOOL
    const wchar_t* text;
  } cases[] = {
      {TVariant{}, VT_EMPTY, 0, nullptr},
      {I(42), VT_I4, 42, nullptr},
      {I(-7), VT_I4, -7, nullptr},
      {I(maxI4), VT_I4, maxI4, nullptr},
      {I(minI4), VT_I4, minI4, nullptr},
      {I(std::int64_t{maxI4} + 1), VT_R8, 2147483648.0, nullptr},
      {I(std::int64_t{minI4} - 1), VT_R8, -2147483649.0, nullptr},
      {I(5000000000), VT_R8, 5e9, nullptr},
      {TVariant(1.25), VT_R8, 1.25, nullptr},
      {TVariant(true), VT_BOOL, VARIANT_TRUE, nullptr},
      {TVariant(false), VT_BOOL, VARIANT_FALSE, nullptr},
      {TVariant(TDateTime{41440.75}), VT_DATE, 41440.75, nullptr},
      {S("Prüfung R, кг/см²"), VT_BSTR, 0, L"Prüfung R, кг/см²"},
      {S(""), VT_BSTR, 0, L""},
  };
  for (const auto& c : cases) {
    const TOleVariant v = ToOleVariant(c.in);
    ASSERT_EQ(v->vt, c.vt) << RecordedValue(c.in);
    switch (c.vt) {
      case VT_I4:
        EXPECT_EQ(v->lVal, c.number);
        break;
      case VT_R8:
        EXPECT_EQ(v->dblVal, c.number);
        break;
      case VT_DATE:
        EXPECT_EQ(v->date, c.number);
        break;
      case VT_BOOL:
        EXPECT_EQ(v->boolVal, c.number);
        break;
      case VT_BSTR:
        ASSERT_NE(v->bstrVal, nullptr) << "an empty text is an empty BSTR, not a null one";
        EXPECT_EQ(std::wstring(v->bstrVal, SysStringLen(v->bstrVal)), c.text);
        break;
      default:
        break;
    }
    EXPECT_EQ(FromOleVariant(*v), c.in.index() == 1 && c.vt == VT_R8
                                      ? TVariant(static_cast<double>(std::get<std::int64_t>(c.in)))
                                      : c.in)
        << "round trip of " << RecordedValue(c.in);
  }
}

TOleVariant Raw(VARTYPE vt, std::function<void(VARIANT&)> fill) {
  TOleVariant v;
  fill(*v.get());
  v.get()->vt = vt;  // after the value: a DECIMAL fills the type field too
  return v;
}

TEST(ExcelVariants, AutomationValuesBecomeProgramValues) {
  CY cy;
  cy.int64 = 123450;  // 12.345
  DECIMAL dec{};
  VarDecFromR8(2.5, &dec);
  LONG byRefTarget = 77;
  struct Case {
    const char* name;
    TOleVariant in;
    TVariant out;
  } cases[] = {
      {"empty", Raw(VT_EMPTY, [](VARIANT&) {}), TVariant{}},
      {"null", Raw(VT_NULL, [](VARIANT&) {}), TVariant{}},
      {"i1", Raw(VT_I1, [](VARIANT& v) { v.cVal = -5; }), I(-5)},
      {"i2", Raw(VT_I2, [](VARIANT& v) { v.iVal = -300; }), I(-300)},
      {"i4", Raw(VT_I4, [](VARIANT& v) { v.lVal = 70000; }), I(70000)},
      {"i8", Raw(VT_I8, [](VARIANT& v) { v.llVal = 5000000000LL; }), I(5000000000LL)},
      {"ui1", Raw(VT_UI1, [](VARIANT& v) { v.bVal = 200; }), I(200)},
      {"ui4", Raw(VT_UI4, [](VARIANT& v) { v.ulVal = 4000000000u; }), I(4000000000LL)},
      {"r4", Raw(VT_R4, [](VARIANT& v) { v.fltVal = 0.5f; }), TVariant(0.5)},
      {"r8", Raw(VT_R8, [](VARIANT& v) { v.dblVal = -1e300; }), TVariant(-1e300)},
      {"cy", Raw(VT_CY, [&](VARIANT& v) { v.cyVal = cy; }), TVariant(12.345)},
      {"decimal", Raw(VT_DECIMAL, [&](VARIANT& v) { v.decVal = dec; }), TVariant(2.5)},
      {"bool true", Raw(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_TRUE; }), TVariant(true)},
      {"bool false", Raw(VT_BOOL, [](VARIANT& v) { v.boolVal = VARIANT_FALSE; }), TVariant(false)},
      {"date", Raw(VT_DATE, [](VARIANT& v) { v.date = 46365.5; }), TVariant(TDateTime{46365.5})},
      {"text", Raw(VT_BSTR, [](VARIANT& v) { v.bstrVal = SysAllocString(L"Öl °C"); }), S("Öl °C")},
      {"cell #N/A", Raw(VT_ERROR, [](VARIANT& v) { v.scode = static_cast<SCODE>(0x800A07FA); }),
       S("#N/A")},
      {"cell #DIV/0!", Raw(VT_ERROR, [](VARIANT& v) { v.scode = static_cast<SCODE>(0x800A07D7); }),
       S("#DIV/0!")},
      {"left out", TOleVariant::Omitted(), TVariant{}},
      {"by reference", Raw(VT_I4 | VT_BYREF, [&](VARIANT& v) { v.plVal = &byRefTarget; }), I(77)},
  };
  for (auto& c : cases) EXPECT_EQ(FromOleVariant(*c.in), c.out) << c.name;
}

TEST(ExcelVariants, ObjectsAndUnknownTypesAreNoValues) {
  auto excel = std::make_shared<FakeExcel>();
  IDispatch* app = excel->NewApplication();
  TOleVariant object = Raw(VT_DISPATCH, [&](VARIANT& v) { v.pdispVal = app; });
  EXPECT_THROW(FromOleVariant(*object), ESheetAppError);
  TOleVariant odd = Raw(VT_VOID, [](VARIANT&) {});
  EXPECT_THROW(FromOleVariant(*odd), ESheetAppError);
  odd.Detach();
}

TEST(ExcelVariants, DatesCountDaysAsTheSystemDoes) {
  struct Case {
    WORD year, month, day, hour, minute, second;
  } cases[] = {{1899, 12, 30, 0, 0, 0},
               {1900, 3, 1, 6, 0, 0},
               {2013, 6, 15, 12, 0, 0},
               {2026, 12, 9, 10, 30, 15},
               {1850, 1, 1, 0, 0, 0}};
  for (const auto& c : cases) {
    const TDateTime ours = EncodeDateTime(c.year, c.month, c.day, c.hour, c.minute, c.second, 0);
    const TOleVariant v = ToOleVariant(TVariant(ours));
    ASSERT_EQ(v->vt, VT_DATE);
    SYSTEMTIME st{};
    ASSERT_TRUE(VariantTimeToSystemTime(v->date, &st)) << c.year;
    EXPECT_EQ(st.wYear, c.year);
    EXPECT_EQ(st.wMonth, c.month);
    EXPECT_EQ(st.wDay, c.day);
    EXPECT_EQ(st.wHour, c.hour);
    EXPECT_EQ(st.wMinute, c.minute);
    EXPECT_EQ(st.wSecond, c.second);

    double system = 0;
    SYSTEMTIME in{c.year, c.month, 0, c.day, c.hour, c.minute, c.second, 0};
    ASSERT_TRUE(SystemTimeToVariantTime(&in, &system));
    TOleVariant back = Raw(VT_DATE, [&](VARIANT& x) { x.date = system; });
    const auto parts = DecodeDateTime(std::get<TDateTime>(FromOleVariant(*back)));
    EXPECT_EQ(parts.Year, c.year);
    EXPECT_EQ(parts.Month, c.month);
    EXPECT_EQ(parts.Day, c.day);
    EXPECT_EQ(parts.Hour, c.hour);
    EXPECT_EQ(parts.Minute, c.minute);
    EXPECT_EQ(parts.Second, c.second);
  }
}

TEST(ExcelVariants, BlocksAreOneBasedArraysWithRowsFirst) {
  const std::vector<TVariant> cells = {I(1),       S("b"), TVariant(2.5),
                                       TVariant{}, I(-4),  TVariant(TDateTime{45000})};
  struct Case {
    int rows, columns;
  } cases[] = {{2, 3}, {3, 2}, {1, 6}, {6, 1}};
  for (const auto& c : cases) {
    const TVariantBlock block{cells.data(), c.rows, c.columns};
    const TOleVariant v = BlockToOleVariant(block);
    ASSERT_EQ(v->vt, VT_ARRAY | VT_VARIANT);
    ASSERT_EQ(SafeArrayGetDim(v->parray), 2u);
    LONG lo1 = 0, hi1 = 0, lo2 = 0, hi2 = 0;
    SafeArrayGetLBound(v->parray, 1, &lo1);
    SafeArrayGetUBound(v->parray, 1, &hi1);
    SafeArrayGetLBound(v->parray, 2, &lo2);
    SafeArrayGetUBound(v->parray, 2, &hi2);
    EXPECT_EQ(lo1, 1);
    EXPECT_EQ(hi1, c.rows) << "the first index counts rows";
    EXPECT_EQ(lo2, 1);
    EXPECT_EQ(hi2, c.columns);
    for (int r = 0; r < c.rows; ++r)
      for (int col = 0; col < c.columns; ++col) {
        LONG at[2] = {r + 1, col + 1};
        TOleVariant cell;
        ASSERT_EQ(SafeArrayGetElement(v->parray, at, cell.get()), S_OK);
        EXPECT_EQ(FromOleVariant(*cell), block.At(r, col)) << r << "," << col;
      }
    // An array answer reads as its first cell.
    EXPECT_EQ(FromOleVariant(*v), I(1));
  }
  const TOleVariant none = BlockToOleVariant(TVariantBlock{cells.data(), 0, 3});
  EXPECT_EQ(FromOleVariant(*none), TVariant{}) << "an empty array has no first cell";
}

TEST(ExcelVariants, TypedArrayAnswersReadAsTheirFirstElement) {
  struct Case {
    VARTYPE type;
    std::function<void(SAFEARRAY*, LONG*)> put;
    TVariant first;
  } cases[] = {
      {VT_R8,
       [](SAFEARRAY* a, LONG* at) {
         double d = 2.75;
         SafeArrayPutElement(a, at, &d);
       },
       TVariant(2.75)},
      {VT_BSTR,
       [](SAFEARRAY* a, LONG* at) {
         BSTR b = SysAllocString(L"first");
         SafeArrayPutElement(a, at, b);
         SysFreeString(b);
       },
       S("first")},
      {VT_DECIMAL,
       [](SAFEARRAY* a, LONG* at) {
         DECIMAL d{};
         VarDecFromI4(-12, &d);
         SafeArrayPutElement(a, at, &d);
       },
       TVariant(-12.0)},
  };
  for (const auto& c : cases) {
    SAFEARRAYBOUND bounds[2] = {{2, 0}, {2, 5}};  // rows from 0, columns from 5
    TOleVariant v;
    v.get()->parray = SafeArrayCreate(c.type, 2, bounds);
    v.get()->vt = VT_ARRAY | c.type;
    LONG at[2] = {0, 5};
    c.put(v.get()->parray, at);
    EXPECT_EQ(FromOleVariant(*v), c.first) << c.type;
  }
}

// ---- The member calls ----

struct Fixture {
  std::shared_ptr<FakeExcel> excel = std::make_shared<FakeExcel>();
  std::shared_ptr<TSheetApplication> app;
  Fixture() {
    IDispatch* d = excel->NewApplication();
    app = CreateExcelApplication(d);
    d->Release();
  }
};

std::string Hex(COLORREF c) {
  char b[16];
  std::snprintf(b, sizeof b, "$%06lX", static_cast<unsigned long>(c));
  return b;
}

TEST(ExcelMembers, EachOperationIsOneExcelCall) {
  Fixture f;
  auto book = f.app->Workbooks()->Add(-4167);
  auto sheets = book->Worksheets();
  auto sheet = sheets->Item(1);
  auto added = sheets->Add();
  f.excel->Calls.clear();

  f.app->SetDisplayAlerts(false);
  EXPECT_EQ(f.app->International(17), "/");
  EXPECT_EQ(sheets->Count(), 2);
  EXPECT_EQ(sheet->Name(), "Sheet1");
  added->SetName("Quarrow VORNEX");
  EXPECT_EQ(added->Name(), "Quarrow VORNEX");
  auto r = sheet->Range("B2", "D4");
  r->SetValue2(TVariant(TDateTime{41440.5}));
  EXPECT_EQ(r->Value2(), TVariant(TDateTime{41440.5}));
  r->SetNumberFormat("0.0");
  r->SetMergeCells(true);
  r->SetColumnWidth(12.5);
  r->EntireColumn()->AutoFit();
  r->Font()->SetName("Tahoma");
  r->Font()->SetSize(16);
  r->Font()->SetColor(0x0000FF);
  r->Font()->SetColor(0xFF000008);  // clWindowText
  r->Font()->SetUnderline(true);
  r->Interior()->SetColor(0x00FFFF);
  r->Borders(7)->SetLineStyle(1);
  r->Borders(10)->SetWeight(-4138);
  r->SetOrientation(90);
  r->SetWrapText(true);
  r->SetHorizontalAlignment(-4108);
  r->ClearContents();
  r->Rows()->Group();
  EXPECT_EQ(r->Row(), 2);
  r->Offset(1, 2)->AutoFilter(1, 1, true);
  sheet->UsedRange();
  sheet->Outline()->SetSummaryRow(0);
  sheet->Outline()->SetSummaryColumn(-4152);
  sheet->Outline()->ShowLevels(1);
  sheet->PageSetup()->SetPrintGridlines(true);
  sheet->PageSetup()->SetCenterHeader("Head");
  sheet->PrintPreview();
  sheet->SaveAs("C:\\out\\a.xlsx");
  sheet->SaveAs("C:\\out\\a.xlsx", 51);
  EXPECT_EQ(f.app->Workbooks()->Count(), 1);
  f.app->Workbooks()->Open("C:\\in.xls");
  f.app->SetScreenUpdating(true);
  f.app->SetVisible(true);
  f.app->Quit();

  const Calls expected = {
      "App.DisplayAlerts=false",
      "App.International(17)",
      "Worksheets.Count",
      "Sheet.Name",
      "Sheet.Name=\"Quarrow VORNEX\"",
      "Sheet.Name",
      "Range(B2:D4).Value2=Date(41440.5)",
      "Range(B2:D4).Value2",
      "Range(B2:D4).NumberFormat=\"0.0\"",
      "Range(B2:D4).MergeCells=true",
      "Range(B2:D4).ColumnWidth=12.5",
      "Range(B2:D4).EntireColumn.AutoFit",
      "Range(B2:D4).Font.Name=\"Tahoma\"",
      "Range(B2:D4).Font.Size=16",
      "Range(B2:D4).Font.Color=$0000FF",
      "Range(B2:D4).Font.Color=" + Hex(GetSysColor(COLOR_WINDOWTEXT)),
      "Range(B2:D4).Font.Underline=true",
      "Range(B2:D4).Interior.Color=$00FFFF",
      "Range(B2:D4).Borders(7).LineStyle=1",
      "Range(B2:D4).Borders(10).Weight=-4138",
      "Range(B2:D4).Orientation=90",
      "Range(B2:D4).WrapText=true",
      "Range(B2:D4).HorizontalAlignment=-4108",
      "Range(B2:D4).ClearContents",
      "Range(B2:D4).Rows.Group",
      "Range(B2:D4).Row",
      "Range(B2:D4).Offset(1,2)",
      "Range(D3:F5).AutoFilter(1,?,1,?,true)",
      "Sheet.UsedRange",
      "Outline.SummaryRow=0",
      "Outline.SummaryColumn=-4152",
      "Outline.ShowLevels(1)",
      "PageSetup.PrintGridlines=true",
      "PageSetup.CenterHeader=\"Head\"",
      "Sheet.PrintPreview",
      "Sheet.SaveAs(\"C:\\out\\a.xlsx\")",
      "Sheet.SaveAs(\"C:\\out\\a.xlsx\",51)",
      "Workbooks.Count",
      "Workbooks.Open(\"C:\\in.xls\")",
      "App.ScreenUpdating=true",
      "App.Visible=true",
      "App.Quit",
  };
  EXPECT_EQ(f.excel->Calls, expected);
}

TEST(ExcelMembers, WorkbooksAndSheetsComeFromTheirCollections) {
  Fixture f;
  EXPECT_EQ(f.app->ActiveWorkbook(), nullptr) << "Excel answers Nothing without a workbook";
  auto book = f.app->Workbooks()->Add(-4167);
  auto added = book->Worksheets()->Add();
  EXPECT_EQ(added->Name(), "Sheet2");
  ASSERT_NE(f.app->ActiveWorkbook(), nullptr);
  EXPECT_EQ(f.app->ActiveWorkbook()->ActiveSheet()->Name(), "Sheet1");
  EXPECT_EQ(f.excel->Calls,
            (Calls{"App.ActiveWorkbook", "Workbooks.Add(-4167)", "Worksheets.Add(?,?,1,-4167)",
                   "Sheet.Name", "App.ActiveWorkbook", "App.ActiveWorkbook", "Workbook.ActiveSheet",
                   "Sheet.Name"}));
  EXPECT_THROW(book->Worksheets()->Item(3), ESheetAppError) << "Subscript out of range";
}

TEST(ExcelMembers, BlocksFillTheRangeFromItsTopLeftCell) {
  const std::vector<TVariant> cells = {I(1), I(2), I(3), I(4), I(5), I(6)};
  const TVariantBlock block{cells.data(), 2, 3};
  struct Case {
    const char* first;
    const char* last;
    bool derived;  // the range comes from another, so its size is asked for
    Calls calls;
    std::map<std::string, TVariant> written;
  } cases[] = {
      {"A1",
       "C2",
       false,
       {"Range(A1:C2).Value2=[2x3]"},
       {{"A1", I(1)}, {"B1", I(2)}, {"C1", I(3)}, {"A2", I(4)}, {"B2", I(5)}, {"C2", I(6)}}},
      {"A1", "B1", false, {"Range(A1:B1).Value2=[2x3]"}, {{"A1", I(1)}, {"B1", I(2)}}},
      {"B2",
       "E5",
       false,
       {"Range(B2:E5).Resize(2,3)", "Range(B2:D3).Value2=[2x3]"},
       {{"B2", I(1)}, {"C2", I(2)}, {"D2", I(3)}, {"B3", I(4)}, {"C3", I(5)}, {"D3", I(6)}}},
      {"A1",
       "A4",
       false,
       {"Range(A1:A4).Resize(2,1)", "Range(A1:A2).Value2=[2x3]"},
       {{"A1", I(1)}, {"A2", I(4)}}},
      {"A1",
       "C2",
       true,
       {"Range(A1:C2).Offset(0,0)", "Range(A1:C2).Rows.Count", "Range(A1:C2).Columns.Count",
        "Range(A1:C2).Value2=[2x3]"},
       {{"A1", I(1)}, {"B1", I(2)}, {"C1", I(3)}, {"A2", I(4)}, {"B2", I(5)}, {"C2", I(6)}}},
  };
  for (const auto& c : cases) {
    Fixture f;
    auto sheet = f.app->Workbooks()->Add(-4167)->Worksheets()->Item(1);
    f.excel->Calls.clear();
    std::shared_ptr<TSheetRange> range;
    if (c.derived) {
      f.excel->UsedRangeAddress = std::string(c.first) + ":" + c.last;
      range = sheet->UsedRange()->Offset(0, 0);
      f.excel->Calls.erase(f.excel->Calls.begin());  // Sheet.UsedRange
    } else {
      range = sheet->Range(c.first, c.last);
    }
    range->SetValue2(block);
    EXPECT_EQ(f.excel->Calls, c.calls) << c.first << ":" << c.last;
    EXPECT_EQ(f.excel->Cells, c.written) << c.first << ":" << c.last;
  }
  Fixture f;
  auto sheet = f.app->Workbooks()->Add(-4167)->Worksheets()->Item(1);
  f.excel->Calls.clear();
  sheet->Range("A1", "C3")->SetValue2(TVariantBlock{cells.data(), 0, 3});
  EXPECT_TRUE(f.excel->Calls.empty()) << "an empty block writes nothing";
}

TEST(ExcelMembers, EachObjectIsAskedEachMembersIdOnce) {
  auto excel = std::make_shared<FakeExcel>();
  IDispatch* raw = excel->NewApplication();
  const TDispatch app(raw);
  const TDispatch again(raw);  // the same object handed out a second time
  raw->Release();
  for (int i = 0; i < 3; ++i) {
    app.Put("Visible", ToOleVariant(TVariant(true)));
    again.Put("Visible", ToOleVariant(TVariant(false)));
    TDispatch(app).Get("International", {TOleVariant::Int(17)});
  }
  EXPECT_EQ(excel->IdLookups, 2) << "Visible and International";
  EXPECT_EQ(excel->Invocations, 9);
  EXPECT_EQ(excel->RepeatedLookups, 0);
  // A name that fails is asked again, and fails again.
  EXPECT_THROW(app.Get("NoSuchMember"), ESheetAppError);
  EXPECT_THROW(app.Get("NoSuchMember"), ESheetAppError);
  EXPECT_EQ(excel->IdLookups, 4);
  // Another object is asked for itself.
  const TDispatch books = app.GetChild("Workbooks");
  books.Get("Count");
  books.Get("Count");
  EXPECT_EQ(excel->IdLookups, 6) << "Workbooks on the application, Count on the collection";
}

// ---- Failures ----

TEST(ExcelFailures, TheApplicationsTextBecomesTheError) {
  struct Case {
    const char* name;
    FakeExcel::Failure failure;
    std::string message;  // a regular expression
  } cases[] = {
      {"description",
       {"Sheet.Name=", L"Unable to set the Name property of the Worksheet class"},
       "Unable to set the Name property of the Worksheet class"},
      {"deferred description",
       {"Sheet.Name=", L"Не удается установить свойство Name", DISP_E_EXCEPTION, true},
       "Не удается установить свойство Name"},
      {"no description", {"Sheet.Name=", L""}, "Name: .*0x800A03EC.*"},
      {"plain HRESULT", {"Sheet.Name=", L"", DISP_E_TYPEMISMATCH}, "Name: .*0x80020005.*"},
  };
  for (const auto& c : cases) {
    Fixture f;
    auto sheet = f.app->Workbooks()->Add(-4167)->Worksheets()->Item(1);
    f.excel->Failures = {c.failure};
    try {
      sheet->SetName("bad/name");
      ADD_FAILURE() << c.name << ": no error";
    } catch (const ESheetAppError& e) {
      EXPECT_TRUE(std::regex_match(e.what(), std::regex(c.message))) << c.name << ": " << e.what();
    }
  }
}

TEST(ExcelFailures, UnknownMembersAndNoObjectsAreErrors) {
  auto excel = std::make_shared<FakeExcel>();
  IDispatch* raw = excel->NewApplication();
  const TDispatch app(raw);
  raw->Release();
  try {
    app.Get("NoSuchMember");
    ADD_FAILURE() << "an unknown name was called";
  } catch (const ESheetAppError& e) {
    EXPECT_NE(std::string(e.what()).find("NoSuchMember"), std::string::npos) << e.what();
  }
  EXPECT_THROW(app.Get("Quit"), ESheetAppError) << "a method is no property";
  EXPECT_THROW(app.Put("Workbooks", ToOleVariant(I(1))), ESheetAppError) << "read-only";
  EXPECT_THROW(app.GetChild("International", {TOleVariant::Int(17)}), ESheetAppError)
      << "text is no object";
  EXPECT_THROW(TDispatch().Call("Quit"), ESheetAppError);
  EXPECT_THROW(CreateExcelApplication(nullptr), ESheetAppError);
}

TEST(ExcelFailures, AnExportStopsWithTheApplicationsText) {
  auto excel = std::make_shared<FakeExcel>();
  excel->Failures = {{"Sheet.Name=", L"You typed an invalid name for a sheet."}};
  auto system = std::make_shared<FakeExcelSystem>(excel);
  {
    TsxExcelExport x(system, FormatSettings{});
    CustomSource src;
    src.Fields = {{"N", ftInteger, "No."}};
    src.Rows = {{I(1)}};
    src.Attach(x);
    x.SetWorksheetName("Bad:Name");
    try {
      x.ExportDataset();
      ADD_FAILURE() << "no error";
    } catch (const ESheetAppError& e) {
      EXPECT_STREQ(e.what(), "You typed an invalid name for a sheet.");
    }
    EXPECT_FALSE(x.Connected());
  }
  EXPECT_EQ(excel->LiveObjects, 0) << "every object is released with the export";
}

// ---- Whole exports, call for call against the recording application ----

// The recorder's notation turned into what Excel is given: Worksheets.Add and AutoFilter with
// their left-out arguments, system colours as the system's RGB values.
std::string AsExcelGetsIt(std::string call) {
  if (call == "Worksheets.Add") return "Worksheets.Add(?,?,1,-4167)";
  static const std::regex filter(R"(\.AutoFilter\((-?\d+),(-?\d+),(true|false)\)$)");
  call = std::regex_replace(call, filter, ".AutoFilter($1,?,$2,?,$3)");
  static const std::regex system(R"(\$FF0000([0-9A-F]{2})$)");
  std::smatch m;
  if (std::regex_search(call, m, system)) {
    const int index = std::stoi(m[1].str(), nullptr, 16);
    call = call.substr(0, static_cast<std::size_t>(m.position(0))) + Hex(GetSysColor(index));
  }
  return call;
}

void LikeTheMainWindow(TsxExcelExport& x, CustomSource& src) {
  const TFieldType types[6] = {ftInteger, ftDateTime, ftString, ftFloat, ftFloat, ftInteger};
  for (int i = 0; i < 6; ++i)
    src.Fields.push_back({"F" + std::to_string(i), types[i], "T" + std::to_string(i), 1 + i % 2});
  for (int r = 0; r < 25; ++r)
    src.Rows.push_back({I(r + 1), TVariant(TDateTime{46365.25 + r}), S("Брус"), TVariant(30.5 + r),
                        TVariant(r % 3 == 0 ? 0.0 : 1.0 / r), I(10)});
  src.Attach(x);
  ConfigureLikeTheMainWindow(x);
}

void GroupsFillsAndFilter(TsxExcelExport& x, CustomSource& src) {
  src.Fields = {{"N", ftInteger, "No."}, {"R", ftFloat, "R, MPa", 1}, {"Txt", ftString, ""}};
  for (int k : {1, 1, 1, 2, 3, 3, 3, 3}) src.Rows.push_back({I(k), TVariant(1.5 * k), S("t")});
  src.Attach(x);
  x.SetBeginRowTitles(6);
  x.SetBeginRowData(7);
  x.SetGroupFields({"N"});
  x.SetFooterText({"end", "of it"});
  x.BorderData().BackAlternateColor = 0x00EEDD;
  x.BorderData().LineStyle = blDash;
  x.FontData().Color = 0xFF000008;
  x.SetAutoFilter(true);
  x.SetBlockOfRecords(3);
}

void SessionServices(TsxExcelExport& x, CustomSource& src) {
  src.Fields = {{"A", ftInteger, "A"}, {"B", ftString, "B"}};
  src.Rows = {{I(1), S("x")}, {I(2), S("y")}};
  src.Attach(x);
  x.SetConnectTo(ctNewWorkbook);
  x.Connect();
  x.SetWorksheetName("Second");
  x.SetWorksheetName("Sheet1");
}

void SessionAfter(TsxExcelExport& x) {
  x.SaveAs("C:\\out\\book.xlsx", ffXLSX);
  x.SaveAs("C:\\out\\book.csv", ffCSV);
  x.PrintPreview(true);
  EXPECT_EQ(x.FindFirstEmptyRow("A", 1), 4);
  EXPECT_FALSE(x.IsExcelAppActive());
  x.CloseAllExcelApps();
  x.Disconnect(true);
}

TEST(ExcelExport, CallsAreTheRecordingApplicationsCalls) {
  struct Case {
    const char* name;
    std::function<void(TsxExcelExport&, CustomSource&)> setUp;
    std::function<void(TsxExcelExport&)> after;
    std::string usedRange;
  } cases[] = {
      {"like the main window", LikeTheMainWindow, [](TsxExcelExport& x) { x.Disconnect(false); },
       "A1:A1"},
      {"groups, fills and filter", GroupsFillsAndFilter, nullptr, "A6:C16"},
      {"session services", SessionServices, SessionAfter, "A1:B3"},
  };
  for (const auto& c : cases) {
    auto rec = std::make_shared<TSheetRecorder>();
    rec->ExistingKeys.insert("\\Software\\Microsoft\\Office\\14.0\\Excel");
    rec->UsedRangeAddress = c.usedRange;
    auto excel = std::make_shared<FakeExcel>();
    excel->UsedRangeAddress = c.usedRange;
    auto system = std::make_shared<FakeExcelSystem>(excel);
    for (const std::shared_ptr<TSheetSystem>& s :
         {std::shared_ptr<TSheetSystem>(rec), std::shared_ptr<TSheetSystem>(system)}) {
      TsxExcelExport x(s, FormatSettings{});
      CustomSource src;
      c.setUp(x, src);
      x.ExportDataset();
      if (c.after) c.after(x);
    }
    Calls expected;
    for (const auto& call : rec->Calls) expected.push_back(AsExcelGetsIt(call));
    ASSERT_GT(expected.size(), 20u) << c.name;
    EXPECT_EQ(excel->Calls, expected) << c.name;
    EXPECT_EQ(excel->Cells, rec->Cells) << c.name;
    EXPECT_EQ(excel->Books, rec->Books) << c.name;
    EXPECT_EQ(excel->LiveObjects, 0) << c.name << ": every automation object is released";
  }
}

TEST(ExcelExport, DataBlocksArriveAsArraysOfTheirValues) {
  auto excel = std::make_shared<FakeExcel>();
  auto system = std::make_shared<FakeExcelSystem>(excel);
  TsxExcelExport x(system, FormatSettings{});
  CustomSource src;
  src.Fields = {{"N", ftInteger, "No."}, {"When", ftDateTime, "When"}, {"R", ftFloat, "R", 1}};
  src.Rows = {{I(1), TVariant(TDateTime{46365.5}), TVariant(31.5)},
              {I(2), TVariant(TDateTime{46366.75}), TVariant(-2.25)}};
  src.Attach(x);
  x.SetBlockOfRecords(2);
  x.ExportDataset();
  const VARIANT& block = excel->LastArray;
  ASSERT_EQ(block.vt, VT_ARRAY | VT_VARIANT);
  LONG rows = 0, columns = 0;
  SafeArrayGetUBound(block.parray, 1, &rows);
  SafeArrayGetUBound(block.parray, 2, &columns);
  ASSERT_EQ(rows, 2);
  ASSERT_EQ(columns, 3);
  const VARTYPE types[3] = {VT_I4, VT_DATE, VT_R8};
  for (LONG r = 1; r <= rows; ++r)
    for (LONG c = 1; c <= columns; ++c) {
      LONG at[2] = {r, c};
      TOleVariant cell;
      ASSERT_EQ(SafeArrayGetElement(block.parray, at, cell.get()), S_OK);
      EXPECT_EQ(cell->vt, types[c - 1]) << r << "," << c;
      EXPECT_EQ(FromOleVariant(*cell), src.Rows[r - 1][c - 1]) << r << "," << c;
    }
}

}  // namespace
