// A small tmpfs of the test's own: the process moves into a mount namespace of its own once, so
// the mount is seen only by it and its children and goes with it. Root mounts there as it is; an
// ordinary user in a user namespace of its own that keeps its ids, where the kernel allows one.
// Mounted() says whether it worked.
#pragma once

#include <sched.h>
#include <sys/mount.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <string>

class TSmallDisk {
 public:
  TSmallDisk(const std::filesystem::path& at, const std::string& size) : at_(at) {
    static const bool privateMounts =
        (unshare(CLONE_NEWNS) == 0 || OwnUserNamespace()) &&
        mount(nullptr, "/", nullptr, MS_REC | MS_PRIVATE, nullptr) == 0;
    std::filesystem::create_directories(at_);
    mounted_ =
        privateMounts && mount("q2e", at_.c_str(), "tmpfs", 0, ("size=" + size).c_str()) == 0;
  }
  ~TSmallDisk() {
    if (mounted_) umount2(at_.c_str(), MNT_DETACH);
  }
  TSmallDisk(const TSmallDisk&) = delete;
  TSmallDisk& operator=(const TSmallDisk&) = delete;
  bool Mounted() const { return mounted_; }
  // Mounts it again read-only or writable, keeping what it holds.
  bool SetReadOnly(bool readOnly) {
    return mounted_ && mount("q2e", at_.c_str(), "tmpfs", MS_REMOUNT | (readOnly ? MS_RDONLY : 0),
                             nullptr) == 0;
  }

 private:
  // Needs a process of one thread, as the tests that mount are.
  static bool OwnUserNamespace() {
    const auto uid = std::to_string(geteuid()), gid = std::to_string(getegid());
    if (unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0) return false;
    const auto put = [](const char* file, const std::string& text) {
      std::ofstream out(file);
      return static_cast<bool>(out << text << std::flush);
    };
    return put("/proc/self/setgroups", "deny") &&
           put("/proc/self/uid_map", uid + " " + uid + " 1") &&
           put("/proc/self/gid_map", gid + " " + gid + " 1");
  }

  std::filesystem::path at_;
  bool mounted_ = false;
};
