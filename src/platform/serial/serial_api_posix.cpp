// The serial operations on Linux: termios for the line, poll on the port and on eventfds for the
// waits. Handles are small numbers into a table of shared objects, so a handle closed while
// another thread is inside a call only wakes that call; the descriptor goes with the last user.
#include <fcntl.h>
#include <sys/eventfd.h>
#include <sys/file.h>
#include <termios.h>

#include <cerrno>
#include <chrono>
#include <thread>

#include "platform/serial/serial_posix_port.h"

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

// "COMn" names the n-th serial port of the machine (n from 1); any other name is a device path.
std::string DevicePathOf(const std::string& name) {
  const std::string digits = name.size() > 3 ? name.substr(3) : std::string();
  if (name.rfind("COM", 0) != 0 || digits.empty() || digits.size() > 4 ||
      digits.find_first_not_of("0123456789") != std::string::npos)
    return name;
  const int n = std::stoi(digits);
  return n >= 1 ? "/dev/ttyS" + std::to_string(n - 1) : name;
}

}  // namespace

namespace posix_serial {

THandle TPosixSerialApi::CreateFileW(const std::string& path) {
  const std::string name = DevicePathOf(path.rfind("\\\\?\\", 0) == 0 ? path.substr(4) : path);
  // A line that another program has locked is not even opened: opening alone may switch DTR.
  auto port = std::make_shared<TPort>();
  if (const int e = TakeLockFile(name, port->lockFile)) return FailErrno(e), INVALID_HANDLE_VALUE;
  port->fd = ::open(name.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
  const int e = port->fd < 0 ? errno : LockLine(port->fd);
  if (e != 0) {
    port->letGo = true;  // the line's own locks, if any, are another's
    if (!port->lockFile.empty()) ::unlink(port->lockFile.c_str());
    return FailErrno(e), INVALID_HANDLE_VALUE;
  }
  const int fd = port->fd;
  port->closeFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  port->kickFd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  termios tio{};
  const bool haveOriginal = tcgetattr(fd, &tio) == 0;
  const termios original = tio;
  if (haveOriginal) {
    cfmakeraw(&tio);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    tcsetattr(fd, TCSANOW, &tio);
  }
  const bool lowLatency = AskLowLatency(fd);
  port->restore = [haveOriginal, original, lowLatency, off = lowLatency_.Set](int portFd) {
    if (lowLatency) off(portFd, false);
    if (haveOriginal) tcsetattr(portFd, TCSANOW, &original);
  };
  port->dcb.BaudRate = 9600;
  port->dcb.Flags = fBinary;
  port->haveCounts = ioctl(fd, TIOCGICOUNT, &port->counts) == 0;
  port->modemWatch = probe_(fd, port->modemSeen) == 0;
  return Add(port);
}

bool TPosixSerialApi::CloseHandle(THandle h) {
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
    if (port->restore) port->restore(port->fd);
    port->LetGo();
    port->Signal(port->closeFd);
  } else if (auto* ev = dynamic_cast<TEvent*>(obj.get())) {
    std::uint64_t one = 1;
    [[maybe_unused]] ssize_t r = ::write(ev->fd, &one, sizeof one);
  }
  return true;
}

THandle TPosixSerialApi::CreateEventW() {
  auto ev = std::make_shared<TEvent>();
  ev->fd = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
  if (ev->fd < 0) return FailErrno(errno), INVALID_HANDLE_VALUE;
  return Add(ev);
}

std::uint32_t TPosixSerialApi::GetTickCount() {
  using namespace std::chrono;
  return static_cast<std::uint32_t>(
      duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count());
}

void TPosixSerialApi::Sleep(std::uint32_t ms) {
  std::this_thread::sleep_for(std::chrono::milliseconds(ms));
}

THandle TPosixSerialApi::Add(std::shared_ptr<TObject> obj) {
  std::lock_guard lock(tableMutex_);
  THandle h = next_++;
  if (next_ >= 0x7FFFFFF0u) next_ = 0x100;
  table_[h] = std::move(obj);
  return h;
}

std::shared_ptr<TObject> TPosixSerialApi::Find(THandle h) {
  std::lock_guard lock(tableMutex_);
  auto it = table_.find(h);
  return it == table_.end() ? nullptr : it->second;
}

std::shared_ptr<TPort> TPosixSerialApi::Port(THandle h) {
  auto p = std::dynamic_pointer_cast<TPort>(Find(h));
  if (!p) Fail(ERROR_INVALID_HANDLE);
  return p;
}

std::shared_ptr<TEvent> TPosixSerialApi::Event(THandle h) {
  auto p = std::dynamic_pointer_cast<TEvent>(Find(h));
  if (!p) Fail(ERROR_INVALID_HANDLE);
  return p;
}

}  // namespace posix_serial

std::shared_ptr<TSerialApi> SystemSerialApi() {
  static const std::shared_ptr<TSerialApi> api =
      std::make_shared<posix_serial::TPosixSerialApi>(ReadModemLines, SystemLowLatencySwitch());
  return api;
}

std::shared_ptr<TSerialApi> MakePosixSerialApi(TModemProbe probe, TLowLatencySwitch lowLatency) {
  const TLowLatencySwitch system = SystemLowLatencySwitch();
  if (!lowLatency.DriverName) lowLatency.DriverName = system.DriverName;
  if (!lowLatency.Get) lowLatency.Get = system.Get;
  if (!lowLatency.Set) lowLatency.Set = system.Set;
  return std::make_shared<posix_serial::TPosixSerialApi>(
      probe ? std::move(probe) : TModemProbe(ReadModemLines), std::move(lowLatency));
}
