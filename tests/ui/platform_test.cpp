#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "platform/desktop/desktop_instance.h"
#include "platform/desktop/device_watch.h"
#include "platform/desktop/shell.h"

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

TEST(DesktopInstance, OneClaimNamePerDesktop) {
  struct Case {
    const char* display;
    const char* name;
  } cases[] = {
      {"", "q2e-window"},
      {":0", "q2e-window-_0"},
      {":0.1", "q2e-window-_0"},  // a screen of the same display
      {"localhost:10.0", "q2e-window-localhost_10"},
      {"lab.example:2", "q2e-window-lab.example_2"},
      {"wayland-1", "q2e-window-wayland-1"},
      {"/tmp/.X11-unix/X0", "q2e-window-_tmp_.X11-unix_X0"},
  };
  for (const Case& c : cases) EXPECT_EQ(DesktopClaimName("q2e", c.display), c.name) << c.display;
}

TEST(DesktopInstance, ALaterStartAsksTheHolderToRaiseUntilItEnds) {
  const fs::path runtime = FreshDir("instance");
  setenv("XDG_RUNTIME_DIR", runtime.c_str(), 1);
  unsetenv("WAYLAND_DISPLAY");
  setenv("DISPLAY", ":7", 1);
  // The socket of a holder that crashed is no obstacle.
  fs::create_directories(runtime / "quarrow2excel");
  fs::permissions(runtime / "quarrow2excel", fs::perms::owner_all, fs::perm_options::replace);
  std::ofstream(runtime / "quarrow2excel" / "q2e-window-_7.sock") << "stale";

  TDesktopClaim first = ClaimDesktop("q2e");
  ASSERT_NE(first.Held, nullptr);
  std::atomic<int> raised{0};
  first.Held->Attach(nullptr, [&] { ++raised; });
  struct Case {
    const char* display;
    bool held;
    int raised;
  } cases[] = {{":7", false, 1}, {":7.0", false, 2}, {":8", true, 2}};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.display);
    setenv("DISPLAY", c.display, 1);
    const TDesktopClaim later = ClaimDesktop("q2e");
    EXPECT_EQ(later.Held != nullptr, c.held);
    EXPECT_EQ(later.Raised, !c.held);
    EXPECT_EQ(raised.load(), c.raised);
  }
  setenv("DISPLAY", ":7", 1);
  first.Held.reset();
  EXPECT_NE(ClaimDesktop("q2e").Held, nullptr);  // the desktop is free again
  unsetenv("DISPLAY");
  unsetenv("XDG_RUNTIME_DIR");
}

}  // namespace
