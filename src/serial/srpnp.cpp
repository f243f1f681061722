// The identification string of a legacy serial Plug and Play device: the device answers DTR
// and RTS at 1200 baud, 7 data bits, with a string in "(" ... ")" or 0x08 ... 0x09.
#include "serial/srcomm.h"

namespace {

constexpr std::uint32_t kPnpWaitMs = 200;

}  // namespace

std::string TsrCustomSerialComm::GetPNPDeviceString() {
  const bool wasActive = Active();
  SetActive(true);
  if (!IsOpened()) return {};
  ClearDeviceBuffers();
  SetStateDTR(true);
  SetStateRTS(false);
  if (!WaitForSignal(msDSR, kPnpWaitMs)) {
    DoFatalError(1, 0, "Device Connect Initialization Error", false);
    return {};
  }
  const DCB line = CommCfg.dcb;
  const TTraceStates traced = TraceStates();
  CommCfg.dcb.BaudRate = 1200;
  CommCfg.dcb.Parity = NOPARITY;
  CommCfg.dcb.Flags &= ~fParity;
  CommCfg.dcb.ByteSize = 7;
  CommCfg.dcb.StopBits = ONESTOPBIT;
  ApplyDCB();
  SetTraceStates(0);

  SetStateDTR(false);
  SetStateRTS(false);
  api_->Sleep(kPnpWaitMs);
  SetStateDTR(true);
  api_->Sleep(kPnpWaitMs);
  SetStateRTS(true);
  bool answered = WaitForBytes(1, kPnpWaitMs);
  if (!answered) {
    SetStateDTR(false);
    SetStateRTS(false);
    api_->Sleep(kPnpWaitMs);
    SetStateDTR(true);
    SetStateRTS(true);
    answered = WaitForBytes(1, kPnpWaitMs);
  }
  std::string result;
  char c = 0;
  if (answered && ReadQueued(&c, 1) == 1 && (c == 0x08 || c == '(')) {
    const char end = c == 0x08 ? 0x09 : ')';
    result += c;
    while (c != end && WaitForBytes(1, kPnpWaitMs) && ReadQueued(&c, 1) == 1) result += c;
  }

  CommCfg.dcb = line;
  ApplyDCB();
  SetTraceStates(traced);
  SetActive(false);
  SetActive(wasActive);
  return result;
}
