// Why a serial port could not be opened, in the program's own terms, from the error code that the
// serial API (serial_api.h) left. One implementation per system: the same code means different
// things there (on Windows a port is exclusive, so "access denied" means another program holds
// it; on Linux it means the user lacks the right to the device). Thread-safe.
#pragma once

#include <cstdint>

enum class TPortFault {
  None,          // opened
  NoPermission,  // the user may not open the device
  InUse,         // another program holds the port
  Missing,       // no such device (or its adapter is not plugged in)
  NotSerial,     // the path names something that is no serial port
  Other,
};

TPortFault PortFaultOf(std::uint32_t code);
