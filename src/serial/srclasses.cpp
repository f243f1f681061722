#include "serial/srclasses.h"

#include <cstdio>
#include <iostream>
#include <mutex>

namespace {
std::mutex g_boxMutex;
std::function<void(const std::string&)> g_errorBox;
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

TsrCustomDataProcessor::TsrCustomDataProcessor() = default;

TsrCustomDataProcessor::~TsrCustomDataProcessor() {
  AttachDevice(nullptr);
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
  fDataProcessor = processor;
  if (processor) processor->AttachDevice(fDevice);
}

void TsrCustomDataProcessor::AttachDevice(TsrBaseIO* device) {
  if (device == fDevice) return;
  TsrNotifyEvent e{&TsrCustomDataProcessor::NotifyThunk, this};
  if (fDevice) fDevice->NotifyDelete(e);
  fDevice = device;
  if (fDevice) fDevice->NotifyAdd(e);
}

void TsrCustomDataProcessor::DoDataSend(const std::uint8_t* Buffer, std::uint32_t Len) {
  if (!Buffer || Len == 0) return;
  try {
    bool handled = false;
    if (OnDataSend) OnDataSend(this, Buffer, Len, false, handled);
    if (!handled && fDevice) {
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

TsrBaseIO::TsrBaseIO() : api_(SystemSerialApi()) {}

TsrBaseIO::~TsrBaseIO() {
  if (fDataProcessor) fDataProcessor->AttachDevice(nullptr);
  slDevices.Clear();
}

void TsrBaseIO::DeviceClose(THandle handle) {
  api_->CloseHandle(handle);
}

bool TsrBaseIO::HasReceivers() const {
  return static_cast<bool>(OnAfterReceive) || fDataProcessor != nullptr;
}

void TsrBaseIO::BaseOpen() {
  hPort.store(DeviceOpen());
  if (fOnOpen) try {
      fOnOpen(this);
    } catch (...) {
    }
}

void TsrBaseIO::BaseClose() {
  THandle h = hPort.exchange(INVALID_HANDLE_VALUE);
  if (h == INVALID_HANDLE_VALUE) return;
  DeviceClose(h);
  if (OnClose) try {
      OnClose(this);
    } catch (...) {
    }
}

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
  if (!raise) return;
  if (ShowOnly)
    ShowSerialError(Msg);
  else
    throw ESerialError(Msg);
}

bool TsrBaseIO::DoReceived(const std::uint8_t* Buffer, std::uint32_t Len) {
  TIgnoreTypes ignore = 0;
  if (fDataProcessor) fDataProcessor->DoProcessing(Buffer, Len, ignore);
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

void TsrBaseIO::SetDataProcessor(TsrCustomDataProcessor* p) {
  if (!p) {
    if (fDataProcessor) fDataProcessor->AttachDevice(nullptr);
    fDataProcessor = nullptr;
    return;
  }
  fDataProcessor = p;
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
