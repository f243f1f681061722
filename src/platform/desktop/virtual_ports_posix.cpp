// The virtual-ports folder on POSIX systems. Another user must not be able to plant an entry that
// points the program at a terminal: the folder is opened without following a link and used only
// when it is the user's own with no access for others; entries are opened relative to it, never
// through a link.
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <system_error>

#include "base/exceptions.h"
#include "platform/desktop/virtual_ports.h"
#include "platform/files/private_folder_posix.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLinkName = "tty";
constexpr const char* kPropertiesName = "properties";
// A properties file holds three short lines; more is not ours.
constexpr std::size_t kMaxPropertiesSize = 4096;

// A descriptor closed with its holder.
class TFd {
 public:
  explicit TFd(int fd = -1) : fd_(fd) {}
  ~TFd() {
    if (fd_ >= 0) ::close(fd_);
  }
  TFd(const TFd&) = delete;
  TFd& operator=(const TFd&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

[[noreturn]] void Fail(int e, const fs::path& what) {
  throw EOSError(what.string() + ": " + std::strerror(e), static_cast<unsigned>(e));
}

bool OwnedByMe(const struct stat& st) {
  return st.st_uid == ::geteuid();
}

}  // namespace

void CreateVirtualPortsFolder(const fs::path& folder) {
  try {
    CreatePrivateFolders(folder);
  } catch (const EOSError&) {
    // Announcing and listing refuse a folder that is not the user's alone; nothing else to do.
  }
}

namespace {

// The whole small regular file name in the folder dirFd, not following a link; false otherwise.
bool ReadSmallFile(int dirFd, const char* name, std::string& text) {
  TFd fd(::openat(dirFd, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  struct stat st {};
  if (fd.get() < 0 || ::fstat(fd.get(), &st) != 0 || !S_ISREG(st.st_mode) ||
      static_cast<std::size_t>(st.st_size) > kMaxPropertiesSize)
    return false;
  char buf[kMaxPropertiesSize];
  std::size_t got = 0;
  while (got < sizeof buf) {
    const ssize_t n = ::read(fd.get(), buf + got, sizeof buf - got);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return false;
    if (n == 0) break;
    got += static_cast<std::size_t>(n);
  }
  text.assign(buf, got);
  return true;
}

// The entry name of the folder dirFd: a real folder of the user whose "tty" link leads to a
// terminal of the user.
bool ReadEntry(int dirFd, const fs::path& folder, const std::string& name, TVirtualPort& port) {
  TFd entry(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  struct stat st {};
  if (entry.get() < 0 || ::fstat(entry.get(), &st) != 0 || !OwnedByMe(st)) return false;
  char target[4096];
  const ssize_t n = ::readlinkat(entry.get(), kLinkName, target, sizeof target - 1);
  if (n <= 0) return false;
  target[n] = '\0';
  struct stat device {};
  // The device still there (else the simulator is gone), a terminal, and the user's own.
  if (::fstatat(entry.get(), kLinkName, &device, 0) != 0 || !S_ISCHR(device.st_mode) ||
      !OwnedByMe(device))
    return false;
  port.Name = name;
  port.Link = folder / name / kLinkName;
  port.Device = target;
  std::string text;
  if (ReadSmallFile(entry.get(), kPropertiesName, text)) ParseVirtualPortProperties(text, port);
  return true;
}

}  // namespace

std::filesystem::path VirtualPortsFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return fs::path(runtime) / "quarrow2excel" / "ports";
  return fs::temp_directory_path() / ("quarrow2excel-" + std::to_string(::getuid())) / "ports";
}

void AnnounceVirtualPort(const fs::path& folder, const TVirtualPort& port) {
  CreatePrivateFolders(folder);
  const TFd dir(OpenPrivateFolder(folder));
  if (dir.get() < 0) Fail(errno, folder);
  const std::string aside = "." + port.Name + ".new";
  std::error_code ec;
  fs::remove_all(folder / aside, ec);
  if (::mkdirat(dir.get(), aside.c_str(), 0700) != 0) Fail(errno, folder / aside);
  const TFd asideFd(
      ::openat(dir.get(), aside.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  if (asideFd.get() < 0) Fail(errno, folder / aside);
  if (::symlinkat(port.Device.c_str(), asideFd.get(), kLinkName) != 0)
    Fail(errno, folder / aside / kLinkName);
  {
    const TFd out(::openat(asideFd.get(), kPropertiesName,
                           O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
    if (out.get() < 0) Fail(errno, folder / aside / kPropertiesName);
    const std::string text = VirtualPortProperties(port);
    if (::write(out.get(), text.data(), text.size()) != static_cast<ssize_t>(text.size()))
      Fail(errno != 0 ? errno : EIO, folder / aside / kPropertiesName);
  }
  fs::remove_all(folder / port.Name, ec);
  if (::renameat(dir.get(), aside.c_str(), dir.get(), port.Name.c_str()) != 0)
    Fail(errno, folder / port.Name);
}

void WithdrawVirtualPort(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  fs::remove_all(folder / name, ec);
}

std::vector<TVirtualPort> ListVirtualPorts(const fs::path& folder) {
  std::vector<TVirtualPort> ports;
  TFd dir(OpenPrivateFolder(folder));
  if (dir.get() < 0) return ports;
  // The listing runs on a descriptor of its own; dir stays for the entries.
  DIR* list = ::fdopendir(::fcntl(dir.get(), F_DUPFD_CLOEXEC, 0));
  if (!list) return ports;
  while (const dirent* e = ::readdir(list)) {
    const std::string name = e->d_name;
    if (name.empty() || name[0] == '.') continue;
    TVirtualPort port;
    if (ReadEntry(dir.get(), folder, name, port)) ports.push_back(std::move(port));
  }
  ::closedir(list);
  SortVirtualPorts(ports);
  return ports;
}
