#include "sheetexport/builtin_book.h"

#include <algorithm>
#include <cstring>

namespace builtin {

std::size_t TStyleHash::operator()(const TCellStyle& s) const {
  std::size_t h = s.FontName * 31u + static_cast<std::size_t>(s.FontSize * 4);
  const auto mix = [&h](std::size_t v) { h ^= v + 0x9e3779b97f4a7c15ull + (h << 6) + (h >> 2); };
  mix(s.FontColor);
  mix((s.Bold << 0) | (s.Italic << 1) | (s.Underline << 2) | (s.Wrap << 3));
  mix(s.Fill);
  for (const TEdge& e : s.Edges)
    mix((static_cast<std::size_t>(e.LineStyle) << 16) ^ e.Weight ^ (std::size_t{e.Color} << 20));
  mix(s.NumberFormat);
  mix(static_cast<std::size_t>(s.HAlign) * 7 + static_cast<std::size_t>(s.Orientation));
  return h;
}

TTextPool::TTextPool() {
  Intern("");
}

std::uint32_t TTextPool::Intern(std::string_view text) {
  const auto it = index_.find(text);
  if (it != index_.end()) return it->second;
  texts_.push_back(std::make_unique<std::string>(text));
  const auto index = static_cast<std::uint32_t>(texts_.size() - 1);
  index_.emplace(*texts_.back(), index);
  return index;
}

TStyleTable::TStyleTable() {
  Intern(TCellStyle{});
}

std::uint32_t TStyleTable::Intern(const TCellStyle& style) {
  const auto it = index_.find(style);
  if (it != index_.end()) return it->second;
  styles_.push_back(style);
  const auto index = static_cast<std::uint32_t>(styles_.size() - 1);
  index_.emplace(style, index);
  return index;
}

TCell& TSheet::At(int row, int column) {
  if (static_cast<std::size_t>(row) >= Rows.size()) Rows.resize(row + 1);
  auto& cells = Rows[row].Cells;
  const auto col = static_cast<std::uint16_t>(column);
  if (cells.empty() || cells.back().Column < col) {
    cells.emplace_back();
    cells.back().Column = col;
    return cells.back();
  }
  auto it = std::lower_bound(cells.begin(), cells.end(), col,
                             [](const TCell& c, std::uint16_t v) { return c.Column < v; });
  if (it != cells.end() && it->Column == col) return *it;
  it = cells.emplace(it);
  it->Column = col;
  return *it;
}

const TCell* TSheet::Find(int row, int column) const {
  if (row < 0 || static_cast<std::size_t>(row) >= Rows.size()) return nullptr;
  const auto& cells = Rows[row].Cells;
  const auto col = static_cast<std::uint16_t>(column);
  const auto it = std::lower_bound(cells.begin(), cells.end(), col,
                                   [](const TCell& c, std::uint16_t v) { return c.Column < v; });
  return it != cells.end() && it->Column == col ? &*it : nullptr;
}

void TSheet::SetValue(int row, int column, const TVariant& value) {
  if (VarIsEmpty(value)) {
    // Writing nothing to a cell that does not exist creates none.
    if (TCell* c = const_cast<TCell*>(Find(row, column))) c->Kind = TCellKind::Blank;
    return;
  }
  TCell& c = At(row, column);
  struct Visitor {
    TCell& c;
    TBook& book;
    void operator()(std::monostate) const { c.Kind = TCellKind::Blank; }
    void operator()(std::int64_t v) const { Num(static_cast<double>(v)); }
    void operator()(double v) const { Num(v); }
    void operator()(TDateTime v) const { Num(v.Value); }
    void operator()(bool v) const {
      c.Kind = TCellKind::Boolean;
      c.Boolean = v;
    }
    void operator()(const std::string& v) const {
      const bool formula = v.size() > 1 && v[0] == '=';
      c.Kind = formula ? TCellKind::Formula : TCellKind::Text;
      c.Text = book.Texts.Intern(v);
    }
    void Num(double v) const {
      c.Kind = TCellKind::Number;
      c.Number = v;
    }
  };
  std::visit(Visitor{c, Book}, value);
}

TVariant TSheet::Value(int row, int column) const {
  const TCell* c = Find(row, column);
  if (!c) return {};
  switch (c->Kind) {
    case TCellKind::Number:
      return c->Number;
    case TCellKind::Text:
    case TCellKind::Formula:
      return Book.Texts.At(c->Text);
    case TCellKind::Boolean:
      return c->Boolean;
    default:
      return {};
  }
}

bool TSheet::Used(TArea& area) const {
  bool any = false;
  for (std::size_t r = 0; r < Rows.size(); ++r) {
    const auto& cells = Rows[r].Cells;
    if (cells.empty()) continue;
    const int row = static_cast<int>(r);
    if (!any) {
      area = {row, cells.front().Column, row, cells.back().Column};
      any = true;
      continue;
    }
    area.Row2 = row;
    area.Column1 = std::min<int>(area.Column1, cells.front().Column);
    area.Column2 = std::max<int>(area.Column2, cells.back().Column);
  }
  return any;
}

double TSheet::ColumnWidth(int column) const {
  const auto it = ColumnWidths.find(column);
  return it == ColumnWidths.end() ? 8.43 : it->second;
}

// Seven pixels a character of the default font plus five of margin, as the application counts.
int TSheet::ColumnPixels(double characters) {
  if (characters < 1) return static_cast<int>(characters * 12 + 0.5);
  return static_cast<int>(characters * 7 + 0.5) + 5;
}

}  // namespace builtin
