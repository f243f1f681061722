// Virtual serial ports announced by programs of this user (the tester simulator): the port list
// shows them like USB adapters, so a simulated tester is found exactly as a real one.
//
// Each entry is a folder <VirtualPortsFolder()>/<name>/ holding a link "tty" to the port's device
// (a pseudo-terminal) and a file "properties" of key=value lines: Service, Manufacturer,
// Description. Entries appear and vanish atomically (built aside, then renamed).
//
// The folder is the user's own with no access for others: announcing creates it so and refuses
// one that is not; listing ignores such a folder, entries that are links, and devices that are
// not the user's own terminals.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

struct TVirtualPort {
  std::string Name;              // the entry's folder name
  std::filesystem::path Link;    // <folder>/<name>/tty
  std::filesystem::path Device;  // what the link points to, e.g. /dev/pts/3
  std::string Service, Manufacturer, Description;
};

// $XDG_RUNTIME_DIR/quarrow2excel/ports, else a per-user folder in the temporary directory.
std::filesystem::path VirtualPortsFolder();

// Creates the folder, and any missing one above it, for the user alone; an existing one stays as
// it is. Whatever else lives beside the ports (the window's desktop claim) is made with this.
void CreateVirtualPortsFolder(const std::filesystem::path& folder);

// Publishes the port (replacing an entry of the same name); throws EOSError on failure.
void AnnounceVirtualPort(const std::filesystem::path& folder, const TVirtualPort& port);
// Removes the entry; nothing happens when it does not exist.
void WithdrawVirtualPort(const std::filesystem::path& folder, const std::string& name);
// The entries whose device still exists, in name order. A missing or refused folder gives an
// empty list.
std::vector<TVirtualPort> ListVirtualPorts(const std::filesystem::path& folder);

// The properties file's text for a port, and the port's properties read back from such a text.
std::string VirtualPortProperties(const TVirtualPort& port);
void ParseVirtualPortProperties(const std::string& text, TVirtualPort& port);
// Entries in name order.
void SortVirtualPorts(std::vector<TVirtualPort>& ports);
