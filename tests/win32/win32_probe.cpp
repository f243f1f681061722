#include "win32_probe.h"

#include <windows.h>

#include <commdlg.h>

#include <string>

#include "platform/language/utf16_win32.h"

namespace probe {
namespace {
HWND H(void* p) {
  return static_cast<HWND>(p);
}
}  // namespace

std::string Text(void* window) {
  wchar_t buf[512] = {};
  GetWindowTextW(H(window), buf, 512);
  return Narrow(buf);
}

TRect PlaceInParent(void* window) {
  RECT r;
  GetWindowRect(H(window), &r);
  MapWindowPoints(nullptr, GetParent(H(window)), reinterpret_cast<POINT*>(&r), 2);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

TRect Client(void* window) {
  RECT r;
  GetClientRect(H(window), &r);
  return {r.left, r.top, r.right - r.left, r.bottom - r.top};
}

void* Parent(void* window) {
  return GetParent(H(window));
}
bool Shown(void* window) {
  return IsWindowVisible(H(window)) != FALSE;
}
bool Enabled(void* window) {
  return IsWindowEnabled(H(window)) != FALSE;
}
std::intptr_t Send(void* window, unsigned message, std::uintptr_t wParam, std::intptr_t lParam) {
  return SendMessageW(H(window), message, wParam, lParam);
}
void PostClose(void* window) {
  PostMessageW(H(window), WM_CLOSE, 0, 0);
}
void PostClick(void* window) {
  PostMessageW(H(window), BM_CLICK, 0, 0);
}
void* Focus() {
  return GetFocus();
}
void PostReturn(void* window) {
  PostMessageW(H(window), WM_KEYDOWN, VK_RETURN, 1);
  PostMessageW(H(window), WM_KEYUP, VK_RETURN, 0xC0000001);
}
int ComboSelection(void* combo) {
  return static_cast<int>(SendMessageW(H(combo), CB_GETCURSEL, 0, 0));
}
bool Checked(void* checkBox) {
  return SendMessageW(H(checkBox), BM_GETCHECK, 0, 0) == BST_CHECKED;
}
unsigned ProcessId() {
  return GetCurrentProcessId();
}

unsigned ThreadId() {
  return GetCurrentThreadId();
}

std::optional<std::uint32_t> ReadDword(const std::string& key, const std::string& name) {
  DWORD value = 0, size = sizeof(value);
  if (RegGetValueW(HKEY_CURRENT_USER, Widen(key).c_str(), Widen(name).c_str(), RRF_RT_REG_DWORD,
                   nullptr, &value, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return value;
}

std::optional<std::string> ReadString(const std::string& key, const std::string& name) {
  wchar_t buf[1024] = {};
  DWORD size = sizeof(buf);
  if (RegGetValueW(HKEY_CURRENT_USER, Widen(key).c_str(), Widen(name).c_str(), RRF_RT_REG_SZ,
                   nullptr, buf, &size) != ERROR_SUCCESS)
    return std::nullopt;
  return Narrow(buf);
}

void WriteDword(const std::string& key, const std::string& name, std::uint32_t value) {
  const DWORD data = value;
  RegSetKeyValueW(HKEY_CURRENT_USER, Widen(key).c_str(), Widen(name).c_str(), REG_DWORD, &data,
                  sizeof(data));
}

void DeleteTree(const std::string& key) {
  RegDeleteTreeW(HKEY_CURRENT_USER, Widen(key).c_str());
}

namespace {

// The thread's shown dialog box, if any.
HWND ShownDialogOf(unsigned thread) {
  HWND dialog = nullptr;
  EnumThreadWindows(
      thread,
      [](HWND w, LPARAM p) -> BOOL {
        wchar_t cls[16] = {};
        GetClassNameW(w, cls, 16);
        if (std::wstring(cls) != L"#32770" || !IsWindowVisible(w)) return TRUE;
        *reinterpret_cast<HWND*>(p) = w;
        return FALSE;
      },
      reinterpret_cast<LPARAM>(&dialog));
  return dialog;
}

}  // namespace

bool AnswerSaveDialog(unsigned thread, const std::string& name, std::string& folderShown) {
  constexpr int kFileTypes = 0x470, kFileNameBox = 0x47C, kFileNameEdit = 0x480;
  for (int i = 0; i < 1000; ++i, Sleep(10)) {
    HWND dialog = ShownDialogOf(thread);
    // The file types are filled last: then the dialog is ready for a name.
    if (!dialog || !GetDlgItem(dialog, kFileTypes)) continue;
    wchar_t folder[MAX_PATH * 2] = {};
    if (SendMessageW(dialog, CDM_GETFOLDERPATH, MAX_PATH * 2, reinterpret_cast<LPARAM>(folder)) <=
        0)
      continue;
    folderShown = Narrow(folder);
    HWND box = GetDlgItem(dialog, kFileNameBox);
    SetWindowTextW(box ? box : GetDlgItem(dialog, kFileNameEdit), Widen(name).c_str());
    PostMessageW(dialog, WM_COMMAND, IDOK, 0);
    return true;
  }
  return false;
}

std::optional<std::string> AnswerComboDialog(unsigned thread, const std::string& shown,
                                             const std::string& choose, bool ok) {
  struct TSearch {
    std::wstring shown;
    HWND combo = nullptr;
  };
  const auto selectedText = [](HWND combo) {
    const LRESULT i = SendMessageW(combo, CB_GETCURSEL, 0, 0);
    if (i == CB_ERR) return std::wstring();
    std::wstring text(SendMessageW(combo, CB_GETLBTEXTLEN, i, 0) + 1, L'\0');
    SendMessageW(combo, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(text.data()));
    return std::wstring(text.c_str());
  };
  for (int i = 0; i < 1000; ++i, Sleep(10)) {
    HWND dialog = ShownDialogOf(thread);
    if (!dialog) continue;
    static const auto find = [](HWND w, LPARAM p) -> BOOL {
      auto* search = reinterpret_cast<TSearch*>(p);
      wchar_t cls[16] = {};
      GetClassNameW(w, cls, 16);
      if (std::wstring(cls) != L"ComboBox") return TRUE;
      const LRESULT sel = SendMessageW(w, CB_GETCURSEL, 0, 0);
      if (sel == CB_ERR) return TRUE;
      wchar_t text[64] = {};
      if (SendMessageW(w, CB_GETLBTEXTLEN, sel, 0) >= 64) return TRUE;
      SendMessageW(w, CB_GETLBTEXT, sel, reinterpret_cast<LPARAM>(text));
      if (search->shown != text) return TRUE;
      search->combo = w;
      return FALSE;
    };
    TSearch search{Widen(shown)};
    EnumChildWindows(dialog, find, reinterpret_cast<LPARAM>(&search));
    if (!search.combo) continue;
    const LRESULT item = SendMessageW(search.combo, CB_FINDSTRINGEXACT, static_cast<WPARAM>(-1),
                                      reinterpret_cast<LPARAM>(Widen(choose).c_str()));
    if (item == CB_ERR || SendMessageW(search.combo, CB_SETCURSEL, item, 0) == CB_ERR)
      return std::nullopt;
    if (selectedText(search.combo) != Widen(choose)) return std::nullopt;
    const std::string title = Text(dialog);
    PostMessageW(dialog, WM_COMMAND, ok ? IDOK : IDCANCEL, 0);
    return title;
  }
  return std::nullopt;
}

}  // namespace probe
