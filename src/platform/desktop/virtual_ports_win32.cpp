// Windows lists virtual serial ports (com0com and the like) in the port map itself; this folder
// only serves programs of ours that announce a port, and Windows' temporary folder is the
// user's own already.
#include <fstream>
#include <sstream>
#include <system_error>

#include "base/exceptions.h"
#include "platform/desktop/virtual_ports.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kLinkName = "tty";
constexpr const char* kPropertiesName = "properties";

[[noreturn]] void Fail(const std::error_code& ec) {
  throw EOSError(ec.message(), static_cast<unsigned>(ec.value()));
}

}  // namespace

std::filesystem::path VirtualPortsFolder() {
  return fs::temp_directory_path() / "quarrow2excel" / "ports";
}

void CreateVirtualPortsFolder(const fs::path& folder) {
  std::error_code ec;
  fs::create_directories(folder, ec);
}

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
    out << VirtualPortProperties(port);
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
    const std::string name = it->path().filename().string();
    if (name.empty() || name[0] == '.') continue;
    TVirtualPort port;
    port.Name = name;
    port.Link = it->path() / kLinkName;
    std::error_code lec;
    port.Device = fs::read_symlink(port.Link, lec);
    if (lec || !fs::exists(port.Link, lec)) continue;  // the simulator is gone
    std::ifstream in(it->path() / kPropertiesName);
    std::stringstream text;
    text << in.rdbuf();
    ParseVirtualPortProperties(text.str(), port);
    ports.push_back(std::move(port));
  }
  SortVirtualPorts(ports);
  return ports;
}
