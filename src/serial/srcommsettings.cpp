// The line settings of the component and how they reach the port.
#include "serial/srcomm.h"

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

std::uint32_t FlowControlFlags(std::uint32_t flags, TStreamProtocol protocol, bool rs485) {
  flags &= 0x4CEA;
  if (rs485) return flags | 0x3011;
  switch (protocol) {
    case spNone:
      return flags | 0x1011;
    case spXonXoff:
      return flags | 0x1311;
    default:
      return flags | 0x2015;
  }
}

TStreamProtocol StreamProtocolOf(std::uint32_t flags) {
  if ((flags & 0x1311) == 0x1311) return spXonXoff;
  if ((flags & 0x2015) == 0x2015) return spHardware;
  return spNone;
}

bool RS485ModeOf(std::uint32_t flags) {
  return (flags & 0x3011) == 0x3011;
}

void TsrCustomComm::ApplyDCB() {
  DCB& d = CommCfg.dcb;
  d.DCBlength = 28;
  d.Flags = FlowControlFlags(d.Flags, fProtocol, fRS485Mode);
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
  fProtocol = StreamProtocolOf(CommCfg.dcb.Flags);
  fRS485Mode = RS485ModeOf(CommCfg.dcb.Flags);
}

void TsrCustomComm::ApplySettings() {
  std::uint32_t errors = 0;
  api_->ClearCommError(hPort, &errors, nullptr);
  api_->SetupComm(hPort, fBufferInSize, fBufferOutSize);
  SetTimeouts(fCommTimeouts);
  ApplyDCB();
}
