// A console reads the bytes that reach it in its output code page (437, 866, ...), never UTF-8
// unless the user set it so: text for a console goes to it as UTF-16.
#include <windows.h>

#include <cstdio>
#include <string>

#include "platform/console_text.h"
#include "platform/utf16_win32.h"

void WriteStderr(std::string_view utf8) {
  const HANDLE h = GetStdHandle(STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (h != nullptr && h != INVALID_HANDLE_VALUE && GetConsoleMode(h, &mode)) {
    std::fflush(stderr);  // what the C runtime still holds comes first
    const std::wstring wide = Widen(utf8);
    DWORD written = 0;
    WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr);
    return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}
