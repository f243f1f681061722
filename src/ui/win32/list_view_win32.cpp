// The list view of the Win32 binding: the system's report list in virtual mode, which asks for
// the texts of the rows it draws, so that thousands of rows cost nothing until they are seen.
#include <windows.h>

#include <commctrl.h>

#include "ui/win32/form_win32.h"

namespace win32ui {
namespace {

class TWin32ListView : public TControlOf<::TListView> {
 public:
  TWin32ListView(::TForm& form, ::TPanel* parent, const TElementSpec& design)
      : TControlOf(form, parent, design,
                   {WC_LISTVIEWW,
                    WS_TABSTOP | LVS_REPORT | LVS_OWNERDATA | LVS_SINGLESEL | LVS_SHOWSELALWAYS,
                    WS_EX_CLIENTEDGE}) {
    ListView_SetExtendedListViewStyle(hwnd_, LVS_EX_FULLROWSELECT | LVS_EX_DOUBLEBUFFER);
    for (std::size_t i = 0; i < design.Columns.size(); ++i) {
      const TListColumn& c = design.Columns[i];
      std::wstring title = Widen(c.Title);
      LVCOLUMNW column{};
      column.mask = LVCF_TEXT | LVCF_WIDTH | LVCF_FMT;
      column.fmt = c.Alignment == taRightJustify ? LVCFMT_RIGHT
                   : c.Alignment == taCenter     ? LVCFMT_CENTER
                                                 : LVCFMT_LEFT;
      column.cx = form_.Scaled(c.Width);
      column.pszText = title.data();
      ListView_InsertColumn(hwnd_, static_cast<int>(i), &column);
    }
  }

  void SetRows(std::vector<std::vector<std::string>> rows) override {
    rows_ = std::move(rows);
    wide_.clear();
    wide_.reserve(rows_.size());
    for (const auto& row : rows_) {
      std::vector<std::wstring> cells;
      cells.reserve(row.size());
      for (const auto& cell : row) cells.push_back(Widen(cell));
      wide_.push_back(std::move(cells));
    }
    setting_ = true;
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    ListView_SetItemCountEx(hwnd_, static_cast<int>(rows_.size()), 0);
    setting_ = false;
    InvalidateRect(hwnd_, nullptr, TRUE);
  }
  int RowCount() const override { return static_cast<int>(rows_.size()); }
  std::vector<std::string> Row(int index) const override {
    return rows_.at(static_cast<std::size_t>(index));
  }
  void SetItemIndex(int index) override {
    setting_ = true;
    ListView_SetItemState(hwnd_, -1, 0, LVIS_SELECTED | LVIS_FOCUSED);
    if (index >= 0 && index < RowCount()) {
      ListView_SetItemState(hwnd_, index, LVIS_SELECTED | LVIS_FOCUSED,
                            LVIS_SELECTED | LVIS_FOCUSED);
      ListView_EnsureVisible(hwnd_, index, FALSE);
    }
    setting_ = false;
  }
  int ItemIndex() const override { return ListView_GetNextItem(hwnd_, -1, LVNI_SELECTED); }
  void SetFocus() override { ::SetFocus(hwnd_); }

  bool Notify(const NMHDR& header, LRESULT& result) override {
    switch (header.code) {
      case LVN_GETDISPINFOW: {
        auto& info = const_cast<NMLVDISPINFOW&>(reinterpret_cast<const NMLVDISPINFOW&>(header));
        const auto row = static_cast<std::size_t>(info.item.iItem);
        const auto column = static_cast<std::size_t>(info.item.iSubItem);
        if ((info.item.mask & LVIF_TEXT) && row < wide_.size() && column < wide_[row].size())
          lstrcpynW(info.item.pszText, wide_[row][column].c_str(), info.item.cchTextMax);
        return true;
      }
      case LVN_ITEMCHANGED: {
        const auto& change = reinterpret_cast<const NMLISTVIEW&>(header);
        if (!setting_ && (change.uChanged & LVIF_STATE) &&
            ((change.uNewState ^ change.uOldState) & LVIS_SELECTED))
          Fire(OnChange);
        return true;
      }
      case NM_DBLCLK:
        if (reinterpret_cast<const NMITEMACTIVATE&>(header).iItem >= 0) Fire(OnDblClick);
        result = 0;
        return true;
      default:
        return false;
    }
  }

 private:
  std::vector<std::vector<std::string>> rows_;
  std::vector<std::vector<std::wstring>> wide_;  // what the list draws
  bool setting_ = false;                         // a write of the program fires nothing
};

}  // namespace

std::unique_ptr<::TListView> CreateWin32ListView(::TForm& form, ::TPanel* parent,
                                                 const TElementSpec& design) {
  return std::make_unique<TWin32ListView>(form, parent, design);
}

}  // namespace win32ui
