// The codes come from the errno mapping of serial_api_posix.cpp.
#include "platform/serial/port_fault.h"

#include "platform/serial/serial_api.h"

TPortFault PortFaultOf(std::uint32_t code) {
  switch (code) {
    case ERROR_SUCCESS:
      return TPortFault::None;
    case ERROR_ACCESS_DENIED:
      return TPortFault::NoPermission;
    case ERROR_SHARING_VIOLATION:
      return TPortFault::InUse;
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
    case ERROR_DEVICE_NOT_CONNECTED:
      return TPortFault::Missing;
    case ERROR_NOT_SUPPORTED:
      return TPortFault::NotSerial;
    default:
      return TPortFault::Other;
  }
}
