#include "serial/device_db_sysfs.h"

#include <algorithm>
#include <cctype>
#include <fstream>
#include <system_error>

#include "platform/desktop/virtual_ports.h"

namespace fs = std::filesystem;

namespace {

// First line of a sysfs attribute, empty when it cannot be read.
std::string ReadAttribute(const fs::path& file) {
  std::ifstream in(file);
  std::string line;
  std::getline(in, line);
  while (!line.empty() && (line.back() == '\n' || line.back() == ' ')) line.pop_back();
  return line;
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::exists(fs::symlink_status(p, ec));
}

// Name of the driver bound to the device, empty when none is.
std::string DriverOf(const fs::path& device) {
  std::error_code ec;
  const fs::path target = fs::read_symlink(device / "driver", ec);
  return ec ? std::string() : target.filename().string();
}

std::string ServiceOf(const std::string& driver) {
  // The Windows driver services of the same chips, which the program recognises adapters by.
  if (driver == "ftdi_sio") return "FTSER2K";
  if (driver == "cp210x") return "silabser";
  return driver;
}

// Whether a serial-core tty has a UART behind it. The kernel registers ttyS0..ttyS(n-1) for the
// 8250 driver whether or not the chips exist; such placeholders report port type 0 (unknown) and
// hang off the serial8250 platform device itself.
bool UartExists(const fs::path& classEntry, const std::string& name, const std::string& driver) {
  const std::string type = ReadAttribute(classEntry / "type");
  if (!type.empty()) return type != "0";
  return name.rfind("ttyS", 0) != 0 || driver != "serial8250";
}

// "ttyS10" after "ttyS2": names compared with their digit runs as numbers.
bool NaturalLess(const std::string& a, const std::string& b) {
  std::size_t i = 0, j = 0;
  while (i < a.size() && j < b.size()) {
    if (std::isdigit(static_cast<unsigned char>(a[i])) &&
        std::isdigit(static_cast<unsigned char>(b[j]))) {
      std::size_t ie = i, je = j;
      while (ie < a.size() && std::isdigit(static_cast<unsigned char>(a[ie]))) ++ie;
      while (je < b.size() && std::isdigit(static_cast<unsigned char>(b[je]))) ++je;
      const std::string na = a.substr(i, ie - i), nb = b.substr(j, je - j);
      if (na.size() != nb.size()) return na.size() < nb.size();
      if (na != nb) return na < nb;
      i = ie;
      j = je;
    } else {
      if (a[i] != b[j]) return a[i] < b[j];
      ++i;
      ++j;
    }
  }
  return a.size() - i < b.size() - j;
}

}  // namespace

TsrSysfsDeviceDatabase::TsrSysfsDeviceDatabase(fs::path sysRoot, fs::path devRoot,
                                               fs::path virtualPorts)
    : sysRoot_(std::move(sysRoot)),
      devRoot_(std::move(devRoot)),
      virtualPorts_(std::move(virtualPorts)) {}

std::vector<TsrSysfsDeviceDatabase::Port> TsrSysfsDeviceDatabase::Scan() {
  std::vector<Port> ports;
  std::error_code ec;
  const fs::path devicesRoot = fs::weakly_canonical(sysRoot_ / "devices", ec);
  std::vector<std::string> names;
  for (fs::directory_iterator it(sysRoot_ / "class" / "tty", ec), end; !ec && it != end;
       it.increment(ec))
    names.push_back(it->path().filename().string());
  std::sort(names.begin(), names.end(), NaturalLess);

  for (const std::string& name : names) {
    const fs::path classEntry = sysRoot_ / "class" / "tty" / name;
    // Virtual consoles, pseudo-terminals and the like have no device link.
    if (!Exists(classEntry / "device")) continue;
    const fs::path device = fs::canonical(classEntry / "device", ec);
    if (ec) continue;
    const std::string driver = DriverOf(device);
    if (!UartExists(classEntry, name, driver)) continue;
    const fs::path node = devRoot_ / name;
    if (!Exists(node)) continue;

    Port port;
    port.Name = node.string();
    port.Kernel = name;
    TsrDevice& r = port.Record;
    r.PortName = port.Name;
    r.Driver = driver;
    r.Service = ServiceOf(driver);
    r.RegKey = device.string();
    const fs::path rel = device.lexically_relative(devicesRoot);
    r.InstanceId = "/devices/" + rel.generic_string();
    // The USB device is the nearest ancestor that carries the vendor id.
    for (fs::path p = device; p.has_relative_path() && p != devicesRoot; p = p.parent_path()) {
      if (Exists(p / "idVendor")) {
        r.Manufacturer = ReadAttribute(p / "manufacturer");
        r.Description = ReadAttribute(p / "product");
        r.SerialNumber = ReadAttribute(p / "serial");
        break;
      }
    }
    ports.push_back(std::move(port));
  }

  for (const TVirtualPort& v : ListVirtualPorts(virtualPorts_)) {
    Port port;
    port.Name = v.Link.string();
    port.Kernel = v.Device.string();
    TsrDevice& r = port.Record;
    r.PortName = port.Name;
    r.Service = v.Service;
    r.Manufacturer = v.Manufacturer;
    r.Description = v.Description;
    r.Driver = "pty";
    r.RegKey = v.Link.parent_path().string();
    r.InstanceId = "virtual/" + v.Name;
    ports.push_back(std::move(port));
  }
  return ports;
}

std::int32_t TsrSysfsDeviceDatabase::NumberOf(const std::string& name) {
  const auto [it, added] = numbers_.try_emplace(name, next_);
  if (added) ++next_;
  return it->second;
}

std::vector<TsrPortMapEntry> TsrSysfsDeviceDatabase::PortMap() {
  std::vector<Port> ports = Scan();
  std::lock_guard lock(mutex_);
  std::vector<TsrPortMapEntry> map;
  map.reserve(ports.size());
  for (const Port& p : ports) map.push_back({p.Name, p.Kernel, NumberOf(p.Name)});
  std::sort(map.begin(), map.end(),
            [](const TsrPortMapEntry& a, const TsrPortMapEntry& b) { return a.Number < b.Number; });
  return map;
}

std::vector<TsrDevice> TsrSysfsDeviceDatabase::EnumerationRecords(bool /*presentOnly*/) {
  std::vector<Port> ports = Scan();
  std::vector<TsrDevice> records;
  records.reserve(ports.size());
  for (Port& p : ports) records.push_back(std::move(p.Record));
  return records;
}

std::shared_ptr<TsrDeviceDatabase> SystemDeviceDatabase() {
  // One for the process, so that a port keeps its number across every component's reloads.
  static const auto db =
      std::make_shared<TsrSysfsDeviceDatabase>("/sys", "/dev", VirtualPortsFolder());
  return db;
}
