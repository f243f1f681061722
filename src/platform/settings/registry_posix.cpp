#include <unistd.h>

#include <cstdlib>

#include "platform/desktop/virtual_ports.h"
#include "platform/files/private_folder_posix.h"
#include "platform/settings/registry.h"

std::unique_ptr<TRegistry> CreateRegistry() {
  namespace fs = std::filesystem;
  if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && *config)
    return CreateFileRegistry(fs::path(config) / "quarrow2excel");
  if (const char* home = std::getenv("HOME"); home && *home)
    return CreateFileRegistry(fs::path(home) / ".config" / "quarrow2excel");
  // No home: the user's own folder beside the virtual ports, which may lie in the shared
  // temporary folder. One that others could enter, swap or point elsewhere keeps nothing beyond
  // this run.
  const fs::path folder = VirtualPortsFolder().parent_path() / "settings";
  try {
    CreatePrivateFolders(folder);
  } catch (const EOSError&) {
  }
  for (const fs::path& f : {folder.parent_path(), folder}) {
    const int fd = OpenPrivateFolder(f);
    if (fd < 0) return CreateMemoryRegistry();
    ::close(fd);
  }
  return CreateFileRegistry(folder);
}
