// The locks by which serial programs on Linux leave each other's lines alone: a UUCP lock file
// (LCK..<device> in the system's lock folder, holding the holder's process id, as minicom and
// picocom take it), flock on the device, and the exclusive flag of the terminal.
#include <fcntl.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "platform/serial/serial_posix_port.h"

namespace posix_serial {

namespace {

constexpr const char* kLockFolder = "/run/lock";

// The lock file's name for a device: its own name, links resolved.
std::string LockFileOf(const std::string& device) {
  char real[PATH_MAX];
  const std::string path = realpath(device.c_str(), real) ? std::string(real) : device;
  const std::size_t slash = path.rfind('/');
  return std::string(kLockFolder) + "/LCK.." +
         path.substr(slash == std::string::npos ? 0 : slash + 1);
}

// The process named in a lock file (its id in ASCII, as every current program writes it); 0
// when it names none.
pid_t HolderOf(const std::string& file) {
  const int fd = ::open(file.c_str(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return 0;
  char text[32] = {};
  const ssize_t n = ::read(fd, text, sizeof text - 1);
  ::close(fd);
  return n > 0 ? static_cast<pid_t>(std::strtol(text, nullptr, 10)) : 0;
}

bool Alive(pid_t pid) {
  return pid > 0 && (kill(pid, 0) == 0 || errno != ESRCH);
}

}  // namespace

int TakeLockFile(const std::string& device, std::string& taken) {
  taken.clear();
  const std::string file = LockFileOf(device);
  for (int attempt = 0; attempt < 2; ++attempt) {
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd >= 0) {
      char text[16];
      const int n = std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(getpid()));
      const bool written = ::write(fd, text, n) == n;
      ::close(fd);
      if (written)
        taken = file;
      else
        ::unlink(file.c_str());
      return 0;
    }
    if (errno != EEXIST) return 0;  // no lock folder we may write into: the other locks remain
    if (Alive(HolderOf(file))) return EBUSY;
    // Its holder is gone; one we may not remove leaves the other locks to guard the line.
    if (::unlink(file.c_str()) != 0 && errno != ENOENT) return 0;
  }
  return EBUSY;  // taken by another meanwhile
}

int LockLine(int fd) {
  if (flock(fd, LOCK_EX | LOCK_NB) != 0) return errno;
  // Set by another opener (only root gets this far then): theirs, not to be cleared at close.
  int held = 0;
  if (ioctl(fd, TIOCGEXCL, &held) == 0 && held != 0) {
    flock(fd, LOCK_UN);
    return EBUSY;
  }
  if (ioctl(fd, TIOCEXCL) != 0) {
    const int e = errno;
    flock(fd, LOCK_UN);
    return e;
  }
  return 0;
}

void TPort::LetGo() {
  if (letGo.exchange(true)) return;
  if (fd >= 0) {
    // The exclusive flag belongs to the terminal, not to this descriptor: left set, it refuses
    // every later open but root's while the other side keeps the line.
    ioctl(fd, TIOCNXCL);
    flock(fd, LOCK_UN);
  }
  if (!lockFile.empty()) ::unlink(lockFile.c_str());
}

}  // namespace posix_serial
