// The temporary file is created beside the file that the target resolves to with a fresh ASCII
// name, written through a plain handle, flushed to the disk and moved over the target in one
// MoveFileExW, tried again for a while where another program holds the target for a moment.
#include <windows.h>

#include <algorithm>
#include <cerrno>
#include <cstdint>
#include <cwchar>

#include "base/exceptions.h"
#include "platform/files/atomic_file.h"
#include "platform/language/utf16_win32.h"

namespace fs = std::filesystem;

namespace {

// Attributes that say how the user keeps the file; they carry over to its new content.
constexpr DWORD kKeptAttributes =
    FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM | FILE_ATTRIBUTE_NOT_CONTENT_INDEXED;

HANDLE H(std::intptr_t h) {
  return reinterpret_cast<HANDLE>(h);
}

// The file a symbolic link ends at; other paths as they are.
fs::path FollowLinks(const fs::path& target) {
  const DWORD attributes = GetFileAttributesW(target.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES || !(attributes & FILE_ATTRIBUTE_REPARSE_POINT))
    return target;
  const HANDLE h =
      CreateFileW(target.c_str(), 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                  nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
  if (h == INVALID_HANDLE_VALUE) return target;
  std::wstring final(32768, L'\0');
  const DWORD n = GetFinalPathNameByHandleW(h, final.data(), static_cast<DWORD>(final.size()),
                                            FILE_NAME_NORMALIZED | VOLUME_NAME_DOS);
  CloseHandle(h);
  if (n == 0 || n >= final.size()) return target;
  final.resize(n);
  // The answer comes as \\?\C:\... or \\?\UNC\server\...: the plain forms suit every
  // call, the current folder included.
  if (final.rfind(L"\\\\?\\UNC\\", 0) == 0) return fs::path(L"\\\\" + final.substr(8));
  if (final.rfind(L"\\\\?\\", 0) == 0) return fs::path(final.substr(4));
  return fs::path(final);
}

// Virus scanners, indexers and synced folders open a fresh file for a moment, without letting it
// be replaced meanwhile: such a refusal is tried again for about a second before it counts.
bool MoveOver(const fs::path& from, const fs::path& to) {
  constexpr int kTries = 20;
  constexpr DWORD kPauseMs = 50;
  for (int attempt = 1;; ++attempt) {
    if (MoveFileExW(from.c_str(), to.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH))
      return true;
    const DWORD code = GetLastError();
    if (attempt == kTries || (code != ERROR_SHARING_VIOLATION && code != ERROR_ACCESS_DENIED &&
                              code != ERROR_LOCK_VIOLATION))
      return false;
    Sleep(kPauseMs);
  }
}

}  // namespace

std::string SysErrorMessage(int code) {
  return Win32ErrorText(static_cast<unsigned long>(code));
}

bool IsLostWriteErrno(int code) {
  return code == ENOSPC || code == EFBIG || code == EIO;
}

TFileReplacement::TFileReplacement(const fs::path& target) : target_(target) {
  resolved_ = FollowLinks(target);
  folder_ = resolved_.has_parent_path() ? resolved_.parent_path() : fs::path(L".");
  const DWORD attributes = GetFileAttributesW(resolved_.c_str());
  if (attributes != INVALID_FILE_ATTRIBUTES) {
    if (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_READONLY))
      Fail(ERROR_ACCESS_DENIED);
    existed_ = true;
    mode_ = attributes & kKeptAttributes;
  }
  // A name nobody else has: the tick count, the process and the thread make clashes rare,
  // CREATE_NEW settles them.
  const DWORD seed = GetTickCount() ^ (GetCurrentThreadId() << 16) ^ GetCurrentProcessId();
  for (DWORD attempt = 0; attempt < 100; ++attempt) {
    wchar_t name[32];
    swprintf(name, 32, L".q2e-%06lx.tmp",
             static_cast<unsigned long>((seed + attempt * 7919) & 0xFFFFFF));
    const fs::path temp = folder_ / name;
    const HANDLE h = CreateFileW(temp.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h != INVALID_HANDLE_VALUE) {
      handle_ = reinterpret_cast<std::intptr_t>(h);
      temp_ = temp;
      created_ = true;
      return;
    }
    if (GetLastError() != ERROR_FILE_EXISTS) Fail(static_cast<int>(GetLastError()));
  }
  Fail(ERROR_FILE_EXISTS);
}

TFileReplacement::~TFileReplacement() {
  if (handle_ != -1) CloseHandle(H(handle_));
  if (created_ && !committed_) DeleteFileW(temp_.c_str());
}

void TFileReplacement::WriteAll(const char* p, std::size_t size) {
  while (size > 0) {
    const DWORD chunk = static_cast<DWORD>(std::min<std::size_t>(size, 1u << 30));
    DWORD written = 0;
    if (!WriteFile(H(handle_), p, chunk, &written, nullptr)) Fail(static_cast<int>(GetLastError()));
    p += written;
    size -= written;
  }
}

void TFileReplacement::Close() {
  if (handle_ == -1) return;
  const HANDLE h = H(handle_);
  handle_ = -1;
  if (!CloseHandle(h)) Fail(static_cast<int>(GetLastError()));
}

void TFileReplacement::Commit() {
  if (handle_ == -1) {
    const HANDLE h = CreateFileW(temp_.c_str(), GENERIC_WRITE, 0, nullptr, OPEN_EXISTING,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) Fail(static_cast<int>(GetLastError()));
    handle_ = reinterpret_cast<std::intptr_t>(h);
  }
  if (!FlushFileBuffers(H(handle_))) Fail(static_cast<int>(GetLastError()));
  Close();
  if (mode_ != 0) SetFileAttributesW(temp_.c_str(), mode_);
  if (!MoveOver(temp_, resolved_)) Fail(static_cast<int>(GetLastError()));
  committed_ = true;
}

bool CreateNewFile(const fs::path& file) {
  const HANDLE h = CreateFileW(file.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_NEW,
                               FILE_ATTRIBUTE_NORMAL, nullptr);
  if (h != INVALID_HANDLE_VALUE) {
    CloseHandle(h);
    return true;
  }
  const DWORD code = GetLastError();
  if (code == ERROR_FILE_EXISTS || code == ERROR_ALREADY_EXISTS) return false;
  throw EOSError(CannotCreateFileText(file, SysErrorMessage(static_cast<int>(code))), code);
}
