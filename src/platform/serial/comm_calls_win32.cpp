#include <windows.h>

#include <algorithm>
#include <cstring>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

#include "platform/language/utf16_win32.h"
#include "platform/serial/comm_calls_win32.h"

static_assert(sizeof(DCB) == 28 && sizeof(COMSTAT) == 12 && sizeof(COMMTIMEOUTS) == 20 &&
              sizeof(COMMCONFIG) == 52 && sizeof(COMMPROP) == 64);

namespace comm32 {
namespace {

HANDLE H(std::uint32_t h) {
  // Kernel handles are 32-bit values sign-extended; INVALID_HANDLE_VALUE stays all bits set.
  return reinterpret_cast<HANDLE>(static_cast<INT_PTR>(static_cast<std::int32_t>(h)));
}
std::uint32_t Id(HANDLE h) {
  return static_cast<std::uint32_t>(reinterpret_cast<UINT_PTR>(h));
}

// Keeps the thread's last error across our own bookkeeping.
class TKeepError {
 public:
  TKeepError() : error_(::GetLastError()) {}
  ~TKeepError() { ::SetLastError(error_); }
  TKeepError(const TKeepError&) = delete;
  TKeepError& operator=(const TKeepError&) = delete;

 private:
  DWORD error_;
};

// The system's OVERLAPPED of one event, and where a pending WaitCommEvent's mask goes.
struct TIoRecord {
  OVERLAPPED ovl{};
  DWORD mask = 0;
  std::uint32_t* maskOut = nullptr;
  HANDLE port = nullptr;
  bool pending = false;

  bool Completed() const {
    return reinterpret_cast<const volatile ULONG_PTR&>(ovl.Internal) != STATUS_PENDING;
  }
};

struct TRecords {
  std::mutex m;
  std::unordered_map<std::uint32_t, std::shared_ptr<TIoRecord>> byEvent;
  // Records whose event was closed or reused while the port still owed them a completion.
  std::vector<std::shared_ptr<TIoRecord>> retired;

  void Sweep() {
    std::erase_if(retired, [](const auto& r) { return r->Completed(); });
  }
};
TRecords& Records() {
  static TRecords* r = new TRecords;  // threads may still finish I/O while the program exits
  return *r;
}

std::shared_ptr<TIoRecord> Find(std::uint32_t event) {
  TRecords& all = Records();
  std::lock_guard lock(all.m);
  const auto it = all.byEvent.find(event);
  return it == all.byEvent.end() ? nullptr : it->second;
}

// A fresh record for an operation on the event, marked pending until the call says otherwise.
std::shared_ptr<TIoRecord> Begin(std::uint32_t port, std::uint32_t event) {
  TRecords& all = Records();
  std::lock_guard lock(all.m);
  all.Sweep();
  auto& r = all.byEvent[event];
  if (r && r->pending && !r->Completed()) all.retired.push_back(r);
  if (!r || r->pending) r = std::make_shared<TIoRecord>();
  r->ovl = OVERLAPPED{};
  r->ovl.hEvent = H(event);
  r->mask = 0;
  r->maskOut = nullptr;
  r->port = H(port);
  r->pending = true;
  return r;
}

void CopyStatus(const OVERLAPPED& ovl, TIoStatus status) {
  if (status.Internal) *status.Internal = ovl.Internal;
  if (status.InternalHigh) *status.InternalHigh = ovl.InternalHigh;
}

// After the call that started the operation: settled at once, pending, or failed.
bool Started(TIoRecord& r, BOOL ok, TIoStatus status) {
  const DWORD err = ::GetLastError();
  {
    std::lock_guard lock(Records().m);
    if (!ok && err == ERROR_IO_PENDING) {
      ::SetLastError(err);
      return false;
    }
    r.pending = false;
    r.maskOut = nullptr;
  }
  if (ok) CopyStatus(r.ovl, status);
  ::SetLastError(err);
  return ok != FALSE;
}

// An operation without an event: finished here, waiting on the port itself.
bool Unevented(std::uint32_t h, BOOL ok, OVERLAPPED& ovl, TIoStatus status) {
  if (!ok && ::GetLastError() == ERROR_IO_PENDING) {
    DWORD n = 0;
    ok = ::GetOverlappedResult(H(h), &ovl, &n, TRUE);
  }
  TKeepError keep;
  CopyStatus(ovl, status);
  return ok != FALSE;
}

using TCancelIoEx = BOOL(WINAPI*)(HANDLE, LPOVERLAPPED);
using TCancelIo = BOOL(WINAPI*)(HANDLE);
template <typename F>
F Kernel32(const char* name) {
  return reinterpret_cast<F>(
      reinterpret_cast<void*>(::GetProcAddress(::GetModuleHandleW(L"kernel32.dll"), name)));
}

}  // namespace

std::uint32_t OpenPort(const std::string& path) {
  return Id(::CreateFileW(Widen(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                          OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr));
}

bool CloseHandle(std::uint32_t h) {
  TRecords& all = Records();
  std::vector<std::shared_ptr<TIoRecord>> owed;
  {
    TKeepError keep;
    std::lock_guard lock(all.m);
    if (const auto it = all.byEvent.find(h); it != all.byEvent.end()) {
      if (it->second->pending && !it->second->Completed()) all.retired.push_back(it->second);
      all.byEvent.erase(it);
    } else {
      for (const auto& [_, r] : all.byEvent)
        if (r->pending && r->port == H(h)) owed.push_back(r);
      for (const auto& r : all.retired)
        if (r->port == H(h)) owed.push_back(r);
    }
  }
  if (!owed.empty()) {
    static const auto cancelEx = Kernel32<TCancelIoEx>("CancelIoEx");
    if (cancelEx) cancelEx(H(h), nullptr);
  }
  const BOOL ok = ::CloseHandle(H(h));
  TKeepError keep;
  // The I/O manager writes the cancelled operations' records shortly after; let it finish
  // before any of them can be freed.
  for (int waited = 0; waited < 2000 && std::any_of(owed.begin(), owed.end(),
                                                    [](const auto& r) { return !r->Completed(); });
       ++waited)
    ::Sleep(1);
  std::lock_guard lock(all.m);
  all.Sweep();
  return ok != FALSE;
}

bool DefaultCommConfig(const std::string& name, void* commConfig) {
  DWORD size = sizeof(COMMCONFIG);
  return ::GetDefaultCommConfigW(Widen(name).c_str(), static_cast<COMMCONFIG*>(commConfig),
                                 &size) != FALSE;
}
bool GetCommConfig(std::uint32_t h, void* commConfig) {
  DWORD size = sizeof(COMMCONFIG);
  return ::GetCommConfig(H(h), static_cast<COMMCONFIG*>(commConfig), &size) != FALSE;
}
bool GetCommState(std::uint32_t h, void* dcb) {
  return ::GetCommState(H(h), static_cast<DCB*>(dcb)) != FALSE;
}
bool SetCommState(std::uint32_t h, const void* dcb) {
  DCB copy;
  std::memcpy(&copy, dcb, sizeof copy);
  return ::SetCommState(H(h), &copy) != FALSE;
}
bool SetupComm(std::uint32_t h, std::uint32_t inQueue, std::uint32_t outQueue) {
  return ::SetupComm(H(h), inQueue, outQueue) != FALSE;
}
bool SetCommTimeouts(std::uint32_t h, const void* timeouts) {
  COMMTIMEOUTS copy;
  std::memcpy(&copy, timeouts, sizeof copy);
  return ::SetCommTimeouts(H(h), &copy) != FALSE;
}
bool SetCommMask(std::uint32_t h, std::uint32_t mask) {
  return ::SetCommMask(H(h), mask) != FALSE;
}

bool WaitCommEvent(std::uint32_t h, std::uint32_t* mask, std::uint32_t event, TIoStatus status) {
  if (!mask || event == 0) {
    ::SetLastError(ERROR_INVALID_PARAMETER);
    return false;
  }
  const auto r = Begin(h, event);
  {
    TKeepError keep;
    std::lock_guard lock(Records().m);
    r->maskOut = mask;
  }
  const BOOL ok = ::WaitCommEvent(H(h), &r->mask, &r->ovl);
  if (ok) *mask = r->mask;
  return Started(*r, ok, status);
}

std::uint32_t NewEvent() {
  const HANDLE ev = ::CreateEventW(nullptr, FALSE, FALSE, nullptr);
  if (!ev) return 0xFFFFFFFFu;
  TKeepError keep;
  std::lock_guard lock(Records().m);
  Records().byEvent[Id(ev)] = std::make_shared<TIoRecord>();
  return Id(ev);
}

std::uint32_t WaitForSingleObject(std::uint32_t h, std::uint32_t ms) {
  const DWORD r = ::WaitForSingleObject(H(h), ms);
  if (r != WAIT_OBJECT_0) return r;
  TKeepError keep;
  // A WaitCommEvent that completed through this event hands its mask over now.
  TRecords& all = Records();
  std::lock_guard lock(all.m);
  const auto it = all.byEvent.find(h);
  if (it != all.byEvent.end()) {
    TIoRecord& rec = *it->second;
    if (rec.pending && rec.maskOut && rec.Completed()) {
      *rec.maskOut = rec.mask;
      rec.maskOut = nullptr;
      rec.pending = false;
    }
  }
  return r;
}

bool PulseEvent(std::uint32_t h) {
  return ::PulseEvent(H(h)) != FALSE;
}

bool ClearCommError(std::uint32_t h, std::uint32_t* errors, void* comStat) {
  DWORD err = 0;
  COMSTAT stat{};
  const BOOL ok = ::ClearCommError(H(h), &err, comStat ? &stat : nullptr);
  if (ok && errors) *errors = err;
  if (ok && comStat) std::memcpy(comStat, &stat, sizeof stat);
  return ok != FALSE;
}

bool ReadFile(std::uint32_t h, void* buf, std::uint32_t n, std::uint32_t event, TIoStatus status) {
  if (event == 0) {
    OVERLAPPED ovl{};
    return Unevented(h, ::ReadFile(H(h), buf, n, nullptr, &ovl), ovl, status);
  }
  const auto r = Begin(h, event);
  return Started(*r, ::ReadFile(H(h), buf, n, nullptr, &r->ovl), status);
}

bool WriteFile(std::uint32_t h, const void* buf, std::uint32_t n, std::uint32_t event,
               TIoStatus status) {
  if (event == 0) {
    OVERLAPPED ovl{};
    return Unevented(h, ::WriteFile(H(h), buf, n, nullptr, &ovl), ovl, status);
  }
  const auto r = Begin(h, event);
  return Started(*r, ::WriteFile(H(h), buf, n, nullptr, &r->ovl), status);
}

bool GetOverlappedResult(std::uint32_t h, std::uint32_t event, TIoStatus status,
                         std::uint32_t* transferred, bool wait) {
  std::shared_ptr<TIoRecord> r;
  {
    TKeepError keep;
    r = Find(event);
  }
  bool pending = false;
  {
    TKeepError keep;
    std::lock_guard lock(Records().m);
    pending = r && r->pending;
  }
  if (!pending) {  // settled when it was started
    if (transferred && status.InternalHigh)
      *transferred = static_cast<std::uint32_t>(*status.InternalHigh);
    if (status.Internal && *status.Internal != 0) {
      ::SetLastError(ERROR_GEN_FAILURE);
      return false;
    }
    return true;
  }
  DWORD n = 0;
  const BOOL ok = ::GetOverlappedResult(H(h), &r->ovl, &n, wait ? TRUE : FALSE);
  const DWORD err = ::GetLastError();
  if (!ok && err == ERROR_IO_INCOMPLETE) return false;
  {
    std::lock_guard lock(Records().m);
    if (r->maskOut) *r->maskOut = r->mask;
    r->maskOut = nullptr;
    r->pending = false;
  }
  CopyStatus(r->ovl, status);
  if (transferred) *transferred = n;
  ::SetLastError(err);
  return ok != FALSE;
}

bool TransmitCommChar(std::uint32_t h, char c) {
  return ::TransmitCommChar(H(h), c) != FALSE;
}
bool EscapeCommFunction(std::uint32_t h, std::uint32_t func) {
  return ::EscapeCommFunction(H(h), func) != FALSE;
}
bool GetCommModemStatus(std::uint32_t h, std::uint32_t* status) {
  DWORD s = 0;
  const BOOL ok = ::GetCommModemStatus(H(h), &s);
  if (ok && status) *status = s;
  return ok != FALSE;
}
bool PurgeComm(std::uint32_t h, std::uint32_t flags) {
  return ::PurgeComm(H(h), flags) != FALSE;
}

bool HasCancelIo() {
  static const bool has = Kernel32<TCancelIo>("CancelIo") != nullptr;
  return has;
}
bool CancelIo(std::uint32_t h) {
  // CancelIo alone reaches only the calling thread's requests; the waits of the port's event
  // thread need CancelIoEx, which every system since Vista has.
  static const auto cancelEx = Kernel32<TCancelIoEx>("CancelIoEx");
  static const auto cancel = Kernel32<TCancelIo>("CancelIo");
  if (cancelEx) return cancelEx(H(h), nullptr) != FALSE || ::GetLastError() == ERROR_NOT_FOUND;
  return cancel && cancel(H(h)) != FALSE;
}
bool FlushFileBuffers(std::uint32_t h) {
  return ::FlushFileBuffers(H(h)) != FALSE;
}
bool GetCommProperties(std::uint32_t h, void* commProp) {
  return ::GetCommProperties(H(h), static_cast<COMMPROP*>(commProp)) != FALSE;
}
bool ShowPortDialog(const std::string& name, void* commConfig) {
  return ::CommConfigDialogW(Widen(name).c_str(), ::GetForegroundWindow(),
                             static_cast<COMMCONFIG*>(commConfig)) != FALSE;
}

std::uint32_t GetLastError() {
  return ::GetLastError();
}
std::string ErrorText(std::uint32_t code) {
  return Win32ErrorText(code);
}
std::uint32_t GetTickCount() {
  return ::GetTickCount();
}
void Sleep(std::uint32_t ms) {
  ::Sleep(ms);
}

}  // namespace comm32
