#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cstdio>

#include "platform/process/stderr_capture.h"

// The C runtime's tmpfile() would create its file in the drive's root, which users may not write.
TStderrCapture::TStderrCapture() {
  std::fflush(stderr);
  wchar_t folder[MAX_PATH + 1], name[MAX_PATH + 1];
  if (!GetTempPathW(MAX_PATH + 1, folder) || !GetTempFileNameW(folder, L"q2e", 0, name)) return;
  const HANDLE h = CreateFileW(
      name, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
      nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_TEMPORARY | FILE_FLAG_DELETE_ON_CLOSE, nullptr);
  if (h == INVALID_HANDLE_VALUE) return;
  file_ = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_RDWR | _O_BINARY);
  if (file_ < 0) {
    CloseHandle(h);
    return;
  }
  saved_ = _dup(2);
  active_ = _dup2(file_, 2) == 0;
}

TStderrCapture::~TStderrCapture() {
  std::fflush(stderr);
  if (active_) {
    if (saved_ >= 0)
      _dup2(saved_, 2);
    else
      _close(2);
  }
  if (saved_ >= 0) _close(saved_);
  if (file_ >= 0) _close(file_);
}

std::string TStderrCapture::Text() {
  std::fflush(stderr);
  std::string text;
  if (!active_) return text;
  const long end = _lseek(file_, 0, SEEK_CUR);
  _lseek(file_, 0, SEEK_SET);
  char buf[4096];
  for (int n; (n = _read(file_, buf, sizeof buf)) > 0;)
    text.append(buf, static_cast<std::size_t>(n));
  _lseek(file_, end, SEEK_SET);
  return text;
}
