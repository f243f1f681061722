#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/device_watch.h"
#include "platform/shell.h"

namespace fs = std::filesystem;

namespace {

fs::path FreshDir(const std::string& name) {
  const fs::path dir = fs::path(::testing::TempDir()) / ("q2e_ui_" + name);
  fs::remove_all(dir);
  fs::create_directories(dir);
  return dir;
}

TEST(DeviceWatch, SeesTtyEntriesAndVirtualPortsOnly) {
  const fs::path dev = FreshDir("dev"), ports = FreshDir("ports") / "sub";
  std::mutex m;
  std::condition_variable cv;
  int changes = 0;
  TDeviceWatch watch(
      [&] {
        std::lock_guard lk(m);
        ++changes;
        cv.notify_all();
      },
      dev, ports);
  EXPECT_TRUE(fs::is_directory(ports));
  const auto wait_change = [&](int expected) {
    std::unique_lock lk(m);
    return cv.wait_for(lk, std::chrono::seconds(2), [&] { return changes >= expected; });
  };
  std::ofstream(dev / "null2").put('x');
  std::ofstream(dev / "ttyUSB0").put('x');
  ASSERT_TRUE(wait_change(1));
  std::ofstream(ports / "sim").put('x');
  ASSERT_TRUE(wait_change(2));
  fs::remove(dev / "null2");
  std::this_thread::sleep_for(std::chrono::milliseconds(100));
  std::lock_guard lk(m);
  EXPECT_EQ(changes, 2);
}

TEST(DeviceWatch, StopsPromptlyWithoutAnyChange) {
  const fs::path dev = FreshDir("dev2");
  const auto start = std::chrono::steady_clock::now();
  {
    TDeviceWatch watch([] {}, dev, dev / "ports");
  }
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(500));
}

struct EnvGuard {
  std::string name;
  std::optional<std::string> old;
  EnvGuard(const std::string& n, const std::optional<std::string>& value) : name(n) {
    if (const char* v = std::getenv(n.c_str())) old = v;
    value ? setenv(n.c_str(), value->c_str(), 1) : unsetenv(n.c_str());
  }
  ~EnvGuard() { old ? setenv(name.c_str(), old->c_str(), 1) : unsetenv(name.c_str()); }
};

TEST(Shell, DocumentsFolderFromXdgSettingsCreatedWhenMissing) {
  const fs::path home = FreshDir("home");
  fs::create_directories(home / ".config");
  EnvGuard h("HOME", home.string()), c("XDG_CONFIG_HOME", std::nullopt),
      d("XDG_DOCUMENTS_DIR", std::nullopt);
  EXPECT_EQ(GetSpecialPath(CSIDL_PERSONAL), (home / "Documents").string());
  std::ofstream(home / ".config/user-dirs.dirs") << "# written by xdg-user-dirs-update\n"
                                                 << "XDG_DOCUMENTS_DIR=\"$HOME/Dokumente\"\n";
  EXPECT_EQ(GetSpecialPath(CSIDL_PERSONAL), (home / "Dokumente").string());
  EXPECT_TRUE(fs::is_directory(home / "Dokumente"));
  {
    EnvGuard direct("XDG_DOCUMENTS_DIR", (home / "papers/").string());
    EXPECT_EQ(GetSpecialPath(CSIDL_PERSONAL), (home / "papers").string());
  }
  EXPECT_EQ(GetSpecialPath(26), "");
}

TEST(Shell, UnknownSoundAliasIsReportedUnplayable) {
  EXPECT_FALSE(PlaySystemSound("SystemExclamationNoSuchAlias"));
  EnvGuard path("PATH", FreshDir("emptypath").string());
  EXPECT_FALSE(PlaySystemSound("SystemHand"));
  EXPECT_FALSE(OpenInDefaultProgram("/tmp/x.txt"));
}

}  // namespace
