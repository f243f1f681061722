// The user's data folder on POSIX systems, as the XDG base directories name it.
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "base/exceptions.h"
#include "platform/files/user_data.h"

namespace fs = std::filesystem;

namespace {

[[noreturn]] void Fail(int e, const fs::path& what) {
  throw EOSError(what.string() + ": " + std::strerror(e), static_cast<unsigned>(e));
}

fs::path Home() {
  if (const char* h = std::getenv("HOME"); h && *h) return h;
  if (const passwd* pw = ::getpwuid(::geteuid()); pw && pw->pw_dir) return pw->pw_dir;
  Fail(ENOENT, "HOME");
}

}  // namespace

fs::path UserDataFolder() {
  // A relative XDG_DATA_HOME is invalid and ignored, as the base-directory rules say.
  const char* xdg = std::getenv("XDG_DATA_HOME");
  const fs::path base = xdg && *xdg == '/' ? fs::path(xdg) : Home() / ".local" / "share";
  const fs::path folder = base / "quarrow2excel";
  fs::path path;
  for (const fs::path& part : folder) {
    path /= part;
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) Fail(errno, path);
  }
  return folder;
}

void CreatePrivateFile(const fs::path& file) {
  const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600);
  if (fd >= 0) {
    ::close(fd);
    return;
  }
  if (errno != EEXIST) Fail(errno, file);
}
