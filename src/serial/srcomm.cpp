#include "serial/srcomm.h"

#include <algorithm>
#include <cstring>
#include <thread>

#include "platform/main_thread.h"
#include "platform/thread_messages.h"

namespace {

std::uint32_t MsgComEvent() {
  static const std::uint32_t m = RegisterWindowMessage("srCommMsgComEvent");
  return m;
}
std::uint32_t MsgQuitComEvent() {
  static const std::uint32_t m = RegisterWindowMessage("srCommMsgQuitComEvent");
  return m;
}

}  // namespace

// What the two threads of one open port share with the component. The threads reach the
// component only through `self`, under `life`, and only while it still exists.
struct TCommLink {
  std::shared_ptr<TSerialApi> api;
  THandle hDevice = INVALID_HANDLE_VALUE;
  std::shared_ptr<std::recursive_mutex> life;
  std::shared_ptr<TsrCustomComm*> self;
  std::atomic<bool> evTerminated{false}, msgTerminated{false}, portOpen{true};
  std::atomic<THandle> evEvent{0};
  std::atomic<std::uint32_t> msgThreadId{0};

  static void EventThread(std::shared_ptr<TCommLink> L);
  static void MessageThread(std::shared_ptr<TCommLink> L);
};

void TCommLink::EventThread(std::shared_ptr<TCommLink> L) {
  TSerialApi& api = *L->api;
  const THandle ev = api.CreateEventW();
  L->evEvent = ev;
  while (ev != INVALID_HANDLE_VALUE && L->hDevice != INVALID_HANDLE_VALUE && !L->evTerminated) {
    OVERLAPPED ovl;
    ovl.hEvent = ev;
    std::uint32_t mask = 0;
    if (!api.WaitCommEvent(L->hDevice, &mask, &ovl)) {
      const std::uint32_t err = api.GetLastError();
      if (err == ERROR_IO_PENDING) {
        const std::uint32_t r = api.WaitForSingleObject(ev, INFINITE);
        if (L->evTerminated) break;
        if (r != WAIT_OBJECT_0) mask = 0;
      } else if (mask == 0 && err == ERROR_INVALID_PARAMETER) {
        // nothing to post
      } else if (err == ERROR_INVALID_HANDLE) {
        break;
      } else {
        // The device went away under the open port: close it from here, once.
        std::lock_guard lock(*L->life);
        TsrCustomComm* com = *L->self;
        if (com && !L->evTerminated && com->Handle() == L->hDevice) com->ClosePort(false);
        break;
      }
    }
    if (mask != 0) {
      while (!L->evTerminated && L->portOpen) {
        const std::uint32_t id = L->msgThreadId;
        if (id != 0 && PostThreadMessage(id, MsgComEvent(), mask)) break;
        api.Sleep(1);
      }
    }
    if (!L->portOpen) break;
  }
  if (ev != INVALID_HANDLE_VALUE) {
    L->evEvent = 0;
    api.CloseHandle(ev);
  }
}

void TCommLink::MessageThread(std::shared_ptr<TCommLink> L) {
  EnsureMessageQueue();
  L->msgThreadId = CurrentThreadId();
  TThreadMsg msg;
  while (!L->msgTerminated) {
    if (GetThreadMessage(msg, 0xC000, 0xFFFF) == 0) break;
    if (!L->portOpen || L->msgTerminated || msg.message == MsgQuitComEvent()) break;
    if (msg.message != MsgComEvent()) continue;
    const auto mask = static_cast<std::uint32_t>(msg.wParam);
    bool useMain = false;
    {
      std::lock_guard lock(*L->life);
      TsrCustomComm* com = *L->self;
      if (!com) break;
      useMain = com->UseMainThread();
    }
    TMainThread* main = TMainThread::Current();
    if (useMain && main) {
      main->Synchronize([L, mask] {
        if (L->msgTerminated) return;
        if (TsrCustomComm* com = *L->self) com->ProcessCommEvent(MsgComEvent(), mask);
      });
    } else {
      std::lock_guard lock(*L->life);
      if (TsrCustomComm* com = *L->self; com && !L->msgTerminated)
        com->ProcessCommEvent(MsgComEvent(), mask);
    }
  }
}

// ---- TsrCustomComm ----

TsrCustomComm::TsrCustomComm()
    : lifeMutex_(std::make_shared<std::recursive_mutex>()),
      self_(std::make_shared<TsrCustomComm*>(this)) {
  sLogPrefix = "TsrCustomComm";
  MsgComEvent();
  MsgQuitComEvent();
  fOvlRead.hEvent = api_->CreateEventW();
  fOvlWrite.hEvent = api_->CreateEventW();
  fIsNotSupportRS485 = !api_->DriverTogglesRts485();
  CommCfg.dwSize = 52;
  CommCfg.dcb.DCBlength = 28;
}

TsrCustomComm::~TsrCustomComm() {
  DetachThreads();
  SetTerminal(nullptr);
  SetDataProcessor(nullptr);
  OnTraceState = nullptr;
  for (TsrCheckable* c : {fMonitorCTS, fMonitorDSR, fMonitorRLSD, fMonitorRing})
    if (c) c->FreeNotices.Remove(this);
  DoClose();
  api_->CloseHandle(fOvlRead.hEvent);
  api_->CloseHandle(fOvlWrite.hEvent);
}

void TsrCustomComm::DetachThreads() {
  std::lock_guard lock(*lifeMutex_);
  *self_ = nullptr;
}

void TsrCustomComm::SetSerialApi(std::shared_ptr<TSerialApi> api) {
  DoClose();
  api_->CloseHandle(fOvlRead.hEvent);
  api_->CloseHandle(fOvlWrite.hEvent);
  api_ = std::move(api);
  fOvlRead = OVERLAPPED{};
  fOvlWrite = OVERLAPPED{};
  fOvlRead.hEvent = api_->CreateEventW();
  fOvlWrite.hEvent = api_->CreateEventW();
  fIsNotSupportRS485 = !api_->DriverTogglesRts485();
}

void TsrCustomComm::SetBaudRate(std::uint32_t v) {
  CommCfg.dcb.BaudRate = v;
  ApplyDCB();
}
void TsrCustomComm::SetParity(TParity v) {
  CommCfg.dcb.Parity = static_cast<std::uint8_t>(v);
  if (v == pNone)
    CommCfg.dcb.Flags &= ~fParity;
  else
    CommCfg.dcb.Flags |= fParity;
  ApplyDCB();
}
void TsrCustomComm::SetStopBits(TStopBits v) {
  CommCfg.dcb.StopBits = static_cast<std::uint8_t>(v);
  ApplyDCB();
}
void TsrCustomComm::SetByteSize(std::uint8_t v) {
  CommCfg.dcb.ByteSize = (v >= 4 && v <= 8) ? v : 8;
  ApplyDCB();
}
void TsrCustomComm::SetTraceStates(TTraceStates v) {
  fTraceStates = v;
  if (IsOpened()) api_->SetCommMask(hPort, EventMask());
}
void TsrCustomComm::AssignEventChar(char v) {
  CommCfg.dcb.EvtChar = v;
  ApplyDCB();
}
void TsrCustomComm::SetStreamProtocol(TStreamProtocol v) {
  fProtocol = v;
  ApplyDCB();
}
void TsrCustomComm::SetRS485Mode(bool v) {
  fRS485Mode = v;
  ApplyDCB();
}
void TsrCustomComm::SetBufferInSize(std::uint16_t v) {
  if (IsOpened()) api_->SetupComm(hPort, v, fBufferOutSize);
  fBufferInSize = v;
}
void TsrCustomComm::SetBufferOutSize(std::uint16_t v) {
  if (IsOpened()) api_->SetupComm(hPort, fBufferInSize, v);
  fBufferOutSize = v;
}
void TsrCustomComm::SetTimeoutRead(std::uint32_t v) {
  COMMTIMEOUTS t = fCommTimeouts;
  t.ReadIntervalTimeout = v;
  SetTimeouts(t);
}
void TsrCustomComm::SetTimeoutWrite(std::uint32_t v) {
  COMMTIMEOUTS t = fCommTimeouts;
  t.WriteTotalTimeoutConstant = v;
  SetTimeouts(t);
}
void TsrCustomComm::SetTimeouts(const COMMTIMEOUTS& t) {
  fCommTimeouts = t;
  if (IsOpened()) api_->SetCommTimeouts(hPort, fCommTimeouts);
}

std::uint32_t TsrCustomComm::EventMask() const {
  static const std::pair<TTraceStates, std::uint32_t> map[] = {
      {tsRxFlag, EV_RXFLAG},     {tsTxEmpty, EV_TXEMPTY}, {tsCTS, EV_CTS},      {tsDSR, EV_DSR},
      {tsRLSD, EV_RLSD},         {tsBreak, EV_BREAK},     {tsErr, EV_ERR},      {tsRing, EV_RING},
      {tsRx80Full, EV_RX80FULL}, {tsEvent1, EV_EVENT1},   {tsEvent2, EV_EVENT2}};
  std::uint32_t mask = EV_RXCHAR;
  const TTraceStates ts = fTraceStates;
  for (const auto& [state, ev] : map)
    if (ts & state) mask |= ev;
  if (RtsDrivenHere()) mask |= EV_TXEMPTY;
  return mask;
}

void TsrCustomComm::ApplyDCB() {
  DCB& d = CommCfg.dcb;
  d.DCBlength = 28;
  d.Flags &= 0x4CEA;
  if (fRS485Mode)
    d.Flags |= 0x3011;
  else if (fProtocol == spNone)
    d.Flags |= 0x1011;
  else if (fProtocol == spXonXoff)
    d.Flags |= 0x1311;
  else
    d.Flags |= 0x2015;
  d.XonLim = 80;
  d.XoffLim = 200;
  d.XonChar = 0x11;
  d.XoffChar = 0x13;
  if (IsOpened()) api_->SetCommState(hPort, d);
}

void TsrCustomComm::ReadDeviceDCB() {
  CommCfg.dwSize = 52;
  CommCfg.dcb.DCBlength = 28;
  if (IsOpened()) {
    api_->GetCommConfig(hPort, CommCfg);
    api_->GetCommState(hPort, CommCfg.dcb);
  }
  const std::uint32_t f = CommCfg.dcb.Flags;
  fProtocol = (f & 0x1311) == 0x1311 ? spXonXoff : (f & 0x2015) == 0x2015 ? spHardware : spNone;
  fRS485Mode = (f & 0x3011) == 0x3011;
}

void TsrCustomComm::ApplySettings() {
  std::uint32_t errors = 0;
  api_->ClearCommError(hPort, &errors, nullptr);
  api_->SetupComm(hPort, fBufferInSize, fBufferOutSize);
  SetTimeouts(fCommTimeouts);
  ApplyDCB();
}

void TsrCustomComm::AllocBuffer() {
  // One byte beyond the largest chunk, for the terminal's closing zero.
  auto buf = std::make_shared<std::vector<std::uint8_t>>(
      std::max<std::size_t>(fBufferInSize, 8192) + 1, 0);
  std::lock_guard lock(bufferMutex_);
  glBuffer = std::move(buf);
}
void TsrCustomComm::FreeBuffer() {
  std::shared_ptr<std::vector<std::uint8_t>> old;
  std::lock_guard lock(bufferMutex_);
  old.swap(glBuffer);
}

void TsrCustomComm::DoOpen() {
  DoClose();
  fTotalReceived = 0;
  fTotalSent = 0;
  closing_ = false;
  BaseOpen();
  fLastOpenFault = TPortFault::None;
  if (!IsOpened()) {
    const std::uint32_t code = api_->GetLastError();
    fLastOpenFault = PortFaultOf(code);
    LastErrorString = Format("Device \"%s\" Open Error !!!\r%s", ComName().c_str(),
                             api_->SysErrorMessage(code).c_str());
    DoFatalError(1, 0, LastErrorString, false);
    return;
  }
  AllocBuffer();
  LogFormat(dlSimple, "The port %s is opened succesfully", ComName().c_str());
  ApplySettings();
  api_->SetCommMask(hPort, EventMask());
  StartThreads();
  DoNotify(2);
}

void TsrCustomComm::DoClose() {
  if (IsOpened()) {
    try {
      ClosePort(true);
      LogMessage(dlSimple, "The port is closed succesfully");
    } catch (...) {
      BaseClose();
    }
  }
  DoTraceState(this, tsTxEmpty);
}

void TsrCustomComm::ClosePort(bool purge) {
  if (!IsOpened() || closing_.exchange(true)) return;
  StopThreads();
  if (purge && NotYetSend() > 0) ClearDeviceBuffers();
  FreeBuffer();
  BaseClose();
  DoNotify(1);
}

void TsrCustomComm::StartThreads() {
  auto L = std::make_shared<TCommLink>();
  L->api = api_;
  L->hDevice = hPort;
  L->life = lifeMutex_;
  L->self = self_;
  {
    std::lock_guard lock(linkMutex_);
    link_ = L;
  }
  std::thread(&TCommLink::MessageThread, L).detach();
  std::thread(&TCommLink::EventThread, L).detach();
  api_->Sleep(25);
}

void TsrCustomComm::StopThreads() {
  std::shared_ptr<TCommLink> L;
  {
    std::lock_guard lock(linkMutex_);
    L.swap(link_);
  }
  if (!L) return;
  L->evTerminated = true;
  if (THandle ev = L->evEvent) L->api->PulseEvent(ev);
  L->msgTerminated = true;
  L->portOpen = false;
  if (std::uint32_t id = L->msgThreadId) PostThreadMessage(id, MsgQuitComEvent(), 0);
  api_->Sleep(25);
}

void TsrCustomComm::ProcessCommEvent(std::uint32_t message, std::uint32_t mask) {
  if (message != MsgComEvent()) return;
  std::shared_ptr<std::vector<std::uint8_t>> buffer;
  {
    std::lock_guard lock(bufferMutex_);
    buffer = glBuffer;
  }
  const THandle h = hPort;
  try {
    std::uint32_t errors = 0;
    if (!api_->ClearCommError(h, &errors, &Stat)) Stat = COMSTAT{};
    if (errors != 0) {
      DoCommError(errors, 0, static_cast<TComStateFlags>(Stat.Flags & 0xFF));
      return;
    }
    if ((mask & EV_RXCHAR) && Stat.cbInQue > 0) {
      const bool read = (fTraceStates & tsRxChar) || HasReceivers();
      if (!read || !buffer) {
        fTotalReceived += Stat.cbInQue;
      } else {
        // Pieces that fit the buffer; whatever arrives meanwhile is taken in the same loop.
        const auto room = static_cast<std::uint32_t>(buffer->size() - 1);
        std::uint32_t count = Stat.cbInQue;
        while (count > 0) {
          const std::uint32_t n = std::min(count, room);
          if (!ReadSync(buffer->data(), n, fOvlRead)) break;
          fTotalReceived += n;
          DoReceived(buffer->data(), n);
          count = api_->ClearCommError(h, nullptr, &Stat) ? Stat.cbInQue : 0;
        }
      }
    }
    if (mask & EV_TXEMPTY) {
      if (RtsDrivenHere()) api_->EscapeCommFunction(h, CLRRTS);
      const bool ignore = DoSendComplete();
      if ((fTraceStates & tsTxEmpty) && !ignore && OnAfterSend) OnAfterSend(this);
    }
    static const std::pair<std::uint32_t, TTraceStates> map[] = {
        {EV_RXFLAG, tsRxFlag}, {EV_CTS, tsCTS},      {EV_DSR, tsDSR}, {EV_RLSD, tsRLSD},
        {EV_RING, tsRing},     {EV_BREAK, tsBreak},  {EV_ERR, tsErr}, {EV_RX80FULL, tsRx80Full},
        {EV_EVENT1, tsEvent1}, {EV_EVENT2, tsEvent2}};
    TTraceStates set = 0;
    for (const auto& [ev, state] : map)
      if (mask & ev) set |= state;
    if (set != 0) DoTraceState(this, set);
  } catch (const Exception& e) {
    DoFatalError(1, api_->GetLastError(), e.Message(), true);
  }
}

void TsrCustomComm::Notification(TObject* AComponent) {
  TsrBaseIO::Notification(AComponent);
  for (TsrCheckable** monitor : {&fMonitorCTS, &fMonitorDSR, &fMonitorRLSD, &fMonitorRing})
    if (*monitor && static_cast<TObject*>(*monitor) == AComponent) *monitor = nullptr;
}

void TsrCustomComm::SetMonitor(TsrCheckable*& slot, TsrCheckable* c) {
  TsrCheckable* const old = slot;
  slot = c;
  // The old control keeps telling this component only while it still shows another line here.
  if (old && old != c && old != fMonitorCTS && old != fMonitorDSR && old != fMonitorRLSD &&
      old != fMonitorRing)
    old->FreeNotices.Remove(this);
  if (c) c->FreeNotices.Add(this);
}

void TsrCustomComm::DoCommError(std::uint32_t CommCode, std::uint32_t SysError,
                                TComStateFlags State) {
  if (RtsDrivenHere()) api_->EscapeCommFunction(hPort, CLRRTS);
  bool flush = false;
  LogFormat(dlDetail, "Communication Error %d:%d %X", CommCode, SysError, State);
  if (OnCommError) OnCommError(this, CommCode, SysError, State, flush);
  if (flush) ClearDeviceBuffers();
}

void TsrCustomComm::DoTraceState(TObject* Com, TTraceStates Event) {
  const TModemSignals s = ModemSignals();
  if (fMonitorCTS) fMonitorCTS->SetChecked(s & msCTS);
  if (fMonitorDSR) fMonitorDSR->SetChecked(s & msDSR);
  if (fMonitorRLSD) fMonitorRLSD->SetChecked(s & msRLSD);
  if ((Event & tsRing) && fMonitorRing) fMonitorRing->SetChecked(true);
  if (OnTraceState) OnTraceState(Com, Event);
}

TModemSignals TsrCustomComm::ModemSignals() {
  std::uint32_t st = 0;
  if (!IsOpened() || !api_->GetCommModemStatus(hPort, &st)) return 0;
  return static_cast<TModemSignals>(
      ((st & MS_CTS_ON) ? msCTS : 0) | ((st & MS_DSR_ON) ? msDSR : 0) |
      ((st & MS_RING_ON) ? msRing : 0) | ((st & MS_RLSD_ON) ? msRLSD : 0));
}

std::uint32_t TsrCustomComm::ReadyForRead() {
  return api_->ClearCommError(hPort, nullptr, &Stat) ? Stat.cbInQue : 0;
}
std::uint32_t TsrCustomComm::NotYetSend() {
  return api_->ClearCommError(hPort, nullptr, &Stat) ? Stat.cbOutQue : 0;
}
const COMMPROP* TsrCustomComm::CommProp() {
  if (IsOpened()) api_->GetCommProperties(hPort, ComProp);
  return &ComProp;
}

bool TsrCustomComm::WaitOverlapped(OVERLAPPED& ovl) {
  if (api_->GetLastError() != ERROR_IO_PENDING) return false;
  std::uint32_t n = 0;
  return api_->GetOverlappedResult(hPort, &ovl, &n, true);
}
bool TsrCustomComm::ReadSync(void* buf, std::uint32_t n, OVERLAPPED& ovl) {
  const THandle ev = ovl.hEvent;
  ovl = OVERLAPPED{};
  ovl.hEvent = ev;
  return api_->ReadFile(hPort, buf, n, &ovl) || WaitOverlapped(ovl);
}
bool TsrCustomComm::WriteSync(const void* buf, std::uint32_t n, OVERLAPPED& ovl) {
  const THandle ev = ovl.hEvent;
  ovl = OVERLAPPED{};
  ovl.hEvent = ev;
  return api_->WriteFile(hPort, buf, n, &ovl) || WaitOverlapped(ovl);
}
bool TsrCustomComm::WriteAsync(const void* buf, std::uint32_t n, OVERLAPPED& ovl) {
  const THandle ev = ovl.hEvent;
  ovl = OVERLAPPED{};
  ovl.hEvent = ev;
  return api_->WriteFile(hPort, buf, n, &ovl) || api_->GetLastError() == ERROR_IO_PENDING;
}
void TsrCustomComm::CancelPendingIo() {
  if (api_->HasCancelIo()) api_->CancelIo(hPort);
}
void TsrCustomComm::SendFailed() {
  DoCommError(0, api_->GetLastError(), 0);
}
void TsrCustomComm::RaiseRts() {
  if (RtsDrivenHere()) api_->EscapeCommFunction(hPort, SETRTS);
}

void TsrCustomComm::SendChar(std::uint32_t Ch) {
  if (!IsOpened()) return;
  RaiseRts();
  const auto b = static_cast<std::uint8_t>(Ch & 0xFF);
  LogFormat(dlDebug, "Try to send char %2Xh ...", b);
  if (WriteSync(&b, 1, fOvlWrite))
    ++fTotalSent;
  else
    SendFailed();
}
void TsrCustomComm::SendAheadChar(std::uint32_t Ch) {
  if (!IsOpened()) return;
  RaiseRts();
  if (api_->TransmitCommChar(hPort, static_cast<char>(Ch & 0xFF)))
    ++fTotalSent;
  else
    SendFailed();
}
void TsrCustomComm::SendString(const std::string& S) {
  if (!IsOpened() || S.empty()) return;
  RaiseRts();
  LogFormat(dlDebug, "Try to send string %s ...", S.c_str());
  const std::string copy = S;
  if (WriteSync(copy.data(), static_cast<std::uint32_t>(copy.size()), fOvlWrite))
    fTotalSent += static_cast<std::uint32_t>(copy.size());
  else
    SendFailed();
}
void TsrCustomComm::SendData(const std::uint8_t* Buff, std::uint32_t N) {
  if (!IsOpened()) return;
  RaiseRts();
  LogFormat(dlDebug, "Try to send the data with %d length ...", N);
  if (WriteAsync(Buff, N, fOvlAsync)) {
    fTotalSent += N;
    LogMessage(dlDebug, "... the data transmittion is OK!");
  } else {
    SendFailed();
  }
}

void TsrCustomComm::Read(void* Buffer, std::uint32_t Len) {
  ReadSync(Buffer, Len, fOvlRead);
}
void TsrCustomComm::ReadAll(void* Buffer) {
  Read(Buffer, ReadyForRead());
}
std::int32_t TsrCustomComm::ReadMax(void* Buffer, std::int32_t MaxLen) {
  if (MaxLen < 0) return 0;
  std::uint32_t n = ReadyForRead();
  if (n > static_cast<std::uint32_t>(MaxLen)) n = static_cast<std::uint32_t>(MaxLen);
  if (n > 0) Read(Buffer, n);
  return static_cast<std::int32_t>(n);
}
std::string TsrCustomComm::ReadString() {
  const std::uint32_t n = ReadyForRead();
  if (n == 0) return {};
  std::string s(n, '\0');
  Read(s.data(), n);
  return s;
}

void TsrCustomComm::SetStateDTR(bool State) {
  api_->EscapeCommFunction(hPort, State ? SETDTR : CLRDTR);
  DoTraceState(this, tsDSR);
}
void TsrCustomComm::SetStateRTS(bool State) {
  api_->EscapeCommFunction(hPort, State ? SETRTS : CLRRTS);
  DoTraceState(this, tsCTS);
}
void TsrCustomComm::SetStateX(bool State) {
  api_->EscapeCommFunction(hPort, State ? SETXON : SETXOFF);
}
void TsrCustomComm::SetStateBreak(bool State) {
  api_->EscapeCommFunction(hPort, State ? SETBREAK : CLRBREAK);
}
void TsrCustomComm::ClearDeviceInput() {
  api_->PurgeComm(hPort, PURGE_RXABORT | PURGE_RXCLEAR);
}
void TsrCustomComm::ClearDeviceOutput() {
  api_->PurgeComm(hPort, PURGE_TXABORT | PURGE_TXCLEAR);
  if (RtsDrivenHere()) api_->EscapeCommFunction(hPort, CLRRTS);
}
void TsrCustomComm::ClearDeviceBuffers() {
  api_->PurgeComm(hPort, 0x0F);
  CancelPendingIo();
  if (RtsDrivenHere()) api_->EscapeCommFunction(hPort, CLRRTS);
}
void TsrCustomComm::FlushOutputBuffer() {
  api_->FlushFileBuffers(hPort);
}

bool TsrCustomComm::WaitForBytes(std::uint32_t Count, std::uint32_t Ms) {
  if (!IsOpened()) return false;
  const TTraceStates saved = TraceStates();
  SetTraceStates(static_cast<TTraceStates>(saved & ~tsRxChar));
  const std::uint32_t deadline = api_->GetTickCount() + Ms;
  bool result = false;
  while (static_cast<std::int32_t>(api_->GetTickCount() - deadline) <= 0 && IsOpened()) {
    if (ReadyForRead() >= Count) {
      result = true;
      break;
    }
    api_->Sleep(5);
    if (ProcessMessages) ProcessMessages();
  }
  SetTraceStates(saved);
  return result;
}

bool TsrCustomComm::WaitForSignal(TModemSignal Signal, std::uint32_t Ms) {
  if (!IsOpened()) return false;
  const std::uint32_t deadline = api_->GetTickCount() + Ms;
  for (;;) {
    if (ModemSignals() & Signal) return true;
    api_->Sleep(5);
    if (ProcessMessages) ProcessMessages();
    if (static_cast<std::int32_t>(api_->GetTickCount() - deadline) > 0 || !IsOpened()) return false;
  }
}
