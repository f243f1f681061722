#include "virtual_ports.h"

#include <algorithm>
#include <fstream>
#include <system_error>

#include "base/exceptions.h"
#include "base/utf8_path.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLinkName = "tty";
constexpr const char* kPropertiesName = "properties";

void ReadProperties(const fs::path& file, TVirtualPort& port) {
  std::ifstream in(file);
  std::string line;
  while (std::getline(in, line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const auto eq = line.find('=');
    if (eq == std::string::npos) continue;
    const std::string key = line.substr(0, eq), value = line.substr(eq + 1);
    if (key == "Service")
      port.Service = value;
    else if (key == "Manufacturer")
      port.Manufacturer = value;
    else if (key == "Description")
      port.Description = value;
  }
}

[[noreturn]] void Fail(const std::error_code& ec) {
  throw EOSError(ec.message(), static_cast<unsigned>(ec.value()));
}

}  // namespace

void AnnounceVirtualPort(const fs::path& folder, const TVirtualPort& port) {
  std::error_code ec;
  fs::create_directories(folder, ec);
  if (ec) Fail(ec);
  const fs::path aside = folder / ("." + port.Name + ".new");
  fs::remove_all(aside, ec);
  fs::create_directory(aside, ec);
  if (ec) Fail(ec);
  fs::create_symlink(port.Device, aside / kLinkName, ec);
  if (ec) Fail(ec);
  {
    std::ofstream out(aside / kPropertiesName);
    out << "Service=" << port.Service << "\nManufacturer=" << port.Manufacturer
        << "\nDescription=" << port.Description << "\n";
    if (!out.flush()) Fail(std::make_error_code(std::errc::io_error));
  }
  const fs::path entry = folder / port.Name;
  fs::remove_all(entry, ec);
  fs::rename(aside, entry, ec);
  if (ec) Fail(ec);
}

void WithdrawVirtualPort(const fs::path& folder, const std::string& name) {
  std::error_code ec;
  fs::remove_all(folder / name, ec);
}

std::vector<TVirtualPort> ListVirtualPorts(const fs::path& folder) {
  std::vector<TVirtualPort> ports;
  std::error_code ec;
  for (fs::directory_iterator it(folder, ec), end; !ec && it != end; it.increment(ec)) {
    const std::string name = PathUtf8(it->path().filename());
    if (name.empty() || name[0] == '.') continue;
    TVirtualPort port;
    port.Name = name;
    port.Link = it->path() / kLinkName;
    std::error_code lec;
    port.Device = fs::read_symlink(port.Link, lec);
    if (lec || !fs::exists(port.Link, lec)) continue;  // the simulator is gone
    ReadProperties(it->path() / kPropertiesName, port);
    ports.push_back(std::move(port));
  }
  std::sort(ports.begin(), ports.end(),
            [](const TVirtualPort& a, const TVirtualPort& b) { return a.Name < b.Name; });
  return ports;
}
