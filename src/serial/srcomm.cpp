#include "serial/srcomm.h"

#include <algorithm>

#include "serial/srcommlink.h"

namespace {
thread_local int t_openOrClose = 0;

// closeMutex_ held, and counted so that nothing inside waits for a thread that wants it.
struct TCloseLock {
  explicit TCloseLock(std::recursive_mutex& m) : lock(m) { ++t_openOrClose; }
  ~TCloseLock() { --t_openOrClose; }
  std::lock_guard<std::recursive_mutex> lock;
};
}  // namespace

bool InPortOpenOrClose() {
  return t_openOrClose > 0;
}

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
  TsrCustomComm::StopThreads();
  JoinStoppedThreads(true);
  api_->CloseHandle(fOvlRead.hEvent);
  api_->CloseHandle(fOvlWrite.hEvent);
}

void TsrCustomComm::DetachThreads() {
  std::lock_guard lock(*lifeMutex_);
  *self_ = nullptr;
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
  TCloseLock lock(closeMutex_);
  fTotalReceived = 0;
  fTotalSent = 0;
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
  {
    TCloseLock lock(closeMutex_);
    if (IsOpened()) {
      try {
        ClosePort(true);
        LogMessage(dlSimple, "The port is closed succesfully");
      } catch (...) {
        BaseClose();
      }
    }
  }
  JoinStoppedThreads();
  DoTraceState(this, tsTxEmpty);
}

void TsrCustomComm::ClosePort(bool purge) {
  ClosePortOf(purge, INVALID_HANDLE_VALUE);
}

void TsrCustomComm::ClosePortOf(bool purge, THandle only) {
  TCloseLock lock(closeMutex_);
  if (!IsOpened() || (only != INVALID_HANDLE_VALUE && hPort != only)) return;
  StopThreads();
  if (purge && NotYetSend() > 0) ClearDeviceBuffers();
  FreeBuffer();
  BaseClose();
  DoNotify(1);
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
    COMSTAT stat;
    if (!api_->ClearCommError(h, &errors, &stat)) stat = COMSTAT{};
    if (errors != 0) {
      DoCommError(errors, 0, static_cast<TComStateFlags>(stat.Flags & 0xFF));
      return;
    }
    if ((mask & EV_RXCHAR) && stat.cbInQue > 0) {
      const bool read = (fTraceStates & tsRxChar) || HasReceivers();
      if (!read || !buffer) {
        fTotalReceived += stat.cbInQue;
      } else {
        // Pieces that fit the buffer; whatever arrives meanwhile is taken in the same loop.
        const auto room = static_cast<std::uint32_t>(buffer->size() - 1);
        std::uint32_t count = stat.cbInQue;
        while (count > 0) {
          const std::uint32_t n = ReadQueued(buffer->data(), std::min(count, room));
          if (n == 0) break;
          fTotalReceived += n;
          DoReceived(buffer->data(), n);
          count = api_->ClearCommError(h, nullptr, &stat) ? stat.cbInQue : 0;
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

void TsrCustomComm::FatalOnThread(std::exception_ptr error) noexcept {
  std::string text = "Unknown error";
  try {
    std::rethrow_exception(error);
  } catch (const std::exception& e) {
    text = e.what();
  } catch (...) {
  }
  try {
    DoFatalError(1, api_->GetLastError(), text, true);
  } catch (...) {
    // Its own handler failed too: there is nobody left to tell on this thread.
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
