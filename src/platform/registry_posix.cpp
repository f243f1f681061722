#include <cstdlib>

#include "registry.h"

std::unique_ptr<TRegistry> CreateRegistry() {
  namespace fs = std::filesystem;
  fs::path base;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    base = config;
  else if (const char* home = std::getenv("HOME"); home && *home)
    base = fs::path(home) / ".config";
  else
    base = fs::temp_directory_path();
  return CreateFileRegistry(base / "quarrow2excel");
}
