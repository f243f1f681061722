#include <windows.h>

#include <commctrl.h>

#include <memory>

#include "base/exceptions.h"
#include "platform/language/utf16_win32.h"
#include "ui/win32/win32_binding.h"
#include "ui/win32/win32_internal.h"

namespace win32ui {

namespace {

constexpr UINT kRunPosted = WM_APP + 1;
constexpr const wchar_t* kMessageClass = L"Q2EMessageWindow";

}  // namespace

struct TAppAccess {
  static LRESULT CALLBACK Proc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == kRunPosted) {
      if (auto* app = reinterpret_cast<TApp*>(GetWindowLongPtrW(hwnd, GWLP_USERDATA)))
        app->RunPosted();
      return 0;
    }
    return DefWindowProcW(hwnd, msg, wParam, lParam);
  }
};

TApp::TApp() : thread_id_(GetCurrentThreadId()) {
  INITCOMMONCONTROLSEX icc{sizeof(icc),
                           ICC_STANDARD_CLASSES | ICC_PROGRESS_CLASS | ICC_LISTVIEW_CLASSES};
  InitCommonControlsEx(&icc);
  RegisterClasses();
  WNDCLASSEXW wc{};
  wc.cbSize = sizeof(wc);
  wc.lpfnWndProc = &TAppAccess::Proc;
  wc.hInstance = GetModuleHandleW(nullptr);
  wc.lpszClassName = kMessageClass;
  RegisterClassExW(&wc);  // fails harmlessly when an earlier application registered it
  HWND window = CreateWindowExW(0, kMessageClass, L"", 0, 0, 0, 0, 0, HWND_MESSAGE, nullptr,
                                wc.hInstance, nullptr);
  if (!window) throw EOSError("Cannot create the message window", GetLastError());
  SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(this));
  window_ = window;
  if (HDC screen = GetDC(nullptr)) {
    dpi_ = GetDeviceCaps(screen, LOGPIXELSY);
    ReleaseDC(nullptr, screen);
  }
  if (dpi_ <= 0) dpi_ = 96;
  if (!TMainThread::Current()) TMainThread::Install(this);
}

TApp::~TApp() {
  End();
  if (TMainThread::Current() == this) TMainThread::Install(nullptr);
  DestroyWindow(static_cast<HWND>(window_));
  // A quit request nobody took must not end the loop of a later application of this thread.
  MSG msg;
  while (PeekMessageW(&msg, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE)) {
  }
}

void TApp::End() {
  {
    std::lock_guard lk(mutex_);
    terminated_ = true;
  }
  cv_.notify_all();
}

void TApp::Run() {
  while (!Terminated())
    if (!HandleMessage()) break;
}

namespace {

void Dispatch(MSG& msg) {
  // The dialog manager gives the forms Tab, the arrow keys, Space and Enter on their controls.
  if (HWND root = msg.hwnd ? GetAncestor(msg.hwnd, GA_ROOT) : nullptr; root && IsFormWindow(root))
    if (IsDialogMessageW(root, &msg)) return;
  TranslateMessage(&msg);
  DispatchMessageW(&msg);
}

}  // namespace

bool TApp::HandleMessage() {
  MSG msg;
  const BOOL got = GetMessageW(&msg, nullptr, 0, 0);
  if (got == 0 || got == -1) {
    End();
    return false;
  }
  Dispatch(msg);
  return true;
}

void TApp::ProcessMessages() {
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
    if (msg.message == WM_QUIT) {
      End();
      return;
    }
    Dispatch(msg);
  }
}

void TApp::Terminate() {
  End();
  // The quit message also ends the system's own modal loops (message box, file dialog).
  if (IsMainThread())
    PostQuitMessage(0);
  else
    PostThreadMessageW(thread_id_, WM_QUIT, 0, 0);
}

bool TApp::Terminated() const {
  std::lock_guard lk(mutex_);
  return terminated_;
}

void TApp::PushBusyCursor() {
  if (busy_++ == 0) cursor_before_busy_ = SetCursor(LoadCursorW(nullptr, IDC_WAIT));
}

void TApp::PopBusyCursor() {
  if (busy_ == 0) return;
  if (--busy_ == 0) {
    HCURSOR before = static_cast<HCURSOR>(cursor_before_busy_);
    SetCursor(before ? before : LoadCursorW(nullptr, IDC_ARROW));
  }
}

bool TApp::IsMainThread() const {
  return GetCurrentThreadId() == thread_id_;
}

void TApp::Post(std::function<void()> fn) {
  bool wake = false;
  {
    std::lock_guard lk(mutex_);
    posted_.push_back([this, fn = std::move(fn)] { Guard(fn); });
    wake = !wake_pending_;
    wake_pending_ = true;
  }
  // One wake-up for the whole batch: the queue of the window never fills up.
  if (wake && !PostMessageW(static_cast<HWND>(window_), kRunPosted, 0, 0)) {
    std::lock_guard lk(mutex_);
    wake_pending_ = false;
  }
}

bool TApp::Synchronize(std::function<void()> fn) {
  if (IsMainThread()) {
    Guard(fn);
    return true;
  }
  return SynchronizeThroughPost(
      mutex_, cv_, terminated_, [this](std::function<void()> f) { Post(std::move(f)); },
      [this](const std::function<void()>& f) { Guard(f); }, std::move(fn));
}

void TApp::RunPosted() {
  {
    std::lock_guard lk(mutex_);
    wake_pending_ = false;  // this wake-up is taken
  }
  for (;;) {
    std::function<void()> fn;
    bool wake = false;
    {
      std::lock_guard lk(mutex_);
      if (posted_.empty()) return;
      fn = std::move(posted_.front());
      posted_.pop_front();
      // Work that runs a nested loop (a modal dialog) must leave the rest to that loop, in order.
      wake = !posted_.empty() && !wake_pending_;
      if (wake) wake_pending_ = true;
    }
    if (wake) PostMessageW(static_cast<HWND>(window_), kRunPosted, 0, 0);
    fn();
  }
}

void TApp::ShowErrorBox(const std::string& text) {
  HWND owner = GetActiveWindow();
  MessageBoxW(owner, Widen(text).c_str(), Widen(title_).c_str(), MB_OK | MB_ICONERROR);
}

}  // namespace win32ui
