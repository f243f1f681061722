// The serial operations on Linux: termios for the line, poll on the port and on eventfds for the
// waits. Handles are small numbers into a table of shared objects, so a handle closed while
// another thread is inside a call only wakes that call; the descriptor goes with the last user.
#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <linux/serial.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <map>
#include <mutex>
#include <thread>
#include <unordered_map>

#include "platform/serial_api_posix.h"

namespace {

thread_local std::uint32_t t_lastError = 0;
thread_local int t_lastErrno = 0;

// errno to the platform's codes, in one place; the text stays the system's.
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

struct TObject {
  virtual ~TObject() = default;
};

struct TPending {
  std::uint8_t* buf = nullptr;
  std::uint32_t size = 0, done = 0;
  bool write = false;
};

struct TPort : TObject {
  int fd = -1;
  int closeFd = -1;  // stays readable once the handle is closed
  int kickFd = -1;   // wakes the event waiter when the mask or the pending output changes
  std::mutex m;
  DCB dcb;
  COMMTIMEOUTS timeouts;
  std::uint32_t mask = 0;
  // EV_RXCHAR is news: the input count last reported, and the reads done by then.
  std::uint32_t seenInQueue = 0;
  std::uint64_t readGen = 0, seenGen = 0;
  bool txDue = false;  // output written since the last EV_TXEMPTY
  std::atomic<bool> closed{false}, gone{false};
  std::map<OVERLAPPED*, TPending> pending;
  serial_icounter_struct counts{};
  bool haveCounts = false;
  // The modem lines as last looked at, and whether the device tells them at all (a
  // pseudo-terminal does not: then nothing is looked at, rather than polling in vain).
  TModemLines modemSeen;
  std::atomic<bool> modemWatch{false};
  ~TPort() override {
    if (fd >= 0) {
      flock(fd, LOCK_UN);
      ::close(fd);
    }
    if (closeFd >= 0) ::close(closeFd);
    if (kickFd >= 0) ::close(kickFd);
  }
  void Signal(int which) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(which, &one, sizeof one);
  }
};

struct TEvent : TObject {
  int fd = -1;
  std::atomic<int> waiters{0};
  std::mutex m;
  std::weak_ptr<TPort> port;  // a pending WaitCommEvent completes through this event
  std::uint32_t* maskOut = nullptr;
  ~TEvent() override {
    if (fd >= 0) ::close(fd);
  }
};

void Drain(int fd) {
  std::uint64_t v;
  [[maybe_unused]] ssize_t r = ::read(fd, &v, sizeof v);
}

int InQueue(int fd) {
  int n = 0;
  return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

// How long a port may stay readable with nothing to read before it counts as hung up. A busy
// pseudo-terminal shows that state for a moment while bytes move into its queue.
constexpr std::chrono::milliseconds kEmptyReadableHangUp{100};

speed_t SpeedOf(std::uint32_t baud) {
  static const std::pair<std::uint32_t, speed_t> table[] = {
      {110, B110},       {300, B300},       {600, B600},       {1200, B1200},    {2400, B2400},
      {4800, B4800},     {9600, B9600},     {19200, B19200},   {38400, B38400},  {57600, B57600},
      {115200, B115200}, {230400, B230400}, {460800, B460800}, {921600, B921600}};
  for (const auto& [b, s] : table)
    if (b == baud) return s;
  return B0;
}

// A line change is news only at the next look: this often while line events are asked for.
constexpr int kModemLookMs = 10;

}  // namespace

int ReadModemLines(int fd, TModemLines& lines) {
  int bits = 0;
  if (ioctl(fd, TIOCMGET, &bits) != 0) return errno != 0 ? errno : EIO;
  lines = TModemLines{};
  lines.status = ((bits & TIOCM_CTS) ? MS_CTS_ON : 0) | ((bits & TIOCM_DSR) ? MS_DSR_ON : 0) |
                 ((bits & TIOCM_RNG) ? MS_RING_ON : 0) | ((bits & TIOCM_CAR) ? MS_RLSD_ON : 0);
  serial_icounter_struct c{};
  if (ioctl(fd, TIOCGICOUNT, &c) == 0) {
    lines.counted = true;
    lines.cts = static_cast<std::uint32_t>(c.cts);
    lines.dsr = static_cast<std::uint32_t>(c.dsr);
    lines.ring = static_cast<std::uint32_t>(c.rng);
    lines.dcd = static_cast<std::uint32_t>(c.dcd);
  }
  return 0;
}

namespace {

class TPosixSerialApi final : public TSerialApi {
 public:
  explicit TPosixSerialApi(TModemProbe probe) : probe_(std::move(probe)) {}

  THandle CreateFileW(const std::string& path) override {
    std::string name = path.rfind("\\\\?\\", 0) == 0 ? path.substr(4) : path;
    if (name.rfind("COM", 0) == 0 && name.size() > 3)
      name = "/dev/ttyS" + std::to_string(std::stoul(name.substr(3)) - 1);
    int fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return FailErrno(errno), INVALID_HANDLE_VALUE;
    if (flock(fd, LOCK_EX | LOCK_NB) != 0 || ioctl(fd, TIOCEXCL) != 0) {
      int e = errno;
      ::close(fd);
      return FailErrno(e), INVALID_HANDLE_VALUE;
    }
    auto port = std::make_shared<TPort>();
    port->fd = fd;
    port->closeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    port->kickFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    termios tio{};
    if (tcgetattr(fd, &tio) == 0) {
      cfmakeraw(&tio);
      tio.c_cflag |= CLOCAL | CREAD;
      tio.c_cc[VMIN] = 0;
      tio.c_cc[VTIME] = 0;
      tcsetattr(fd, TCSANOW, &tio);
    }
    port->dcb.BaudRate = 9600;
    port->dcb.Flags = fBinary;
    port->haveCounts = ioctl(fd, TIOCGICOUNT, &port->counts) == 0;
    port->modemWatch = probe_(fd, port->modemSeen) == 0;
    return Add(port);
  }

  bool CloseHandle(THandle h) override {
    std::shared_ptr<TObject> obj;
    {
      std::lock_guard lock(tableMutex_);
      auto it = table_.find(h);
      if (it == table_.end()) return Fail(ERROR_INVALID_HANDLE);
      obj = std::move(it->second);
      table_.erase(it);
    }
    if (auto* port = dynamic_cast<TPort*>(obj.get())) {
      port->closed = true;
      port->Signal(port->closeFd);
    } else if (auto* ev = dynamic_cast<TEvent*>(obj.get())) {
      std::uint64_t one = 1;
      [[maybe_unused]] ssize_t r = ::write(ev->fd, &one, sizeof one);
    }
    return true;
  }

  bool GetDefaultCommConfigW(const std::string&, COMMCONFIG& cfg) override {
    cfg = COMMCONFIG{};
    cfg.dcb.BaudRate = 9600;
    cfg.dcb.Flags = fBinary;
    return true;
  }
  bool GetCommConfig(THandle h, COMMCONFIG& cfg) override {
    auto port = Port(h);
    if (!port) return false;
    std::lock_guard lock(port->m);
    cfg = COMMCONFIG{};
    cfg.dcb = port->dcb;
    return true;
  }
  bool GetCommState(THandle h, DCB& dcb) override {
    auto port = Port(h);
    if (!port) return false;
    std::lock_guard lock(port->m);
    dcb = port->dcb;
    return true;
  }

  bool SetCommState(THandle h, const DCB& dcb) override {
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

  bool SetupComm(THandle h, std::uint32_t, std::uint32_t) override {
    return Port(h) != nullptr;  // the kernel's queues have fixed sizes
  }
  bool SetCommTimeouts(THandle h, const COMMTIMEOUTS& t) override {
    auto port = Port(h);
    if (!port) return false;
    std::lock_guard lock(port->m);
    port->timeouts = t;
    return true;
  }
  bool SetCommMask(THandle h, std::uint32_t mask) override {
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

  bool WaitCommEvent(THandle h, std::uint32_t* mask, OVERLAPPED* ovl) override {
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

  THandle CreateEventW() override {
    auto ev = std::make_shared<TEvent>();
    ev->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (ev->fd < 0) return FailErrno(errno), INVALID_HANDLE_VALUE;
    return Add(ev);
  }

  std::uint32_t WaitForSingleObject(THandle h, std::uint32_t ms) override {
    auto ev = Event(h);
    if (!ev) return WAIT_FAILED;
    ev->waiters++;
    std::uint32_t r = WaitEvent(*ev, ms);
    ev->waiters--;
    return r;
  }

  bool PulseEvent(THandle h) override {
    auto ev = Event(h);
    if (!ev) return false;
    if (ev->waiters > 0) {
      std::uint64_t one = 1;
      [[maybe_unused]] ssize_t r = ::write(ev->fd, &one, sizeof one);
    }
    return true;
  }

  bool ClearCommError(THandle h, std::uint32_t* errors, COMSTAT* stat) override {
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

  bool ReadFile(THandle h, void* buf, std::uint32_t n, OVERLAPPED* ovl) override {
    return Transfer(h, static_cast<std::uint8_t*>(buf), n, ovl, false);
  }
  bool WriteFile(THandle h, const void* buf, std::uint32_t n, OVERLAPPED* ovl) override {
    return Transfer(h, static_cast<std::uint8_t*>(const_cast<void*>(buf)), n, ovl, true);
  }

  bool GetOverlappedResult(THandle h, OVERLAPPED* ovl, std::uint32_t* transferred,
                           bool wait) override {
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

  bool TransmitCommChar(THandle h, char c) override {
    auto port = Port(h);
    if (!port) return false;
    if (::write(port->fd, &c, 1) != 1) return FailErrno(errno == 0 ? EIO : errno);
    NoteOutput(*port);
    return true;
  }

  bool EscapeCommFunction(THandle h, std::uint32_t func) override {
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

  bool GetCommModemStatus(THandle h, std::uint32_t* status) override {
    auto port = Port(h);
    if (!port || !status) return port ? Fail(ERROR_INVALID_PARAMETER) : false;
    TModemLines lines;
    if (const int e = probe_(port->fd, lines); e != 0) return FailErrno(e);
    *status = lines.status;
    return true;
  }

  bool PurgeComm(THandle h, std::uint32_t flags) override {
    auto port = Port(h);
    if (!port) return false;
    bool in = flags & (PURGE_RXABORT | PURGE_RXCLEAR),
         out = flags & (PURGE_TXABORT | PURGE_TXCLEAR);
    if (in || out) tcflush(port->fd, in && out ? TCIOFLUSH : in ? TCIFLUSH : TCOFLUSH);
    if (flags & (PURGE_RXABORT | PURGE_TXABORT)) DropPending(*port, flags);
    if (in) {
      std::lock_guard lock(port->m);
      port->readGen++;
    }
    return true;
  }

  bool HasCancelIo() override { return true; }
  bool CancelIo(THandle h) override {
    auto port = Port(h);
    if (!port) return false;
    DropPending(*port, PURGE_RXABORT | PURGE_TXABORT);
    return true;
  }
  bool FlushFileBuffers(THandle h) override {
    auto port = Port(h);
    if (!port) return false;
    return tcdrain(port->fd) == 0 ? true : FailErrno(errno);
  }
  bool GetCommProperties(THandle h, COMMPROP& prop) override {
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

  bool DriverTogglesRts485() override { return false; }

  std::uint32_t GetLastError() override { return t_lastError; }
  std::string SysErrorMessage(std::uint32_t code) override {
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
      default:
        if (code & 0x20000000u) return std::strerror(static_cast<int>(code & 0xFFFF));
        return "Unknown error " + std::to_string(code);
    }
  }
  std::uint32_t GetTickCount() override {
    using namespace std::chrono;
    return static_cast<std::uint32_t>(
        duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
  }
  void Sleep(std::uint32_t ms) override {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
  }

 private:
  THandle Add(std::shared_ptr<TObject> obj) {
    std::lock_guard lock(tableMutex_);
    THandle h = next_++;
    if (next_ >= 0x7FFFFFF0u) next_ = 0x100;
    table_[h] = std::move(obj);
    return h;
  }
  std::shared_ptr<TObject> Find(THandle h) {
    std::lock_guard lock(tableMutex_);
    auto it = table_.find(h);
    return it == table_.end() ? nullptr : it->second;
  }
  std::shared_ptr<TPort> Port(THandle h) {
    auto p = std::dynamic_pointer_cast<TPort>(Find(h));
    if (!p) Fail(ERROR_INVALID_HANDLE);
    return p;
  }
  std::shared_ptr<TEvent> Event(THandle h) {
    auto p = std::dynamic_pointer_cast<TEvent>(Find(h));
    if (!p) Fail(ERROR_INVALID_HANDLE);
    return p;
  }

  void NoteOutput(TPort& port) {
    {
      std::lock_guard lock(port.m);
      port.txDue = true;
    }
    port.Signal(port.kickFd);
  }

  void NoteInput(TPort& port) {
    std::lock_guard lock(port.m);
    port.readGen++;
  }

  void DropPending(TPort& port, std::uint32_t flags) {
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

  // One non-blocking step; false on a failure (the last error set), done advanced.
  bool Step(TPort& port, TPending& op) {
    while (op.done < op.size) {
      ssize_t r = op.write ? ::write(port.fd, op.buf + op.done, op.size - op.done)
                           : ::read(port.fd, op.buf + op.done, op.size - op.done);
      if (r > 0) {
        op.done += static_cast<std::uint32_t>(r);
        continue;
      }
      if (r < 0 && (errno == EAGAIN || errno == EINTR)) return true;
      if (r == 0 && op.write) return true;
      if (r == 0 || DeviceGoneErrno(errno)) port.gone = true;
      return FailErrno(r == 0 ? ENODEV : errno);
    }
    return true;
  }

  bool Transfer(THandle h, std::uint8_t* buf, std::uint32_t n, OVERLAPPED* ovl, bool write) {
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

  // Waits until the transfer is done, the port's timeouts end it, or the port closes.
  bool Complete(TPort& port, TPending& op, const COMMTIMEOUTS& to) {
    using clock = std::chrono::steady_clock;
    std::uint32_t totalMs =
        op.write ? to.WriteTotalTimeoutConstant + to.WriteTotalTimeoutMultiplier * op.size
                 : to.ReadTotalTimeoutConstant + to.ReadTotalTimeoutMultiplier * op.size;
    auto deadline = clock::now() + std::chrono::milliseconds(totalMs);
    while (op.done < op.size) {
      int timeout = -1;
      if (totalMs > 0)
        timeout = static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now())
                   .count()));
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

  // Waits for the event; when a WaitCommEvent is bound to it, also for the port's events.
  std::uint32_t WaitEvent(TEvent& ev, std::uint32_t ms) {
    using clock = std::chrono::steady_clock;
    auto deadline = clock::now() + std::chrono::milliseconds(ms);
    // Since when the port has been readable with nothing to read, and the read count then.
    bool empty = false;
    clock::time_point emptySince;
    std::uint64_t emptyGen = 0;
    for (;;) {
      std::shared_ptr<TPort> port;
      {
        std::lock_guard lock(ev.m);
        port = ev.port.lock();
      }
      int timeout = -1;
      if (ms != INFINITE)
        timeout = static_cast<int>(std::max<long long>(
            0, std::chrono::duration_cast<std::chrono::milliseconds>(deadline - clock::now())
                   .count()));
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
          if (static_cast<std::uint32_t>(in) != port->seenInQueue ||
              port->readGen != port->seenGen) {
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

  void Unbind(TEvent& ev, std::uint32_t mask) {
    std::lock_guard lock(ev.m);
    if (ev.maskOut) *ev.maskOut = mask;
    ev.maskOut = nullptr;
    ev.port.reset();
  }

  // Looks at the lines when the mask asks for their events: the events found since the last
  // look. A device that stopped answering is gone; one that never could is no longer asked.
  std::uint32_t LookAtModemLines(TPort& port, std::uint32_t mask) {
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

  TModemProbe probe_;
  std::mutex tableMutex_;
  std::unordered_map<THandle, std::shared_ptr<TObject>> table_;
  THandle next_ = 0x100;
};

}  // namespace

std::shared_ptr<TSerialApi> SystemSerialApi() {
  static const std::shared_ptr<TSerialApi> api = std::make_shared<TPosixSerialApi>(ReadModemLines);
  return api;
}

std::shared_ptr<TSerialApi> MakePosixSerialApi(TModemProbe probe) {
  return std::make_shared<TPosixSerialApi>(probe ? std::move(probe) : TModemProbe(ReadModemLines));
}
