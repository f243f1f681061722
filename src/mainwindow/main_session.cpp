// The search for the tester: the candidate ports, the walk over them at both baud rates, the
// probe, the watchdog of a reading and the rescan after a device change.
#include "main_form.h"

namespace {

bool IsCandidate(const TsrDevice& d) {
  return d.Service == "FTSER2K" || d.Service == "silabser" || d.Manufacturer == "FTDI" ||
         d.Manufacturer == "Silicon Laboratories";
}

}  // namespace

void TForm_Main::GetAllCom() {
  try {
    srComm1->SetActive(false);
  } catch (...) {
  }
  ClearCom();
  Timer_DeviceRefresh->SetEnabled(false);
  Timer_CheckWork->SetEnabled(false);
  try {
    srComm1->Update();
  } catch (...) {
    // The scan then uses the list as it stands.
  }
  CandCount = 0;
  CandIndex = 0;
  FastBaud = false;
  const int count = srComm1->DeviceCount();
  std::vector<std::string> ports;
  // The table keeps the first candidates it has room for.
  for (int i = 0; i < count && CandCount < MaxCandidates; ++i)
    if (const TsrDevice* d = srComm1->Devices(i); d && IsCandidate(*d)) {
      Candidates[CandCount++] = i;
      ports.push_back(d->PortName);
    }
  notice_.KeepPorts(ports);
  ShowNotice();
  CandIndex = 0;
  Timer_CheckWork->SetInterval(2500);
  Timer_CheckWork->SetEnabled(CandCount > 0);
}

void TForm_Main::NextCom() {
  try {
    srComm1->SetActive(false);
  } catch (...) {
  }
  ClearCom();
  if (CandCount == 0) return;
  if (CandIndex >= CandCount) CandIndex = 0;
  if (FastBaud) {
    ++CandIndex;
    FastBaud = false;
  } else {
    FastBaud = true;
  }
  if (CandIndex >= CandCount) CandIndex = 0;
  bool tried = false;
  try {
    srComm1->SetDeviceIndex(Candidates[CandIndex]);
    srComm1->SetBaudRate(FastBaud ? 115200 : 9600);
    tried = true;
    srComm1->SetActive(true);
  } catch (...) {
    // A port in use or of an unplugged adapter: closed, and the next tick moves on.
  }
  if (!tried) return;
  // The failure stays absorbed, but one the user can mend is shown while it lasts.
  const TPortFault fault = srComm1->Active() ? TPortFault::None : srComm1->LastOpenFault();
  TellNotice(notice_.PortTried(srComm1->ComName(), fault));
  ShowNotice();
}

void TForm_Main::TellNotice(const std::optional<std::string>& text) {
  if (text && OnNotice) OnNotice(*text);
}

void TForm_Main::ShowNotice() {
  // Only the search has room for it: a reading shows its progress bar there, DataReady its buttons.
  const std::string text = SessionPhase == phSearching ? notice_.Text() : std::string();
  if (L_Notice->Caption() != text) L_Notice->SetCaption(text);
  L_Notice->SetVisible(!text.empty());
}

void TForm_Main::ReadingBrokenOff() {
  // Before the header nothing was promised; after it, the user should know what was lost.
  if (Archive.RecTotal() > 0) TellNotice(notice_.BrokenOff(Archive.RecCount(), Archive.RecTotal()));
  SetStateWait();
}

void TForm_Main::Timer_CheckWorkTimer(TObject*) {
  Timer_CheckWork->SetInterval(1000);
  Form->Repaint();
  if (SessionPhase == phReading) {
    if (RxActivity)
      RxActivity = false;
    else
      ReadingBrokenOff();
  }
  if (SessionPhase != phSearching) return;
  if (SeenIdle) {
    SessionPhase = phReading;
    notice_.ClearLastReading();
    ShowNotice();
    RxActivity = true;
    SeenEnd = false;
    Pending = ChHeader;
    try {
      SendCommand(ChHeader);
    } catch (...) {
    }
    return;
  }
  NextCom();
  if (!srComm1->Active()) return;
  try {
    for (int i = 0; i < 3; ++i) SendCommand(ChIdle);
  } catch (...) {
  }
}

void TForm_Main::Timer_DeviceRefreshTimer(TObject*) {
  Timer_DeviceRefresh->SetEnabled(false);
  if (SessionPhase == phSearching) GetAllCom();
  if (SessionPhase != phReading) return;  // a finished reading rescans when the search starts
  // A reading goes on unless its own port went away; the candidates are rescanned after it.
  try {
    srComm1->Update();
  } catch (...) {
    return;  // the list as it stood still holds the port
  }
  if (srComm1->DeviceIndex() < 0) ReadingBrokenOff();
}

void TForm_Main::WMDeviceChange() {
  ForgetEmptyArchive();
  if (SessionPhase == phSearching || SessionPhase == phReading)
    Timer_DeviceRefresh->SetEnabled(true);
}

void TForm_Main::B_NextClick(TObject*) {
  if (!MayLeaveArchive()) return;
  SetStateWait();
}

void TForm_Main::srComm1FatalError(TObject*, std::uint32_t, std::uint32_t, const std::string&,
                                   bool&) {}
