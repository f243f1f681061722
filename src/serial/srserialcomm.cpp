#include "serial/srcomm.h"

#include <cstring>

TsrCustomSerialComm::TsrCustomSerialComm() : db_(SystemDeviceDatabase()) {
  sLogPrefix = "srComm: ";
  api_->GetDefaultCommConfigW("COM1", CommCfg);
  SetComPort(cpCOM1);
  SetBaudRate(19200);
  SetByteSize(8);
  SetParity(pNone);
  SetStopBits(sbOne);
  SetStreamProtocol(spHardware);
  SetEventChar(0);
}

void TsrCustomSerialComm::SetComPortNo(std::uint16_t v) {
  const bool was = Active();
  SetActive(false);
  fComPortNo = v;
  SetActive(was);
  DoNotify(3);
}

TComPort TsrCustomSerialComm::ComPort() const {
  if (fComPortNo >= 9 || fComPortNo == 0) return cpCOMxx;
  return static_cast<TComPort>(fComPortNo - 1);
}

void TsrCustomSerialComm::SetComPort(TComPort v) {
  if (v == cpCOMxx) return;
  SetComPortNo(static_cast<std::uint16_t>(v + 1));
}

void TsrCustomSerialComm::SetExtHandle(THandle aHandle) {
  if (aHandle == 0 || aHandle == INVALID_HANDLE_VALUE) return;
  if (IsOpened()) DoClose();
  fExtHandle = aHandle;
  DoOpen();
}

void TsrCustomSerialComm::DeviceListLoad() {
  DeviceListClear();
  if (db_) ::DeviceListLoad(slDevices, fEnumPorts, *db_, this);
}

void TsrCustomSerialComm::Update() {
  DeviceListLoad();
  DoNotify(3);
}

int TsrCustomSerialComm::GetDeviceIndex() {
  return IndexOfPortNo(fComPortNo);
}

void TsrCustomSerialComm::SetDeviceIndex(int Value) {
  if (TsrDevice* d = Devices(Value)) SetComPortNo(static_cast<std::uint16_t>(d->Data));
}

std::string TsrCustomSerialComm::QueryComName() {
  if (const TsrDevice* d = Devices(GetDeviceIndex())) return d->PortName;
  return Format("COM%u", static_cast<unsigned>(fComPortNo));
}

THandle TsrCustomSerialComm::DeviceOpen() {
  if (fExtHandle != 0) {
    const THandle h = fExtHandle;
    fExtHandle = 0;
    return h;
  }
  return api_->CreateFileW("\\\\?\\" + QueryComName());
}

std::unique_ptr<TRegistry> TsrCustomSerialComm::OpenConfigKey(TRootKey Root,
                                                              const std::string& Key) {
  if (!registry_) throw ESerialError("no registry");
  auto reg = registry_();
  reg->SetRootKey(Root);
  if (!reg->OpenKey(Key, true)) throw ESerialError("key not opened");
  return reg;
}

void TsrCustomSerialComm::SaveConfig(TRootKey Root, const std::string& Key,
                                     const std::string& Name) {
  try {
    const auto reg = OpenConfigKey(Root, Key);
    std::vector<std::uint8_t> v(49);
    v[0] = static_cast<std::uint8_t>(ComPortNo() & 0xFF);
    std::memcpy(v.data() + 1, &CommCfg.dcb, 28);
    std::memcpy(v.data() + 29, &CommTimeouts(), 20);
    reg->WriteBinaryData(Name, v);
    LogMessage(dlDetail, "Configuration was saved");
  } catch (const std::exception&) {
    DoFatalError(1, 0, "Error on save config information from registry", false);
  }
}

void TsrCustomSerialComm::LoadConfig(TRootKey Root, const std::string& Key,
                                     const std::string& Name) {
  try {
    const auto reg = OpenConfigKey(Root, Key);
    if (reg->ValueExists(Name) && reg->GetDataSize(Name) == 49) {
      const std::vector<std::uint8_t> v = reg->ReadBinaryData(Name);
      if (v.size() == 49) {
        SetComPortNo(v[0]);
        std::memcpy(&CommCfg.dcb, v.data() + 1, 28);
        ApplyDCB();
        COMMTIMEOUTS t;
        std::memcpy(&t, v.data() + 29, 20);
        SetTimeouts(t);
      }
    }
    LogMessage(dlDetail, "Configuration was loaded");
  } catch (const std::exception&) {
    DoFatalError(1, 0, "Error on load config information from registry", false);
  }
}

bool TsrCustomSerialComm::ConfigDialog() {
  ReadDeviceDCB();
  COMMCONFIG cfg = CommCfg;
  const std::string name = ComName();
  if (dialog_) {
    if (!dialog_->Execute(name, cfg)) return false;
  } else if (!api_->CommConfigDialogW(name, cfg)) {
    if (const std::uint32_t e = api_->GetLastError(); e != ERROR_CANCELLED)
      LogFormat(dlSimple, "Port settings dialog of %s not shown: %s", name.c_str(),
                api_->SysErrorMessage(e).c_str());
    return false;
  }
  CommCfg = cfg;
  if (IsOpened()) api_->SetCommState(hPort, CommCfg.dcb);
  // What the port took, and the flow control the dialog chose.
  ReadDeviceDCB();
  return true;
}

void TsrCustomSerialComm::InitDeviceConnect() {
  if (!IsOpened()) return;
  ClearDeviceBuffers();
  SetStateDTR(true);
  SetStateRTS(false);
  if (WaitForSignal(msDSR, 200)) {
    SetStateRTS(true);
    LogMessage(dlDetail, "The device connection was succesful tested");
  } else {
    DoFatalError(1, 0, "Device Connect Initialization Error", false);
  }
}
