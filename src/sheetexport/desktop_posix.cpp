// The desktop on POSIX systems: the XDG cache folder and xdg-open.
#include <spawn.h>
#include <sys/wait.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "sheetexport/desktop.h"

extern char** environ;

namespace {

class TPosixDesktop : public TDesktop {
 public:
  std::filesystem::path UserCacheFolder() override {
    if (const char* xdg = std::getenv("XDG_CACHE_HOME"); xdg && *xdg) return xdg;
    if (const char* home = std::getenv("HOME"); home && *home)
      return std::filesystem::path(home) / ".cache";
    return std::filesystem::temp_directory_path();
  }

  bool OpenFile(const std::filesystem::path& file, std::string& error) override {
    std::string path = file.string();
    char program[] = "xdg-open";
    char* argv[] = {program, path.data(), nullptr};
    pid_t pid = 0;
    const int rc = posix_spawnp(&pid, program, nullptr, nullptr, argv, environ);
    if (rc != 0) {
      error = std::string("xdg-open could not be started: ") + std::strerror(rc);
      return false;
    }
    int status = 0;
    while (waitpid(pid, &status, 0) < 0) {
      if (errno != EINTR) {
        error = std::string("xdg-open: ") + std::strerror(errno);
        return false;
      }
    }
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return true;
    error = "no program of the desktop opened it";
    return false;
  }
};

}  // namespace

std::unique_ptr<TDesktop> CreateSystemDesktop() {
  return std::make_unique<TPosixDesktop>();
}
