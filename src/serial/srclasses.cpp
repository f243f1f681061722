#include "serial/srclasses.h"

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <iostream>
#include <mutex>

#include "platform/main_thread.h"
#include "serial/srtimer.h"

namespace {
std::mutex g_boxMutex;
std::function<void(const std::string&)> g_errorBox;
std::function<void(const std::string&, const std::string&)> g_messageBox;

// The worker thread running on this thread, if any.
thread_local TsrThreadIO* t_threadIO = nullptr;

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

std::string FormatV(const char* format, va_list args) {
  va_list copy;
  va_copy(copy, args);
  int n = std::vsnprintf(nullptr, 0, format, copy);
  va_end(copy);
  if (n <= 0) return {};
  std::string s(static_cast<std::size_t>(n) + 1, '\0');
  std::vsnprintf(s.data(), s.size(), format, args);
  s.resize(static_cast<std::size_t>(n));
  return s;
}

std::string Format(const char* format, ...) {
  va_list args;
  va_start(args, format);
  std::string s = FormatV(format, args);
  va_end(args);
  return s;
}

void SetSerialErrorBox(std::function<void(const std::string&)> box) {
  std::lock_guard lock(g_boxMutex);
  g_errorBox = std::move(box);
}

void SetSerialMessageBox(std::function<void(const std::string&, const std::string&)> box) {
  std::lock_guard lock(g_boxMutex);
  g_messageBox = std::move(box);
}

void ShowSerialMessageBox(const std::string& Text, const std::string& Caption) {
  std::function<void(const std::string&, const std::string&)> box;
  {
    std::lock_guard lock(g_boxMutex);
    box = g_messageBox;
  }
  if (box)
    box(Text, Caption);
  else
    std::cerr << Caption << ": " << Text << '\n';
}

void TsrFreeNotices::Add(TsrNoticeReceiver* r) {
  if (r && std::find(receivers_.begin(), receivers_.end(), r) == receivers_.end())
    receivers_.push_back(r);
}
void TsrFreeNotices::Remove(TsrNoticeReceiver* r) {
  receivers_.erase(std::remove(receivers_.begin(), receivers_.end(), r), receivers_.end());
}
void TsrFreeNotices::Announce(TObject* self) {
  std::vector<TsrNoticeReceiver*> told;
  told.swap(receivers_);
  for (TsrNoticeReceiver* r : told) r->Notification(self);
}

void ShowSerialError(const std::string& msg) {
  std::function<void(const std::string&)> box;
  {
    std::lock_guard lock(g_boxMutex);
    box = g_errorBox;
  }
  if (box)
    box(msg);
  else
    std::cerr << msg << '\n';
}

int TsrNotifyList::Add(const TsrNotifyEvent& item) {
  items_.push_back(std::make_unique<TsrNotifyEvent>(item));
  return Count() - 1;
}

void TsrNotifyList::Delete(int index) {
  if (index >= 0 && index < Count()) items_.erase(items_.begin() + index);
}

int TsrNotifyList::IndexOf(const TsrNotifyEvent& item) const {
  for (int i = 0; i < Count(); ++i)
    if (items_[static_cast<std::size_t>(i)]->Code == item.Code) return i;
  return -1;
}

void TsrNotifyList::Call(TObject* sender, std::int32_t code) {
  const int n = Count();
  for (int i = 0; i < n && i < Count(); ++i) {
    TsrNotifyEvent e = *items_[static_cast<std::size_t>(i)];
    if (e.Code) e.Code(e.Data, sender, code);
  }
}

void TsrCustomLogFile::DoFatalError(std::uint32_t Code, std::uint32_t Detail,
                                    const std::string& Msg) {
  bool raise = true;
  if (OnFatalError) OnFatalError(this, Code, Detail, Msg, raise);
  if (raise) throw ESerialError(Msg);
}

void TsrCustomLogFile::AddLogFormat(TDetailLevel l, const char* format, ...) {
  va_list args;
  va_start(args, format);
  AddLogFmt(l, format, args);
  va_end(args);
}

// ---- data processor ----

TsrCustomDataProcessor::TsrCustomDataProcessor() : fTimerAsync(std::make_unique<TsrTimer>()) {
  fTimerAsync->SetEnabled(false);
  fTimerAsync->SetOnTimer([this](TObject*) { AsyncTimerTick(); });
}

TsrCustomDataProcessor::~TsrCustomDataProcessor() {
  FreeNotices.Announce(this);
  AttachDevice(nullptr);
  if (fDataProcessor) fDataProcessor->FreeNotices.Remove(this);
  if (fLog) fLog->FreeNotices.Remove(this);
  fTimerAsync.reset();
}

void TsrCustomDataProcessor::Notification(TObject* AComponent) {
  if (!AComponent) return;
  if (AComponent == fDataProcessor) {
    fDataProcessor = nullptr;  // going away: nothing to tell it
    ChainProcessor(nullptr);
  }
  if (AComponent == fDevice) AttachDevice(nullptr);
  if (AComponent == fLog) fLog = nullptr;
}

void TsrCustomDataProcessor::AssignLog(TsrCustomLogFile* log) {
  if (fLog && fLog != log) fLog->FreeNotices.Remove(this);
  fLog = log;
  if (fLog) fLog->FreeNotices.Add(this);
}

void TsrCustomDataProcessor::AsyncTimerTick() {
  fTimerAsync->SetEnabled(false);
  bool ignore = false;
  DoAfterSendComplete(ignore);
}

void TsrCustomDataProcessor::StartAsyncTimer(std::uint32_t Interval) {
  fTimerAsync->SetEnabled(false);
  if (Interval == 0) return;
  fTimerAsync->SetInterval(Interval);
  fTimerAsync->SetEnabled(true);
}

void TsrCustomDataProcessor::NotifyThunk(void* self, TObject* sender, std::int32_t code) {
  static_cast<TsrCustomDataProcessor*>(self)->DeviceNotify(sender, code);
}

void TsrCustomDataProcessor::DeviceNotify(TObject*, std::int32_t Code) {
  if (Code == 1) DoMediumClosed();
  if (Code == 2) DoMediumOpened();
}

void TsrCustomDataProcessor::LogDebug(const std::string& text) {
  if (fLog) fLog->AddLog(dlDebug, sLogPrefix + text);
}

void TsrCustomDataProcessor::DoMediumClosed() {
  LogDebug("Medium Closed");
}
void TsrCustomDataProcessor::DoMediumOpened() {
  LogDebug("Medium Opened");
}

void TsrCustomDataProcessor::ChainProcessor(TsrCustomDataProcessor* processor) {
  if (processor == this) return;
  if (fDataProcessor && fDataProcessor != processor) fDataProcessor->FreeNotices.Remove(this);
  fDataProcessor = processor;
  if (processor) {
    processor->FreeNotices.Add(this);
    processor->AttachDevice(fDevice);
  }
}

void TsrCustomDataProcessor::AttachDevice(TsrBaseIO* device) {
  if (device == fDevice) return;
  TsrNotifyEvent e{&TsrCustomDataProcessor::NotifyThunk, this};
  if (fDevice) {
    fDevice->NotifyDelete(e);
    fDevice->FreeNotices.Remove(this);
  }
  fDevice = device;
  if (fDevice) {
    fDevice->FreeNotices.Add(this);
    fDevice->NotifyAdd(e);
  }
}

void TsrCustomDataProcessor::DoDataSend(const std::uint8_t* Buffer, std::uint32_t Len) {
  if (!Buffer || Len == 0) return;
  try {
    bool handled = false;
    if (OnDataSend) OnDataSend(this, Buffer, Len, false, handled);
    if (handled) {
      // Sent elsewhere: the timer stands in for the line's transmit-empty event.
      fTimerAsync->SetEnabled(false);
      fTimerAsync->SetEnabled(true);
    } else if (fDevice) {
      fDevice->SendData(Buffer, Len);
      if (fDevice->api_ && fDevice->IsOpened()) fDevice->api_->FlushFileBuffers(fDevice->Handle());
    }
    LogDebug(Format("DoDataSend: %u bytes", Len));
  } catch (...) {
  }
}

void TsrCustomDataProcessor::DoStringSend(const std::string& S) {
  if (S.empty()) return;
  try {
    bool handled = false;
    if (OnDataSend)
      OnDataSend(this, reinterpret_cast<const std::uint8_t*>(S.data()),
                 static_cast<std::uint32_t>(S.size()), true, handled);
    if (!handled && fDevice) fDevice->SendString(S);
  } catch (...) {
  }
}

void TsrCustomDataProcessor::DoFatalErrors(std::uint32_t Code, std::uint32_t Detail,
                                           const std::string& Msg) {
  bool raise = true;
  if (OnFatalError) OnFatalError(this, Code, Detail, Msg, raise);
  if (fLog) fLog->AddLogFormat(dlSimple, "Fatal Error: %u, %u, %s", Code, Detail, Msg.c_str());
  if (raise) throw ESerialError(Msg);
}

void TsrCustomDataProcessor::DoProcessing(const std::uint8_t* Data, std::uint32_t Len,
                                          TIgnoreTypes& R) {
  if (fDataProcessor) fDataProcessor->DoProcessing(Data, Len, R);
}

void TsrCustomDataProcessor::DataReceive(const std::uint8_t* ptrBuffer, std::uint32_t Len) {
  TIgnoreTypes r = 0;
  DoProcessing(ptrBuffer, Len, r);
}

void TsrCustomDataProcessor::DoAfterSendComplete(bool&) {}

// ---- base component ----

// ---- worker thread ----

TsrThreadIO::TsrThreadIO(TsrBaseIO* com) : fsrComm(com) {
  // (The multithreaded COM apartment the work may need exists only on Windows.)
  thread_ = std::thread([this] {
    t_threadIO = this;
    fsrComm->ThreadIOExecute(this);
    t_threadIO = nullptr;
  });
}

TsrThreadIO::~TsrThreadIO() {
  Terminate();
  WaitFor();
}

bool TsrThreadIO::IsCurrentThread() const {
  return t_threadIO == this;
}

void TsrThreadIO::WaitFor() {
  if (thread_.joinable() && !IsCurrentThread()) thread_.join();
}

// ---- base component ----

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

void TsrBaseIO::SetTerminal(TsrEditControl* Value) {
  if (fTerminal) {
    fTerminal->SetWindowProc(fOldTerminalWndProc);
    fTerminal->RemoveFreeNotification(this);
    fOldTerminalWndProc = nullptr;
  }
  if (Value) {
    fOldTerminalWndProc = Value->WindowProc();
    Value->SetWindowProc([this](TMessage& m) { TerminalWndProc(m); });
  }
  hTerminal = 0;
  fTerminal = Value;
  if ((fComponentState & csDesigning) && Value && fTerminalUsage == tuNone) fTerminalUsage = tuBoth;
  SetTerminalUsage(fTerminalUsage);
  if (Value) Value->FreeNotification(this);
}

void TsrBaseIO::SetTerminalUsage(TTerminalUsage Value) {
  fTerminalUsage = Value;
  if (!fTerminal) return;
  hTerminal = (Value == tuReceive || Value == tuBoth) ? fTerminal->Handle() : 0;
}

void TsrBaseIO::TerminalWndProc(TMessage& Message) {
  if (!fTerminalLocked && Message.Msg == WM_CHAR &&
      (fTerminalUsage == tuSend || fTerminalUsage == tuBoth)) {
    SendChar(static_cast<std::uint32_t>(Message.WParam));
    if (!fTerminalEcho) return;
  }
  if (fOldTerminalWndProc) fOldTerminalWndProc(Message);
}

void TsrBaseIO::SendToTerminal(TMessage& Message) {
  if (hTerminal == 0 || !fTerminal) return;
  if (const TWndMethod proc = fTerminal->WindowProc()) proc(Message);
}

void TsrBaseIO::TerminalWrite(const std::uint8_t* Buffer, std::uint32_t Len) {
  if (!Buffer || Len == 0) return;
  struct TLock {
    bool& flag;
    explicit TLock(bool& f) : flag(f) { flag = true; }
    ~TLock() { flag = false; }
  } lock(fTerminalLocked);
  if (Len == 1) {
    TMessage m{WM_CHAR, Buffer[0], 1, 0};
    SendToTerminal(m);
    return;
  }
  // Zero bytes end the pieces; each is inserted at the caret as 8-bit text.
  const char* p = reinterpret_cast<const char*>(Buffer);
  const char* const end = p + Len;
  while (p < end) {
    const char* stop = std::find(p, end, '\0');
    if (stop > p) {
      const std::string piece(p, stop);
      TMessage m{EM_REPLACESEL, 0, reinterpret_cast<std::intptr_t>(piece.c_str()), 0};
      SendToTerminal(m);
    }
    p = stop + 1;
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
  if (t_threadIO && t_threadIO->fsrComm == this && UseMainThread() && main) {
    // Handed to the main thread; the worker waits for it unless told to stop meanwhile.
    TsrThreadIO* self = t_threadIO;
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
