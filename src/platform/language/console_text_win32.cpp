#include <windows.h>

#include <cstdio>

#include "platform/language/console_text.h"
#include "platform/language/utf16_win32.h"

void PrintText(TStream stream, std::string_view utf8) {
  std::FILE* f = stream == TStream::Output ? stdout : stderr;
  std::fflush(f);
  const HANDLE h = GetStdHandle(stream == TStream::Output ? STD_OUTPUT_HANDLE : STD_ERROR_HANDLE);
  DWORD mode = 0;
  if (h != INVALID_HANDLE_VALUE && h && GetConsoleMode(h, &mode)) {
    // A console shows the text in its own code page unless it is handed wide characters.
    const std::wstring wide = Widen(utf8);
    DWORD written = 0;
    if (WriteConsoleW(h, wide.data(), static_cast<DWORD>(wide.size()), &written, nullptr)) return;
  }
  std::fwrite(utf8.data(), 1, utf8.size(), f);
  std::fflush(f);
}
