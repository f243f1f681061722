// The Win32 binding's list view on a real window: rows fed in one go, the program's writes fire
// nothing, the user's choice and double click reach the handlers, Enter presses the Default.
#include <windows.h>

#include <commctrl.h>
#include <gtest/gtest.h>

#include <string>

#include "ui/win32/win32_binding.h"

namespace {

HWND H(void* p) {
  return static_cast<HWND>(p);
}

std::wstring CellText(HWND list, int row, int column) {
  wchar_t buf[128] = {};
  LVITEMW item{};
  item.iSubItem = column;
  item.pszText = buf;
  item.cchTextMax = 128;
  SendMessageW(list, LVM_GETITEMTEXTW, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&item));
  return buf;
}

TEST(Win32ListView, TenThousandRowsInOneGoAndOnlyTheUsersChoiceIsReported) {
  win32ui::TApp app;
  win32ui::TFactory factory(app);
  auto form = factory.CreateForm({.Name = "F", .ClientWidth = 420, .ClientHeight = 300}, nullptr);
  auto* list =
      factory.CreateListView(*form, nullptr,
                             {.Name = "LV",
                              .Bounds = {8, 8, 404, 240},
                              .Columns = {{"When", 200}, {"Records", 100, taRightJustify}}});
  auto* open = factory.CreateButton(*form, nullptr,
                                    {.Name = "O", .Bounds = {300, 260, 100, 30}, .Default = true});
  int changes = 0, doubles = 0, opens = 0;
  list->OnChange = [&](TObject*) { ++changes; };
  list->OnDblClick = [&](TObject*) { ++doubles; };
  open->OnClick = [&](TObject*) { ++opens; };
  form->Show();

  std::vector<std::vector<std::string>> rows;
  for (int i = 0; i < 10000; ++i) rows.push_back({"Ärger " + std::to_string(i), std::to_string(i)});
  list->SetRows(std::move(rows));
  list->SetItemIndex(9999);
  app.ProcessMessages();
  HWND lv = H(win32ui::TFactory::Window(*list));
  EXPECT_EQ(SendMessageW(lv, LVM_GETITEMCOUNT, 0, 0), 10000);
  EXPECT_EQ(CellText(lv, 9999, 0), L"\u00c4rger 9999");
  EXPECT_EQ(CellText(lv, 12, 1), L"12");
  EXPECT_EQ(list->ItemIndex(), 9999);
  EXPECT_EQ(list->Row(5)[1], "5");
  EXPECT_EQ(changes, 0);

  // The user's keys move the choice and report it; Enter in the list presses the Default.
  list->SetFocus();
  SendMessageW(lv, WM_KEYDOWN, VK_HOME, 0);
  EXPECT_EQ(list->ItemIndex(), 0);
  EXPECT_GE(changes, 1);
  RECT r{LVIR_BOUNDS};
  SendMessageW(lv, LVM_GETITEMRECT, 0, reinterpret_cast<LPARAM>(&r));
  const LPARAM at = MAKELPARAM(r.left + 5, (r.top + r.bottom) / 2);
  SendMessageW(lv, WM_LBUTTONDBLCLK, MK_LBUTTON, at);
  SendMessageW(lv, WM_LBUTTONUP, 0, at);
  app.ProcessMessages();
  EXPECT_EQ(doubles, 1);
  const LRESULT def = SendMessageW(H(win32ui::TFactory::Window(*form)), DM_GETDEFID, 0, 0);
  EXPECT_EQ(LOWORD(def), GetDlgCtrlID(H(win32ui::TFactory::Window(*open))));
  EXPECT_EQ(opens, 0);
}

}  // namespace
