// Sending, reading, line control and waiting on an open port.
#include <algorithm>

#include "serial/srcomm.h"

TModemSignals TsrCustomComm::ModemSignals() {
  std::uint32_t st = 0;
  if (!IsOpened() || !api_->GetCommModemStatus(hPort, &st)) return 0;
  return static_cast<TModemSignals>(
      ((st & MS_CTS_ON) ? msCTS : 0) | ((st & MS_DSR_ON) ? msDSR : 0) |
      ((st & MS_RING_ON) ? msRing : 0) | ((st & MS_RLSD_ON) ? msRLSD : 0));
}

std::uint32_t TsrCustomComm::ReadyForRead() {
  COMSTAT stat;
  return api_->ClearCommError(hPort, nullptr, &stat) ? stat.cbInQue : 0;
}
std::uint32_t TsrCustomComm::NotYetSend() {
  COMSTAT stat;
  return api_->ClearCommError(hPort, nullptr, &stat) ? stat.cbOutQue : 0;
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
// The counted bytes may be gone by the time they are read (another process may read the same
// device on some systems): these read only what is there.
void TsrCustomComm::ReadAll(void* Buffer) {
  if (const std::uint32_t n = ReadyForRead(); n > 0) ReadQueued(Buffer, n);
}
std::int32_t TsrCustomComm::ReadMax(void* Buffer, std::int32_t MaxLen) {
  if (MaxLen < 0) return 0;
  std::uint32_t n = ReadyForRead();
  if (n > static_cast<std::uint32_t>(MaxLen)) n = static_cast<std::uint32_t>(MaxLen);
  if (n > 0) n = ReadQueued(Buffer, n);
  return static_cast<std::int32_t>(n);
}
std::string TsrCustomComm::ReadString() {
  const std::uint32_t n = ReadyForRead();
  if (n == 0) return {};
  std::string s(n, '\0');
  s.resize(ReadQueued(s.data(), n));
  return s;
}

std::uint32_t TsrCustomComm::ReadQueued(void* buf, std::uint32_t n) {
  // Timeouts that make a read return at once with what is queued, for this read only.
  COMMTIMEOUTS atOnce = fCommTimeouts;
  atOnce.ReadIntervalTimeout = 0xFFFFFFFFu;
  atOnce.ReadTotalTimeoutMultiplier = 0;
  atOnce.ReadTotalTimeoutConstant = 0;
  api_->SetCommTimeouts(hPort, atOnce);
  const THandle ev = fOvlRead.hEvent;
  fOvlRead = OVERLAPPED{};
  fOvlRead.hEvent = ev;
  std::uint32_t got = 0;
  if (api_->ReadFile(hPort, buf, n, &fOvlRead))
    got = static_cast<std::uint32_t>(fOvlRead.InternalHigh);
  else if (api_->GetLastError() != ERROR_IO_PENDING ||
           !api_->GetOverlappedResult(hPort, &fOvlRead, &got, true))
    got = 0;
  api_->SetCommTimeouts(hPort, fCommTimeouts);
  return std::min(got, n);
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
