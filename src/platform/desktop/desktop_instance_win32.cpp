// The claim is a named mutex in the session's namespace; the holder marks its window with a
// property, and a later start finds that window and activates it itself: as the program the
// user just started it may bring a window to the front, which a program in the background may
// not.
#include <windows.h>

#include <chrono>
#include <thread>

#include "platform/desktop/desktop_instance.h"
#include "platform/language/utf16_win32.h"

namespace {

constexpr const wchar_t* kMark = L"Quarrow2Excel.DesktopInstance";
constexpr auto kFindFor = std::chrono::seconds(5);  // the holder may still be starting

class TWin32Instance : public TDesktopInstance {
 public:
  explicit TWin32Instance(HANDLE mutex) : mutex_(mutex) {}
  ~TWin32Instance() override {
    if (window_ && IsWindow(window_)) RemovePropW(window_, kMark);
    if (mutex_) CloseHandle(mutex_);
  }
  void Attach(void* window, std::function<void()>) override {
    window_ = static_cast<HWND>(window);
    if (window_) SetPropW(window_, kMark, reinterpret_cast<HANDLE>(1));
  }

 private:
  HANDLE mutex_;
  HWND window_ = nullptr;
};

HWND FindMarked() {
  HWND found = nullptr;
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        if (!GetPropW(w, kMark)) return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&found));
  return found;
}

bool ActivateHolder() {
  const auto until = std::chrono::steady_clock::now() + kFindFor;
  HWND window = FindMarked();
  while (!window && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    window = FindMarked();
  }
  if (!window) return false;
  if (IsIconic(window)) ShowWindow(window, SW_RESTORE);
  // A modal dialog of the holder, where one is open, is what takes the input.
  HWND popup = GetLastActivePopup(window);
  SetForegroundWindow(popup ? popup : window);
  return true;
}

}  // namespace

TDesktopClaim ClaimDesktop(const std::string& program) {
  // Local\ is the user's session, which is the desktop here.
  const std::wstring name = L"Local\\" + Widen(DesktopClaimName(program, ""));
  HANDLE mutex = CreateMutexW(nullptr, FALSE, name.c_str());
  const DWORD error = GetLastError();
  // Without a mutex the program runs as the only one.
  if (!mutex) return {std::make_unique<TWin32Instance>(nullptr), false};
  if (error != ERROR_ALREADY_EXISTS) return {std::make_unique<TWin32Instance>(mutex), false};
  CloseHandle(mutex);
  return {nullptr, ActivateHolder()};
}
