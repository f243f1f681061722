#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/process/main_thread.h"
#include "serial/srclasses.h"

namespace {
// Runs fn on the main thread and waits for it, unless gaveUp() turns true while fn has not
// started: the main thread may itself be waiting for this thread to stop, so a step still
// queued is dropped rather than waited for.
void RunOnMainUnless(TMainThread& main, std::function<void()> fn,
                     const std::function<bool()>& gaveUp) {
  struct TState {
    std::mutex m;
    std::condition_variable cv;
    bool started = false, done = false, dropped = false;
  };
  auto st = std::make_shared<TState>();
  main.Post([st, fn = std::move(fn)] {
    {
      std::lock_guard lock(st->m);
      if (st->dropped) return;
      st->started = true;
    }
    try {
      fn();
    } catch (...) {
      std::lock_guard lock(st->m);
      st->done = true;
      st->cv.notify_all();
      throw;
    }
    std::lock_guard lock(st->m);
    st->done = true;
    st->cv.notify_all();
  });
  std::unique_lock lock(st->m);
  while (!st->done) {
    if (!st->started && gaveUp()) {
      st->dropped = true;
      return;
    }
    st->cv.wait_for(lock, std::chrono::milliseconds(5));
  }
}
}  // namespace

TsrBaseIO::TsrBaseIO() : api_(SystemSerialApi()) {}

TsrBaseIO::~TsrBaseIO() {
  TsrBaseIO::StopThreads();
  SetTerminal(nullptr);
  FreeNotices.Announce(this);
  SetDataProcessor(nullptr);
  if (fLog) fLog->FreeNotices.Remove(this);
  slDevices.Clear();
}

bool TsrBaseIO::Active() const {
  if (fComponentState & (csLoading | csDesigning)) return fActive;
  return IsOpened();
}

void TsrBaseIO::SetActive(bool Value) {
  if (fComponentState & csLoading) {
    fActive = Value;
    return;
  }
  const bool design = fComponentState & csDesigning;
  if (Value != Active() || design) {
    if (Value)
      DoOpen();
    else
      DoClose();
  }
  if (design) {
    fActive = IsOpened();
    if (fActive) DoClose();
  }
}

void TsrBaseIO::SetDesigning(bool v) {
  if (v)
    fComponentState |= csDesigning;
  else
    fComponentState &= static_cast<std::uint8_t>(~csDesigning);
}

void TsrBaseIO::Loaded() {
  fComponentState &= static_cast<std::uint8_t>(~csLoading);
  try {
    SetTerminal(fTerminal);
    SetTerminalUsage(fTerminalUsage);
    SetActive(fActive);
  } catch (...) {
    ShowSerialMessageBox("error", "Error");
  }
}

void TsrBaseIO::Notification(TObject* AComponent) {
  if (!AComponent) return;
  if (AComponent == fDataProcessor) {
    fDataProcessor->AttachDevice(nullptr);
    fDataProcessor = nullptr;
  } else if (AComponent == fTerminal) {
    // Going away: its window method is not given back.
    fTerminal = nullptr;
    fOldTerminalWndProc = nullptr;
    hTerminal = 0;
  } else if (AComponent == fLog) {
    fLog = nullptr;
  }
}

void TsrBaseIO::DeviceClose(THandle handle) {
  api_->CloseHandle(handle);
}

bool TsrBaseIO::HasReceivers() const {
  return fTerminal != nullptr || static_cast<bool>(OnAfterReceive) || fDataProcessor != nullptr;
}

void TsrBaseIO::BaseOpen() {
  hPort.store(DeviceOpen());
  if (IsOpened() && isThreaded) TsrBaseIO::StartThreads();
  if (fOnOpen) try {
      fOnOpen(this);
    } catch (...) {
    }
}

void TsrBaseIO::BaseClose() {
  THandle h = hPort.exchange(INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return;
  DeviceClose(h);
  if (isThreaded) TsrBaseIO::StopThreads();
  if (OnClose) try {
      OnClose(this);
    } catch (...) {
    }
}

void TsrBaseIO::StartThreads() {
  if (fThreadIO) {
    if (!fThreadIO->Terminated()) return;
    fThreadIO.reset();  // one that stopped itself: gone by now or soon
  }
  IsThreadIOTerminated = false;
  fThreadIO = std::make_unique<TsrThreadIO>(this);
}

void TsrBaseIO::StopThreads() {
  if (!fThreadIO) return;
  IsThreadIOTerminated = true;
  fThreadIO->Terminate();
  // From the worker itself it can only be told; it is waited for at the next start or stop.
  if (fThreadIO->IsCurrentThread()) return;
  fThreadIO.reset();
}

void TsrBaseIO::ThreadIOExecute(TsrThreadIO*) {}

void TsrBaseIO::DoOpen() {
  BaseOpen();
}
void TsrBaseIO::DoClose() {
  BaseClose();
}

void TsrBaseIO::DoFatalError(std::uint32_t Code, std::uint32_t Detail, const std::string& Msg,
                             bool ShowOnly) {
  bool raise = true;
  if (OnFatalError) OnFatalError(this, Code, Detail, Msg, raise);
  if (fLog) fLog->AddLogFormat(dlSimple, "Fatal Error: %u, %u, %s", Code, Detail, Msg.c_str());
  if (!raise || (fComponentState & csLoading)) return;
  if (ShowOnly)
    ShowSerialError(Msg);
  else
    throw ESerialError(Msg);
}

bool TsrBaseIO::DoReceived(const std::uint8_t* Buffer, std::uint32_t Len) {
  TMainThread* main = TMainThread::Current();
  TsrThreadIO* const worker = TsrThreadIO::Current();
  if (worker && worker->fsrComm == this && UseMainThread() && main) {
    // Handed to the main thread; the worker waits for it unless told to stop meanwhile.
    TsrThreadIO* self = worker;
    threadData = Buffer;
    threadDataSize = Len;
    RunOnMainUnless(
        *main, [this] { DoReceived(threadData, threadDataSize); },
        [self] { return self->Terminated(); });
    return false;
  }
  TIgnoreTypes ignore = 0;
  if (fDataProcessor) fDataProcessor->DoProcessing(Buffer, Len, ignore);
  if (fTerminal && !(ignore & itTerminal)) TerminalWrite(Buffer, Len);
  if (OnAfterReceive) OnAfterReceive(this, Buffer, Len);
  return false;
}

bool TsrBaseIO::DoSendComplete() {
  bool ignore = false;
  if (fDataProcessor) fDataProcessor->DoAfterSendComplete(ignore);
  return ignore;
}

void TsrBaseIO::SetDeviceIndex(int) {
  DoNotify(3);
}

int TsrBaseIO::DeviceAdd(std::unique_ptr<TsrDevice> device) {
  return slDevices.DeviceAdd(std::move(device), this);
}
int TsrBaseIO::DeviceInsert(std::unique_ptr<TsrDevice> device) {
  return slDevices.DeviceInsert(std::move(device), this);
}

void TsrBaseIO::NotifyAdd(const TsrNotifyEvent& e) {
  if (srNotifyList.IndexOf(e) < 0) srNotifyList.Add(e);
}
void TsrBaseIO::NotifyDelete(const TsrNotifyEvent& e) {
  srNotifyList.Delete(srNotifyList.IndexOf(e));
}

bool TsrBaseIO::WMDeviceChange(std::uint32_t Msg, std::uintptr_t wParam,
                               const DEV_BROADCAST_HDR* header) {
  constexpr std::uint32_t WM_DEVICECHANGE = 0x219, DBT_DEVNODES_CHANGED = 7,
                          DBT_DEVICEARRIVAL = 0x8000, DBT_DEVICEREMOVECOMPLETE = 0x8004,
                          DBT_DEVTYP_PORT = 3;
  if (Msg != WM_DEVICECHANGE) return false;
  const bool port = header && header->dbch_devicetype == DBT_DEVTYP_PORT;
  if (wParam == DBT_DEVNODES_CHANGED ||
      ((wParam == DBT_DEVICEARRIVAL || wParam == DBT_DEVICEREMOVECOMPLETE) && port)) {
    Update();
    return true;
  }
  return false;
}

void TsrBaseIO::GetDeviceList(std::vector<std::string>& L) {
  if (slDevices.Count() == 0) DeviceListLoad();
  L.clear();
  for (int i = 0; i < slDevices.Count(); ++i) L.push_back(slDevices.String(i));
}

void TsrBaseIO::SetLog(TsrCustomLogFile* log) {
  if (fLog && fLog != log) fLog->FreeNotices.Remove(this);
  fLog = log;
  if (fLog) fLog->FreeNotices.Add(this);
}

void TsrBaseIO::SetDataProcessor(TsrCustomDataProcessor* p) {
  if (!p) {
    if (fDataProcessor) {
      fDataProcessor->FreeNotices.Remove(this);
      fDataProcessor->AttachDevice(nullptr);
    }
    fDataProcessor = nullptr;
    return;
  }
  fDataProcessor = p;
  p->FreeNotices.Add(this);
  p->AttachDevice(this);
}

void TsrBaseIO::LogMessage(TDetailLevel level, const std::string& text) {
  if (!fLog) return;
  if (text.empty())
    fLog->AddSysInfo();
  else
    fLog->AddLog(level, sLogPrefix + text);
}

void TsrBaseIO::LogFormat(TDetailLevel level, const char* format, ...) {
  if (!fLog) return;
  std::string f = sLogPrefix + format;
  va_list args;
  va_start(args, format);
  fLog->AddLogFmt(level, f.c_str(), args);
  va_end(args);
}
