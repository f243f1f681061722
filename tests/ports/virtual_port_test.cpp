#include <gtest/gtest.h>
#include <pty.h>
#include <unistd.h>

#include <filesystem>

#include "platform/virtual_ports.h"
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
