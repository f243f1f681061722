#include "main_window_of.h"

#include <string>

namespace {

HWND ShownFormOf(DWORD process, bool owned) {
  struct TFind {
    DWORD process;
    bool owned;
    HWND found;
  } find{process, owned, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto& f = *reinterpret_cast<TFind*>(p);
        DWORD owner_process = 0;
        GetWindowThreadProcessId(w, &owner_process);
        wchar_t name[32] = {};
        GetClassNameW(w, name, 32);
        if (owner_process != f.process || std::wstring(name) != L"Q2EForm" ||
            (GetWindow(w, GW_OWNER) != nullptr) != f.owned || !IsWindowVisible(w))
          return TRUE;
        f.found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.found;
}

}  // namespace

HWND MainWindowOf(DWORD process) {
  return ShownFormOf(process, false);
}

HWND OwnedFormOf(DWORD process) {
  return ShownFormOf(process, true);
}
