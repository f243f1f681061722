#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

#include "serial/device_db_sysfs.h"

namespace fs = std::filesystem;

namespace {

class FakeTree {
 public:
  FakeTree()
      : root_(fs::temp_directory_path() /
              ("q2e_sysfs_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) +
               std::to_string(reinterpret_cast<std::uintptr_t>(this)))) {
    fs::remove_all(root_);
    fs::create_directories(Sys() / "class" / "tty");
    fs::create_directories(Dev());
    fs::create_directories(root_ / "virtual");
  }
  ~FakeTree() { fs::remove_all(root_); }
  fs::path Sys() const { return root_ / "sys"; }
  fs::path Dev() const { return root_ / "dev"; }
  fs::path Virtual() const { return root_ / "virtual"; }

  static void Write(const fs::path& f, const std::string& s) { std::ofstream(f) << s << "\n"; }

  // A tty whose device is <devices>/<deviceRel>, bound to driver; usbRel names the USB device.
  void AddTty(const std::string& name, const std::string& deviceRel, const std::string& driver,
              const std::string& usbRel = "", const std::string& manufacturer = "",
              const std::string& product = "", const std::string& type = "") {
    const fs::path device = Sys() / "devices" / deviceRel;
    const fs::path entry = device / "tty" / name;
    fs::create_directories(entry);
    fs::create_directory_symlink("../..", entry / "device");
    if (!driver.empty()) {
      fs::create_directories(Sys() / "bus" / "drivers" / driver);
      if (!fs::exists(fs::symlink_status(device / "driver")))
        fs::create_directory_symlink(Sys() / "bus" / "drivers" / driver, device / "driver");
    }
    if (!type.empty()) Write(entry / "type", type);
    if (!usbRel.empty()) {
      const fs::path usb = Sys() / "devices" / usbRel;
      Write(usb / "idVendor", "0403");
      Write(usb / "manufacturer", manufacturer);
      Write(usb / "product", product);
    }
    fs::create_directory_symlink(entry, Sys() / "class" / "tty" / name);
    Write(Dev() / name, "");
  }
  void Unplug(const std::string& name) {
    fs::remove(Sys() / "class" / "tty" / name);
    fs::remove(Dev() / name);
  }

 private:
  fs::path root_;
};

const TsrDevice* Find(const TsrDeviceList& list, const std::string& portName) {
  for (int i = 0; i < list.Count(); ++i)
    if (list.Item(i)->PortName == portName) return list.Item(i);
  return nullptr;
}

}  // namespace

TEST(SysfsDatabase, ListsRealPortsWithUsbDetails) {
  FakeTree t;
  const std::string usb = "pci0000:00/0000:00:14.0/usb1/";
  t.AddTty("ttyUSB0", usb + "1-1/1-1:1.0/ttyUSB0", "ftdi_sio", usb + "1-1", "FTDI",
           "FT232R USB UART");
  t.AddTty("ttyUSB1", usb + "1-2/1-2:1.0/ttyUSB1", "cp210x", usb + "1-2", "Silicon Labs",
           "CP2102 USB to UART Bridge Controller");
  t.AddTty("ttyUSB2", usb + "1-3/1-3:1.0/ttyUSB2", "pl2303", usb + "1-3", "Prolific",
           "USB-Serial Controller");
  t.AddTty("ttyACM0", usb + "1-4/1-4:1.0", "cdc_acm", usb + "1-4", "Arduino", "Uno");
  t.AddTty("ttyS0", "pnp0/00:04", "serial", "", "", "", "4");
  t.AddTty("ttyS1", "platform/serial8250", "serial8250", "", "", "", "0");
  t.AddTty("ttyS2", "platform/serial8250", "serial8250");
  fs::create_directories(t.Sys() / "devices" / "virtual" / "tty" / "tty0");
  fs::create_directory_symlink(t.Sys() / "devices" / "virtual" / "tty" / "tty0",
                               t.Sys() / "class" / "tty" / "tty0");

  TsrSysfsDeviceDatabase db(t.Sys(), t.Dev(), t.Virtual());
  TsrDeviceList list;
  DeviceListLoad(list, epFullPresent, db, nullptr);
  ASSERT_EQ(list.Count(), 5);
  struct Want {
    std::string name, service, manufacturer, description, driver;
  };
  const Want wants[] = {
      {"ttyUSB0", "FTSER2K", "FTDI", "FT232R USB UART", "ftdi_sio"},
      {"ttyUSB1", "silabser", "Silicon Labs", "CP2102 USB to UART Bridge Controller", "cp210x"},
      {"ttyUSB2", "pl2303", "Prolific", "USB-Serial Controller", "pl2303"},
      {"ttyACM0", "cdc_acm", "Arduino", "Uno", "cdc_acm"},
      {"ttyS0", "serial", "", "", "serial"},
  };
  for (const Want& w : wants) {
    SCOPED_TRACE(w.name);
    const TsrDevice* d = Find(list, (t.Dev() / w.name).string());
    ASSERT_NE(d, nullptr);
    EXPECT_EQ(d->Service, w.service);
    EXPECT_EQ(d->Manufacturer, w.manufacturer);
    EXPECT_EQ(d->Description, w.description);
    EXPECT_EQ(d->Driver, w.driver);
    EXPECT_EQ(d->NamePDO, w.name);
    EXPECT_GE(d->Data, 4097);
    EXPECT_FALSE(d->RegKey.empty());
  }
}

TEST(SysfsDatabase, NumbersStayWhileDevicesStayPlugged) {
  FakeTree t;
  t.AddTty("ttyUSB0", "usb1/1-1/1-1:1.0/ttyUSB0", "ftdi_sio", "usb1/1-1", "FTDI", "A");
  t.AddTty("ttyUSB1", "usb1/1-2/1-2:1.0/ttyUSB1", "cp210x", "usb1/1-2", "Silicon Labs", "B");
  TsrSysfsDeviceDatabase db(t.Sys(), t.Dev(), t.Virtual());
  TsrDeviceList first;
  DeviceListLoad(first, epFullInfo, db, nullptr);
  ASSERT_EQ(first.Count(), 2);
  const std::int32_t kept = Find(first, (t.Dev() / "ttyUSB1").string())->Data;
  const std::int32_t gone = Find(first, (t.Dev() / "ttyUSB0").string())->Data;
  EXPECT_NE(kept, gone);

  t.Unplug("ttyUSB0");
  t.AddTty("ttyUSB2", "usb1/1-3/1-3:1.0/ttyUSB2", "ftdi_sio", "usb1/1-3", "FTDI", "C");
  TsrDeviceList second;
  DeviceListLoad(second, epFullInfo, db, nullptr);
  ASSERT_EQ(second.Count(), 2);
  EXPECT_EQ(Find(second, (t.Dev() / "ttyUSB0").string()), nullptr);
  EXPECT_EQ(Find(second, (t.Dev() / "ttyUSB1").string())->Data, kept);
  const std::int32_t fresh = Find(second, (t.Dev() / "ttyUSB2").string())->Data;
  EXPECT_NE(fresh, kept);
  EXPECT_NE(fresh, gone);
}
