#include <unistd.h>

#include <cstdlib>

#include "virtual_ports.h"

std::filesystem::path VirtualPortsFolder() {
  if (const char* runtime = std::getenv("XDG_RUNTIME_DIR"); runtime && *runtime)
    return std::filesystem::path(runtime) / "quarrow2excel" / "ports";
  return std::filesystem::temp_directory_path() / ("quarrow2excel-" + std::to_string(getuid())) /
         "ports";
}
