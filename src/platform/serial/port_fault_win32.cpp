// The codes are the system's own (GetLastError after CreateFileW).
#include "platform/serial/port_fault.h"

#include "platform/serial/serial_api.h"

TPortFault PortFaultOf(std::uint32_t code) {
  switch (code) {
    case ERROR_SUCCESS:
      return TPortFault::None;
    // A COM port opens exclusively: a second opener is refused with "access denied".
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
    case ERROR_BUSY:
      return TPortFault::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
      return TPortFault::Missing;
    case ERROR_INVALID_FUNCTION:
    case ERROR_NOT_SUPPORTED:
      return TPortFault::NotSerial;
    default:
      return TPortFault::Other;
  }
}
