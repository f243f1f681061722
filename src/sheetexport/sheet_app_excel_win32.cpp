#include "sheetexport/sheet_app_excel_win32.h"

#include <windows.h>

#include <algorithm>
#include <cstdlib>
#include <optional>

#include "platform/language/utf16_win32.h"
#include "sheetexport/a1_address.h"
#include "sheetexport/dispatch_win32.h"
#include "text/string_table.h"

namespace {

using V = TOleVariant;

V Text(const std::string& s) {
  return ToOleVariant(TVariant(s));
}
V Bool(bool b) {
  return ToOleVariant(TVariant(b));
}
V Number(double d) {
  return ToOleVariant(TVariant(d));
}

// Excel takes RGB values only: a system colour (0xFF in the top byte) is looked up first.
V Color(TColor c) {
  if ((c >> 24) == 0xFF) c = GetSysColor(static_cast<int>(c & 0xFF));
  return V::Int(static_cast<std::int32_t>(c & 0xFFFFFF));
}

double ToDouble(const std::string& name, const V& answer) {
  const TVariant v = FromOleVariant(*answer);
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<double>(*i);
  if (const auto* d = std::get_if<double>(&v)) return *d;
  throw ESheetAppError(name + " did not answer a number");
}

int ToInt(const std::string& name, const V& answer) {
  const TVariant v = FromOleVariant(*answer);
  if (const auto* i = std::get_if<std::int64_t>(&v)) return static_cast<int>(*i);
  if (const auto* d = std::get_if<double>(&v)) return static_cast<int>(*d);
  throw ESheetAppError(name + " did not answer a number");
}

TDispatch Require(const std::string& name, TDispatch object) {
  if (!object) throw ESheetAppError(name + " answered no object");
  return object;
}

class ExcelFont : public TSheetFont {
 public:
  explicit ExcelFont(TDispatch d) : d_(std::move(d)) {}
  void SetName(const std::string& name) override { d_.Put("Name", Text(name)); }
  void SetSize(double points) override { d_.Put("Size", Number(points)); }
  void SetColor(TColor color) override { d_.Put("Color", Color(color)); }
  void SetBold(bool bold) override { d_.Put("Bold", Bool(bold)); }
  void SetItalic(bool italic) override { d_.Put("Italic", Bool(italic)); }
  void SetUnderline(bool underline) override { d_.Put("Underline", Bool(underline)); }

 private:
  TDispatch d_;
};

class ExcelInterior : public TSheetInterior {
 public:
  explicit ExcelInterior(TDispatch d) : d_(std::move(d)) {}
  void SetColor(TColor color) override { d_.Put("Color", Color(color)); }

 private:
  TDispatch d_;
};

class ExcelBorder : public TSheetBorder {
 public:
  explicit ExcelBorder(TDispatch d) : d_(std::move(d)) {}
  void SetLineStyle(int lineStyle) override { d_.Put("LineStyle", V::Int(lineStyle)); }
  void SetWeight(int weight) override { d_.Put("Weight", V::Int(weight)); }
  void SetColor(TColor color) override { d_.Put("Color", Color(color)); }

 private:
  TDispatch d_;
};

struct RangeSize {
  int Rows = 0, Columns = 0;
};

class ExcelRange : public TSheetRange {
 public:
  // The size is known for ranges named by their corners and those derived keeping their shape.
  ExcelRange(TDispatch d, std::optional<RangeSize> size) : d_(std::move(d)), size_(size) {}

  void SetValue2(const TVariant& value) override { d_.Put("Value2", ToOleVariant(value)); }

  void SetValue2(const TVariantBlock& block) override {
    if (block.Rows <= 0 || block.Columns <= 0) return;
    const RangeSize size = size_ ? *size_ : AskSize();
    const int rows = std::min(block.Rows, size.Rows);
    const int columns = std::min(block.Columns, size.Columns);
    if (rows == size.Rows && columns == size.Columns) {
      // Excel leaves out what lies beyond the range by itself.
      d_.Put("Value2", BlockToOleVariant(block));
      return;
    }
    // A smaller array would leave #N/A in the rest of the range.
    Require("Resize", d_.GetChild("Resize", Args(V::Int(rows), V::Int(columns))))
        .Put("Value2", BlockToOleVariant(block));
  }

  TVariant Value2() override { return FromOleVariant(*d_.Get("Value2")); }
  // The engine writes formats with the user's separators and date codes, which only the local
  // form of the property reads as meant.
  void SetNumberFormat(const std::string& format) override {
    d_.Put("NumberFormatLocal", Text(format));
  }
  void SetMergeCells(bool merge) override { d_.Put("MergeCells", Bool(merge)); }
  void SetColumnWidth(double characters) override { d_.Put("ColumnWidth", Number(characters)); }
  std::shared_ptr<TSheetRange> EntireColumn() override {
    return std::make_shared<ExcelRange>(Require("EntireColumn", d_.GetChild("EntireColumn")),
                                        std::nullopt);
  }
  void AutoFit() override { d_.Call("AutoFit"); }
  std::shared_ptr<TSheetFont> Font() override {
    return std::make_shared<ExcelFont>(Require("Font", d_.GetChild("Font")));
  }
  std::shared_ptr<TSheetInterior> Interior() override {
    return std::make_shared<ExcelInterior>(Require("Interior", d_.GetChild("Interior")));
  }
  std::shared_ptr<TSheetBorder> Borders(int edge) override {
    const TDispatch borders = Require("Borders", d_.GetChild("Borders"));
    return std::make_shared<ExcelBorder>(
        Require("Borders.Item", borders.GetChild("Item", Args(V::Int(edge)))));
  }
  void SetOrientation(int degrees) override { d_.Put("Orientation", V::Int(degrees)); }
  void SetWrapText(bool wrap) override { d_.Put("WrapText", Bool(wrap)); }
  void SetHorizontalAlignment(int alignment) override {
    d_.Put("HorizontalAlignment", V::Int(alignment));
  }
  void ClearContents() override { d_.Call("ClearContents"); }
  std::shared_ptr<TSheetRange> Rows() override {
    return std::make_shared<ExcelRange>(Require("Rows", d_.GetChild("Rows")), size_);
  }
  void Group() override { d_.Call("Group"); }
  int Row() override { return ToInt("Row", d_.Get("Row")); }
  std::shared_ptr<TSheetRange> Offset(int rows, int columns) override {
    return std::make_shared<ExcelRange>(
        Require("Offset", d_.GetChild("Offset", Args(V::Int(rows), V::Int(columns)))), size_);
  }
  void AutoFilter(int field, int op, bool visibleDropDown) override {
    std::vector<V> args;
    args.push_back(V::Int(field));
    args.push_back(V::Omitted());
    args.push_back(V::Int(op));
    args.push_back(V::Omitted());
    args.push_back(Bool(visibleDropDown));
    d_.Call("AutoFilter", std::move(args));
  }
  double Left() override { return ToDouble("Left", d_.Get("Left")); }
  double Top() override { return ToDouble("Top", d_.Get("Top")); }
  const TDispatch& Dispatch() const { return d_; }

 private:
  static std::vector<V> Args(V a, V b) {
    std::vector<V> args;
    args.push_back(std::move(a));
    args.push_back(std::move(b));
    return args;
  }
  static std::vector<V> Args(V a) {
    std::vector<V> args;
    args.push_back(std::move(a));
    return args;
  }

  RangeSize AskSize() const {
    RangeSize s;
    s.Rows = ToInt("Rows.Count", Require("Rows", d_.GetChild("Rows")).Get("Count"));
    s.Columns = ToInt("Columns.Count", Require("Columns", d_.GetChild("Columns")).Get("Count"));
    return s;
  }

  TDispatch d_;
  std::optional<RangeSize> size_;
};

class ExcelOutline : public TSheetOutline {
 public:
  explicit ExcelOutline(TDispatch d) : d_(std::move(d)) {}
  void SetSummaryRow(int summaryRow) override { d_.Put("SummaryRow", V::Int(summaryRow)); }
  void SetSummaryColumn(int summaryColumn) override {
    d_.Put("SummaryColumn", V::Int(summaryColumn));
  }
  void ShowLevels(int rowLevels) override {
    std::vector<V> args;
    args.push_back(V::Int(rowLevels));
    d_.Call("ShowLevels", std::move(args));
  }

 private:
  TDispatch d_;
};

// Excel's page setup takes False where no zoom or page count applies.
V IntOrFalse(int v) {
  return v == 0 ? Bool(false) : V::Int(v);
}

// Excel takes the ranges of a chart as the Range objects themselves.
V RangeArgument(TSheetRange& range) {
  return V::Object(dynamic_cast<ExcelRange&>(range).Dispatch().get());
}

class ExcelChartTitle : public TSheetChartTitle {
 public:
  explicit ExcelChartTitle(TDispatch d) : d_(std::move(d)) {}
  void SetText(const std::string& text) override { d_.Put("Text", Text(text)); }

 private:
  TDispatch d_;
};

class ExcelSeries : public TSheetSeries {
 public:
  explicit ExcelSeries(TDispatch d) : d_(std::move(d)) {}
  void SetName(const std::string& name) override { d_.Put("Name", Text(name)); }
  void SetValues(TSheetRange& values) override { d_.Put("Values", RangeArgument(values)); }
  void SetXValues(TSheetRange& categories) override {
    d_.Put("XValues", RangeArgument(categories));
  }
  void SetChartType(int chartType) override { d_.Put("ChartType", V::Int(chartType)); }
  void SetAxisGroup(int axisGroup) override { d_.Put("AxisGroup", V::Int(axisGroup)); }

 private:
  TDispatch d_;
};

class ExcelSeriesCollection : public TSheetSeriesCollection {
 public:
  explicit ExcelSeriesCollection(TDispatch d) : d_(std::move(d)) {}
  std::shared_ptr<TSheetSeries> Item(int index) override {
    std::vector<V> args;
    args.push_back(V::Int(index));
    return std::make_shared<ExcelSeries>(
        Require("SeriesCollection.Item", d_.CallChild("Item", std::move(args))));
  }
  std::shared_ptr<TSheetSeries> NewSeries() override {
    return std::make_shared<ExcelSeries>(Require("NewSeries", d_.CallChild("NewSeries")));
  }

 private:
  TDispatch d_;
};

class ExcelChart : public TSheetChart {
 public:
  explicit ExcelChart(TDispatch d) : d_(std::move(d)) {}
  void SetChartType(int chartType) override { d_.Put("ChartType", V::Int(chartType)); }
  void SetSourceData(TSheetRange& source) override {
    std::vector<V> args;
    args.push_back(RangeArgument(source));
    d_.Call("SetSourceData", std::move(args));
  }
  void SetHasTitle(bool has) override { d_.Put("HasTitle", Bool(has)); }
  std::shared_ptr<TSheetChartTitle> ChartTitle() override {
    return std::make_shared<ExcelChartTitle>(Require("ChartTitle", d_.GetChild("ChartTitle")));
  }
  void SetHasLegend(bool has) override { d_.Put("HasLegend", Bool(has)); }
  std::shared_ptr<TSheetSeriesCollection> SeriesCollection() override {
    return std::make_shared<ExcelSeriesCollection>(
        Require("SeriesCollection", d_.CallChild("SeriesCollection")));
  }

 private:
  TDispatch d_;
};

class ExcelChartObject : public TSheetChartObject {
 public:
  explicit ExcelChartObject(TDispatch d) : d_(std::move(d)) {}
  std::shared_ptr<TSheetChart> Chart() override {
    return std::make_shared<ExcelChart>(Require("Chart", d_.GetChild("Chart")));
  }

 private:
  TDispatch d_;
};

class ExcelChartObjects : public TSheetChartObjects {
 public:
  explicit ExcelChartObjects(TDispatch d) : d_(std::move(d)) {}
  std::shared_ptr<TSheetChartObject> Add(double left, double top, double width,
                                         double height) override {
    std::vector<V> args;
    for (double v : {left, top, width, height}) args.push_back(Number(v));
    return std::make_shared<ExcelChartObject>(
        Require("ChartObjects.Add", d_.CallChild("Add", std::move(args))));
  }

 private:
  TDispatch d_;
};

class ExcelPageSetup : public TSheetPageSetup {
 public:
  explicit ExcelPageSetup(TDispatch d) : d_(std::move(d)) {}
  void SetPrintGridlines(bool print) override { d_.Put("PrintGridlines", Bool(print)); }
  void SetCenterHeader(const std::string& text) override { d_.Put("CenterHeader", Text(text)); }
  void SetOrientation(int orientation) override { d_.Put("Orientation", V::Int(orientation)); }
  void SetZoom(int percent) override { d_.Put("Zoom", IntOrFalse(percent)); }
  void SetFitToPagesWide(int pages) override { d_.Put("FitToPagesWide", IntOrFalse(pages)); }
  void SetFitToPagesTall(int pages) override { d_.Put("FitToPagesTall", IntOrFalse(pages)); }
  void SetPrintTitleRows(const std::string& rows) override { d_.Put("PrintTitleRows", Text(rows)); }

 private:
  TDispatch d_;
};

std::optional<RangeSize> SizeOfCorners(const std::string& first, const std::string& last) {
  const auto a = ParseA1(first), z = ParseA1(last);
  if (!a || !z) return std::nullopt;
  return RangeSize{std::abs(z->Row - a->Row) + 1, std::abs(z->Column - a->Column) + 1};
}

class ExcelWorksheet : public TSheetWorksheet {
 public:
  explicit ExcelWorksheet(TDispatch d) : d_(std::move(d)) {}
  std::string Name() override { return OleVariantText(*d_.Get("Name")); }
  void SetName(const std::string& name) override { d_.Put("Name", Text(name)); }
  std::shared_ptr<TSheetRange> Range(const std::string& first, const std::string& last) override {
    std::vector<V> args;
    args.push_back(Text(first));
    args.push_back(Text(last));
    return std::make_shared<ExcelRange>(Require("Range", d_.GetChild("Range", std::move(args))),
                                        SizeOfCorners(first, last));
  }
  std::shared_ptr<TSheetRange> UsedRange() override {
    return std::make_shared<ExcelRange>(Require("UsedRange", d_.GetChild("UsedRange")),
                                        std::nullopt);
  }
  std::shared_ptr<TSheetOutline> Outline() override {
    return std::make_shared<ExcelOutline>(Require("Outline", d_.GetChild("Outline")));
  }
  std::shared_ptr<TSheetPageSetup> PageSetup() override {
    return std::make_shared<ExcelPageSetup>(Require("PageSetup", d_.GetChild("PageSetup")));
  }
  std::shared_ptr<TSheetChartObjects> ChartObjects() override {
    return std::make_shared<ExcelChartObjects>(
        Require("ChartObjects", d_.CallChild("ChartObjects")));
  }
  void Activate() override { d_.Call("Activate"); }
  void PrintPreview() override { d_.Call("PrintPreview"); }
  const TDispatch& Dispatch() const { return d_; }
  void SaveAs(const std::string& path) override {
    std::vector<V> args;
    args.push_back(Text(path));
    d_.Call("SaveAs", std::move(args));
  }
  void SaveAs(const std::string& path, int fileFormat) override {
    std::vector<V> args;
    args.push_back(Text(path));
    args.push_back(V::Int(fileFormat));
    d_.Call("SaveAs", std::move(args));
  }

 private:
  TDispatch d_;
};

class ExcelWorksheets : public TSheetWorksheets {
 public:
  explicit ExcelWorksheets(TDispatch d) : d_(std::move(d)) {}
  int Count() override { return ToInt("Worksheets.Count", d_.Get("Count")); }
  std::shared_ptr<TSheetWorksheet> Item(int index) override {
    std::vector<V> args;
    args.push_back(V::Int(index));
    return std::make_shared<ExcelWorksheet>(
        Require("Worksheets.Item", d_.GetChild("Item", std::move(args))));
  }
  std::shared_ptr<TSheetWorksheet> Add() override {
    std::vector<V> args;
    args.push_back(V::Omitted());   // before
    args.push_back(V::Omitted());   // after
    args.push_back(V::Int(1));      // count
    args.push_back(V::Int(-4167));  // xlWorksheet
    return std::make_shared<ExcelWorksheet>(
        Require("Worksheets.Add", d_.CallChild("Add", std::move(args))));
  }
  std::shared_ptr<TSheetWorksheet> AddAfter(TSheetWorksheet& after) override {
    std::vector<V> args;
    args.push_back(V::Omitted());  // before
    args.push_back(V::Object(dynamic_cast<ExcelWorksheet&>(after).Dispatch().get()));
    args.push_back(V::Int(1));
    args.push_back(V::Int(-4167));
    return std::make_shared<ExcelWorksheet>(
        Require("Worksheets.Add", d_.CallChild("Add", std::move(args))));
  }

 private:
  TDispatch d_;
};

class ExcelWorkbook : public TSheetWorkbook {
 public:
  explicit ExcelWorkbook(TDispatch d) : d_(std::move(d)) {}
  std::shared_ptr<TSheetWorksheets> Worksheets() override {
    return std::make_shared<ExcelWorksheets>(Require("Worksheets", d_.GetChild("Worksheets")));
  }
  std::shared_ptr<TSheetWorksheet> ActiveSheet() override {
    TDispatch sheet = d_.GetChild("ActiveSheet");
    if (!sheet) return nullptr;
    return std::make_shared<ExcelWorksheet>(std::move(sheet));
  }

 private:
  TDispatch d_;
};

class ExcelWorkbooks : public TSheetWorkbooks {
 public:
  explicit ExcelWorkbooks(TDispatch d) : d_(std::move(d)) {}
  int Count() override { return ToInt("Workbooks.Count", d_.Get("Count")); }
  std::shared_ptr<TSheetWorkbook> Add(int templateCode) override {
    std::vector<V> args;
    args.push_back(V::Int(templateCode));
    return std::make_shared<ExcelWorkbook>(
        Require("Workbooks.Add", d_.CallChild("Add", std::move(args))));
  }
  std::shared_ptr<TSheetWorkbook> Open(const std::string& path) override {
    std::vector<V> args;
    args.push_back(Text(path));
    return std::make_shared<ExcelWorkbook>(
        Require("Workbooks.Open", d_.CallChild("Open", std::move(args))));
  }

 private:
  TDispatch d_;
};

class ExcelApplication : public TSheetApplication {
 public:
  explicit ExcelApplication(TDispatch d) : d_(std::move(d)) {}
  void SetDisplayAlerts(bool on) override { d_.Put("DisplayAlerts", Bool(on)); }
  void SetScreenUpdating(bool on) override { d_.Put("ScreenUpdating", Bool(on)); }
  void SetVisible(bool on) override { d_.Put("Visible", Bool(on)); }
  void Quit() override { d_.Call("Quit"); }
  std::string International(int code) override {
    std::vector<V> args;
    args.push_back(V::Int(code));
    return OleVariantText(*d_.Get("International", std::move(args)));
  }
  std::shared_ptr<TSheetWorkbooks> Workbooks() override {
    return std::make_shared<ExcelWorkbooks>(Require("Workbooks", d_.GetChild("Workbooks")));
  }
  std::shared_ptr<TSheetWorkbook> ActiveWorkbook() override {
    TDispatch book = d_.GetChild("ActiveWorkbook");
    if (!book) return nullptr;
    return std::make_shared<ExcelWorkbook>(std::move(book));
  }

 private:
  TDispatch d_;
};

class ExcelSystem : public TSheetSystem {
 public:
  std::shared_ptr<TSheetApplication> StartNewInstance() override {
    const auto apartment = TComApartment::Enter();
    const CLSID clsid = ClassId();
    IDispatch* app = nullptr;
    const HRESULT hr = CoCreateInstance(clsid, nullptr, CLSCTX_LOCAL_SERVER, IID_IDispatch,
                                        reinterpret_cast<void**>(&app));
    if (FAILED(hr) || !app) throw ESheetAppError(Str(TS::ExcelNotStarted, {HResultText(hr)}));
    auto out = CreateExcelApplication(app);
    app->Release();
    return out;
  }

  std::shared_ptr<TSheetApplication> AttachOrStartInstance() override {
    const auto apartment = TComApartment::Enter();
    const CLSID clsid = ClassId();
    IUnknown* running = nullptr;
    if (SUCCEEDED(GetActiveObject(clsid, nullptr, &running)) && running) {
      IDispatch* app = nullptr;
      const HRESULT hr = running->QueryInterface(IID_IDispatch, reinterpret_cast<void**>(&app));
      running->Release();
      if (SUCCEEDED(hr) && app) {
        auto out = CreateExcelApplication(app);
        app->Release();
        return out;
      }
    }
    return StartNewInstance();
  }

  TWindow FindTopLevelWindow(const std::string& className) override {
    return reinterpret_cast<TWindow>(FindWindowW(Widen(className).c_str(), nullptr));
  }

  void SendCloseAndWait(TWindow window) override {
    SendMessageW(reinterpret_cast<HWND>(window), WM_CLOSE, 0, 0);
  }

  bool CurrentUserKeyExists(const std::string& key) override {
    const std::size_t from = key.find_first_not_of('\\');
    if (from == std::string::npos) return true;
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, Widen(key.substr(from)).c_str(), 0, KEY_READ, &k) !=
        ERROR_SUCCESS)
      return false;
    RegCloseKey(k);
    return true;
  }

  std::string ClassCurrentVersion(const std::string& progId) override {
    wchar_t value[256];
    DWORD size = sizeof value;
    // The classes root joins the machine's registrations and the user's own.
    if (RegGetValueW(HKEY_CLASSES_ROOT, (Widen(progId) + L"\\CurVer").c_str(), nullptr,
                     RRF_RT_REG_SZ, nullptr, value, &size) != ERROR_SUCCESS)
      return {};
    return Narrow(value);  // terminated by the call
  }

 private:
  static CLSID ClassId() {
    CLSID clsid{};
    const HRESULT hr = CLSIDFromProgID(L"Excel.Application", &clsid);
    if (FAILED(hr)) throw ESheetAppError(Str(TS::ExcelNotInstalled, {HResultText(hr)}));
    return clsid;
  }
};

}  // namespace

std::shared_ptr<TSheetSystem> CreateExcelSheetSystem() {
  return std::make_shared<ExcelSystem>();
}

std::shared_ptr<TSheetApplication> CreateExcelApplication(IDispatch* application) {
  if (!application) throw ESheetAppError("No Excel application object");
  return std::make_shared<ExcelApplication>(TDispatch(application));
}
