#include <windows.h>

#include "platform/files/regular_file.h"

namespace {

std::int64_t Ticks(const FILETIME& t) {
  return static_cast<std::int64_t>(static_cast<std::uint64_t>(t.dwHighDateTime) << 32 |
                                   t.dwLowDateTime);
}

TFileIdentity IdentityOf(const BY_HANDLE_FILE_INFORMATION& info) {
  return {info.dwVolumeSerialNumber,
          static_cast<std::uint64_t>(info.nFileIndexHigh) << 32 | info.nFileIndexLow,
          static_cast<std::uint64_t>(info.nFileSizeHigh) << 32 | info.nFileSizeLow,
          Ticks(info.ftLastWriteTime), Ticks(info.ftCreationTime)};
}

class THandle {
 public:
  explicit THandle(HANDLE h) : h_(h) {}
  ~THandle() {
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  THandle(const THandle&) = delete;
  THandle& operator=(const THandle&) = delete;
  HANDLE get() const { return h_; }

 private:
  HANDLE h_;
};

// A handle to what stands at path, for a look; with backup semantics a folder opens too.
HANDLE OpenForLook(const std::filesystem::path& path, DWORD access) {
  return CreateFileW(path.c_str(), access, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                     nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

std::optional<TSmallFile> ReadSmallRegularFile(const std::filesystem::path& file,
                                               std::size_t limit) {
  // Only what the file system calls a file: never a folder, a device or a pipe.
  const DWORD attributes = GetFileAttributesW(file.c_str());
  if (attributes == INVALID_FILE_ATTRIBUTES ||
      (attributes & (FILE_ATTRIBUTE_DIRECTORY | FILE_ATTRIBUTE_DEVICE)) != 0)
    return std::nullopt;
  const THandle h(OpenForLook(file, GENERIC_READ));
  BY_HANDLE_FILE_INFORMATION info{};
  if (h.get() == INVALID_HANDLE_VALUE || GetFileType(h.get()) != FILE_TYPE_DISK ||
      !GetFileInformationByHandle(h.get(), &info) ||
      (info.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) != 0)
    return std::nullopt;
  TSmallFile out{{}, IdentityOf(info)};
  if (out.Identity.Size > limit) return std::nullopt;
  out.Data.reserve(static_cast<std::size_t>(out.Identity.Size));
  char buf[16384];
  for (;;) {
    DWORD n = 0;
    if (!ReadFile(h.get(), buf, sizeof buf, &n, nullptr)) return std::nullopt;
    if (n == 0) break;
    out.Data.append(buf, n);
    if (out.Data.size() > limit) return std::nullopt;  // it grew since it was measured
  }
  return out;
}

TFileIdentity FileIdentityAt(const std::filesystem::path& path) {
  const THandle h(OpenForLook(path, 0));
  BY_HANDLE_FILE_INFORMATION info{};
  if (h.get() == INVALID_HANDLE_VALUE || !GetFileInformationByHandle(h.get(), &info)) return {};
  return IdentityOf(info);
}
