#include "main_window_of.h"

#include <string>

HWND MainWindowOf(DWORD process) {
  struct TFind {
    DWORD process;
    HWND found;
  } find{process, nullptr};
  EnumWindows(
      [](HWND w, LPARAM p) -> BOOL {
        auto& f = *reinterpret_cast<TFind*>(p);
        DWORD owner_process = 0;
        GetWindowThreadProcessId(w, &owner_process);
        wchar_t name[32] = {};
        GetClassNameW(w, name, 32);
        if (owner_process != f.process || std::wstring(name) != L"Q2EForm" ||
            GetWindow(w, GW_OWNER) || !IsWindowVisible(w))
          return TRUE;
        f.found = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&find));
  return find.found;
}
