#include "platform/files/private_folder_posix.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/exceptions.h"

namespace fs = std::filesystem;

namespace {

bool MineOrSystems(uid_t owner) {
  return owner == ::geteuid() || owner == 0;
}

// A link that another user planted is never followed; one of the user's or the system's is
// (a temporary folder may be such a link).
bool PlantedLink(const fs::path& path) {
  struct stat st {};
  return ::lstat(path.c_str(), &st) == 0 && S_ISLNK(st.st_mode) && !MineOrSystems(st.st_uid);
}

}  // namespace

int OpenPrivateFolder(const fs::path& folder) {
  const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
  if (fd < 0) return -1;
  struct stat st {
  }, up{};
  const fs::path parent = folder.parent_path().empty() ? fs::path(".") : folder.parent_path();
  if (::fstat(fd, &st) != 0 || ::stat(parent.c_str(), &up) != 0) {
    const int e = errno;
    ::close(fd);
    errno = e;
    return -1;
  }
  // Nobody else may swap it: its parent is the user's or the system's, and others may write
  // there only where the sticky bit keeps them to their own entries (as in /tmp).
  const bool othersWrite = (up.st_mode & 022) != 0 && (up.st_mode & S_ISVTX) == 0;
  if (st.st_uid != ::geteuid() || (st.st_mode & 077) != 0 || !MineOrSystems(up.st_uid) ||
      othersWrite || PlantedLink(parent)) {
    ::close(fd);
    errno = EACCES;
    return -1;
  }
  return fd;
}

void CreatePrivateFolders(const fs::path& folder) {
  fs::path path;
  for (const fs::path& part : folder) {
    path /= part;
    int e = ::mkdir(path.c_str(), 0700) == 0 ? 0 : errno;
    if (e == EEXIST) e = PlantedLink(path) ? EACCES : 0;
    if (e != 0) throw EOSError(path.string() + ": " + std::strerror(e), static_cast<unsigned>(e));
  }
}
