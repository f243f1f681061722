// Windows lists virtual serial ports (com0com and the like) in the port map itself; this folder
// only serves programs of ours that announce a port, and Windows' temporary folder is the
// user's own already.
#include "virtual_ports.h"

std::filesystem::path VirtualPortsFolder() {
  return std::filesystem::temp_directory_path() / "quarrow2excel" / "ports";
}
