#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

#include "atomic_file.h"
#include "base/exceptions.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

[[noreturn]] void ThrowErrno(int code) {
  throw EOSError(SysErrorMessage(code), code);
}

}  // namespace

std::string SysErrorMessage(int code) {
  return std::strerror(code);
}

TAtomicFile::TAtomicFile(const std::filesystem::path& target) : target_(target) {
  std::string pattern = target.string() + ".XXXXXX";
  const int fd = mkstemp(pattern.data());
  if (fd < 0) ThrowErrno(errno);
  // mkstemp creates 0600; a replaced report should get the usual permissions.
  const mode_t mask = umask(0);
  umask(mask);
  fchmod(fd, 0666 & ~mask);
  handle_ = fd;
  temp_ = pattern;
  buffer_.reserve(kBufferSize);
}

TAtomicFile::~TAtomicFile() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  if (!committed_ && !temp_.empty()) unlink(temp_.c_str());
}

void TAtomicFile::Write(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  if (buffer_.size() + size > kBufferSize) Flush();
  if (size >= kBufferSize) {
    while (size > 0) {
      const ssize_t n = ::write(static_cast<int>(handle_), p, size);
      if (n < 0) {
        if (errno == EINTR) continue;
        ThrowErrno(errno);
      }
      p += n;
      size -= static_cast<std::size_t>(n);
    }
    return;
  }
  buffer_.insert(buffer_.end(), p, p + size);
}

void TAtomicFile::Flush() {
  const char* p = buffer_.data();
  std::size_t left = buffer_.size();
  while (left > 0) {
    const ssize_t n = ::write(static_cast<int>(handle_), p, left);
    if (n < 0) {
      if (errno == EINTR) continue;
      ThrowErrno(errno);
    }
    p += n;
    left -= static_cast<std::size_t>(n);
  }
  buffer_.clear();
}

void TAtomicFile::Commit() {
  Flush();
  const int fd = static_cast<int>(handle_);
  if (fsync(fd) != 0) ThrowErrno(errno);
  handle_ = -1;
  if (close(fd) != 0) ThrowErrno(errno);
  if (rename(temp_.c_str(), target_.c_str()) != 0) ThrowErrno(errno);
  committed_ = true;
  // Make the rename itself durable.
  const std::string dir = target_.has_parent_path() ? target_.parent_path().string() : ".";
  const int dfd = open(dir.c_str(), O_RDONLY | O_DIRECTORY);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
}

bool CreateNewFile(const std::filesystem::path& file) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  const int code = errno;
  if (code == EEXIST) return false;
  throw EOSError(SysErrorMessage(code), code);
}
