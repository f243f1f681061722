#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <sys/stat.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>

#include "base/exceptions.h"
#include "platform/desktop/desktop_instance.h"
#include "platform/desktop/device_watch.h"
#include "platform/desktop/virtual_ports.h"
#include "platform/settings/registry.h"
#include "serial/device_db_sysfs.h"

namespace fs = std::filesystem;

TEST(SysfsDatabase, ListsAnnouncedPseudoTerminal) {
  const fs::path root = fs::temp_directory_path() / ("q2e_vport_" + std::to_string(getpid()));
  fs::remove_all(root);
  fs::create_directories(root / "sys");
  int master = -1, slave = -1;
  ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
  const std::string device = ttyname(slave);
  AnnounceVirtualPort(root / "ports", {"sim", {}, device, "FTSER2K", "FTDI", "Quarrow simulator"});

  TsrSysfsDeviceDatabase db(root / "sys", root / "dev", root / "ports");
  TsrDeviceList list;
  DeviceListLoad(list, epFullPresent, db, nullptr);
  ASSERT_EQ(list.Count(), 1);
  const TsrDevice& d = *list.Item(0);
  EXPECT_EQ(d.PortName, (root / "ports" / "sim" / "tty").string());
  EXPECT_EQ(d.Service, "FTSER2K");
  EXPECT_EQ(d.Manufacturer, "FTDI");
  EXPECT_EQ(d.NameFriendly, d.PortName + " (Quarrow simulator)");
  EXPECT_EQ(fs::canonical(d.PortName), fs::canonical(device));

  close(slave);
  close(master);
  TsrDeviceList after;
  DeviceListLoad(after, epFullPresent, db, nullptr);
  EXPECT_EQ(after.Count(), 0);
  fs::remove_all(root);
}

namespace {

// A fresh folder for one test, and a pseudo-terminal of this user to announce.
struct VirtualPortFolder : ::testing::Test {
  fs::path root = fs::temp_directory_path() / ("q2e_vfolder_" + std::to_string(getpid()));
  int master = -1, slave = -1;
  std::string device;
  void SetUp() override {
    fs::remove_all(root);
    fs::create_directories(root);
    ASSERT_EQ(openpty(&master, &slave, nullptr, nullptr, nullptr), 0);
    device = ttyname(slave);
  }
  void TearDown() override {
    close(slave);
    close(master);
    fs::remove_all(root);
  }
  TVirtualPort Port(const std::string& name) const {
    return {name, {}, device, "FTSER2K", "FTDI", "planted"};
  }
};

TEST_F(VirtualPortFolder, IsCreatedForTheUserAloneAndRefusedWhenOthersMayEnterIt) {
  AnnounceVirtualPort(root / "ports", Port("sim"));
  struct stat st {};
  ASSERT_EQ(stat((root / "ports").c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_EQ(st.st_uid, geteuid());
  ASSERT_EQ(ListVirtualPorts(root / "ports").size(), 1u);

  for (const mode_t mode : {0755, 0710, 0701, 0770, 0777}) {
    SCOPED_TRACE(mode);
    ASSERT_EQ(chmod((root / "ports").c_str(), mode), 0);
    EXPECT_TRUE(ListVirtualPorts(root / "ports").empty());
    EXPECT_THROW(AnnounceVirtualPort(root / "ports", Port("second")), EOSError);
  }
  ASSERT_EQ(chmod((root / "ports").c_str(), 0700), 0);
  EXPECT_EQ(ListVirtualPorts(root / "ports").size(), 1u);
}

// The window watches the folder and keeps its desktop claim beside it before any tester is
// announced: what it creates must stay usable for announcing.
TEST_F(VirtualPortFolder, WatchingAndClaimingFirstLeaveTheFolderTheUsersAlone) {
  const fs::path ports = root / "run" / "quarrow2excel" / "ports";
  TDeviceWatch watch([] {}, root, ports);
  CreateVirtualPortsFolder(ports);
  for (const fs::path& folder : {ports, ports.parent_path()}) {
    struct stat st {};
    ASSERT_EQ(stat(folder.c_str(), &st), 0) << folder;
    EXPECT_EQ(st.st_mode & 0777, 0700u) << folder;
  }
  AnnounceVirtualPort(ports, Port("sim"));
  EXPECT_EQ(ListVirtualPorts(ports).size(), 1u);
}

TEST_F(VirtualPortFolder, AFolderOfAnotherUserIsRefused) {
  if (geteuid() != 0) GTEST_SKIP() << "giving a folder away needs root";
  const fs::path ports = root / "ports";
  AnnounceVirtualPort(ports, Port("sim"));
  ASSERT_EQ(chown(ports.c_str(), 65534, 65534), 0);
  EXPECT_TRUE(ListVirtualPorts(ports).empty());
  EXPECT_THROW(AnnounceVirtualPort(ports, Port("second")), EOSError);
  // Nor is a folder of the user's own inside a folder that another user may swap.
  ASSERT_EQ(chown(ports.c_str(), 0, 0), 0);
  ASSERT_EQ(chown(root.c_str(), 65534, 65534), 0);
  EXPECT_TRUE(ListVirtualPorts(ports).empty());
}

// Without a runtime folder or a home the desktop claim and the settings store lie in the user's
// folder in the shared temporary folder: used only when it is the user's alone, never through
// a link. Whatever is refused, the program still runs, as the only one and with its defaults.
TEST_F(VirtualPortFolder, WithoutRuntimeFolderOrHomeTheSharedFolderIsCheckedToo) {
  const fs::path mine = root / ("quarrow2excel-" + std::to_string(getuid()));
  const fs::path elsewhere = root / "elsewhere";
  const std::string lock = DesktopClaimName("quarrow2excel", ":9") + ".lock";
  const struct {
    const char* name;
    std::function<void()> plant;
    bool used;
    bool needsRoot = false;  // giving a link away
  } cases[] = {
      {"nothing there yet", [] {}, true},
      {"the user's folder, others may enter",
       [&] {
         fs::create_directory(mine);
         chmod(mine.c_str(), 0777);
       },
       false},
      {"the lock and the settings are links",
       [&] {
         CreateVirtualPortsFolder(mine / "ports");
         fs::create_symlink(elsewhere / "lock", mine / lock);
         fs::create_directory_symlink(elsewhere, mine / "settings");
       },
       false},
      {"a link of another user",
       [&] {
         fs::create_directory_symlink(elsewhere, mine);
         EXPECT_EQ(lchown(mine.c_str(), 65534, 65534), 0);
       },
       false, true},
  };
  const char* const names[] = {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME", "TMPDIR", "DISPLAY"};
  std::vector<std::optional<std::string>> saved;
  for (const char* n : names) saved.push_back(getenv(n) ? std::optional(getenv(n)) : std::nullopt);
  for (const char* n : {"XDG_RUNTIME_DIR", "HOME", "XDG_CONFIG_HOME"}) unsetenv(n);
  setenv("TMPDIR", root.c_str(), 1);
  setenv("DISPLAY", ":9", 1);
  for (const auto& c : cases) {
    if (c.needsRoot && geteuid() != 0) continue;
    SCOPED_TRACE(c.name);
    fs::remove_all(mine);
    fs::remove_all(elsewhere);
    fs::create_directory(elsewhere);
    c.plant();
    const TDesktopClaim claim = ClaimDesktop("quarrow2excel");
    EXPECT_TRUE(claim.Held);
    auto reg = CreateRegistry();
    reg->SetRootKey(TRootKey::CurrentUser);
    ASSERT_TRUE(reg->OpenKey("\\Software", true));
    reg->WriteInteger("Unit", 3);
    std::error_code ec;
    EXPECT_EQ(fs::is_regular_file(fs::symlink_status(mine / lock, ec)), c.used);
    EXPECT_EQ(fs::is_regular_file(fs::symlink_status(mine / "settings" / "current_user.reg", ec)),
              c.used);
    EXPECT_TRUE(fs::is_empty(elsewhere));
  }
  for (std::size_t i = 0; i < saved.size(); ++i)
    saved[i] ? setenv(names[i], saved[i]->c_str(), 1) : unsetenv(names[i]);
}

TEST_F(VirtualPortFolder, LinksOutOfTheFolderAreNotFollowed) {
  const fs::path ports = root / "ports";
  AnnounceVirtualPort(ports, Port("real"));
  // Elsewhere, a well-formed entry.
  const fs::path elsewhere = root / "elsewhere";
  AnnounceVirtualPort(elsewhere, Port("entry"));
  struct Plant {
    const char* name;
    std::function<void(const fs::path& entry)> make;
  };
  const Plant plants[] = {
      {"entry that is a link",
       [&](const fs::path& e) { fs::create_directory_symlink(elsewhere / "entry", e); }},
      {"tty to a file",
       [&](const fs::path& e) {
         fs::create_directory(e);
         std::ofstream(root / "file") << "x";
         fs::create_symlink(root / "file", e / "tty");
       }},
      {"tty to a terminal gone",
       [&](const fs::path& e) {
         fs::create_directory(e);
         fs::create_symlink("/dev/pts/999999", e / "tty");
       }},
  };
  for (const Plant& p : plants) p.make(ports / p.name);
  // A properties file that is a link is not read; the entry itself stands.
  fs::remove(ports / "real" / "properties");
  std::ofstream(root / "secret") << "Service=leaked\n";
  fs::create_symlink(root / "secret", ports / "real" / "properties");

  const std::vector<TVirtualPort> listed = ListVirtualPorts(ports);
  ASSERT_EQ(listed.size(), 1u);
  EXPECT_EQ(listed[0].Name, "real");
  EXPECT_EQ(listed[0].Service, "");
  EXPECT_EQ(fs::path(listed[0].Device), fs::path(device));
}

TEST_F(VirtualPortFolder, PropertiesRoundTrip) {
  TVirtualPort port = Port("p");
  port.Description = "a=b";
  TVirtualPort back;
  ParseVirtualPortProperties(VirtualPortProperties(port) + "Unknown=1\r\nnoise\n", back);
  EXPECT_EQ(std::tie(back.Service, back.Manufacturer, back.Description),
            std::tie(port.Service, port.Manufacturer, port.Description));
}

}  // namespace
