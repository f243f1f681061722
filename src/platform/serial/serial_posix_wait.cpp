// Event masks and the waits on the port and on events.
#include <sys/eventfd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

#include "platform/serial/serial_posix_port.h"

namespace posix_serial {

namespace {

// How long a port may stay readable with nothing to read before it counts as hung up. A busy
// pseudo-terminal shows that state for a moment while bytes move into its queue.
constexpr std::chrono::milliseconds kEmptyReadableHangUp{100};

// A line change is news only at the next look: this often while line events are asked for.
constexpr int kModemLookMs = 10;

}  // namespace

bool TPosixSerialApi::SetCommMask(THandle h, std::uint32_t mask) {
  auto port = Port(h);
  if (!port) return false;
  // Line changes before the new mask are not reported: the lines are looked at afresh.
  TModemLines now;
  const bool look = (mask & EV_MODEMLINES) && port->modemWatch && probe_(port->fd, now) == 0;
  {
    std::lock_guard lock(port->m);
    port->mask = mask;
    if (look) port->modemSeen = now;
  }
  port->Signal(port->kickFd);
  return true;
}

bool TPosixSerialApi::WaitCommEvent(THandle h, std::uint32_t* mask, OVERLAPPED* ovl) {
  auto port = Port(h);
  if (!port) return false;
  if (port->gone) return Fail(ERROR_DEVICE_NOT_CONNECTED);
  if (!mask || !ovl || ovl->hEvent == 0) return Fail(ERROR_INVALID_PARAMETER);
  auto ev = Event(ovl->hEvent);
  if (!ev) return Fail(ERROR_INVALID_PARAMETER);
  std::lock_guard lock(ev->m);
  ev->port = port;
  ev->maskOut = mask;
  return Fail(ERROR_IO_PENDING);
}

std::uint32_t TPosixSerialApi::WaitForSingleObject(THandle h, std::uint32_t ms) {
  auto ev = Event(h);
  if (!ev) return WAIT_FAILED;
  return WaitEvent(*ev, ms);
}

bool TPosixSerialApi::PulseEvent(THandle h) {
  auto ev = Event(h);
  if (!ev) return false;
  // Level-triggered: a pulse that comes before its waiter is still there when it waits, so a
  // thread told to stop between starting its wait and waiting is never stranded.
  std::uint64_t one = 1;
  [[maybe_unused]] ssize_t r = ::write(ev->fd, &one, sizeof one);
  return true;
}

std::uint32_t TPosixSerialApi::WaitEvent(TEvent& ev, std::uint32_t ms) {
  using clock = std::chrono::steady_clock;
  auto deadline = clock::now() + std::chrono::milliseconds(ms);
  // Since when the port has been readable with nothing to read, and the read count then.
  bool empty = false;
  clock::time_point emptySince;
  std::uint64_t emptyGen = 0;
  for (;;) {
    std::shared_ptr<TPort> port;
    bool bound = false;
    {
      std::lock_guard lock(ev.m);
      port = ev.port.lock();
      bound = ev.maskOut != nullptr;
    }
    if (bound && !port) {  // the port it waits on is closed and gone: the wait completes empty
      Unbind(ev, 0);
      return WAIT_OBJECT_0;
    }
    int timeout = -1;
    if (ms != INFINITE)
      timeout = static_cast<int>(std::max<long long>(
          0,
          std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now()).count()));
    pollfd fds[4] = {{ev.fd, POLLIN, 0}, {-1, 0, 0}, {-1, 0, 0}, {-1, 0, 0}};
    std::uint32_t mask = 0;
    bool txDue = false, rxReported = false;
    if (port) {
      {
        std::lock_guard lock(port->m);
        mask = port->mask;
        txDue = port->txDue;
        const int in = InQueue(port->fd);
        // Bytes already reported and left queued: only a change is news, so look again
        // now and then instead of waking on every poll.
        rxReported = in > 0 && static_cast<std::uint32_t>(in) == port->seenInQueue &&
                     port->readGen == port->seenGen;
      }
      if (const std::uint32_t lines = LookAtModemLines(*port, mask); lines || port->gone) {
        Unbind(ev, lines);
        return WAIT_OBJECT_0;
      }
      // While it is readable with nothing to read, it is looked at every few milliseconds
      // instead of waking on every poll.
      const bool quiet = rxReported || empty;
      fds[1] = {port->fd, static_cast<short>(quiet ? 0 : POLLIN), 0};
      fds[2] = {port->closeFd, POLLIN, 0};
      fds[3] = {port->kickFd, POLLIN, 0};
      auto shorten = [&timeout](int slice) {
        timeout = timeout < 0 ? slice : std::min(timeout, slice);
      };
      if (quiet) shorten(5);
      if ((mask & EV_MODEMLINES) && port->modemWatch) shorten(kModemLookMs);
      if (txDue && (mask & EV_TXEMPTY)) shorten(1);
    }
    int r = poll(fds, port ? 4 : 1, timeout);
    if (r < 0 && errno == EINTR) continue;
    if (r < 0) return FailErrno(errno), WAIT_FAILED;
    if (fds[0].revents & POLLIN) {
      Drain(ev.fd);
      Unbind(ev, 0);
      return WAIT_OBJECT_0;
    }
    if (!port) {
      if (ms != INFINITE && clock::now() >= deadline) return WAIT_TIMEOUT;
      continue;
    }
    if (fds[2].revents) {  // the port was closed: the wait completes with nothing
      Unbind(ev, 0);
      return WAIT_OBJECT_0;
    }
    if (fds[3].revents) Drain(port->kickFd);
    std::uint32_t found = 0;
    if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
      port->gone = true;
    } else if ((fds[1].revents & POLLIN) || (empty && Readable(port->fd))) {
      std::lock_guard lock(port->m);
      const int in = InQueue(port->fd);
      if (in > 0) {
        empty = false;
        if (static_cast<std::uint32_t>(in) != port->seenInQueue || port->readGen != port->seenGen) {
          found |= EV_RXCHAR;
          port->seenInQueue = static_cast<std::uint32_t>(in);
          port->seenGen = port->readGen;
        }
      } else if (!empty || port->readGen != emptyGen) {
        empty = true;
        emptySince = clock::now();
        emptyGen = port->readGen;
      } else if (clock::now() - emptySince >= kEmptyReadableHangUp) {
        port->gone = true;
      }
    } else {
      empty = false;
    }
    if (port->gone) {
      Unbind(ev, 0);
      return WAIT_OBJECT_0;
    }
    if (txDue && (mask & EV_TXEMPTY)) {
      int out = 0;
      if (ioctl(port->fd, TIOCOUTQ, &out) != 0 || out == 0) {
        found |= EV_TXEMPTY;
        std::lock_guard lock(port->m);
        port->txDue = false;
      }
    } else if (txDue) {
      std::lock_guard lock(port->m);
      port->txDue = false;
    }
    found &= mask;
    if (found) {
      Unbind(ev, found);
      return WAIT_OBJECT_0;
    }
    if (ms != INFINITE && clock::now() >= deadline) return WAIT_TIMEOUT;
  }
}

void TPosixSerialApi::Unbind(TEvent& ev, std::uint32_t mask) {
  std::lock_guard lock(ev.m);
  if (ev.maskOut) *ev.maskOut = mask;
  ev.maskOut = nullptr;
  ev.port.reset();
}

}  // namespace posix_serial
