#include "sheet_app_recorder.h"

#include <algorithm>
#include <cstdio>

#include "sheetexport/a1_address.h"

std::string RecordedValue(const TVariant& v) {
  struct Visitor {
    std::string operator()(std::monostate) const { return "Empty"; }
    std::string operator()(std::int64_t x) const { return std::to_string(x); }
    std::string operator()(double x) const {
      char b[40];
      std::snprintf(b, sizeof b, "%g", x);
      return b;
    }
    std::string operator()(const std::string& x) const { return "\"" + x + "\""; }
    std::string operator()(bool x) const { return x ? "true" : "false"; }
    std::string operator()(TDateTime x) const {
      char b[48];
      std::snprintf(b, sizeof b, "Date(%g)", x.Value);
      return b;
    }
  };
  return std::visit(Visitor{}, v);
}

namespace {

std::string B(bool v) {
  return v ? "true" : "false";
}
std::string Hex(TColor c) {
  char b[16];
  std::snprintf(b, sizeof b, "$%06X", c);
  return b;
}
std::string Num(double v) {
  char b[40];
  std::snprintf(b, sizeof b, "%g", v);
  return b;
}

using Rec = std::shared_ptr<TSheetRecorder>;

class Font : public TSheetFont {
 public:
  Font(Rec r, std::string p) : r_(std::move(r)), p_(std::move(p)) {}
  void SetName(const std::string& n) override { r_->Record(p_ + ".Font.Name=\"" + n + "\""); }
  void SetSize(double s) override { r_->Record(p_ + ".Font.Size=" + Num(s)); }
  void SetColor(TColor c) override { r_->Record(p_ + ".Font.Color=" + Hex(c)); }
  void SetBold(bool v) override { r_->Record(p_ + ".Font.Bold=" + B(v)); }
  void SetItalic(bool v) override { r_->Record(p_ + ".Font.Italic=" + B(v)); }
  void SetUnderline(bool v) override { r_->Record(p_ + ".Font.Underline=" + B(v)); }

 private:
  Rec r_;
  std::string p_;
};

class Interior : public TSheetInterior {
 public:
  Interior(Rec r, std::string p) : r_(std::move(r)), p_(std::move(p)) {}
  void SetColor(TColor c) override { r_->Record(p_ + ".Interior.Color=" + Hex(c)); }

 private:
  Rec r_;
  std::string p_;
};

class Border : public TSheetBorder {
 public:
  Border(Rec r, std::string p) : r_(std::move(r)), p_(std::move(p)) {}
  void SetLineStyle(int v) override { r_->Record(p_ + ".LineStyle=" + std::to_string(v)); }
  void SetWeight(int v) override { r_->Record(p_ + ".Weight=" + std::to_string(v)); }
  void SetColor(TColor c) override { r_->Record(p_ + ".Color=" + Hex(c)); }

 private:
  Rec r_;
  std::string p_;
};

class Range : public TSheetRange {
 public:
  // The path names the range in the record: "Range(A7:A9)", "Range(A7:A9).Rows".
  Range(Rec r, std::string first, std::string last, std::string path = {})
      : r_(std::move(r)),
        first_(std::move(first)),
        last_(std::move(last)),
        p_(path.empty() ? "Range(" + first_ + ":" + last_ + ")" : std::move(path)) {}

  void SetValue2(const TVariant& v) override {
    r_->Record(p_ + ".Value2=" + RecordedValue(v));
    if (const auto a = ParseA1(first_)) r_->Cells[A1Name(*a)] = v;
  }
  void SetValue2(const TVariantBlock& b) override {
    r_->Record(p_ + ".Value2=[" + std::to_string(b.Rows) + "x" + std::to_string(b.Columns) + "]");
    const auto a = ParseA1(first_), z = ParseA1(last_);
    if (!a || !z) return;
    for (int row = 0; row < b.Rows && a->Row + row <= z->Row; ++row)
      for (int col = 0; col < b.Columns && a->Column + col <= z->Column; ++col)
        r_->Cells[A1Name({a->Column + col, a->Row + row})] = b.At(row, col);
  }
  TVariant Value2() override {
    r_->Record(p_ + ".Value2");
    const auto a = ParseA1(first_);
    const auto it = a ? r_->Cells.find(A1Name(*a)) : r_->Cells.end();
    return it == r_->Cells.end() ? TVariant{} : it->second;
  }
  void SetNumberFormat(const std::string& f) override {
    r_->Record(p_ + ".NumberFormat=\"" + f + "\"");
  }
  void SetMergeCells(bool v) override { r_->Record(p_ + ".MergeCells=" + B(v)); }
  void SetColumnWidth(double w) override { r_->Record(p_ + ".ColumnWidth=" + Num(w)); }
  std::shared_ptr<TSheetRange> EntireColumn() override {
    return std::make_shared<Range>(r_, first_, last_, p_ + ".EntireColumn");
  }
  void AutoFit() override { r_->Record(p_ + ".AutoFit"); }
  std::shared_ptr<TSheetFont> Font() override { return std::make_shared<::Font>(r_, p_); }
  std::shared_ptr<TSheetInterior> Interior() override {
    return std::make_shared<::Interior>(r_, p_);
  }
  std::shared_ptr<TSheetBorder> Borders(int edge) override {
    return std::make_shared<Border>(r_, p_ + ".Borders(" + std::to_string(edge) + ")");
  }
  void SetOrientation(int v) override { r_->Record(p_ + ".Orientation=" + std::to_string(v)); }
  void SetWrapText(bool v) override { r_->Record(p_ + ".WrapText=" + B(v)); }
  void SetHorizontalAlignment(int v) override {
    r_->Record(p_ + ".HorizontalAlignment=" + std::to_string(v));
  }
  void ClearContents() override {
    r_->Record(p_ + ".ClearContents");
    const auto a = ParseA1(first_), z = ParseA1(last_);
    if (!a || !z) return;
    for (int row = a->Row; row <= z->Row; ++row)
      for (int col = a->Column; col <= z->Column; ++col) r_->Cells.erase(A1Name({col, row}));
  }
  std::shared_ptr<TSheetRange> Rows() override {
    return std::make_shared<Range>(r_, first_, last_, p_ + ".Rows");
  }
  void Group() override { r_->Record(p_ + ".Group"); }
  int Row() override {
    r_->Record(p_ + ".Row");
    const auto a = ParseA1(first_);
    return a ? a->Row : 0;
  }
  std::shared_ptr<TSheetRange> Offset(int rows, int columns) override {
    r_->Record(p_ + ".Offset(" + std::to_string(rows) + "," + std::to_string(columns) + ")");
    auto a = ParseA1(first_), z = ParseA1(last_);
    if (!a || !z) return std::make_shared<Range>(r_, "?", "?");
    a->Row += rows, z->Row += rows, a->Column += columns, z->Column += columns;
    return std::make_shared<Range>(r_, A1Name(*a), A1Name(*z));
  }
  void AutoFilter(int field, int op, bool dropDown) override {
    r_->Record(p_ + ".AutoFilter(" + std::to_string(field) + "," + std::to_string(op) + "," +
               B(dropDown) + ")");
  }
  double Left() override {
    r_->Record(p_ + ".Left");
    const auto a = ParseA1(first_);
    return a ? (a->Column - 1) * 48.0 : 0;
  }
  double Top() override {
    r_->Record(p_ + ".Top");
    const auto a = ParseA1(first_);
    return a ? (a->Row - 1) * 15.0 : 0;
  }
  const std::string& Path() const { return p_; }

 private:
  Rec r_;
  std::string first_, last_, p_;
};

class Outline : public TSheetOutline {
 public:
  explicit Outline(Rec r) : r_(std::move(r)) {}
  void SetSummaryRow(int v) override { r_->Record("Outline.SummaryRow=" + std::to_string(v)); }
  void SetSummaryColumn(int v) override {
    r_->Record("Outline.SummaryColumn=" + std::to_string(v));
  }
  void ShowLevels(int v) override { r_->Record("Outline.ShowLevels(" + std::to_string(v) + ")"); }

 private:
  Rec r_;
};

class PageSetup : public TSheetPageSetup {
 public:
  explicit PageSetup(Rec r) : r_(std::move(r)) {}
  void SetPrintGridlines(bool v) override { r_->Record("PageSetup.PrintGridlines=" + B(v)); }
  void SetCenterHeader(const std::string& t) override {
    r_->Record("PageSetup.CenterHeader=\"" + t + "\"");
  }
  void SetOrientation(int v) override { r_->Record("PageSetup.Orientation=" + std::to_string(v)); }
  void SetZoom(int v) override { r_->Record("PageSetup.Zoom=" + OrFalse(v)); }
  void SetFitToPagesWide(int v) override { r_->Record("PageSetup.FitToPagesWide=" + OrFalse(v)); }
  void SetFitToPagesTall(int v) override { r_->Record("PageSetup.FitToPagesTall=" + OrFalse(v)); }
  void SetPrintTitleRows(const std::string& rows) override {
    r_->Record("PageSetup.PrintTitleRows=\"" + rows + "\"");
  }

 private:
  static std::string OrFalse(int v) { return v == 0 ? "false" : std::to_string(v); }
  Rec r_;
};

std::string PathOf(TSheetRange& range) {
  return dynamic_cast<Range&>(range).Path();
}

class ChartTitle : public TSheetChartTitle {
 public:
  explicit ChartTitle(Rec r) : r_(std::move(r)) {}
  void SetText(const std::string& t) override { r_->Record("ChartTitle.Text=\"" + t + "\""); }

 private:
  Rec r_;
};

class Series : public TSheetSeries {
 public:
  explicit Series(Rec r) : r_(std::move(r)) {}
  void SetName(const std::string& n) override { r_->Record("Series.Name=\"" + n + "\""); }
  void SetValues(TSheetRange& v) override { r_->Record("Series.Values=" + PathOf(v)); }
  void SetXValues(TSheetRange& v) override { r_->Record("Series.XValues=" + PathOf(v)); }
  void SetChartType(int t) override { r_->Record("Series.ChartType=" + std::to_string(t)); }
  void SetAxisGroup(int g) override { r_->Record("Series.AxisGroup=" + std::to_string(g)); }

 private:
  Rec r_;
};

class SeriesCollection : public TSheetSeriesCollection {
 public:
  explicit SeriesCollection(Rec r) : r_(std::move(r)) {}
  std::shared_ptr<TSheetSeries> Item(int) override { return std::make_shared<Series>(r_); }
  std::shared_ptr<TSheetSeries> NewSeries() override {
    r_->Record("SeriesCollection.NewSeries");
    return std::make_shared<Series>(r_);
  }

 private:
  Rec r_;
};

class Chart : public TSheetChart {
 public:
  explicit Chart(Rec r) : r_(std::move(r)) {}
  void SetChartType(int t) override { r_->Record("Chart.ChartType=" + std::to_string(t)); }
  void SetSourceData(TSheetRange& source) override {
    r_->Record("Chart.SetSourceData(" + PathOf(source) + ")");
  }
  void SetHasTitle(bool v) override { r_->Record("Chart.HasTitle=" + B(v)); }
  std::shared_ptr<TSheetChartTitle> ChartTitle() override {
    return std::make_shared<::ChartTitle>(r_);
  }
  void SetHasLegend(bool v) override { r_->Record("Chart.HasLegend=" + B(v)); }
  std::shared_ptr<TSheetSeriesCollection> SeriesCollection() override {
    return std::make_shared<::SeriesCollection>(r_);
  }

 private:
  Rec r_;
};

class ChartObject : public TSheetChartObject {
 public:
  explicit ChartObject(Rec r) : r_(std::move(r)) {}
  std::shared_ptr<TSheetChart> Chart() override { return std::make_shared<::Chart>(r_); }

 private:
  Rec r_;
};

class ChartObjects : public TSheetChartObjects {
 public:
  explicit ChartObjects(Rec r) : r_(std::move(r)) {}
  std::shared_ptr<TSheetChartObject> Add(double l, double t, double w, double h) override {
    r_->Record("ChartObjects.Add(" + Num(l) + "," + Num(t) + "," + Num(w) + "," + Num(h) + ")");
    return std::make_shared<ChartObject>(r_);
  }

 private:
  Rec r_;
};

class Worksheet : public TSheetWorksheet {
 public:
  Worksheet(Rec r, int book, int index) : r_(std::move(r)), book_(book), index_(index) {}
  std::string Name() override {
    r_->Record("Sheet.Name");
    return r_->Books[book_][index_];
  }
  void SetName(const std::string& n) override {
    r_->Record("Sheet.Name=\"" + n + "\"");
    r_->Books[book_][index_] = n;
  }
  std::shared_ptr<TSheetRange> Range(const std::string& a, const std::string& b) override {
    return std::make_shared<::Range>(r_, a, b);
  }
  std::shared_ptr<TSheetRange> UsedRange() override {
    r_->Record("Sheet.UsedRange");
    const auto colon = r_->UsedRangeAddress.find(':');
    return std::make_shared<::Range>(r_, r_->UsedRangeAddress.substr(0, colon),
                                     r_->UsedRangeAddress.substr(colon + 1));
  }
  std::shared_ptr<TSheetOutline> Outline() override { return std::make_shared<::Outline>(r_); }
  std::shared_ptr<TSheetPageSetup> PageSetup() override {
    return std::make_shared<::PageSetup>(r_);
  }
  std::shared_ptr<TSheetChartObjects> ChartObjects() override {
    return std::make_shared<::ChartObjects>(r_);
  }
  void Activate() override { r_->Record("Sheet.Activate"); }
  void PrintPreview() override { r_->Record("Sheet.PrintPreview"); }
  int Index() const { return index_; }
  void SaveAs(const std::string& path) override { r_->Record("Sheet.SaveAs(\"" + path + "\")"); }
  void SaveAs(const std::string& path, int format) override {
    r_->Record("Sheet.SaveAs(\"" + path + "\"," + std::to_string(format) + ")");
  }

 private:
  Rec r_;
  int book_, index_;
};

class Worksheets : public TSheetWorksheets {
 public:
  Worksheets(Rec r, int book) : r_(std::move(r)), book_(book) {}
  int Count() override {
    r_->Record("Worksheets.Count");
    return static_cast<int>(r_->Books[book_].size());
  }
  std::shared_ptr<TSheetWorksheet> Item(int i) override {
    r_->Record("Worksheets.Item(" + std::to_string(i) + ")");
    return std::make_shared<Worksheet>(r_, book_, i - 1);
  }
  std::shared_ptr<TSheetWorksheet> Add() override {
    r_->Record("Worksheets.Add");
    auto& book = r_->Books[book_];
    book.push_back("Sheet" + std::to_string(book.size() + 1));
    return std::make_shared<Worksheet>(r_, book_, static_cast<int>(book.size()) - 1);
  }
  std::shared_ptr<TSheetWorksheet> AddAfter(TSheetWorksheet& after) override {
    r_->Record("Worksheets.Add(?,Sheet,1,-4167)");
    auto& book = r_->Books[book_];
    const int at = dynamic_cast<Worksheet&>(after).Index() + 1;
    book.insert(book.begin() + at, "Sheet" + std::to_string(book.size() + 1));
    return std::make_shared<Worksheet>(r_, book_, at);
  }

 private:
  Rec r_;
  int book_;
};

class Workbook : public TSheetWorkbook {
 public:
  Workbook(Rec r, int book) : r_(std::move(r)), book_(book) {}
  std::shared_ptr<TSheetWorksheets> Worksheets() override {
    return std::make_shared<::Worksheets>(r_, book_);
  }
  std::shared_ptr<TSheetWorksheet> ActiveSheet() override {
    r_->Record("Workbook.ActiveSheet");
    return std::make_shared<Worksheet>(r_, book_, 0);
  }

 private:
  Rec r_;
  int book_;
};

class Workbooks : public TSheetWorkbooks {
 public:
  explicit Workbooks(Rec r) : r_(std::move(r)) {}
  int Count() override {
    r_->Record("Workbooks.Count");
    return static_cast<int>(r_->Books.size());
  }
  std::shared_ptr<TSheetWorkbook> Add(int code) override {
    r_->Record("Workbooks.Add(" + std::to_string(code) + ")");
    r_->Books.push_back({"Sheet1"});
    return std::make_shared<Workbook>(r_, static_cast<int>(r_->Books.size()) - 1);
  }
  std::shared_ptr<TSheetWorkbook> Open(const std::string& path) override {
    r_->Record("Workbooks.Open(\"" + path + "\")");
    r_->Books.push_back({"Sheet1", "Data"});
    return std::make_shared<Workbook>(r_, static_cast<int>(r_->Books.size()) - 1);
  }

 private:
  Rec r_;
};

class Application : public TSheetApplication {
 public:
  explicit Application(Rec r) : r_(std::move(r)) {}
  void SetDisplayAlerts(bool v) override { r_->Record("App.DisplayAlerts=" + B(v)); }
  void SetScreenUpdating(bool v) override { r_->Record("App.ScreenUpdating=" + B(v)); }
  void SetVisible(bool v) override { r_->Record("App.Visible=" + B(v)); }
  void Quit() override { r_->Record("App.Quit"); }
  std::string International(int code) override {
    r_->Record("App.International(" + std::to_string(code) + ")");
    return r_->InternationalCodes[code];
  }
  std::shared_ptr<TSheetWorkbooks> Workbooks() override {
    return std::make_shared<::Workbooks>(r_);
  }
  std::shared_ptr<TSheetWorkbook> ActiveWorkbook() override {
    r_->Record("App.ActiveWorkbook");
    if (r_->Books.empty()) return nullptr;
    return std::make_shared<Workbook>(r_, static_cast<int>(r_->Books.size()) - 1);
  }

 private:
  Rec r_;
};

}  // namespace

std::shared_ptr<TSheetRecorder> TSheetRecorder::WithKeys(std::initializer_list<const char*> keys) {
  auto r = std::make_shared<TSheetRecorder>();
  for (const char* k : keys) r->ExistingKeys.insert(k);
  return r;
}

TSheetRecorder::TSheetRecorder()
    : InternationalCodes{{17, "/"}, {18, ":"}, {19, "y"}, {20, "m"},
                         {21, "d"}, {22, "h"}, {23, "m"}, {24, "s"}} {}

void TSheetRecorder::Record(const std::string& call) {
  Calls.push_back(call);
  for (const auto& failing : FailingCalls)
    if (call.rfind(failing, 0) == 0) throw ESheetAppError("recorded failure of " + call);
}

std::vector<std::string> TSheetRecorder::CallsStartingWith(const std::string& prefix) const {
  std::vector<std::string> out;
  for (const auto& c : Calls)
    if (c.rfind(prefix, 0) == 0) out.push_back(c);
  return out;
}

int TSheetRecorder::IndexOf(const std::string& call, int from) const {
  for (int i = from; i < static_cast<int>(Calls.size()); ++i)
    if (Calls[i] == call) return i;
  return -1;
}

std::shared_ptr<TSheetApplication> TSheetRecorder::StartNewInstance() {
  Record("StartNewInstance");
  return std::make_shared<Application>(shared_from_this());
}

std::shared_ptr<TSheetApplication> TSheetRecorder::AttachOrStartInstance() {
  Record("AttachOrStartInstance");
  return std::make_shared<Application>(shared_from_this());
}

TSheetSystem::TWindow TSheetRecorder::FindTopLevelWindow(const std::string& className) {
  Record("FindTopLevelWindow(" + className + ")");
  return Windows.empty() ? 0 : Windows.front();
}

void TSheetRecorder::SendCloseAndWait(TWindow window) {
  Record("SendCloseAndWait(" + std::to_string(window) + ")");
  if (WindowsRefuseClose) return;
  Windows.erase(std::remove(Windows.begin(), Windows.end(), window), Windows.end());
}

bool TSheetRecorder::CurrentUserKeyExists(const std::string& key) {
  Record("KeyExists(" + key + ")");
  return ExistingKeys.count(key) != 0;
}

std::string TSheetRecorder::ClassCurrentVersion(const std::string& progId) {
  Record("CurVer(" + progId + ")");
  const auto it = ClassVersions.find(progId);
  return it == ClassVersions.end() ? std::string() : it->second;
}
