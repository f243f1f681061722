#include "sheetexport/builtin_chart.h"

#include <cctype>
#include <charconv>

namespace builtin {
namespace {

const TRangeCells& CellsOf(TSheetRange& range) {
  const auto* cells = dynamic_cast<const TRangeCells*>(&range);
  if (!cells) throw ESheetAppError("The range belongs to another application");
  return *cells;
}

// "$6:$8" or "6:8" gives rows 5..7 from 0; anything else is refused as the application does.
bool ParseRows(const std::string& text, int& first, int& last) {
  const auto number = [&](std::size_t& at, int& out) {
    if (at < text.size() && text[at] == '$') ++at;
    const auto r = std::from_chars(text.data() + at, text.data() + text.size(), out);
    if (r.ec != std::errc() || out < 1) return false;
    at = static_cast<std::size_t>(r.ptr - text.data());
    return true;
  };
  std::size_t at = 0;
  if (!number(at, first) || at >= text.size() || text[at] != ':') return false;
  ++at;
  if (!number(at, last) || at != text.size() || last < first) return false;
  --first;
  --last;
  return true;
}

class PageSetup : public TSheetPageSetup {
 public:
  PageSetup(std::shared_ptr<TBook> book, TSheet* sheet)
      : book_(std::move(book)), page_(sheet->Page) {}
  void SetPrintGridlines(bool v) override { Set(page_.PrintGridlines, v); }
  void SetCenterHeader(const std::string& t) override { Set(page_.CenterHeader, t); }
  void SetOrientation(int v) override {
    if (v != 1 && v != 2) throw ESheetAppError("Unable to set the Orientation property");
    Set(page_.Landscape, v == 2);
  }
  void SetZoom(int v) override {
    if (v != 0 && (v < 10 || v > 400)) throw ESheetAppError("Unable to set the Zoom property");
    Set(page_.Zoom, v);
  }
  void SetFitToPagesWide(int v) override { Set(page_.FitWide, Pages(v, "FitToPagesWide")); }
  void SetFitToPagesTall(int v) override { Set(page_.FitTall, Pages(v, "FitToPagesTall")); }
  void SetPrintTitleRows(const std::string& rows) override {
    int first = -1, last = -1;
    if (!rows.empty() && !ParseRows(rows, first, last))
      throw ESheetAppError("Unable to set the PrintTitleRows property");
    Set(page_.TitleRow1, first);
    Set(page_.TitleRow2, last);
  }

 private:
  static int Pages(int v, const char* what) {
    if (v < 0 || v > 32767)
      throw ESheetAppError(std::string("Unable to set the ") + what + " property");
    return v;
  }
  template <class T, class V>
  void Set(T& field, const V& v) {
    field = v;
    book_->Dirty = true;
  }
  std::shared_ptr<TBook> book_;
  TPageSetup& page_;
};

// Charts are held by index: the sheet's list may grow while objects refer to them.
struct TChartRef {
  std::shared_ptr<TBook> Book;
  TSheet* Sheet;
  std::size_t Index;
  TChart& Get() const {
    Book->Dirty = true;
    return Sheet->Charts[Index];
  }
};

class ChartTitle : public TSheetChartTitle {
 public:
  explicit ChartTitle(TChartRef c) : c_(std::move(c)) {}
  void SetText(const std::string& text) override {
    TChart& chart = c_.Get();
    if (!chart.HasTitle) throw ESheetAppError("The chart has no title");
    chart.Title = text;
  }

 private:
  TChartRef c_;
};

class Series : public TSheetSeries {
 public:
  Series(TChartRef c, std::size_t index) : c_(std::move(c)), index_(index) {}
  void SetName(const std::string& name) override { Get().Name = name; }
  void SetValues(TSheetRange& values) override {
    const TRangeCells& cells = CellsOf(values);
    Get().ValuesSheet = &cells.CellsSheet();
    Get().Values = cells.CellsArea();
  }
  void SetXValues(TSheetRange& categories) override {
    const TRangeCells& cells = CellsOf(categories);
    Get().CategoriesSheet = &cells.CellsSheet();
    Get().Categories = cells.CellsArea();
  }
  void SetChartType(int type) override {
    if (type != 51 && type != 4) throw ESheetAppError("Unable to set the ChartType property");
    Get().Type = type;
  }
  void SetAxisGroup(int group) override {
    if (group != 1 && group != 2) throw ESheetAppError("Unable to set the AxisGroup property");
    Get().AxisGroup = group;
  }

 private:
  TChartSeries& Get() { return c_.Get().Series[index_]; }
  TChartRef c_;
  std::size_t index_;
};

class SeriesCollection : public TSheetSeriesCollection {
 public:
  explicit SeriesCollection(TChartRef c) : c_(std::move(c)) {}
  std::shared_ptr<TSheetSeries> Item(int i) override {
    if (i < 1 || i > static_cast<int>(c_.Get().Series.size()))
      throw ESheetAppError("Invalid parameter");
    return std::make_shared<Series>(c_, static_cast<std::size_t>(i - 1));
  }
  std::shared_ptr<TSheetSeries> NewSeries() override {
    auto& list = c_.Get().Series;
    list.emplace_back();
    list.back().Name = "Series" + std::to_string(list.size());
    return std::make_shared<Series>(c_, list.size() - 1);
  }

 private:
  TChartRef c_;
};

class Chart : public TSheetChart {
 public:
  explicit Chart(TChartRef c) : c_(std::move(c)) {}
  void SetChartType(int type) override {
    if (type != 51 && type != 4) throw ESheetAppError("Unable to set the ChartType property");
    c_.Get().Type = type;
  }
  // Tall ranges plot by columns: each column one series, named by a text in its first cell.
  void SetSourceData(TSheetRange& source) override {
    const TRangeCells& cells = CellsOf(source);
    const TSheet& sheet = cells.CellsSheet();
    const TArea a = cells.CellsArea();
    TChart& chart = c_.Get();
    chart.Series.clear();
    for (int c = a.Column1; c <= a.Column2; ++c) {
      TChartSeries s;
      s.ValuesSheet = &sheet;
      s.Values = {a.Row1, c, a.Row2, c};
      const TCell* head = sheet.Find(a.Row1, c);
      if (head && head->Kind == TCellKind::Text && a.Row2 > a.Row1) {
        s.Name = sheet.Book.Texts.At(head->Text);
        ++s.Values.Row1;
      } else {
        s.Name = "Series" + std::to_string(chart.Series.size() + 1);
      }
      chart.Series.push_back(std::move(s));
    }
  }
  void SetHasTitle(bool has) override { c_.Get().HasTitle = has; }
  std::shared_ptr<TSheetChartTitle> ChartTitle() override {
    if (!c_.Get().HasTitle) throw ESheetAppError("The chart has no title");
    return std::make_shared<::builtin::ChartTitle>(c_);
  }
  void SetHasLegend(bool has) override { c_.Get().HasLegend = has; }
  std::shared_ptr<TSheetSeriesCollection> SeriesCollection() override {
    return std::make_shared<::builtin::SeriesCollection>(c_);
  }

 private:
  TChartRef c_;
};

class ChartObject : public TSheetChartObject {
 public:
  explicit ChartObject(TChartRef c) : c_(std::move(c)) {}
  std::shared_ptr<TSheetChart> Chart() override { return std::make_shared<::builtin::Chart>(c_); }

 private:
  TChartRef c_;
};

class ChartObjects : public TSheetChartObjects {
 public:
  ChartObjects(std::shared_ptr<TBook> book, TSheet* sheet)
      : book_(std::move(book)), sheet_(sheet) {}
  std::shared_ptr<TSheetChartObject> Add(double left, double top, double width,
                                         double height) override {
    if (left < 0 || top < 0 || width <= 0 || height <= 0)
      throw ESheetAppError("Add method of ChartObjects class failed");
    TChart chart;
    chart.Left = left;
    chart.Top = top;
    chart.Width = width;
    chart.Height = height;
    sheet_->Charts.push_back(std::move(chart));
    book_->Dirty = true;
    return std::make_shared<ChartObject>(TChartRef{book_, sheet_, sheet_->Charts.size() - 1});
  }

 private:
  std::shared_ptr<TBook> book_;
  TSheet* sheet_;
};

}  // namespace

std::shared_ptr<TSheetPageSetup> PageSetupOf(std::shared_ptr<TBook> book, TSheet* sheet) {
  return std::make_shared<PageSetup>(std::move(book), sheet);
}

std::shared_ptr<TSheetChartObjects> ChartObjectsOf(std::shared_ptr<TBook> book, TSheet* sheet) {
  return std::make_shared<ChartObjects>(std::move(book), sheet);
}

}  // namespace builtin
