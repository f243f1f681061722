// The temporary file is made by mkostemps beside the file that the target resolves to, written
// through a plain descriptor, synced and renamed over it; the folder is synced after.
#include <fcntl.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstring>

#include "base/exceptions.h"
#include "platform/files/atomic_file.h"

namespace fs = std::filesystem;

namespace {

constexpr int kMaxLinkHops = 40;

// A write past the file-size limit then fails with EFBIG, which becomes a message, instead of
// killing the process with the temporary file left behind. A handler the program set stays.
void IgnoreFileSizeSignal() {
  struct sigaction current {};
  if (sigaction(SIGXFSZ, nullptr, &current) != 0 || current.sa_handler != SIG_DFL) return;
  struct sigaction ignore {};
  ignore.sa_handler = SIG_IGN;
  sigemptyset(&ignore.sa_mask);
  sigaction(SIGXFSZ, &ignore, nullptr);
}

// The file that a chain of symbolic links ends at (which need not exist yet).
fs::path FollowLinks(fs::path p, int& error) {
  for (int hop = 0; hop <= kMaxLinkHops; ++hop) {
    struct stat st {};
    if (lstat(p.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return p;
    std::string link(PATH_MAX, '\0');
    const ssize_t n = readlink(p.c_str(), link.data(), link.size());
    if (n < 0) {
      error = errno;
      return p;
    }
    link.resize(static_cast<std::size_t>(n));
    const fs::path next(link);
    p = next.is_absolute() ? next : p.parent_path() / next;
  }
  error = ELOOP;
  return p;
}

}  // namespace

std::string SysErrorMessage(int code) {
  return std::strerror(code);
}

bool IsLostWriteErrno(int code) {
  return code == ENOSPC || code == EDQUOT || code == EFBIG || code == EIO;
}

TFileReplacement::TFileReplacement(const fs::path& target) : target_(target) {
  IgnoreFileSizeSignal();
  int error = 0;
  resolved_ = FollowLinks(target, error);
  if (error) Fail(error);
  folder_ = resolved_.has_parent_path() ? resolved_.parent_path() : fs::path(".");
  struct stat st {};
  if (stat(resolved_.c_str(), &st) == 0) {
    if (S_ISDIR(st.st_mode)) Fail(EISDIR);
    if (!S_ISREG(st.st_mode)) Fail(EINVAL);
    // Replacing is allowed by the folder; the file's own protection must hold all the same.
    if (access(resolved_.c_str(), W_OK) != 0) Fail(errno);
    existed_ = true;
    mode_ = st.st_mode & 07777;
    owner_ = st.st_uid;
    group_ = st.st_gid;
  }
  std::string pattern = (folder_ / ".q2e-XXXXXX.tmp").string();
  const int fd = mkostemps(pattern.data(), 4, O_CLOEXEC);
  if (fd < 0) Fail(errno);
  handle_ = fd;
  temp_ = pattern;
  created_ = true;
}

TFileReplacement::~TFileReplacement() {
  if (handle_ >= 0) close(static_cast<int>(handle_));
  if (created_ && !committed_) unlink(temp_.c_str());
}

void TFileReplacement::WriteAll(const char* p, std::size_t size) {
  while (size > 0) {
    const ssize_t n = ::write(static_cast<int>(handle_), p, size);
    if (n < 0) {
      if (errno == EINTR) continue;
      Fail(errno);
    }
    p += n;
    size -= static_cast<std::size_t>(n);
  }
}

void TFileReplacement::Close() {
  if (handle_ < 0) return;
  const int fd = static_cast<int>(handle_);
  handle_ = -1;
  if (close(fd) != 0) Fail(errno);
}

void TFileReplacement::Commit() {
  if (handle_ < 0) {
    const int fd = open(temp_.c_str(), O_WRONLY | O_CLOEXEC);
    if (fd < 0) Fail(errno);
    handle_ = fd;
  }
  const int fd = static_cast<int>(handle_);
  if (existed_) {
    // The owner carries over where this process may give it (else the group, else neither:
    // the file is whole all the same); the mode always.
    const bool owned =
        fchown(fd, owner_, group_) == 0 || fchown(fd, static_cast<uid_t>(-1), group_) == 0;
    (void)owned;
    if (fchmod(fd, static_cast<mode_t>(mode_)) != 0) Fail(errno);
  } else {
    const mode_t mask = umask(0);
    umask(mask);
    if (fchmod(fd, 0666 & ~mask) != 0) Fail(errno);
  }
  if (fsync(fd) != 0) Fail(errno);
  Close();
  if (rename(temp_.c_str(), resolved_.c_str()) != 0) Fail(errno);
  committed_ = true;
  // Make the rename itself durable.
  const int dfd = open(folder_.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (dfd >= 0) {
    fsync(dfd);
    close(dfd);
  }
}

bool CreateNewFile(const fs::path& file) {
  const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
  if (fd >= 0) {
    close(fd);
    return true;
  }
  if (errno == EEXIST) return false;
  const int code = errno;
  throw EOSError(CannotCreateFileText(file, SysErrorMessage(code)), static_cast<unsigned>(code));
}
