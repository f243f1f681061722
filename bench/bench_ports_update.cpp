// Times a full reload of the device list over a fake sysfs tree of 64 ttys, 8 of them USB adapters.
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/device_db_sysfs.h"

namespace fs = std::filesystem;

int main() {
  const fs::path root = fs::temp_directory_path() / "q2e_bench_ports";
  fs::remove_all(root);
  const fs::path sys = root / "sys", dev = root / "dev";
  fs::create_directories(sys / "class" / "tty");
  fs::create_directories(dev);
  fs::create_directories(sys / "bus" / "drivers" / "ftdi_sio");
  for (int i = 0; i < 64; ++i) {
    const bool usb = i < 8;
    const std::string name = usb ? "ttyUSB" + std::to_string(i) : "ttyS" + std::to_string(i);
    const fs::path parent = sys / "devices" / (usb ? "usb1/1-" + std::to_string(i) : "pnp0");
    const fs::path device = usb ? parent / "1-1:1.0" / name : parent / ("00:" + std::to_string(i));
    const fs::path entry = device / "tty" / name;
    fs::create_directories(entry);
    fs::create_directory_symlink("../..", entry / "device");
    if (usb) {
      fs::create_directory_symlink(sys / "bus" / "drivers" / "ftdi_sio", device / "driver");
      std::ofstream(parent / "idVendor") << "0403\n";
      std::ofstream(parent / "manufacturer") << "FTDI\n";
      std::ofstream(parent / "product") << "FT232R USB UART\n";
    } else {
      std::ofstream(entry / "type") << (i < 12 ? "4\n" : "0\n");
    }
    fs::create_directory_symlink(entry, sys / "class" / "tty" / name);
    std::ofstream(dev / name).put('\n');
  }
  TsrSysfsDeviceDatabase db(sys, dev, root / "ports");
  std::vector<double> ms;
  int count = 0;
  for (int run = 0; run < 200; ++run) {
    TsrDeviceList list;
    const auto t0 = std::chrono::steady_clock::now();
    DeviceListLoad(list, epFullInfo, db, nullptr);
    ms.push_back(
        std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    count = list.Count();
  }
  std::sort(ms.begin(), ms.end());
  std::printf("device list reload, 64 ttys (8 USB): %d ports, median %.3f ms, p90 %.3f ms\n", count,
              ms[ms.size() / 2], ms[ms.size() * 9 / 10]);
  fs::remove_all(root);
  return 0;
}
