// Reading, writing, queue counts and purging.
#include <termios.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/serial/serial_posix_port.h"

namespace posix_serial {

namespace {

bool HungUp(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & (POLLHUP | POLLERR | POLLNVAL));
}

}  // namespace

bool TPosixSerialApi::ClearCommError(THandle h, std::uint32_t* errors, COMSTAT* stat) {
  auto port = Port(h);
  if (!port) return false;
  if (port->gone) return Fail(ERROR_DEVICE_NOT_CONNECTED);
  std::uint32_t err = 0;
  serial_icounter_struct now{};
  if (port->haveCounts && ioctl(port->fd, TIOCGICOUNT, &now) == 0) {
    std::lock_guard lock(port->m);
    if (now.frame != port->counts.frame) err |= CE_FRAME;
    if (now.overrun != port->counts.overrun) err |= CE_OVERRUN;
    if (now.buf_overrun != port->counts.buf_overrun) err |= CE_RXOVER;
    if (now.parity != port->counts.parity) err |= CE_RXPARITY;
    if (now.brk != port->counts.brk) err |= CE_BREAK;
    port->counts = now;
  }
  int in = InQueue(port->fd), out = 0;
  if (in < 0) return FailErrno(errno);
  if (ioctl(port->fd, TIOCOUTQ, &out) != 0) out = 0;
  if (errors) *errors = err;
  if (stat) {
    stat->Flags = 0;
    stat->cbInQue = static_cast<std::uint32_t>(in);
    stat->cbOutQue = static_cast<std::uint32_t>(out);
  }
  return true;
}

bool TPosixSerialApi::ReadFile(THandle h, void* buf, std::uint32_t n, OVERLAPPED* ovl) {
  return Transfer(h, static_cast<std::uint8_t*>(buf), n, ovl, false);
}

bool TPosixSerialApi::WriteFile(THandle h, const void* buf, std::uint32_t n, OVERLAPPED* ovl) {
  return Transfer(h, static_cast<std::uint8_t*>(const_cast<void*>(buf)), n, ovl, true);
}

bool TPosixSerialApi::GetOverlappedResult(THandle h, OVERLAPPED* ovl, std::uint32_t* transferred,
                                          bool wait) {
  auto port = Port(h);
  if (!port || !ovl) return port ? Fail(ERROR_INVALID_PARAMETER) : false;
  TPending op;
  COMMTIMEOUTS to;
  {
    std::lock_guard lock(port->m);
    auto it = port->pending.find(ovl);
    if (it == port->pending.end()) {
      if (transferred) *transferred = static_cast<std::uint32_t>(ovl->InternalHigh);
      return ovl->Internal == 0 ? true : Fail(static_cast<std::uint32_t>(ovl->Internal));
    }
    if (!wait) return Fail(ERROR_IO_INCOMPLETE);
    op = it->second;
    port->pending.erase(it);
    to = port->timeouts;
  }
  bool ok = Complete(*port, op, to);
  ovl->Internal = ok ? 0 : t_lastError;
  ovl->InternalHigh = op.done;
  if (transferred) *transferred = op.done;
  return ok;
}

bool TPosixSerialApi::TransmitCommChar(THandle h, char c) {
  auto port = Port(h);
  if (!port) return false;
  if (::write(port->fd, &c, 1) != 1) return FailErrno(errno == 0 ? EIO : errno);
  NoteOutput(*port);
  return true;
}

bool TPosixSerialApi::PurgeComm(THandle h, std::uint32_t flags) {
  auto port = Port(h);
  if (!port) return false;
  bool in = flags & (PURGE_RXABORT | PURGE_RXCLEAR), out = flags & (PURGE_TXABORT | PURGE_TXCLEAR);
  if (in || out) tcflush(port->fd, in && out ? TCIOFLUSH : in ? TCIFLUSH : TCOFLUSH);
  if (flags & (PURGE_RXABORT | PURGE_TXABORT)) DropPending(*port, flags);
  if (in) {
    std::lock_guard lock(port->m);
    port->readGen++;
  }
  return true;
}

bool TPosixSerialApi::CancelIo(THandle h) {
  auto port = Port(h);
  if (!port) return false;
  DropPending(*port, PURGE_RXABORT | PURGE_TXABORT);
  return true;
}

bool TPosixSerialApi::FlushFileBuffers(THandle h) {
  auto port = Port(h);
  if (!port) return false;
  return tcdrain(port->fd) == 0 ? true : FailErrno(errno);
}

void TPosixSerialApi::NoteOutput(TPort& port) {
  {
    std::lock_guard lock(port.m);
    port.txDue = true;
  }
  port.Signal(port.kickFd);
}

void TPosixSerialApi::NoteInput(TPort& port) {
  std::lock_guard lock(port.m);
  port.readGen++;
}

void TPosixSerialApi::DropPending(TPort& port, std::uint32_t flags) {
  std::lock_guard lock(port.m);
  for (auto it = port.pending.begin(); it != port.pending.end();) {
    bool drop = it->second.write ? (flags & PURGE_TXABORT) : (flags & PURGE_RXABORT);
    if (drop) {
      it->first->Internal = ERROR_OPERATION_ABORTED;
      it->first->InternalHigh = it->second.done;
      it = port.pending.erase(it);
    } else {
      ++it;
    }
  }
}

bool TPosixSerialApi::Step(TPort& port, TPending& op) {
  while (op.done < op.size) {
    ssize_t r = op.write ? ::write(port.fd, op.buf + op.done, op.size - op.done)
                         : ::read(port.fd, op.buf + op.done, op.size - op.done);
    if (r > 0) {
      op.done += static_cast<std::uint32_t>(r);
      continue;
    }
    if (r < 0 && (errno == EAGAIN || errno == EINTR)) return true;
    if (r == 0 && op.write) return true;
    // A raw line reads 0 when nothing is queued; only a hung-up one is gone.
    if (r == 0 && !HungUp(port.fd)) return true;
    if (r == 0 || DeviceGoneErrno(errno)) port.gone = true;
    return FailErrno(r == 0 ? ENODEV : errno);
  }
  return true;
}

bool TPosixSerialApi::Transfer(THandle h, std::uint8_t* buf, std::uint32_t n, OVERLAPPED* ovl,
                               bool write) {
  auto port = Port(h);
  if (!port) return false;
  if (!ovl) return Fail(ERROR_INVALID_PARAMETER);
  if (port->gone) return Fail(ERROR_DEVICE_NOT_CONNECTED);
  TPending op{buf, n, 0, write};
  if (!Step(*port, op)) return false;
  if (write && op.done > 0) NoteOutput(*port);
  if (!write && op.done > 0) NoteInput(*port);
  COMMTIMEOUTS to;
  {
    std::lock_guard lock(port->m);
    to = port->timeouts;
  }
  bool readReturnsAtOnce = !write && to.ReadIntervalTimeout == 0xFFFFFFFFu &&
                           to.ReadTotalTimeoutConstant == 0 && to.ReadTotalTimeoutMultiplier == 0;
  if (op.done == n || readReturnsAtOnce) {
    ovl->Internal = 0;
    ovl->InternalHigh = op.done;
    return true;
  }
  // Without an event nobody can wait for the rest: finish it here.
  if (ovl->hEvent == 0) {
    bool ok = Complete(*port, op, to);
    ovl->Internal = ok ? 0 : t_lastError;
    ovl->InternalHigh = op.done;
    return ok;
  }
  std::lock_guard lock(port->m);
  port->pending[ovl] = op;
  return Fail(ERROR_IO_PENDING);
}

bool TPosixSerialApi::Complete(TPort& port, TPending& op, const COMMTIMEOUTS& to) {
  using clock = std::chrono::steady_clock;
  std::uint32_t totalMs =
      op.write ? to.WriteTotalTimeoutConstant + to.WriteTotalTimeoutMultiplier * op.size
               : to.ReadTotalTimeoutConstant + to.ReadTotalTimeoutMultiplier * op.size;
  auto deadline = clock::now() + std::chrono::milliseconds(totalMs);
  while (op.done < op.size) {
    int timeout = -1;
    if (totalMs > 0)
      timeout = static_cast<int>(std::max<long long>(
          0,
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count()));
    if (!op.write && to.ReadIntervalTimeout > 0 && op.done > 0) {
      int interval = static_cast<int>(std::min<std::uint32_t>(to.ReadIntervalTimeout, 1 << 30));
      timeout = timeout < 0 ? interval : std::min(timeout, interval);
    }
    pollfd fds[2] = {{port.fd, static_cast<short>(op.write ? POLLOUT : POLLIN), 0},
                     {port.closeFd, POLLIN, 0}};
    int r = poll(fds, 2, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return FailErrno(errno);
    if (r == 0) return true;  // timed out: what arrived is the result
    if (fds[1].revents) return Fail(ERROR_OPERATION_ABORTED);
    if (fds[0].revents & (POLLERR | POLLNVAL)) {
      port.gone = true;
      return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
    std::uint32_t before = op.done;
    if (!Step(port, op)) return false;
    if (op.done == before && (fds[0].revents & POLLHUP)) {
      port.gone = true;
      return Fail(ERROR_DEVICE_NOT_CONNECTED);
    }
  }
  if (op.write)
    NoteOutput(port);
  else
    NoteInput(port);
  return true;
}

}  // namespace posix_serial
