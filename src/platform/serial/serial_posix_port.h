// Inside the Linux serial operations: the shared objects behind handles and the class that
// implements them, split by concern over the serial_posix_*.cpp files.
#pragma once

#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <unistd.h>

#include <linux/serial.h>

#include <atomic>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_map>

#include "platform/serial/serial_api_posix.h"

namespace posix_serial {

extern thread_local std::uint32_t t_lastError;
extern thread_local int t_lastErrno;

// errno to the platform's codes, in one place; the text stays the system's.
std::uint32_t MapErrno(int e);
bool FailErrno(int e);
bool Fail(std::uint32_t code);
bool DeviceGoneErrno(int e);

// The lock file of device, unless a living process holds it: 0 (taken, its name in taken; or
// there is no lock folder to take it in), else EBUSY.
int TakeLockFile(const std::string& device, std::string& taken);
// flock and the exclusive flag on an open line: 0, or the errno of the refusal.
int LockLine(int fd);

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
  // Gives the device back as it was found (line settings, driver switches); run once, when the
  // handle is closed.
  std::function<void(int fd)> restore;
  std::string lockFile;  // the lock file taken for the line, if any
  std::atomic<bool> letGo{false};
  // Gives up every lock on the line (once): the handle is closed, even if a call still uses fd.
  void LetGo();
  ~TPort() override {
    LetGo();
    if (fd >= 0) ::close(fd);
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
  std::mutex m;
  std::weak_ptr<TPort> port;  // a pending WaitCommEvent completes through this event
  std::uint32_t* maskOut = nullptr;
  ~TEvent() override {
    if (fd >= 0) ::close(fd);
  }
};

inline void Drain(int fd) {
  std::uint64_t v;
  [[maybe_unused]] ssize_t r = ::read(fd, &v, sizeof v);
}

inline int InQueue(int fd) {
  int n = 0;
  return ioctl(fd, FIONREAD, &n) == 0 ? n : -1;
}

inline bool Readable(int fd) {
  pollfd p{fd, POLLIN, 0};
  return poll(&p, 1, 0) > 0 && (p.revents & POLLIN);
}

class TPosixSerialApi final : public TSerialApi {
 public:
  TPosixSerialApi(TModemProbe probe, TLowLatencySwitch lowLatency)
      : probe_(std::move(probe)), lowLatency_(std::move(lowLatency)) {}
  THandle CreateFileW(const std::string& path) override;
  bool CloseHandle(THandle h) override;
  bool GetDefaultCommConfigW(const std::string&, COMMCONFIG& cfg) override;
  bool GetCommConfig(THandle h, COMMCONFIG& cfg) override;
  bool GetCommState(THandle h, DCB& dcb) override;
  bool SetCommState(THandle h, const DCB& dcb) override;
  bool SetupComm(THandle h, std::uint32_t, std::uint32_t) override;
  bool SetCommTimeouts(THandle h, const COMMTIMEOUTS& t) override;
  bool SetCommMask(THandle h, std::uint32_t mask) override;
  bool WaitCommEvent(THandle h, std::uint32_t* mask, OVERLAPPED* ovl) override;
  THandle CreateEventW() override;
  std::uint32_t WaitForSingleObject(THandle h, std::uint32_t ms) override;
  bool PulseEvent(THandle h) override;
  bool ClearCommError(THandle h, std::uint32_t* errors, COMSTAT* stat) override;
  bool ReadFile(THandle h, void* buf, std::uint32_t n, OVERLAPPED* ovl) override;
  bool WriteFile(THandle h, const void* buf, std::uint32_t n, OVERLAPPED* ovl) override;
  bool GetOverlappedResult(THandle h, OVERLAPPED* ovl, std::uint32_t* transferred,
                           bool wait) override;
  bool TransmitCommChar(THandle h, char c) override;
  bool EscapeCommFunction(THandle h, std::uint32_t func) override;
  bool GetCommModemStatus(THandle h, std::uint32_t* status) override;
  bool PurgeComm(THandle h, std::uint32_t flags) override;
  bool HasCancelIo() override { return true; }
  bool CancelIo(THandle h) override;
  bool FlushFileBuffers(THandle h) override;
  bool GetCommProperties(THandle h, COMMPROP& prop) override;
  bool CommConfigDialogW(const std::string& name, COMMCONFIG& cfg) override;
  bool DriverTogglesRts485() override { return false; }
  std::uint32_t GetLastError() override;
  std::string SysErrorMessage(std::uint32_t code) override;
  std::uint32_t GetTickCount() override;
  void Sleep(std::uint32_t ms) override;

 private:
  THandle Add(std::shared_ptr<TObject> obj);
  std::shared_ptr<TObject> Find(THandle h);
  std::shared_ptr<TPort> Port(THandle h);
  std::shared_ptr<TEvent> Event(THandle h);
  void NoteOutput(TPort& port);
  void NoteInput(TPort& port);
  void DropPending(TPort& port, std::uint32_t flags);
  // One non-blocking step; false on a failure (the last error set), done advanced.
  bool Step(TPort& port, TPending& op);
  bool Transfer(THandle h, std::uint8_t* buf, std::uint32_t n, OVERLAPPED* ovl, bool write);
  // Waits until the transfer is done, the port's timeouts end it, or the port closes.
  bool Complete(TPort& port, TPending& op, const COMMTIMEOUTS& to);
  // Waits for the event; when a WaitCommEvent is bound to it, also for the port's events.
  std::uint32_t WaitEvent(TEvent& ev, std::uint32_t ms);
  void Unbind(TEvent& ev, std::uint32_t mask);
  // Looks at the lines when the mask asks for their events: the events found since the last
  // look. A device that stopped answering is gone; one that never could is no longer asked.
  std::uint32_t LookAtModemLines(TPort& port, std::uint32_t mask);

  // Asks the driver of an FTDI adapter for low latency; true when it was switched on here.
  bool AskLowLatency(int fd);

  TModemProbe probe_;
  TLowLatencySwitch lowLatency_;
  std::mutex tableMutex_;
  std::unordered_map<THandle, std::shared_ptr<TObject>> table_;
  THandle next_ = 0x100;
};

}  // namespace posix_serial
