// The Win32 binding on real windows (under Wine with a display): places, texts, events, timers,
// the loop, modal forms and the general error report, read back through the system's calls.
#include <windows.h>

#include <commctrl.h>
#include <commdlg.h>
#include <gtest/gtest.h>
#include <shlwapi.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "infodialog/info.h"
#include "ui/win32/win32_binding.h"

namespace {

using Clock = std::chrono::steady_clock;

HWND H(void* p) {
  return static_cast<HWND>(p);
}

std::wstring Text(HWND w) {
  wchar_t buf[512] = {};
  GetWindowTextW(w, buf, 512);
  return buf;
}

std::wstring ClassOf(HWND w) {
  wchar_t buf[64] = {};
  GetClassNameW(w, buf, 64);
  return buf;
}

// The element's rectangle in its parent's client coordinates.
RECT PlaceIn(HWND w) {
  RECT r;
  GetWindowRect(w, &r);
  MapWindowPoints(nullptr, GetParent(w), reinterpret_cast<POINT*>(&r), 2);
  return r;
}

// Runs the loop for a while, however busy or idle it is.
void Pump(win32ui::TApp& app, int ms) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  for (auto now = Clock::now(); now < end; now = Clock::now()) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(end - now).count();
    MsgWaitForMultipleObjects(0, nullptr, FALSE, static_cast<DWORD>(left), QS_ALLINPUT);
    app.ProcessMessages();
  }
}

// Pumps until the condition holds or the time is up; returns the condition.
template <class F>
bool PumpUntil(win32ui::TApp& app, F done, int ms = 5000) {
  const auto end = Clock::now() + std::chrono::milliseconds(ms);
  while (!done() && Clock::now() < end) {
    MsgWaitForMultipleObjects(0, nullptr, FALSE, 10, QS_ALLINPUT);
    app.ProcessMessages();
  }
  return done();
}

class Win32Ui : public ::testing::Test {
 protected:
  int S(int px) const { return MulDiv(px, app.Dpi(), 96); }
  RECT Scaled(int l, int t, int w, int h) const { return {S(l), S(t), S(l) + S(w), S(t) + S(h)}; }

  win32ui::TApp app;
  win32ui::TFactory factory{app};
};

void ExpectRect(const RECT& got, const RECT& want) {
  EXPECT_EQ(got.left, want.left);
  EXPECT_EQ(got.top, want.top);
  EXPECT_EQ(got.right, want.right);
  EXPECT_EQ(got.bottom, want.bottom);
}

// The rows of the label's client area that its text inks, painted through WM_PRINTCLIENT.
std::pair<int, int> InkedRows(HWND label) {
  RECT rc;
  GetClientRect(label, &rc);
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, rc.right, rc.bottom);
  HGDIOBJ old = SelectObject(dc, bmp);
  SendMessageW(label, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(dc), PRF_CLIENT);
  const COLORREF background = GetPixel(dc, 0, 0);
  int first = -1, last = -1;
  for (int y = 0; y < rc.bottom; ++y)
    for (int x = 0; x < rc.right; ++x)
      if (GetPixel(dc, x, y) != background) {
        if (first < 0) first = y;
        last = y;
        break;
      }
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return {first, last};
}

TEST_F(Win32Ui, ElementsStandAtTheirScaledPlacesWithTheirTexts) {
  auto form = factory.CreateForm(
      {.Name = "Form_Main", .Caption = "Quarrow VORNEX", .ClientWidth = 616, .ClientHeight = 194},
      nullptr);
  auto* panel = factory.CreatePanel(
      *form, nullptr, {.Name = "P_General", .Bounds = {0, 0, 616, 114}, .Align = alTop});
  auto* state =
      factory.CreateLabel(*form, panel,
                          {.Name = "L_State",
                           .Bounds = {8, 8, 600, 45},
                           .Caption = "3 records received.\r\nPlease select unit and save file.",
                           .Alignment = taCenter,
                           .Layout = tlCenter,
                           .WordWrap = true});
  auto* text = factory.CreateButton(
      *form, panel, {.Name = "B_Text", .Bounds = {346, 59, 180, 45}, .Caption = "Save as text"});
  auto* bar = factory.CreateProgressBar(
      *form, panel, {.Name = "PB_Data", .Bounds = {8, 63, 600, 32}, .Max = 40, .Position = 7});
  auto* singles = factory.CreateCheckBox(*form, nullptr,
                                         {.Name = "ChB_Singles",
                                          .Bounds = {8, 120, 337, 31},
                                          .Caption = "Include single values",
                                          .Checked = true});
  auto* unit = factory.CreateLabel(
      *form, nullptr,
      {.Name = "L_Unit", .Bounds = {8, 163, 29, 19}, .Caption = "Unit", .AutoSize = true});
  auto* combo = factory.CreateComboBox(*form, nullptr,
                                       {.Name = "CB_Unit",
                                        .Bounds = {57, 160, 125, 26},
                                        .Items = {"MPa", "kg/cm²", "N/mm²", "PSI"},
                                        .ItemIndex = 0,
                                        .ItemHeight = 20});
  auto* hidden = factory.CreateButton(
      *form, nullptr,
      {.Name = "B_Next", .Bounds = {312, 156, 182, 30}, .Caption = "Read next", .Visible = false});
  form->Show();
  app.ProcessMessages();

  HWND w = H(win32ui::TFactory::Window(*form));
  EXPECT_EQ(Text(w), L"Quarrow VORNEX");
  EXPECT_EQ(form->Caption(), "Quarrow VORNEX");
  RECT client;
  GetClientRect(w, &client);
  ExpectRect(client, Scaled(0, 0, 616, 194));
  const LONG style = GetWindowLongW(w, GWL_STYLE);
  EXPECT_TRUE(style & WS_CAPTION);
  EXPECT_TRUE(style & WS_SYSMENU);
  EXPECT_TRUE(style & WS_MINIMIZEBOX);
  EXPECT_FALSE(style & (WS_THICKFRAME | WS_MAXIMIZEBOX));  // fixed size
  EXPECT_TRUE(IsWindowVisible(w));

  // Centred on the work area.
  RECT frame, work;
  GetWindowRect(w, &frame);
  SystemParametersInfoW(SPI_GETWORKAREA, 0, &work, 0);
  EXPECT_NEAR((frame.left + frame.right) / 2, (work.left + work.right) / 2, 1);
  EXPECT_NEAR((frame.top + frame.bottom) / 2, (work.top + work.bottom) / 2, 1);

  auto font = reinterpret_cast<HFONT>(SendMessageW(w, WM_GETFONT, 0, 0));
  LOGFONTW lf{};
  ASSERT_EQ(GetObjectW(font, sizeof(lf), &lf), static_cast<int>(sizeof(lf)));
  EXPECT_EQ(lf.lfHeight, -S(16));
  EXPECT_EQ(std::wstring(lf.lfFaceName), L"Tahoma");

  struct Place {
    TControl* element;
    HWND parent;
    const wchar_t* window_class;
    RECT rect;
    const wchar_t* text;
    bool visible;
  } places[] = {
      {panel, w, L"Q2EPanel", Scaled(0, 0, 616, 114), L"", true},
      {state, H(win32ui::TFactory::Window(*panel)), L"Static", Scaled(8, 8, 600, 45),
       L"3 records received.\r\nPlease select unit and save file.", true},
      {text, H(win32ui::TFactory::Window(*panel)), L"Button", Scaled(346, 59, 180, 45),
       L"Save as text", true},
      {bar, H(win32ui::TFactory::Window(*panel)), L"msctls_progress32", Scaled(8, 63, 600, 32), L"",
       true},
      {singles, w, L"Button", Scaled(8, 120, 337, 31), L"Include single values", true},
      {hidden, w, L"Button", Scaled(312, 156, 182, 30), L"Read next", false},
  };
  for (const Place& p : places) {
    HWND e = H(win32ui::TFactory::Window(*p.element));
    SCOPED_TRACE(Text(e));
    EXPECT_EQ(GetParent(e), p.parent);
    EXPECT_EQ(ClassOf(e), p.window_class);
    ExpectRect(PlaceIn(e), p.rect);
    EXPECT_EQ(Text(e), p.text);
    EXPECT_EQ(IsWindowVisible(e) != FALSE, p.visible);
    EXPECT_EQ(p.element->Visible(), p.visible);
    if (p.element != panel) {
      EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(e, WM_GETFONT, 0, 0)), font);
    }
  }
  HWND label = H(win32ui::TFactory::Window(*state));
  EXPECT_EQ(GetWindowLongW(label, GWL_STYLE) & SS_TYPEMASK, SS_CENTER);
  EXPECT_EQ(state->Caption(), "3 records received.\r\nPlease select unit and save file.");
  HWND check = H(win32ui::TFactory::Window(*singles));
  EXPECT_EQ(GetWindowLongW(check, GWL_STYLE) & BS_TYPEMASK, BS_AUTOCHECKBOX);
  EXPECT_EQ(SendMessageW(check, BM_GETCHECK, 0, 0), BST_CHECKED);
  HWND pb = H(win32ui::TFactory::Window(*bar));
  EXPECT_EQ(SendMessageW(pb, PBM_GETRANGE, TRUE, 0), 0);
  EXPECT_EQ(SendMessageW(pb, PBM_GETRANGE, FALSE, 0), 40);
  EXPECT_EQ(SendMessageW(pb, PBM_GETPOS, 0, 0), 7);

  // The unit label starts at its place and is at least as wide as designed.
  RECT at = PlaceIn(H(win32ui::TFactory::Window(*unit)));
  EXPECT_EQ(at.left, S(8));
  EXPECT_EQ(at.top, S(163));
  EXPECT_GE(at.right - at.left, S(29));

  HWND cb = H(win32ui::TFactory::Window(*combo));
  EXPECT_EQ(ClassOf(cb), L"ComboBox");
  const LONG cb_style = GetWindowLongW(cb, GWL_STYLE);
  EXPECT_EQ(cb_style & 3, CBS_DROPDOWNLIST);
  EXPECT_TRUE(cb_style & CBS_OWNERDRAWFIXED);
  RECT cb_at = PlaceIn(cb);
  EXPECT_EQ(cb_at.left, S(57));
  EXPECT_EQ(cb_at.top, S(160));
  EXPECT_EQ(cb_at.right - cb_at.left, S(125));
  EXPECT_EQ(SendMessageW(cb, CB_GETITEMHEIGHT, 0, 0), S(20));
  EXPECT_EQ(SendMessageW(cb, CB_GETCOUNT, 0, 0), 4);
  wchar_t item[32] = {};
  SendMessageW(cb, CB_GETLBTEXT, 1, reinterpret_cast<LPARAM>(item));
  EXPECT_EQ(std::wstring(item), L"kg/cm\u00B2");
  EXPECT_EQ(SendMessageW(cb, CB_GETCURSEL, 0, 0), 0);
  EXPECT_EQ(combo->Text(), "MPa");
}

TEST_F(Win32Ui, LabelTextStandsWhereItsLayoutPutsIt) {
  auto form = factory.CreateForm({.Name = "F", .ClientWidth = 300, .ClientHeight = 200}, nullptr);
  struct Case {
    TTextLayout layout;
    const char* text;
  } cases[] = {{tlTop, "One line"},
               {tlCenter, "One line"},
               {tlCenter, "Two\r\nlines"},
               {tlBottom, "One line"}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    auto* label = factory.CreateLabel(*form, nullptr,
                                      {.Name = "L",
                                       .Bounds = {0, 0, 200, 90},
                                       .Caption = c.text,
                                       .Alignment = taCenter,
                                       .Layout = c.layout,
                                       .WordWrap = true});
    const auto [first, last] = InkedRows(H(win32ui::TFactory::Window(*label)));
    ASSERT_GE(first, 0) << "nothing painted";
    const int height = S(90);
    if (c.layout == tlTop) {
      EXPECT_LT(first, height / 4);
    } else if (c.layout == tlBottom) {
      EXPECT_GT(last, height * 3 / 4);
    } else {
      EXPECT_NEAR((first + last) / 2, height / 2, S(5));
    }
    label->SetVisible(false);
  }
}

TEST_F(Win32Ui, ProgrammaticWritesFireNothingWhileUserActionsDo) {
  auto form = factory.CreateForm({.Name = "F", .ClientWidth = 400, .ClientHeight = 200}, nullptr);
  auto* button = factory.CreateButton(*form, nullptr, {.Name = "B", .Bounds = {0, 0, 80, 30}});
  auto* check = factory.CreateCheckBox(*form, nullptr, {.Name = "C", .Bounds = {0, 40, 200, 30}});
  auto* combo = factory.CreateComboBox(
      *form, nullptr,
      {.Name = "CB", .Bounds = {0, 80, 120, 26}, .Items = {"a", "b", "c"}, .ItemHeight = 20});
  auto* label = factory.CreateLabel(*form, nullptr, {.Name = "L", .Bounds = {0, 120, 100, 20}});
  auto* bar = factory.CreateProgressBar(*form, nullptr, {.Name = "P", .Bounds = {0, 150, 100, 20}});
  int clicks = 0, checks = 0, changes = 0;
  button->OnClick = [&](TObject* s) {
    EXPECT_EQ(s, button);
    ++clicks;
  };
  check->OnClick = [&](TObject*) { ++checks; };
  combo->OnChange = [&](TObject*) { ++changes; };
  form->Show();

  check->SetChecked(true);
  combo->SetItemIndex(2);
  button->SetCaption("Go");
  label->SetCaption("Now");
  bar->SetMax(50);
  bar->SetPosition(20);
  button->SetEnabled(false);
  button->SetEnabled(true);
  HWND cb = H(win32ui::TFactory::Window(*combo));
  SendMessageW(cb, CB_SETCURSEL, 1, 0);  // as the program's code would
  app.ProcessMessages();
  EXPECT_EQ(clicks + checks + changes, 0);
  EXPECT_TRUE(check->Checked());
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(Text(H(win32ui::TFactory::Window(*button))), L"Go");
  EXPECT_EQ(label->Caption(), "Now");
  EXPECT_EQ(bar->Max(), 50);
  EXPECT_EQ(bar->Position(), 20);
  combo->SetItemIndex(7);
  EXPECT_EQ(combo->ItemIndex(), -1);
  EXPECT_EQ(combo->Text(), "");
  combo->SetItemIndex(0);

  HWND b = H(win32ui::TFactory::Window(*button));
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
  SendMessageW(H(win32ui::TFactory::Window(*check)), BM_CLICK, 0, 0);
  EXPECT_EQ(checks, 1);
  EXPECT_FALSE(check->Checked());  // the click toggled it
  // The user's key in the closed list moves the selection and reports it.
  SendMessageW(cb, WM_KEYDOWN, VK_DOWN, 0);
  EXPECT_EQ(changes, 1);
  EXPECT_EQ(combo->ItemIndex(), 1);
  EXPECT_EQ(combo->Text(), "b");

  // Neither a hidden nor a disabled button reaches its handler.
  button->SetEnabled(false);
  SendMessageW(b, BM_CLICK, 0, 0);
  button->SetEnabled(true);
  button->SetVisible(false);
  SendMessageW(b, BM_CLICK, 0, 0);
  EXPECT_EQ(clicks, 1);
}

TEST_F(Win32Ui, FocusStartsOnTheFirstControlAndEnterPressesTheFocusedButton) {
  auto form = factory.CreateForm({.Name = "F", .ClientWidth = 300, .ClientHeight = 100}, nullptr);
  auto* panel = factory.CreatePanel(*form, nullptr, {.Name = "P", .Bounds = {0, 0, 300, 50}});
  auto* first = factory.CreateButton(*form, panel, {.Name = "A", .Bounds = {0, 0, 80, 30}});
  auto* second = factory.CreateButton(*form, nullptr, {.Name = "B", .Bounds = {0, 60, 80, 30}});
  int firsts = 0, seconds = 0;
  first->OnClick = [&](TObject*) { ++firsts; };
  second->OnClick = [&](TObject*) { ++seconds; };
  form->Show();
  HWND w = H(win32ui::TFactory::Window(*form));
  HWND a = H(win32ui::TFactory::Window(*first));
  HWND b = H(win32ui::TFactory::Window(*second));
  EXPECT_EQ(GetFocus(), a);  // inside the panel, first in the tab order
  second->SetFocus();
  EXPECT_EQ(GetFocus(), b);
  const LRESULT def = SendMessageW(w, DM_GETDEFID, 0, 0);
  EXPECT_EQ(HIWORD(def), DC_HASDEFID);
  EXPECT_EQ(LOWORD(def), GetDlgCtrlID(b));
  // Escape and Enter without a button of that id do nothing.
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
  SendMessageW(w, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
  EXPECT_TRUE(form->Visible());
  EXPECT_EQ(firsts + seconds, 0);
}

TEST_F(Win32Ui, PanelClickAndDeviceChangeReachTheirHandlers) {
  auto form = factory.CreateForm({.Name = "F", .ClientWidth = 200, .ClientHeight = 100}, nullptr);
  auto* panel = factory.CreatePanel(*form, nullptr, {.Name = "P", .Bounds = {0, 0, 200, 50}});
  int clicks = 0, changes = 0;
  panel->OnClick = [&](TObject*) { ++clicks; };
  dynamic_cast<win32ui::TForm&>(*form).OnDeviceChange = [&] { ++changes; };
  form->Show();
  HWND p = H(win32ui::TFactory::Window(*panel));
  SendMessageW(p, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(p, WM_LBUTTONUP, 0, MAKELPARAM(5, 5));
  EXPECT_EQ(clicks, 1);
  SendMessageW(p, WM_LBUTTONDOWN, MK_LBUTTON, MAKELPARAM(5, 5));
  SendMessageW(p, WM_LBUTTONUP, 0, MAKELPARAM(S(300), 5));  // let go outside: no click
  EXPECT_EQ(clicks, 1);
  SendMessageW(H(win32ui::TFactory::Window(*form)), WM_DEVICECHANGE, 0x0007, 0);
  EXPECT_EQ(changes, 1);
}

TEST_F(Win32Ui, TimersTickOnTheLoopWithTheirSemantics) {
  auto form = factory.CreateForm({.Name = "F"}, nullptr);
  TTimer* ticking = factory.CreateTimer(*form, {.Name = "T", .Enabled = true, .Interval = 40});
  TTimer* idle = factory.CreateTimer(*form, {.Name = "I", .Enabled = false, .Interval = 10});
  int ticks = 0, idle_ticks = 0;
  bool on_main = true;
  ticking->OnTimer = [&](TObject*) {
    on_main = on_main && app.IsMainThread();
    if (++ticks == 3) ticking->SetEnabled(false);
  };
  idle->OnTimer = [&](TObject*) { ++idle_ticks; };
  const auto start = Clock::now();
  ASSERT_TRUE(PumpUntil(app, [&] { return ticks == 3; }));
  EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(3 * 40 - 20));
  Pump(app, 150);
  EXPECT_EQ(ticks, 3);  // disabled in its own tick
  EXPECT_EQ(idle_ticks, 0);
  EXPECT_TRUE(on_main);

  // Poked after 200 ms of a 400 ms count: the same interval keeps the count, another restarts it.
  struct Case {
    unsigned interval;
    bool restarts;
  } cases[] = {{400, false}, {500, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.interval);
    TTimer* t = factory.CreateTimer(*form, {.Name = "R", .Enabled = true, .Interval = 400});
    Clock::time_point first{};
    t->OnTimer = [&](TObject*) {
      if (first == Clock::time_point{}) first = Clock::now();
    };
    const auto armed = Clock::now();
    Pump(app, 200);
    t->SetInterval(c.interval);
    t->SetEnabled(true);  // already running: no restart either
    ASSERT_TRUE(PumpUntil(app, [&] { return first != Clock::time_point{}; }));
    const auto after = std::chrono::duration_cast<std::chrono::milliseconds>(first - armed);
    if (c.restarts)
      EXPECT_GE(after.count(), 200 + 500 - 30);
    else
      EXPECT_LT(after.count(), 200 + 400 - 30);
    t->SetEnabled(false);
  }
}

TEST_F(Win32Ui, PostAndSynchronizeFromAnotherThreadRunOnTheLoop) {
  std::vector<int> order;
  std::atomic<bool> synced{false};
  bool sync_on_main = false;
  std::thread worker([&] {
    for (int i = 0; i < 200; ++i) app.Post([&order, i] { order.push_back(i); });
    synced = app.Synchronize([&] { sync_on_main = app.IsMainThread(); });
    app.Post([&] { app.Terminate(); });
  });
  app.Run();
  worker.join();
  EXPECT_TRUE(synced);
  EXPECT_TRUE(sync_on_main);
  ASSERT_EQ(order.size(), 200u);
  for (int i = 0; i < 200; ++i) EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
  EXPECT_TRUE(app.Terminated());
  // The loop has ended: a waiting thread is never stranded.
  bool late = true;
  std::thread([&] { late = app.Synchronize([] {}); }).join();
  EXPECT_FALSE(late);
}

TEST_F(Win32Ui, PostedWorkKeepsItsOrderAcrossAModalLoop) {
  auto dialog = factory.CreateForm({.Name = "D"}, nullptr);
  std::vector<std::string> order;
  std::thread worker;
  dialog->OnShow = [&](TObject*) {
    // Queued behind the modal work before it started, and from another thread while it runs.
    worker = std::thread([&] {
      app.Synchronize([&] { order.push_back("synchronized in the dialog"); });
      app.Post([&] { dialog->SetModalResult(mrOk); });
    });
  };
  app.Post([&] {
    order.push_back("modal");
    EXPECT_EQ(dialog->ShowModal(), mrOk);
    order.push_back("modal ended");
  });
  app.Post([&] { order.push_back("queued second"); });
  ASSERT_TRUE(PumpUntil(app, [&] { return order.size() == 4; }));
  worker.join();
  EXPECT_EQ(order, (std::vector<std::string>{"modal", "queued second", "synchronized in the dialog",
                                             "modal ended"}));
}

TEST_F(Win32Ui, ModalFormEndsThroughItsCloseSteps) {
  auto owner =
      factory.CreateForm({.Name = "Main", .ClientWidth = 616, .ClientHeight = 194}, nullptr);
  owner->Show();
  auto dialog = factory.CreateForm({.Name = "Info",
                                    .ClientWidth = 346,
                                    .ClientHeight = 109,
                                    .BorderStyle = bsDialog,
                                    .Position = poOwnerFormCenter},
                                   owner.get());
  auto* ok = factory.CreateButton(*dialog, nullptr,
                                  {.Name = "B_Ok", .Bounds = {133, 66, 85, 30}, .Caption = "Ok"});
  HWND d = H(win32ui::TFactory::Window(*dialog));
  HWND o = H(win32ui::TFactory::Window(*owner));
  EXPECT_EQ(GetWindow(d, GW_OWNER), o);

  enum Way { TitleBar, TitleBarOkOnClose, KeptOnceThenClosed, OkButton };
  struct Case {
    Way way;
    TModalResult result;
    int closes;
  } cases[] = {{TitleBar, mrCancel, 1},
               {TitleBarOkOnClose, mrOk, 1},
               {KeptOnceThenClosed, mrCancel, 2},
               {OkButton, mrOk, 1}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.way);
    int closes = 0;
    bool owner_enabled = true;
    RECT dr{}, or_{};
    dialog->OnShow = [&](TObject*) {
      owner_enabled = IsWindowEnabled(o) != FALSE;
      GetWindowRect(d, &dr);
      GetWindowRect(o, &or_);
      if (c.way == OkButton)
        PostMessageW(H(win32ui::TFactory::Window(*ok)), BM_CLICK, 0, 0);
      else
        PostMessageW(d, WM_CLOSE, 0, 0);
    };
    dialog->OnClose = [&](TObject*, TCloseAction& action) {
      EXPECT_EQ(action, caHide);
      ++closes;
      if (c.way == TitleBarOkOnClose) dialog->SetModalResult(mrOk);
      if (c.way == KeptOnceThenClosed && closes == 1) {
        action = caNone;
        PostMessageW(d, WM_CLOSE, 0, 0);
      }
    };
    ok->OnClick = [&](TObject*) { dialog->SetModalResult(mrOk); };
    EXPECT_EQ(dialog->ShowModal(), c.result);
    EXPECT_EQ(closes, c.closes);
    EXPECT_FALSE(owner_enabled);
    EXPECT_TRUE(IsWindowEnabled(o));
    EXPECT_FALSE(dialog->Visible());
    EXPECT_NEAR((dr.left + dr.right) / 2, (or_.left + or_.right) / 2, 1);
    EXPECT_NEAR((dr.top + dr.bottom) / 2, (or_.top + or_.bottom) / 2, 1);
  }
}

TEST_F(Win32Ui, InformationDialogEndsWithOkByButtonOrTitleBar) {
  auto main =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 616, .ClientHeight = 194}, nullptr);
  main->Show();
  std::vector<std::string> sounds;
  TForm_Info info(factory, main.get(), [&](const std::string& alias) {
    sounds.push_back(alias);
    return true;
  });
  HWND d = H(win32ui::TFactory::Window(*info.Form));
  RECT client;
  GetClientRect(d, &client);
  EXPECT_EQ(client.right, S(346));
  EXPECT_EQ(client.bottom, S(109));
  EXPECT_TRUE(GetWindowLongW(d, GWL_EXSTYLE) & WS_EX_DLGMODALFRAME);
  EXPECT_FALSE(GetWindowLongW(d, GWL_STYLE) & WS_MINIMIZEBOX);
  for (const bool by_button : {true, false}) {
    SCOPED_TRACE(by_button);
    info.info_text = "Bad data!";
    info.info_caption = "Error";
    info.info_sound = "SystemHand";
    std::wstring caption, text;
    bool focused = false;
    app.Post([&] {  // runs in the dialog's loop, once it shows
      caption = Text(d);
      text = Text(H(win32ui::TFactory::Window(*info.L_Info)));
      HWND ok = H(win32ui::TFactory::Window(*info.B_Ok));
      focused = GetFocus() == ok;
      PostMessageW(by_button ? ok : d, by_button ? BM_CLICK : WM_CLOSE, 0, 0);
    });
    EXPECT_EQ(info.Form->ShowModal(), mrOk);
    EXPECT_EQ(caption, L"Error");
    EXPECT_EQ(text, L"Bad data!");
    EXPECT_TRUE(focused);
    EXPECT_FALSE(IsWindowVisible(d));
  }
  EXPECT_EQ(sounds, (std::vector<std::string>{"SystemHand", "SystemHand"}));
}

// The system's keys as the user types them, to the window that has the focus.
void PostKey(UINT key) {
  HWND focus = GetFocus();
  PostMessageW(focus, WM_KEYDOWN, key, 1);
  PostMessageW(focus, WM_KEYUP, key, 0xC0000001);
}

TEST_F(Win32Ui, InformationDialogGrowsToShowALongMessageAndKeysCloseIt) {
  auto main =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 616, .ClientHeight = 194}, nullptr);
  main->Show();
  TForm_Info info(factory, main.get(), [](const std::string&) { return true; });
  HWND d = H(win32ui::TFactory::Window(*info.Form));
  HWND label = H(win32ui::TFactory::Window(*info.L_Info));
  HWND ok = H(win32ui::TFactory::Window(*info.B_Ok));
  const std::string message =
      "The workbook was saved as C:\\Users\\laboratory-user\\Documents\\Quarrow-exports\\2026\\"
      "December\\Quarrow_2026-12-09_18-59-21.xlsx. Open it from there.";
  struct Case {
    std::string text;
    UINT key;
    bool grown;
  } cases[] = {{message, VK_RETURN, true},
               {"Archive is empty!", VK_ESCAPE, false},
               {message, VK_ESCAPE, true}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    info.info_text = c.text;
    RECT client{}, label_place{}, ok_place{}, window{};
    std::wstring shown;
    int widest = 0;
    app.Post([&] {  // runs in the dialog's loop, once it shows
      GetClientRect(d, &client);
      GetWindowRect(d, &window);
      label_place = PlaceIn(label);
      ok_place = PlaceIn(ok);
      shown = Text(label);
      HDC dc = GetDC(label);
      HGDIOBJ old = SelectObject(dc, reinterpret_cast<HFONT>(SendMessageW(d, WM_GETFONT, 0, 0)));
      for (std::size_t at = 0; at <= shown.size();) {
        std::size_t end = shown.find(L"\r\n", at);
        if (end == std::wstring::npos) end = shown.size();
        SIZE size{};
        GetTextExtentPoint32W(dc, shown.c_str() + at, static_cast<int>(end - at), &size);
        widest = std::max(widest, static_cast<int>(size.cx));
        at = end + 2;
      }
      SelectObject(dc, old);
      ReleaseDC(label, dc);
      PostKey(c.key);
    });
    EXPECT_EQ(info.Form->ShowModal(), mrOk);
    EXPECT_FALSE(IsWindowVisible(d));
    std::wstring letters;
    for (const wchar_t ch : shown)
      if (ch != L'\r' && ch != L'\n' && ch != L' ') letters += ch;
    std::wstring expected;
    for (const char ch : c.text)
      if (ch != ' ') expected += static_cast<wchar_t>(ch);
    EXPECT_EQ(letters, expected);  // the whole text, not cut
    EXPECT_LE(widest, label_place.right - label_place.left);
    EXPECT_LE(label_place.bottom, ok_place.top);
    EXPECT_LE(ok_place.bottom, client.bottom);
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(d, MONITOR_DEFAULTTOPRIMARY), &monitor);
    EXPECT_GE(window.left, monitor.rcWork.left);
    EXPECT_LE(window.right, monitor.rcWork.right);
    EXPECT_GE(window.top, monitor.rcWork.top);
    EXPECT_LE(window.bottom, monitor.rcWork.bottom);
    if (c.grown) {
      EXPECT_GT(client.right, S(346));
      EXPECT_GT(client.bottom, S(109));
      EXPECT_NE(shown.find(L"\\\r\n"), std::wstring::npos);  // the path broke after a separator
    } else {
      EXPECT_EQ(client.right, S(346));
      EXPECT_EQ(client.bottom, S(109));
      ExpectRect(ok_place, Scaled(133, 66, 85, 30));
    }
  }
}

TEST_F(Win32Ui, ReturnPressesTheFocusedButtonOnAPanelToo) {
  auto form = factory.CreateForm({.Name = "F", .ClientWidth = 300, .ClientHeight = 100}, nullptr);
  auto* panel = factory.CreatePanel(*form, nullptr, {.Name = "P", .Bounds = {0, 0, 300, 50}});
  auto* inner = factory.CreateButton(*form, panel, {.Name = "A", .Bounds = {0, 0, 80, 30}});
  auto* outer = factory.CreateButton(*form, nullptr, {.Name = "B", .Bounds = {0, 60, 80, 30}});
  std::string clicked;
  inner->OnClick = [&](TObject*) { clicked += "inner "; };
  outer->OnClick = [&](TObject*) { clicked += "outer "; };
  form->Show();
  struct Case {
    TButton* focus;
    UINT key;
    const char* clicked;
  } cases[] = {{inner, VK_RETURN, "inner "}, {outer, VK_RETURN, "outer "}, {inner, VK_ESCAPE, ""}};
  for (const Case& c : cases) {
    clicked.clear();
    c.focus->SetFocus();
    PostKey(c.key);
    Pump(app, 200);
    EXPECT_EQ(clicked, c.clicked);
    EXPECT_TRUE(form->Visible());
  }
}

TEST_F(Win32Ui, ClosingTheMainFormEndsTheLoopAndTerminateEndsAModalLoop) {
  auto main = factory.CreateForm({.Name = "Main"}, nullptr);
  auto dialog = factory.CreateForm({.Name = "D"}, main.get());
  app.SetMainForm(main.get());
  int main_closes = 0;
  TModalResult result = mrNone;
  main->OnClose = [&](TObject*, TCloseAction&) { ++main_closes; };
  main->OnShow = [&](TObject*) {
    app.Post([&] {
      dialog->OnShow = [&](TObject*) { app.Post([&] { app.Terminate(); }); };
      result = dialog->ShowModal();
    });
  };
  main->Show();
  app.Run();
  EXPECT_EQ(result, mrCancel);
  EXPECT_EQ(main_closes, 0);
  EXPECT_TRUE(app.Terminated());

  // A second application on the same thread, whose main form the title bar closes.
  win32ui::TApp second;
  win32ui::TFactory f2(second);
  auto form = f2.CreateForm({.Name = "Main2"}, nullptr);
  second.SetMainForm(form.get());
  int closes = 0;
  form->OnClose = [&](TObject*, TCloseAction&) { ++closes; };
  form->Show();
  PostMessageW(H(win32ui::TFactory::Window(*form)), WM_CLOSE, 0, 0);
  second.Run();
  EXPECT_EQ(closes, 1);
  EXPECT_FALSE(form->Visible());
}

// What a message box of this thread shows; pressing its OK button.
struct TBoxSeen {
  std::wstring caption;
  std::vector<std::wstring> texts;
  HWND owner = nullptr;
  bool icon = false;
};

// The thread's visible system dialog (a message box or the file dialog), or none.
HWND VisibleDialogOf(DWORD thread) {
  HWND found = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM p) -> BOOL {
        if (ClassOf(w) == L"#32770" && IsWindowVisible(w)) {
          *reinterpret_cast<HWND*>(p) = w;
          return FALSE;
        }
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

TBoxSeen AnswerMessageBox(DWORD thread) {
  TBoxSeen seen;
  for (int i = 0; i < 500; ++i) {
    HWND box = VisibleDialogOf(thread);
    if (box) {
      seen.caption = Text(box);
      seen.owner = GetWindow(box, GW_OWNER);
      EnumChildWindows(
          box,
          [](HWND w, LPARAM p) -> BOOL {
            auto& s = *reinterpret_cast<TBoxSeen*>(p);
            if (ClassOf(w) == L"Static") {
              if ((GetWindowLongW(w, GWL_STYLE) & SS_TYPEMASK) == SS_ICON)
                s.icon = SendMessageW(w, STM_GETICON, 0, 0) != 0;
              else if (!Text(w).empty())
                s.texts.push_back(Text(w));
            }
            return TRUE;
          },
          reinterpret_cast<LPARAM>(&seen));
      PostMessageW(box, WM_COMMAND, IDOK, 0);
      return seen;
    }
    Sleep(10);
  }
  return seen;
}

TEST_F(Win32Ui, ErrorReportIsAnErrorBoxWithTheTitleOwnedByTheActiveWindow) {
  app.SetTitle("Quarrow VORNEX");
  auto form =
      factory.CreateForm({.Name = "Main", .ClientWidth = 300, .ClientHeight = 100}, nullptr);
  form->Show();
  SetActiveWindow(H(win32ui::TFactory::Window(*form)));
  HWND active = GetActiveWindow();
  const DWORD self = GetCurrentThreadId();
  struct Case {
    std::exception_ptr error;
    const wchar_t* shown;
  } cases[] = {
      {std::make_exception_ptr(Exception("Port busy")), L"Port busy."},
      {std::make_exception_ptr(Exception("Done.")), L"Done."},
      {std::make_exception_ptr(Exception("Stop!")), L"Stop!"},
      {std::make_exception_ptr(Exception("Gr\xC3\xBC\xC3\x9F")), L"Gr\u00FC\u00DF."},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.shown);
    TBoxSeen seen;
    std::thread answer([&] { seen = AnswerMessageBox(self); });
    app.ShowException(c.error);
    answer.join();
    EXPECT_EQ(seen.caption, L"Quarrow VORNEX");
    ASSERT_EQ(seen.texts.size(), 1u);
    EXPECT_EQ(seen.texts[0], c.shown);
    EXPECT_TRUE(seen.icon);
    EXPECT_EQ(seen.owner, active);
  }
  // An exception escaping a handler: the innermost one's message.
  TBoxSeen seen;
  std::thread answer([&] { seen = AnswerMessageBox(self); });
  app.Guard([] {
    try {
      throw Exception("Access denied");
    } catch (...) {
      std::throw_with_nested(Exception("Export failed"));
    }
  });
  answer.join();
  ASSERT_EQ(seen.texts.size(), 1u);
  EXPECT_EQ(seen.texts[0], L"Access denied.");
  // The silent abort shows nothing and does not wait.
  const auto start = Clock::now();
  app.ShowException(std::make_exception_ptr(EAbort()));
  EXPECT_LT(Clock::now() - start, std::chrono::milliseconds(500));
}

TEST_F(Win32Ui, BusyCursorShowsWhileAnyPushIsNotPopped) {
  auto form = factory.CreateForm({.Name = "F"}, nullptr);
  HWND w = H(win32ui::TFactory::Window(*form));
  HCURSOR wait = LoadCursorW(nullptr, IDC_WAIT);
  SetCursor(LoadCursorW(nullptr, IDC_ARROW));
  app.PushBusyCursor();
  app.PushBusyCursor();
  EXPECT_EQ(GetCursor(), wait);
  app.PopBusyCursor();
  EXPECT_EQ(GetCursor(), wait);
  EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), HTCLIENT), TRUE);
  app.PopBusyCursor();
  app.PopBusyCursor();  // one too many: harmless
  EXPECT_EQ(app.BusyDepth(), 0);
  EXPECT_EQ(GetCursor(), LoadCursorW(nullptr, IDC_ARROW));
  EXPECT_EQ(SendMessageW(w, WM_SETCURSOR, reinterpret_cast<WPARAM>(w), HTCLIENT), FALSE);
}

// The colour at (x, y) of the icon drawn at its own size on white.
COLORREF IconPixel(HICON icon, int size, int x, int y) {
  HDC screen = GetDC(nullptr);
  HDC dc = CreateCompatibleDC(screen);
  HBITMAP bmp = CreateCompatibleBitmap(screen, size, size);
  HGDIOBJ old = SelectObject(dc, bmp);
  RECT all{0, 0, size, size};
  FillRect(dc, &all, static_cast<HBRUSH>(GetStockObject(WHITE_BRUSH)));
  DrawIconEx(dc, 0, 0, icon, size, size, 0, nullptr, DI_NORMAL);
  const COLORREF c = GetPixel(dc, x, y);
  SelectObject(dc, old);
  DeleteObject(bmp);
  DeleteDC(dc);
  ReleaseDC(nullptr, screen);
  return c;
}

TEST_F(Win32Ui, FormsShowTheProgramsIconInBothSizes) {
  auto form =
      factory.CreateForm({.Name = "Form_Main", .ClientWidth = 200, .ClientHeight = 100}, nullptr);
  HWND w = H(win32ui::TFactory::Window(*form));
  struct Case {
    int index, metric;
  } cases[] = {{GCLP_HICON, SM_CXICON}, {GCLP_HICONSM, SM_CXSMICON}};
  for (const Case& c : cases) {
    const auto icon = reinterpret_cast<HICON>(GetClassLongPtrW(w, c.index));
    ASSERT_NE(icon, nullptr) << c.index;
    EXPECT_NE(icon, LoadIconW(nullptr, IDI_APPLICATION)) << c.index;
    // The hammer's blue body, left of its scale, a little below the middle of the drawing.
    const int size = GetSystemMetrics(c.metric);
    const COLORREF body = IconPixel(icon, size, size * 35 / 100, size * 55 / 100);
    EXPECT_GT(GetBValue(body), 140) << c.index << " " << std::hex << body;
    EXPECT_LT(GetRValue(body), 90) << c.index << " " << std::hex << body;
  }
}

TEST(Win32Manifest, SelectsTheCommonControlsOfVersion6) {
  win32ui::TApp app;  // loads the common controls
  HMODULE controls = GetModuleHandleW(L"comctl32.dll");
  ASSERT_NE(controls, nullptr);
  // Version 6 lives in its side-by-side assembly; version 5 in the system folder. Wine's copy in
  // the assembly reports 5.81 all the same, so the folder tells.
  wchar_t path[MAX_PATH] = {};
  GetModuleFileNameW(controls, path, MAX_PATH);
  std::wstring file = path;
  for (auto& c : file) c = static_cast<wchar_t>(towlower(c));
  const auto get_version = reinterpret_cast<DLLGETVERSIONPROC>(
      reinterpret_cast<void*>(GetProcAddress(controls, "DllGetVersion")));
  ASSERT_NE(get_version, nullptr);
  DLLVERSIONINFO version{};
  version.cbSize = sizeof(version);
  ASSERT_EQ(get_version(&version), S_OK);
  EXPECT_TRUE(version.dwMajorVersion == 6 ||
              file.find(L"microsoft.windows.common-controls_6595b64144ccf1df_6.") !=
                  std::wstring::npos)
      << version.dwMajorVersion << " " << path;
}

// What the common save dialog of this thread offers; then it types a name and presses Save.
struct TDialogSeen {
  std::vector<std::wstring> filters;
  HWND dialog = nullptr;
  HWND owner = nullptr;
  bool found = false;
};

TDialogSeen AnswerSaveDialog(DWORD thread, const std::wstring& name) {
  TDialogSeen seen;
  for (int i = 0; i < 1000 && !seen.found; ++i, Sleep(10)) {
    HWND dialog = VisibleDialogOf(thread);
    constexpr int kFileTypes = 0x470, kFileNameBox = 0x47C, kFileNameEdit = 0x480;
    HWND types = dialog ? GetDlgItem(dialog, kFileTypes) : nullptr;
    if (!types) continue;
    seen.found = true;
    seen.dialog = dialog;
    seen.owner = GetWindow(dialog, GW_OWNER);
    const int count = static_cast<int>(SendMessageW(types, CB_GETCOUNT, 0, 0));
    for (int k = 0; k < count; ++k) {
      wchar_t text[128] = {};
      SendMessageW(types, CB_GETLBTEXT, static_cast<WPARAM>(k), reinterpret_cast<LPARAM>(text));
      seen.filters.push_back(text);
    }
    HWND box = GetDlgItem(dialog, kFileNameBox);
    SetWindowTextW(box ? box : GetDlgItem(dialog, kFileNameEdit), name.c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
  }
  return seen;
}

TEST_F(Win32Ui, SaveDialogOpensInItsFolderAndAddsTheExtension) {
  wchar_t temp[MAX_PATH] = {};
  GetTempPathW(MAX_PATH, temp);
  const std::wstring folder =
      std::wstring(temp) + L"q2e_save_" + std::to_wstring(GetCurrentProcessId());
  CreateDirectoryW(folder.c_str(), nullptr);
  auto form =
      factory.CreateForm({.Name = "Main", .ClientWidth = 300, .ClientHeight = 100}, nullptr);
  form->Show();
  TSaveDialog* dialog = factory.CreateSaveDialog(
      *form, {.Name = "SaveAsText",
              .DefaultExt = "txt",
              .Filter = "Text files (*.txt)|*.txt|PDF protocol (*.pdf)|*.pdf|All Files (*.*)|*.*",
              .Options = ofOverwritePrompt | ofPathMustExist | ofHideReadOnly | ofEnableSizing});
  // The dialog opens on the type given, whose extension a bare name takes.
  dialog->SetFilterIndex(2);
  const int length =
      WideCharToMultiByte(CP_UTF8, 0, folder.c_str(), -1, nullptr, 0, nullptr, nullptr);
  std::string folder8(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, folder.c_str(), -1, folder8.data(), length, nullptr, nullptr);
  folder8.pop_back();
  dialog->SetInitialDir(folder8);
  TDialogSeen seen;
  const DWORD self = GetCurrentThreadId();
  std::thread answer([&] { seen = AnswerSaveDialog(self, L"report"); });
  const bool chosen = dialog->Execute();
  answer.join();
  ASSERT_TRUE(seen.found);
  EXPECT_EQ(seen.owner, H(win32ui::TFactory::Window(*form)));
  EXPECT_EQ(seen.filters, (std::vector<std::wstring>{L"Text files (*.txt)", L"PDF protocol (*.pdf)",
                                                     L"All Files (*.*)"}));
  ASSERT_TRUE(chosen);
  EXPECT_EQ(dialog->FilterIndex(), 2);
  EXPECT_EQ(dialog->FileName(), folder8 + "\\report.pdf");
  RemoveDirectoryW(folder.c_str());
}

// The common dialog itself refuses a file in a folder that does not exist: it says so in a
// message box of its own and stays open.
TEST_F(Win32Ui, SaveDialogRefusesAMissingFolderWithAMessageAndStays) {
  auto form =
      factory.CreateForm({.Name = "Main", .ClientWidth = 300, .ClientHeight = 100}, nullptr);
  form->Show();
  TSaveDialog* dialog = factory.CreateSaveDialog(
      *form, {.Name = "SaveAsText",
              .DefaultExt = "txt",
              .Filter = "Text files (*.txt)|*.txt|All Files (*.*)|*.*",
              .Options = ofOverwritePrompt | ofPathMustExist | ofHideReadOnly | ofEnableSizing});
  const DWORD self = GetCurrentThreadId();
  TBoxSeen box;
  HWND file_dialog = nullptr;
  bool stayed = false;
  std::thread answer([&] {
    const TDialogSeen seen = AnswerSaveDialog(self, L"C:\\q2e-no-such-folder\\report.txt");
    if (!seen.found) return;
    file_dialog = seen.dialog;
    std::pair<HWND, TBoxSeen*> context(file_dialog, &box);
    // The message is a second dialog, owned by the file dialog.
    for (int i = 0; i < 500 && box.texts.empty(); ++i, Sleep(10)) {
      EnumThreadWindows(
          self,
          [](HWND w, LPARAM p) -> BOOL {
            auto& seen = *reinterpret_cast<std::pair<HWND, TBoxSeen*>*>(p);
            if (ClassOf(w) != L"#32770" || !IsWindowVisible(w) || w == seen.first ||
                GetWindow(w, GW_OWNER) != seen.first)
              return TRUE;
            seen.second->owner = GetWindow(w, GW_OWNER);
            EnumChildWindows(
                w,
                [](HWND c, LPARAM q) -> BOOL {
                  if (ClassOf(c) == L"Static" && !Text(c).empty())
                    reinterpret_cast<TBoxSeen*>(q)->texts.push_back(Text(c));
                  return TRUE;
                },
                reinterpret_cast<LPARAM>(seen.second));
            PostMessageW(w, WM_COMMAND, IDOK, 0);
            return FALSE;
          },
          reinterpret_cast<LPARAM>(&context));
    }
    Sleep(300);
    stayed = IsWindowVisible(file_dialog) != FALSE;
    PostMessageW(file_dialog, WM_COMMAND, IDCANCEL, 0);
  });
  const bool chosen = dialog->Execute();
  answer.join();
  EXPECT_FALSE(chosen);
  EXPECT_TRUE(stayed);
  ASSERT_FALSE(box.texts.empty()) << "no message";
  EXPECT_EQ(box.owner, file_dialog);
}

TEST(Win32SaveDialog, FilterAndOptionsInTheCommonDialogsForm) {
  struct Case {
    const char* filter;
    std::wstring want;
  } cases[] = {
      {"Text files (*.txt)|*.txt|All Files (*.*)|*.*",
       std::wstring(L"Text files (*.txt)\0*.txt\0All Files (*.*)\0*.*\0\0", 46)},
      {"A|*.a", std::wstring(L"A\0*.a\0\0", 7)},
      {"", L""},
  };
  for (const Case& c : cases) EXPECT_EQ(win32ui::DialogFilter(c.filter), c.want) << c.filter;
  EXPECT_EQ(win32ui::SaveDialogFlags(0), 0u);
  EXPECT_EQ(win32ui::SaveDialogFlags(ofOverwritePrompt | ofPathMustExist | ofHideReadOnly |
                                     ofEnableSizing),
            static_cast<unsigned long>(OFN_OVERWRITEPROMPT | OFN_PATHMUSTEXIST | OFN_HIDEREADONLY |
                                       OFN_ENABLESIZING));
  EXPECT_EQ(win32ui::SaveDialogFlags(ofHideReadOnly), static_cast<unsigned long>(OFN_HIDEREADONLY));
}

}  // namespace
