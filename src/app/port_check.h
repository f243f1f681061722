// The command-line reader's look at the port it was given, before it starts: a path that can
// never be a serial port is a usage error, not something to wait for. Main thread only.
#pragma once

#include <optional>
#include <string>

#include "platform/serial/serial_api.h"

// Why path is no serial port (missing, a folder, a file, another device), or none when it may be
// one; a port that is there but cannot be opened now (permission, in use) is left to the search.
std::optional<std::string> NotASerialPort(const std::string& path, TSerialApi& api);
