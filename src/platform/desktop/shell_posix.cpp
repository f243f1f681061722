// The freedesktop shell: XDG user folders, the sound theme, xdg-open.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <thread>
#include <vector>

#include "platform/desktop/shell.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

// XDG_DOCUMENTS_DIR="$HOME/Documents" from user-dirs.dirs; empty when absent.
std::string DocumentsFromUserDirs(const std::string& home) {
  std::string config = Env("XDG_CONFIG_HOME");
  if (config.empty()) config = home + "/.config";
  std::ifstream in(config + "/user-dirs.dirs");
  const std::string key = "XDG_DOCUMENTS_DIR=";
  for (std::string line; std::getline(in, line);) {
    if (line.rfind(key, 0) != 0) continue;
    std::string value = line.substr(key.size());
    if (value.size() >= 2 && value.front() == '"' && value.back() == '"')
      value = value.substr(1, value.size() - 2);
    if (value.rfind("$HOME", 0) == 0) value = home + value.substr(5);
    if (!value.empty() && value.front() == '/') return value;
  }
  return "";
}

std::string DocumentsFolder() {
  std::string dir = Env("XDG_DOCUMENTS_DIR");
  const std::string home = Env("HOME");
  if (dir.empty() && !home.empty()) dir = DocumentsFromUserDirs(home);
  if (dir.empty() && !home.empty()) dir = home + "/Documents";
  if (dir.empty()) return "";
  while (dir.size() > 1 && dir.back() == '/') dir.pop_back();
  std::error_code ec;
  fs::create_directories(dir, ec);
  return fs::is_directory(dir, ec) ? dir : "";
}

// Starts the program with its output discarded and reaps it on a thread of its own, which hands
// ended the program's exit status (-1 when a signal ended it). A detached program runs in a
// session of its own with the default signal state: it outlives our terminal, and a key pressed
// there reaches only us.
bool Spawn(const std::vector<std::string>& argv, bool detached = false,
           std::function<void(int)> ended = {}) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
  posix_spawnattr_t attr;
  posix_spawnattr_init(&attr);
  if (detached) {
    sigset_t none, defaults;
    sigemptyset(&none);
    sigemptyset(&defaults);
    sigaddset(&defaults, SIGPIPE);
    posix_spawnattr_setsigmask(&attr, &none);
    posix_spawnattr_setsigdefault(&attr, &defaults);
    posix_spawnattr_setflags(&attr,
                             POSIX_SPAWN_SETSID | POSIX_SPAWN_SETSIGMASK | POSIX_SPAWN_SETSIGDEF);
  }
  pid_t pid = 0;
  const int rc = posix_spawnp(&pid, args[0], &actions, &attr, args.data(), environ);
  posix_spawnattr_destroy(&attr);
  posix_spawn_file_actions_destroy(&actions);
  if (rc != 0) return false;
  std::thread([pid, ended = std::move(ended)] {
    int status = 0;
    pid_t r;
    while ((r = waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (ended && r == pid) ended(WIFEXITED(status) ? WEXITSTATUS(status) : -1);
  }).detach();
  return true;
}

bool OnPath(const std::string& program) {
  std::string path = Env("PATH");
  std::size_t start = 0;
  while (start <= path.size()) {
    const std::size_t end = path.find(':', start);
    const std::string dir = path.substr(start, end == std::string::npos ? end : end - start);
    if (!dir.empty() && access((dir + "/" + program).c_str(), X_OK) == 0) return true;
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return false;
}

// The freedesktop theme's file of a sound name, or empty.
std::string ThemeSoundFile(const std::string& name) {
  std::string dirs = Env("XDG_DATA_DIRS");
  if (dirs.empty()) dirs = "/usr/local/share:/usr/share";
  std::size_t start = 0;
  while (start <= dirs.size()) {
    const std::size_t end = dirs.find(':', start);
    const std::string dir = dirs.substr(start, end == std::string::npos ? end : end - start);
    for (const char* ext : {".oga", ".ogg", ".wav"}) {
      const std::string file = dir + "/sounds/freedesktop/stereo/" + name + ext;
      std::error_code ec;
      if (!dir.empty() && fs::is_regular_file(file, ec)) return file;
    }
    if (end == std::string::npos) break;
    start = end + 1;
  }
  return "";
}

}  // namespace

std::string GetSpecialPath(int csidl) {
  return csidl == CSIDL_PERSONAL ? DocumentsFolder() : "";
}

bool PlaySystemSound(const std::string& alias) {
  std::string name;
  if (alias == "SystemHand") name = "dialog-error";
  if (alias == "SystemDefault") name = "dialog-information";
  if (name.empty()) return false;
  if (OnPath("canberra-gtk-play") && Spawn({"canberra-gtk-play", "-i", name})) return true;
  const std::string file = ThemeSoundFile(name);
  return !file.empty() && OnPath("paplay") && Spawn({"paplay", file});
}

// xdg-open may run the file's program in its own foreground (a session without a recognised
// desktop), so it is never waited for; its failure statuses (no method, no program) arrive later.
bool OpenInDefaultProgram(const std::string& path, std::function<void()> notOpened) {
  if (!OnPath("xdg-open")) return false;
  return Spawn({"xdg-open", path}, true, [notOpened = std::move(notOpened)](int status) {
    if (status > 0 && notOpened) notOpened();
  });
}
