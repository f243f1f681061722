// The last error of each thread and the system's texts for the codes.
#include <cerrno>
#include <cstring>
#include <string>

#include "platform/serial/serial_posix_port.h"

namespace posix_serial {

thread_local std::uint32_t t_lastError = 0;
thread_local int t_lastErrno = 0;

std::uint32_t MapErrno(int e) {
  switch (e) {
    case 0:
      return ERROR_SUCCESS;
    case ENOENT:
    case ENOTDIR:
      return ERROR_FILE_NOT_FOUND;
    case EACCES:
    case EPERM:
      return ERROR_ACCESS_DENIED;
    case EBUSY:        // another opener set TIOCEXCL
    case EWOULDBLOCK:  // another opener holds the flock
      return ERROR_SHARING_VIOLATION;
    case EBADF:
      return ERROR_INVALID_HANDLE;
    case ENOMEM:
      return ERROR_NOT_ENOUGH_MEMORY;
    case EINVAL:
      return ERROR_INVALID_PARAMETER;
    case ENOTTY:
    case EISDIR:
    case ENOSYS:
    case EOPNOTSUPP:
      return ERROR_NOT_SUPPORTED;
    case EIO:
    case ENXIO:
    case ENODEV:
      return ERROR_DEVICE_NOT_CONNECTED;
    case ECANCELED:
      return ERROR_OPERATION_ABORTED;
    default:
      return 0x20000000u | static_cast<std::uint32_t>(e);  // customer bit: raw errno
  }
}
bool FailErrno(int e) {
  t_lastErrno = e;
  t_lastError = MapErrno(e);
  return false;
}
bool Fail(std::uint32_t code) {
  t_lastErrno = 0;
  t_lastError = code;
  return false;
}
bool DeviceGoneErrno(int e) {
  return e == EIO || e == ENXIO || e == ENODEV;
}

std::uint32_t TPosixSerialApi::GetLastError() {
  return t_lastError;
}

std::string TPosixSerialApi::SysErrorMessage(std::uint32_t code) {
  if (code == t_lastError && t_lastErrno != 0) return std::strerror(t_lastErrno);
  switch (code) {
    case ERROR_SUCCESS:
      return "Success";
    case ERROR_FILE_NOT_FOUND:
      return std::strerror(ENOENT);
    case ERROR_ACCESS_DENIED:
      return std::strerror(EACCES);
    case ERROR_SHARING_VIOLATION:
      return std::strerror(EBUSY);
    case ERROR_INVALID_HANDLE:
      return std::strerror(EBADF);
    case ERROR_INVALID_PARAMETER:
      return std::strerror(EINVAL);
    case ERROR_NOT_SUPPORTED:
      return std::strerror(EOPNOTSUPP);
    case ERROR_DEVICE_NOT_CONNECTED:
      return std::strerror(ENODEV);
    case ERROR_OPERATION_ABORTED:
      return std::strerror(ECANCELED);
    case ERROR_IO_PENDING:
      return "Overlapped I/O operation is in progress";
    case ERROR_CANCELLED:
      return "The operation was canceled by the user";
    default:
      if (code & 0x20000000u) return std::strerror(static_cast<int>(code & 0xFFFF));
      return "Unknown error " + std::to_string(code);
  }
}

}  // namespace posix_serial
