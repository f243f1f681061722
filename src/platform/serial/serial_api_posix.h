// The Linux serial operations with other sources of what the device tells: tests script the
// modem lines that a pseudo-terminal does not have, and the driver's low-latency switch. Linux
// has no port configuration dialog of its own: the window program lends the one it shows.
#pragma once

#include <functional>
#include <memory>
#include <string>

#include "platform/serial/serial_api.h"

// Reads the modem lines of an open descriptor; 0, or the errno of the failure. Called from any
// thread.
using TModemProbe = std::function<int(int fd, TModemLines& lines)>;

// The system's probe: TIOCMGET, with the change counters of TIOCGICOUNT where the driver has them.
int ReadModemLines(int fd, TModemLines& lines);

// The low-latency switch of a port's driver (ASYNC_LOW_LATENCY). An FTDI adapter otherwise holds
// the last bytes of every frame for its 16 ms latency timer before passing them on.
struct TLowLatencySwitch {
  // The name of the driver behind an open descriptor ("ftdi_sio", ...), empty when unknown.
  std::function<std::string(int fd)> DriverName;
  // Whether low latency is on; 0, or the errno of the failure.
  std::function<int(int fd, bool& on)> Get;
  // Switches it; 0, or the errno of the failure.
  std::function<int(int fd, bool on)> Set;
};

// The system's switch: the driver from /sys/dev/char, the flag through TIOCGSERIAL/TIOCSSERIAL.
TLowLatencySwitch SystemLowLatencySwitch();

// Shows the port's settings in cfg for the user to edit: true when accepted (cfg updated).
using TCommConfigDialog = std::function<bool(const std::string& name, COMMCONFIG& cfg)>;

// The dialog that CommConfigDialogW shows, on the main thread; none (the default) makes it fail
// with ERROR_NOT_SUPPORTED.
void SetCommConfigDialog(TCommConfigDialog dialog);

// A separate instance of the system's implementation that reads the lines through probe and
// switches latency through lowLatency (the system's for what is left empty).
std::shared_ptr<TSerialApi> MakePosixSerialApi(TModemProbe probe,
                                               TLowLatencySwitch lowLatency = {});
