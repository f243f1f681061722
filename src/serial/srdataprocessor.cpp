#include "serial/srclasses.h"
#include "serial/srtimer.h"

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
