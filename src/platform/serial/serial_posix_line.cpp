// Line settings and control lines: termios and the modem-line ioctls.
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>
#include <climits>
#include <utility>

#include "platform/serial/serial_posix_port.h"

namespace posix_serial {

namespace {

speed_t SpeedOf(std::uint32_t baud) {
  static const std::pair<std::uint32_t, speed_t> table[] = {
      {110, B110},       {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},
      {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600},
      {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
  for (const auto& [b, s] : table)
    if (b == baud) return s;
  return B0;
}

}  // namespace

bool TPosixSerialApi::GetDefaultCommConfigW(const std::string&, COMMCONFIG& cfg) {
  cfg = COMMCONFIG{};
  cfg.dcb.BaudRate = 9600;
  cfg.dcb.Flags = fBinary;
  return true;
}

bool TPosixSerialApi::GetCommConfig(THandle h, COMMCONFIG& cfg) {
  auto port = Port(h);
  if (!port) return false;
  std::lock_guard lock(port->m);
  cfg = COMMCONFIG{};
  cfg.dcb = port->dcb;
  return true;
}

bool TPosixSerialApi::GetCommState(THandle h, DCB& dcb) {
  auto port = Port(h);
  if (!port) return false;
  std::lock_guard lock(port->m);
  dcb = port->dcb;
  return true;
}

bool TPosixSerialApi::SetCommState(THandle h, const DCB& dcb) {
  auto port = Port(h);
  if (!port) return false;
  termios tio{};
  if (tcgetattr(port->fd, &tio) != 0) return FailErrno(errno);
  speed_t speed = SpeedOf(dcb.BaudRate);
  if (speed == B0 || dcb.ByteSize < 5 || dcb.ByteSize > 8 || dcb.Parity > SPACEPARITY ||
      dcb.StopBits > TWOSTOPBITS)
    return Fail(ERROR_INVALID_PARAMETER);
  cfsetispeed(&tio, speed);
  cfsetospeed(&tio, speed);
  static const tcflag_t sizes[] = {CS5, CS6, CS7, CS8};
  tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB | CRTSCTS);
  tio.c_cflag |= sizes[dcb.ByteSize - 5] | CLOCAL | CREAD;
  switch (dcb.Parity) {
    case ODDPARITY:
      tio.c_cflag |= PARENB | PARODD;
      break;
    case EVENPARITY:
      tio.c_cflag |= PARENB;
      break;
    case MARKPARITY:
      tio.c_cflag |= PARENB | CMSPAR | PARODD;
      break;
    case SPACEPARITY:
      tio.c_cflag |= PARENB | CMSPAR;
      break;
    default:
      break;
  }
  if (dcb.StopBits != ONESTOPBIT) tio.c_cflag |= CSTOPB;
  if ((dcb.Flags & fOutxCtsFlow) || (dcb.Flags & fRtsControlMask) == RTS_CONTROL_HANDSHAKE)
    tio.c_cflag |= CRTSCTS;
  tio.c_iflag &= ~(IXON | IXOFF | IXANY | INPCK);
  if (dcb.Flags & fOutX) tio.c_iflag |= IXON;
  if (dcb.Flags & fInX) tio.c_iflag |= IXOFF;
  if (dcb.Parity != NOPARITY) tio.c_iflag |= INPCK;
  tio.c_cc[VSTART] = static_cast<cc_t>(dcb.XonChar);
  tio.c_cc[VSTOP] = static_cast<cc_t>(dcb.XoffChar);
  if (tcsetattr(port->fd, TCSANOW, &tio) != 0) return FailErrno(errno);
  std::lock_guard lock(port->m);
  port->dcb = dcb;
  port->dcb.DCBlength = 28;
  return true;
}

bool TPosixSerialApi::SetupComm(THandle h, std::uint32_t, std::uint32_t) {
  return Port(h) != nullptr;  // the kernel's queues have fixed sizes
}

bool TPosixSerialApi::SetCommTimeouts(THandle h, const COMMTIMEOUTS& t) {
  auto port = Port(h);
  if (!port) return false;
  std::lock_guard lock(port->m);
  port->timeouts = t;
  return true;
}

bool TPosixSerialApi::EscapeCommFunction(THandle h, std::uint32_t func) {
  auto port = Port(h);
  if (!port) return false;
  int bits = 0, r = 0;
  switch (func) {
    case SETXOFF:
      r = tcflow(port->fd, TCOOFF);
      break;
    case SETXON:
      r = tcflow(port->fd, TCOON);
      break;
    case SETRTS:
      bits = TIOCM_RTS;
      r = ioctl(port->fd, TIOCMBIS, &bits);
      break;
    case CLRRTS:
      bits = TIOCM_RTS;
      r = ioctl(port->fd, TIOCMBIC, &bits);
      break;
    case SETDTR:
      bits = TIOCM_DTR;
      r = ioctl(port->fd, TIOCMBIS, &bits);
      break;
    case CLRDTR:
      bits = TIOCM_DTR;
      r = ioctl(port->fd, TIOCMBIC, &bits);
      break;
    case SETBREAK:
      r = ioctl(port->fd, TIOCSBRK);
      break;
    case CLRBREAK:
      r = ioctl(port->fd, TIOCCBRK);
      break;
    default:
      return Fail(ERROR_INVALID_PARAMETER);
  }
  return r == 0 ? true : FailErrno(errno);
}

bool TPosixSerialApi::GetCommModemStatus(THandle h, std::uint32_t* status) {
  auto port = Port(h);
  if (!port || !status) return port ? Fail(ERROR_INVALID_PARAMETER) : false;
  TModemLines lines;
  if (const int e = probe_(port->fd, lines); e != 0) return FailErrno(e);
  *status = lines.status;
  return true;
}

bool TPosixSerialApi::GetCommProperties(THandle h, COMMPROP& prop) {
  auto port = Port(h);
  if (!port) return false;
  prop = COMMPROP{};
  prop.dwMaxTxQueue = prop.dwMaxRxQueue = 4096;
  prop.dwCurrentTxQueue = prop.dwCurrentRxQueue = 4096;
  prop.dwMaxBaud = 0x10000000;  // BAUD_USER
  prop.dwProvCapabilities = 0xFF;
  prop.dwSettableParams = 0x7F;
  prop.dwSettableBaud = 0x1007FFFF;
  prop.wSettableData = 0x0F;
  prop.wSettableStopParity = 0x1F07;
  return true;
}

std::uint32_t TPosixSerialApi::LookAtModemLines(TPort& port, std::uint32_t mask) {
  if (!(mask & EV_MODEMLINES) || !port.modemWatch) return 0;
  TModemLines now;
  if (const int e = probe_(port.fd, now); e != 0) {
    if (DeviceGoneErrno(e))
      port.gone = true;
    else
      port.modemWatch = false;
    return 0;
  }
  std::lock_guard lock(port.m);
  const std::uint32_t events = ModemLineEvents(port.modemSeen, now, mask);
  port.modemSeen = now;
  return events;
}

}  // namespace posix_serial

namespace posix_serial {

bool TPosixSerialApi::AskLowLatency(int fd) {
  // Only the FTDI driver holds bytes back for long; a refusal leaves the line slower, not broken.
  if (lowLatency_.DriverName(fd) != "ftdi_sio") return false;
  bool on = false;
  return lowLatency_.Get(fd, on) == 0 && !on && lowLatency_.Set(fd, true) == 0;
}

}  // namespace posix_serial

TLowLatencySwitch SystemLowLatencySwitch() {
  TLowLatencySwitch s;
  s.DriverName = [](int fd) -> std::string {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) return {};
    const std::string link = "/sys/dev/char/" + std::to_string(major(st.st_rdev)) + ":" +
                             std::to_string(minor(st.st_rdev)) + "/device/driver";
    char target[PATH_MAX];
    const ssize_t n = readlink(link.c_str(), target, sizeof target - 1);
    if (n <= 0) return {};
    const std::string path(target, static_cast<std::size_t>(n));
    return path.substr(path.rfind('/') + 1);
  };
  s.Get = [](int fd, bool& on) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return errno;
    on = (ss.flags & ASYNC_LOW_LATENCY) != 0;
    return 0;
  };
  s.Set = [](int fd, bool on) {
    serial_struct ss{};
    if (ioctl(fd, TIOCGSERIAL, &ss) != 0) return errno;
    if (on)
      ss.flags |= ASYNC_LOW_LATENCY;
    else
      ss.flags &= ~ASYNC_LOW_LATENCY;
    return ioctl(fd, TIOCSSERIAL, &ss) == 0 ? 0 : errno;
  };
  return s;
}
