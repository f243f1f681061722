// The temporary file is created beside the target with a fresh name, written through a plain
// handle, flushed to the disk and moved over the target in one MoveFileExW.
#include <windows.h>

#include <algorithm>
#include <cstdint>
#include <cwchar>

#include "atomic_file.h"
#include "base/exceptions.h"
#include "platform/utf16_win32.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

[[noreturn]] void ThrowLastError() {
  const DWORD code = GetLastError();
  throw EOSError(SysErrorMessage(static_cast<int>(code)), code);
}

HANDLE H(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

void WriteAll(std::intptr_t handle, const char* p, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(H(handle), p, chunk, &written, nullptr)) ThrowLastError();
    p += written;
    size -= written;
  }
}

}  // namespace

std::string SysErrorMessage(int code) {
  return Win32ErrorText(static_cast<unsigned long>(code));
}

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : target_(target) {
  // A name nobody else has: the tick count and the thread make clashes rare, CREATE_NEW
  // settles them.
  const DWORD seed = GetTickCount() ^ (GetCurrentThreadId() << 16) ^ GetCurrentProcessId();
  for (DWORD attempt = 0; attempt < 100; ++attempt) {
    wchar_t suffix[16];
    swprintf(suffix, 16, L".%06lx.tmp",
             static_cast<unsigned long>((seed + attempt * 7919) & 0xFFFFFF));
    std::filesystem::path temp = target;
    temp += suffix;
    const HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(h);
      temp_ = temp;
      buffer_.reserve(kBufferSize);
      return;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) ThrowLastError();
  }
  ThrowLastError();
}

TAtomicFile::~TAtomicFile() {
  if (handle_ != -1) CloseHandle(H(handle_));
  if (!committed_ && !temp_.empty()) DeleteFileW(temp_.c_str());
}

void TAtomicFile::Write(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  if (buffer_.size() + size > kBufferSize) Flush();
  if (size >= kBufferSize) {
    WriteAll(handle_, p, size);
    return;
  }
  buffer_.insert(buffer_.end(), p, p + size);
}

void TAtomicFile::Flush() {
  WriteAll(handle_, buffer_.data(), buffer_.size());
  buffer_.clear();
}

void TAtomicFile::Commit() {
  Flush();
  if (!FlushFileBuffers(H(handle_))) ThrowLastError();
  const HANDLE h = H(handle_);
  handle_ = -1;
  if (!CloseHandle(h)) ThrowLastError();
  if (!MoveFileExW(temp_.c_str(), target_.c_str(),
                   MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
    ThrowLastError();
  committed_ = true;
}

bool CreateNewFile(const std::filesystem::path& file) {
  const HANDLE h = CreateFileW(file.wstring().c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return true;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return false;
  throw EOSError(SysErrorMessage(static_cast<int>(code)), code);
}
