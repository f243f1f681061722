// The built-in workbook's ranges as objects of the application interface, with their fonts,
// fills and borders: what they set goes into the sheet's cells and styles (builtin_book.h).
#pragma once

#include <algorithm>
#include <memory>
#include <utility>
#include <vector>

#include "base/format_settings.h"
#include "sheetexport/builtin_book.h"
#include "sheetexport/builtin_handover.h"
#include "sheetexport/sheet_app.h"

namespace builtin {

constexpr int kMaxRows = 1048576;
constexpr int kMaxColumns = 16384;

// What every object of one application shares.
struct TServices {
  FormatSettings Settings;
  THandOver HandOver;
};

// Old style index to new, for one operation over many cells.
class TStyleMap {
 public:
  template <class F>
  std::uint32_t Apply(TBook& book, std::uint32_t old, F&& change) {
    for (const auto& [from, to] : seen_)
      if (from == old) return to;
    TCellStyle s = book.Styles.At(old);
    change(s);
    const std::uint32_t to = book.Styles.Intern(s);
    seen_.emplace_back(old, to);
    return to;
  }

 private:
  std::vector<std::pair<std::uint32_t, std::uint32_t>> seen_;
};

struct TRangeRef {
  std::shared_ptr<TBook> Book;
  TSheet* Sheet;
  TArea Area;
  std::shared_ptr<TServices> Services;
  bool EntireColumns = false;

  // The last row an operation touches: whole columns end at the last existing row.
  int LastRow() const {
    return EntireColumns ? std::min(Area.Row2, static_cast<int>(Sheet->Rows.size()) - 1)
                         : Area.Row2;
  }

  template <class F>
  void ModifyArea(TArea a, F&& change) {
    TStyleMap map;
    Book->Dirty = true;
    const int last =
        EntireColumns ? std::min(a.Row2, static_cast<int>(Sheet->Rows.size()) - 1) : a.Row2;
    for (int r = a.Row1; r <= last; ++r)
      for (int c = a.Column1; c <= a.Column2; ++c) {
        TCell& cell = Sheet->At(r, c);
        cell.Style = map.Apply(*Book, cell.Style, change);
      }
  }
  template <class F>
  void Modify(F&& change) {
    ModifyArea(Area, change);
  }
};

std::shared_ptr<TSheetRange> MakeRange(TRangeRef ref);

}  // namespace builtin
