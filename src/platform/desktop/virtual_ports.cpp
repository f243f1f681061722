#include "platform/desktop/virtual_ports.h"

#include <algorithm>
#include <sstream>

std::string VirtualPortProperties(const TVirtualPort& port) {
  return "Service=" + port.Service + "\nManufacturer=" + port.Manufacturer +
         "\nDescription=" + port.Description + "\n";
}

void ParseVirtualPortProperties(const std::string& text, TVirtualPort& port) {
  std::istringstream in(text);
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

void SortVirtualPorts(std::vector<TVirtualPort>& ports) {
  std::sort(ports.begin(), ports.end(),
            [](const TVirtualPort& a, const TVirtualPort& b) { return a.Name < b.Name; });
}
