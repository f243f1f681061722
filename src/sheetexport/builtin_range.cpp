#include "sheetexport/builtin_range.h"

#include "base/utf16.h"
#include "sheetexport/builtin_chart.h"
#include "sheetexport/builtin_files.h"
#include "sheetexport/builtin_format.h"

namespace builtin {
namespace {

class Font : public TSheetFont {
 public:
  explicit Font(TRangeRef r) : r_(std::move(r)) {}
  void SetName(const std::string& n) override {
    const std::uint32_t name = r_.Book->Texts.Intern(n);
    r_.Modify([&](TCellStyle& s) { s.FontName = name; });
  }
  void SetSize(double v) override {
    if (v < 1 || v > 409) throw ESheetAppError("Unable to set the Size property of the Font class");
    r_.Modify([&](TCellStyle& s) { s.FontSize = static_cast<float>(v); });
  }
  void SetColor(TColor c) override {
    r_.Modify([&](TCellStyle& s) { s.FontColor = c; });
  }
  void SetBold(bool v) override {
    r_.Modify([&](TCellStyle& s) { s.Bold = v; });
  }
  void SetItalic(bool v) override {
    r_.Modify([&](TCellStyle& s) { s.Italic = v; });
  }
  void SetUnderline(bool v) override {
    r_.Modify([&](TCellStyle& s) { s.Underline = v; });
  }

 private:
  TRangeRef r_;
};

class Interior : public TSheetInterior {
 public:
  explicit Interior(TRangeRef r) : r_(std::move(r)) {}
  void SetColor(TColor c) override {
    r_.Modify([&](TCellStyle& s) { s.Fill = c; });
  }

 private:
  TRangeRef r_;
};

class Border : public TSheetBorder {
 public:
  Border(TRangeRef r, int edge) : r_(std::move(r)), edge_(edge) {}
  void SetLineStyle(int v) override {
    Each([&](TEdge& e) { e.LineStyle = static_cast<std::int16_t>(v); });
  }
  void SetWeight(int v) override {
    Each([&](TEdge& e) { e.Weight = static_cast<std::int16_t>(v); });
  }
  void SetColor(TColor c) override {
    Each([&](TEdge& e) { e.Color = c; });
  }

 private:
  // The cells along the edge and the side of them that it is.
  template <class F>
  void Each(F&& change) {
    const TArea a = r_.Area;
    const auto side = [&](TArea cells, TEdgeIndex i) {
      r_.ModifyArea(cells, [&](TCellStyle& s) { change(s.Edges[i]); });
    };
    switch (edge_) {
      case 7:
        side({a.Row1, a.Column1, a.Row2, a.Column1}, edLeft);
        break;
      case 8:
        side({a.Row1, a.Column1, a.Row1, a.Column2}, edTop);
        break;
      case 9:
        side({a.Row2, a.Column1, a.Row2, a.Column2}, edBottom);
        break;
      case 10:
        side({a.Row1, a.Column2, a.Row2, a.Column2}, edRight);
        break;
      case 11:  // inside vertical
        if (a.Column2 > a.Column1) {
          side({a.Row1, a.Column1, a.Row2, a.Column2 - 1}, edRight);
          side({a.Row1, a.Column1 + 1, a.Row2, a.Column2}, edLeft);
        }
        break;
      case 12:  // inside horizontal
        if (a.Row2 > a.Row1) {
          side({a.Row1, a.Column1, a.Row2 - 1, a.Column2}, edBottom);
          side({a.Row1 + 1, a.Column1, a.Row2, a.Column2}, edTop);
        }
        break;
      default:
        throw ESheetAppError("Unable to get the Borders property: edge " + std::to_string(edge_));
    }
  }
  TRangeRef r_;
  int edge_;
};

bool Overlaps(const TArea& a, const TArea& b) {
  return a.Row1 <= b.Row2 && b.Row1 <= a.Row2 && a.Column1 <= b.Column2 && b.Column1 <= a.Column2;
}

class Range : public TSheetRange, public TRangeCells {
 public:
  explicit Range(TRangeRef r) : r_(std::move(r)) {}
  const TSheet& CellsSheet() const override { return *r_.Sheet; }
  TArea CellsArea() const override { return r_.Area; }

  void SetValue2(const TVariant& v) override {
    r_.Book->Dirty = true;
    for (int row = r_.Area.Row1; row <= r_.LastRow(); ++row)
      for (int c = r_.Area.Column1; c <= r_.Area.Column2; ++c) r_.Sheet->SetValue(row, c, v);
  }
  void SetValue2(const TVariantBlock& b) override {
    r_.Book->Dirty = true;
    const int rows = std::min(b.Rows, r_.LastRow() - r_.Area.Row1 + 1);
    const int cols = std::min(b.Columns, r_.Area.Column2 - r_.Area.Column1 + 1);
    for (int i = 0; i < rows; ++i)
      for (int j = 0; j < cols; ++j)
        r_.Sheet->SetValue(r_.Area.Row1 + i, r_.Area.Column1 + j, b.At(i, j));
  }
  TVariant Value2() override { return r_.Sheet->Value(r_.Area.Row1, r_.Area.Column1); }
  void SetNumberFormat(const std::string& f) override {
    const std::uint32_t format =
        r_.Book->Texts.Intern(InvariantNumberFormat(f, r_.Services->Settings));
    r_.Modify([&](TCellStyle& s) { s.NumberFormat = format; });
  }
  void SetMergeCells(bool merge) override {
    auto& merges = r_.Sheet->Merges;
    const TArea a = r_.Area;
    merges.erase(std::remove_if(merges.begin(), merges.end(),
                                [&](const TArea& m) { return Overlaps(m, a); }),
                 merges.end());
    if (merge && (a.Row2 > a.Row1 || a.Column2 > a.Column1)) merges.push_back(a);
    r_.Book->Dirty = true;
  }
  void SetColumnWidth(double w) override {
    if (w < 0 || w > 255) throw ESheetAppError("Unable to set the ColumnWidth property");
    for (int c = r_.Area.Column1; c <= r_.Area.Column2; ++c) r_.Sheet->ColumnWidths[c] = w;
    r_.Book->Dirty = true;
  }
  std::shared_ptr<TSheetRange> EntireColumn() override {
    TRangeRef whole = r_;
    whole.Area.Row1 = 0;
    whole.Area.Row2 = kMaxRows - 1;
    whole.EntireColumns = true;
    return std::make_shared<Range>(whole);
  }
  void AutoFit() override;
  std::shared_ptr<TSheetFont> Font() override { return std::make_shared<builtin::Font>(r_); }
  std::shared_ptr<TSheetInterior> Interior() override {
    return std::make_shared<builtin::Interior>(r_);
  }
  std::shared_ptr<TSheetBorder> Borders(int edge) override {
    if (edge < 7 || edge > 12) throw ESheetAppError("Unable to get the Borders property");
    return std::make_shared<Border>(r_, edge);
  }
  void SetOrientation(int v) override {
    int degrees = v;
    if (v == -4128)
      degrees = 0;
    else if (v == -4166)
      degrees = 270;
    else if (v == -4171)
      degrees = 90;
    else if (v == -4170)
      degrees = -90;
    else if (v < -90 || v > 90)
      throw ESheetAppError("Unable to set the Orientation property");
    r_.Modify([&](TCellStyle& s) { s.Orientation = static_cast<std::int16_t>(degrees); });
  }
  void SetWrapText(bool v) override {
    r_.Modify([&](TCellStyle& s) { s.Wrap = v; });
  }
  void SetHorizontalAlignment(int v) override {
    r_.Modify([&](TCellStyle& s) { s.HAlign = static_cast<std::int16_t>(v); });
  }
  void ClearContents() override {
    r_.Book->Dirty = true;
    for (int row = r_.Area.Row1; row <= r_.LastRow(); ++row)
      for (int c = r_.Area.Column1; c <= r_.Area.Column2; ++c)
        r_.Sheet->SetValue(row, c, TVariant{});
  }
  std::shared_ptr<TSheetRange> Rows() override { return std::make_shared<Range>(r_); }
  void Group() override {
    r_.Book->Dirty = true;
    auto& rows = r_.Sheet->Rows;
    if (static_cast<int>(rows.size()) <= r_.Area.Row2) rows.resize(r_.Area.Row2 + 1);
    for (int row = r_.Area.Row1; row <= r_.Area.Row2; ++row)
      if (rows[row].Level < 7) ++rows[row].Level;
  }
  int Row() override { return r_.Area.Row1 + 1; }
  std::shared_ptr<TSheetRange> Offset(int rows, int columns) override {
    TRangeRef moved = r_;
    moved.Area = {r_.Area.Row1 + rows, r_.Area.Column1 + columns, r_.Area.Row2 + rows,
                  r_.Area.Column2 + columns};
    if (moved.Area.Row1 < 0 || moved.Area.Column1 < 0 || moved.Area.Row2 >= kMaxRows ||
        moved.Area.Column2 >= kMaxColumns)
      throw ESheetAppError("Offset leaves the sheet");
    return std::make_shared<Range>(moved);
  }
  void AutoFilter(int, int, bool) override {
    r_.Sheet->HasFilter = true;
    r_.Sheet->Filter = r_.Area;
    r_.Book->Dirty = true;
  }
  double Left() override {
    int pixels = 0;
    for (int c = 0; c < r_.Area.Column1; ++c)
      pixels += TSheet::ColumnPixels(r_.Sheet->ColumnWidth(c));
    return pixels * kPixelPoints;
  }
  double Top() override { return r_.Area.Row1 * kRowPoints; }

 private:
  TRangeRef r_;
};

void Range::AutoFit() {
  TSheet& sheet = *r_.Sheet;
  std::vector<double> widest(r_.Area.Column2 - r_.Area.Column1 + 1, 0.0);
  const auto merged = [&](int row, int col) {
    for (const TArea& m : sheet.Merges)
      if (row >= m.Row1 && row <= m.Row2 && col >= m.Column1 && col <= m.Column2) return true;
    return false;
  };
  const int last = std::min(r_.Area.Row2, static_cast<int>(sheet.Rows.size()) - 1);
  for (int row = r_.Area.Row1; row <= last; ++row) {
    const auto& cells = sheet.Rows[row].Cells;
    auto it = std::lower_bound(cells.begin(), cells.end(), r_.Area.Column1,
                               [](const TCell& c, int v) { return c.Column < v; });
    for (; it != cells.end() && it->Column <= r_.Area.Column2; ++it) {
      if (it->Kind == TCellKind::Blank || merged(row, it->Column)) continue;
      const TCellStyle& style = r_.Book->Styles.At(it->Style);
      // Characters of the default font: larger and bold type take more of them.
      const double units = static_cast<double>(Utf16Length(CellText(*r_.Book, *it)));
      const double width = units * style.FontSize / 11.0 * (style.Bold ? 1.1 : 1.0) + 1.0;
      double& w = widest[it->Column - r_.Area.Column1];
      w = std::max(w, width);
    }
  }
  for (std::size_t i = 0; i < widest.size(); ++i) {
    const int col = r_.Area.Column1 + static_cast<int>(i);
    if (widest[i] > 0)
      sheet.ColumnWidths[col] = std::min(widest[i], 255.0);
    else
      sheet.ColumnWidths.erase(col);
  }
  r_.Book->Dirty = true;
}

}  // namespace

std::shared_ptr<TSheetRange> MakeRange(TRangeRef ref) {
  return std::make_shared<Range>(std::move(ref));
}

}  // namespace builtin
