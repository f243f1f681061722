// What the binding's element files share: the form window, the control base and the helpers
// they use. Internal to the binding; included after <windows.h> and <commctrl.h>.
#pragma once

#include <chrono>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "platform/language/utf16_win32.h"
#include "ui/win32/win32_binding.h"

namespace win32ui {

inline constexpr const wchar_t* kFormClass = L"Q2EForm";
inline constexpr const wchar_t* kPanelClass = L"Q2EPanel";
// Control ids start above IDOK and IDCANCEL, which the dialog manager sends for Enter and Escape.
inline constexpr int kFirstControlId = 100;

inline HINSTANCE Instance() {
  return GetModuleHandleW(nullptr);
}

inline std::wstring WindowText(HWND hwnd) {
  const int n = GetWindowTextLengthW(hwnd);
  std::wstring text(static_cast<std::size_t>(n) + 1, L'\0');
  text.resize(static_cast<std::size_t>(GetWindowTextW(hwnd, text.data(), n + 1)));
  return text;
}

[[noreturn]] inline void RaiseLastError(const std::string& what) {
  const DWORD code = GetLastError();
  throw EOSError(what + ": " + Win32ErrorText(code), code);
}

inline int WindowDpi(HWND hwnd, int fallback) {
  using TGetDpiForWindow = UINT(WINAPI*)(HWND);
  static const auto get = reinterpret_cast<TGetDpiForWindow>(
      reinterpret_cast<void*>(GetProcAddress(GetModuleHandleW(L"user32.dll"), "GetDpiForWindow")));
  if (get)
    if (const UINT dpi = get(hwnd)) return static_cast<int>(dpi);
  return fallback;
}

// Paints at once at most once a frame; in between the paint is left to the loop. A loop that
// repaints after every record would otherwise spend its time painting.
class TRepaintPacer {
 public:
  void Repaint(HWND hwnd) {
    const auto now = std::chrono::steady_clock::now();
    if (now - last_ < std::chrono::milliseconds(16)) {
      InvalidateRect(hwnd, nullptr, TRUE);
      return;
    }
    last_ = now;
    RedrawWindow(hwnd, nullptr, nullptr,
                 RDW_INVALIDATE | RDW_ERASE | RDW_ALLCHILDREN | RDW_UPDATENOW);
  }

 private:
  std::chrono::steady_clock::time_point last_{};
};

// What a form routes to the element behind a control id.
class TNative {
 public:
  virtual ~TNative() = default;
  virtual HWND Hwnd() const = 0;
  virtual void Command(int /*code*/) {}
  virtual void DrawItem(const DRAWITEMSTRUCT& /*item*/) {}
  virtual bool IsPushButton() const { return false; }
  // A WM_NOTIFY of the control; true when handled, with its result.
  virtual bool Notify(const NMHDR& /*header*/, LRESULT& /*result*/) { return false; }
};

class TWin32Timer;

class TWin32Form : public TForm {
 public:
  TWin32Form(TApp& app, const TFormSpec& design, ::TForm* owner)
      : app_(app),
        spec_(design),
        owner_(owner),
        style_(WS_CAPTION | WS_SYSMENU | WS_CLIPCHILDREN |
               (design.BorderStyle == bsSingle ? WS_MINIMIZEBOX : 0)),
        ex_style_(WS_EX_CONTROLPARENT | (design.BorderStyle == bsDialog ? WS_EX_DLGMODALFRAME : 0) |
                  (owner ? 0 : WS_EX_APPWINDOW)) {
    HWND owner_window = owner ? static_cast<HWND>(TFactory::Window(*owner)) : nullptr;
    if (!CreateWindowExW(ex_style_, kFormClass, Widen(design.Caption).c_str(), style_,
                         CW_USEDEFAULT, CW_USEDEFAULT, 0, 0, owner_window, nullptr, Instance(),
                         this))
      RaiseLastError("Cannot create the window " + design.Name);
    dpi_ = WindowDpi(hwnd_, app.Dpi());
    Resize();
    font_ = CreateFontW(-Scaled(design.FontHeight), 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE,
                        DEFAULT_CHARSET, OUT_DEFAULT_PRECIS, CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY,
                        DEFAULT_PITCH | FF_DONTCARE, Widen(design.FontName).c_str());
  }

  ~TWin32Form() override {
    if (app_.MainForm() == this) app_.SetMainForm(nullptr);
    // The window goes first, with nothing routed to the elements any more; then the elements.
    by_id_.clear();
    timers_.clear();
    SetWindowLongPtrW(hwnd_, GWLP_USERDATA, 0);
    DestroyWindow(hwnd_);
    elements_.clear();
    if (font_) DeleteObject(font_);
  }

  void SetCaption(const std::string& text) override { SetWindowTextW(hwnd_, Widen(text).c_str()); }
  std::string Caption() const override { return Narrow(WindowText(hwnd_)); }
  int ClientWidth() const override { return spec_.ClientWidth; }
  int ClientHeight() const override { return spec_.ClientHeight; }
  void SetClientSize(int width, int height) override {
    spec_.ClientWidth = width;
    spec_.ClientHeight = height;
    Resize();
    Centre();
  }
  TSize MaxClientSize() const override {
    RECT frame{0, 0, 0, 0};
    AdjustWindowRectEx(&frame, style_, FALSE, ex_style_);
    const RECT work = WorkArea();
    const int w = (work.right - work.left) - (frame.right - frame.left);
    const int h = (work.bottom - work.top) - (frame.bottom - frame.top);
    return {MulDiv(w, 96, dpi_), MulDiv(h, 96, dpi_)};
  }

  void Show() override {
    if (Visible()) return;
    Centre();
    ShowWindow(hwnd_, SW_SHOW);
    // As in a dialog, the first control in the tab order starts with the focus.
    if (HWND focus = GetFocus(); !focus || !IsChild(hwnd_, focus))
      if (HWND first = GetNextDlgTabItem(hwnd_, nullptr, FALSE)) ::SetFocus(first);
    // Before the first paint: OnShow may still lay the form out anew.
    if (OnShow) app_.Guard([this] { OnShow(this); });
    UpdateWindow(hwnd_);
  }

  TModalResult ShowModal() override {
    modal_ = true;
    modal_result_ = mrNone;
    const std::vector<HWND> disabled = DisableOtherWindows();
    Show();
    for (;;) {
      if (modal_result_ != mrNone) {
        if (CloseSteps()) break;
        modal_result_ = mrNone;
      }
      if (app_.Terminated() || !app_.HandleMessage()) {
        modal_result_ = mrCancel;
        break;
      }
    }
    // The owner comes back before the dialog hides, so that it gets the activation.
    for (HWND w : disabled) EnableWindow(w, TRUE);
    ShowWindow(hwnd_, SW_HIDE);
    modal_ = false;
    return modal_result_;
  }

  void Close() override {
    if (modal_) {
      if (modal_result_ == mrNone) modal_result_ = mrCancel;  // the nested loop runs the steps
      return;
    }
    if (!CloseSteps()) return;
    ShowWindow(hwnd_, SW_HIDE);
    if (app_.MainForm() == this) app_.Terminate();
  }

  bool Visible() const override { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
  void BringToFront() override {
    if (IsIconic(hwnd_)) ShowWindow(hwnd_, SW_RESTORE);
    // A modal dialog of the program, where one is open, is what takes the input.
    HWND popup = GetLastActivePopup(hwnd_);
    SetForegroundWindow(popup ? popup : hwnd_);
  }
  void SetModalResult(TModalResult value) override { modal_result_ = value; }
  TModalResult ModalResult() const override { return modal_result_; }
  void Repaint() override { pacer_.Repaint(hwnd_); }

  void* Handle() const override { return hwnd_; }
  int Scaled(int pixels) const override { return MulDiv(pixels, dpi_, 96); }

  TApp& App() const { return app_; }
  HWND Hwnd() const { return hwnd_; }
  HFONT Font() const { return font_; }
  int Dpi() const { return dpi_; }
  // The buttons that Return and Escape press where no button has the focus.
  void SetDefaultButton(TNative* button) { default_ = button; }
  // The control takes the focus, and gets it back when the form is activated again: a form
  // that was inactive at the time does not return it to the control it had before.
  void FocusControl(HWND control) {
    focus_ = control;
    ::SetFocus(control);
  }
  void SetCancelButton(TNative* button) { cancel_ = button; }

  // Control ids: the routing of WM_COMMAND and the owner-draw messages.
  int Register(TNative* element, int item_height) {
    const int id = next_id_++;
    by_id_[id] = element;
    if (item_height > 0) item_heights_[id] = item_height;
    return id;
  }
  void Unregister(int id) {
    by_id_.erase(id);
    item_heights_.erase(id);
  }
  UINT_PTR AddTimer(TWin32Timer* timer) {
    const UINT_PTR id = next_timer_++;
    timers_[id] = timer;
    return id;
  }
  void RemoveTimer(UINT_PTR id) { timers_.erase(id); }

  template <class T>
  T* Adopt(std::unique_ptr<T> element) {
    T* raw = element.get();
    elements_.push_back(std::move(element));
    return raw;
  }

  bool OnMessage(UINT msg, WPARAM wParam, LPARAM lParam, LRESULT& result);
  void Attach(HWND hwnd) { hwnd_ = hwnd; }

 private:
  bool CloseSteps() {
    TCloseAction action = caHide;
    if (OnClose) app_.Guard([&] { OnClose(this, action); });
    return action != caNone;
  }

  HWND OwnerWindow() const {
    return spec_.Position == poOwnerFormCenter && owner_
               ? static_cast<HWND>(TFactory::Window(*owner_))
               : nullptr;
  }
  // The work area of the monitor the form shows on.
  RECT WorkArea() const {
    HWND owner = OwnerWindow();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    GetMonitorInfoW(MonitorFromWindow(owner ? owner : hwnd_, MONITOR_DEFAULTTOPRIMARY), &monitor);
    return monitor.rcWork;
  }
  // The window's size for the client area of spec_.
  void Resize() {
    RECT frame{0, 0, Scaled(spec_.ClientWidth), Scaled(spec_.ClientHeight)};
    AdjustWindowRectEx(&frame, style_, FALSE, ex_style_);
    SetWindowPos(hwnd_, nullptr, 0, 0, frame.right - frame.left, frame.bottom - frame.top,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  void Centre() {
    if (spec_.Position == poDesigned) return;
    RECT window;
    GetWindowRect(hwnd_, &window);
    HWND owner = OwnerWindow();
    MONITORINFO monitor{};
    monitor.cbSize = sizeof(monitor);
    monitor.rcWork = WorkArea();
    RECT area = monitor.rcWork;
    if (owner) GetWindowRect(owner, &area);
    const int w = window.right - window.left, h = window.bottom - window.top;
    int x = area.left + (area.right - area.left - w) / 2;
    int y = area.top + (area.bottom - area.top - h) / 2;
    // Never off the work area, where the title bar could not be reached.
    if (x + w > monitor.rcWork.right) x = monitor.rcWork.right - w;
    if (y + h > monitor.rcWork.bottom) y = monitor.rcWork.bottom - h;
    if (x < monitor.rcWork.left) x = monitor.rcWork.left;
    if (y < monitor.rcWork.top) y = monitor.rcWork.top;
    SetWindowPos(hwnd_, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
  }

  // A modal form leaves the other windows of the program unreachable while it is shown.
  std::vector<HWND> DisableOtherWindows() {
    struct TContext {
      HWND self;
      std::vector<HWND> windows;
    } context{hwnd_, {}};
    EnumThreadWindows(
        GetCurrentThreadId(),
        [](HWND w, LPARAM p) -> BOOL {
          auto& c = *reinterpret_cast<TContext*>(p);
          if (w != c.self && IsWindowVisible(w) && IsWindowEnabled(w)) c.windows.push_back(w);
          return TRUE;
        },
        reinterpret_cast<LPARAM>(&context));
    for (HWND w : context.windows) EnableWindow(w, FALSE);
    return context.windows;
  }

  TNative* Find(int id) const {
    const auto it = by_id_.find(id);
    return it == by_id_.end() ? nullptr : it->second;
  }

  TApp& app_;
  TFormSpec spec_;
  ::TForm* owner_;
  DWORD style_, ex_style_;
  HWND hwnd_ = nullptr;
  HFONT font_ = nullptr;
  TNative* default_ = nullptr;
  TNative* cancel_ = nullptr;
  int dpi_ = 96;
  bool modal_ = false;
  TModalResult modal_result_ = mrNone;
  HWND focus_ = nullptr;  // the control that had the focus when the form was deactivated
  int next_id_ = kFirstControlId;
  UINT_PTR next_timer_ = 1;
  std::map<int, TNative*> by_id_;
  std::map<int, int> item_heights_;
  std::map<UINT_PTR, TWin32Timer*> timers_;
  std::vector<std::unique_ptr<TObject>> elements_;
  TRepaintPacer pacer_;
};

// ---- elements --------------------------------------------------------------------------------

struct TCreate {
  const wchar_t* window_class;
  DWORD style;
  DWORD ex_style = 0;
  std::wstring text;
  int extra_height = 0;  // a drop-down list's room below the field
  int item_height = 0;   // owner-drawn items, in screen pixels
};

inline HWND ParentWindow(TWin32Form& form, ::TPanel* parent) {
  if (auto* native = dynamic_cast<TNative*>(parent)) return native->Hwnd();
  return form.Hwnd();
}

template <class Base>
class TControlOf : public Base, public TNative {
 public:
  TControlOf(::TForm& form, ::TPanel* parent, const TElementSpec& design, const TCreate& how)
      : form_(dynamic_cast<TWin32Form&>(form)), bounds_(design.Bounds) {
    id_ = form_.Register(this, how.item_height);
    const DWORD style = WS_CHILD | how.style | (design.Visible ? WS_VISIBLE : 0) |
                        (design.Enabled ? 0 : WS_DISABLED);
    const TBounds& b = design.Bounds;
    hwnd_ =
        CreateWindowExW(how.ex_style, how.window_class, how.text.c_str(), style,
                        form_.Scaled(b.Left), form_.Scaled(b.Top), form_.Scaled(b.Width),
                        form_.Scaled(b.Height) + how.extra_height, ParentWindow(form_, parent),
                        reinterpret_cast<HMENU>(static_cast<INT_PTR>(id_)), Instance(), nullptr);
    if (!hwnd_) {
      form_.Unregister(id_);
      RaiseLastError("Cannot create the element " + design.Name);
    }
    SendMessageW(hwnd_, WM_SETFONT, reinterpret_cast<WPARAM>(form_.Font()), FALSE);
  }

  void SetVisible(bool value) override { ShowWindow(hwnd_, value ? SW_SHOWNA : SW_HIDE); }
  bool Visible() const override { return (GetWindowLongW(hwnd_, GWL_STYLE) & WS_VISIBLE) != 0; }
  void SetEnabled(bool value) override { EnableWindow(hwnd_, value ? TRUE : FALSE); }
  bool Enabled() const override { return IsWindowEnabled(hwnd_) != FALSE; }
  TBounds Bounds() const override { return bounds_; }
  void SetBounds(const TBounds& b) override {
    bounds_ = b;
    MoveWindow(hwnd_, form_.Scaled(b.Left), form_.Scaled(b.Top), form_.Scaled(b.Width),
               form_.Scaled(b.Height), TRUE);
  }
  void Repaint() override { pacer_.Repaint(hwnd_); }
  HWND Hwnd() const override { return hwnd_; }

 protected:
  // Whether a user could act on it: shown and enabled, and so is every panel it lies on.
  bool Reachable() const {
    for (HWND w = hwnd_; w && w != form_.Hwnd(); w = GetParent(w))
      if (!(GetWindowLongW(w, GWL_STYLE) & WS_VISIBLE) || !IsWindowEnabled(w)) return false;
    return true;
  }
  void Fire(const TNotifyEvent& event) {
    if (event && Reachable()) form_.App().Guard([this, &event] { event(this); });
  }

  TWin32Form& form_;
  HWND hwnd_ = nullptr;
  int id_ = 0;

 private:
  TBounds bounds_;
  TRepaintPacer pacer_;
};

// The list view, made by the factory (list_view_win32.cpp).
std::unique_ptr<::TListView> CreateWin32ListView(::TForm& form, ::TPanel* parent,
                                                 const TElementSpec& design);

}  // namespace win32ui
