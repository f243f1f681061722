// The Linux serial operations with another source of modem lines: tests script the lines that a
// pseudo-terminal does not have.
#pragma once

#include <functional>
#include <memory>

#include "platform/serial_api.h"

// Reads the modem lines of an open descriptor; 0, or the errno of the failure. Called from any
// thread.
using TModemProbe = std::function<int(int fd, TModemLines& lines)>;

// The system's probe: TIOCMGET, with the change counters of TIOCGICOUNT where the driver has them.
int ReadModemLines(int fd, TModemLines& lines);

// A separate instance of the system's implementation that reads the lines through probe.
std::shared_ptr<TSerialApi> MakePosixSerialApi(TModemProbe probe);
