#include <sstream>

#include "platform/settings/registry.h"

std::string NormalizeKeyPath(const std::string& path) {
  std::string out, part;
  std::istringstream in(path);
  while (std::getline(in, part, '\\')) {
    if (part.empty()) continue;
    if (!out.empty()) out += '\\';
    out += part;
  }
  return out;
}
