// The serial operations on Windows: kernel32 call for call (comm_calls_win32.cpp makes the
// calls; this file only moves the program's records across).
#include <memory>

#include "platform/serial/comm_calls_win32.h"
#include "platform/serial/serial_api.h"

namespace {

comm32::TIoStatus StatusOf(OVERLAPPED* ovl) {
  return {&ovl->Internal, &ovl->InternalHigh};
}

class TWin32SerialApi final : public TSerialApi {
 public:
  THandle CreateFileW(const std::string& path) override { return comm32::OpenPort(path); }
  bool CloseHandle(THandle h) override { return comm32::CloseHandle(h); }
  bool GetDefaultCommConfigW(const std::string& name, COMMCONFIG& cfg) override {
    return comm32::DefaultCommConfig(name, &cfg);
  }
  bool GetCommConfig(THandle h, COMMCONFIG& cfg) override { return comm32::GetCommConfig(h, &cfg); }
  bool GetCommState(THandle h, DCB& dcb) override { return comm32::GetCommState(h, &dcb); }
  bool SetCommState(THandle h, const DCB& dcb) override { return comm32::SetCommState(h, &dcb); }
  bool SetupComm(THandle h, std::uint32_t inQueue, std::uint32_t outQueue) override {
    return comm32::SetupComm(h, inQueue, outQueue);
  }
  bool SetCommTimeouts(THandle h, const COMMTIMEOUTS& t) override {
    return comm32::SetCommTimeouts(h, &t);
  }
  bool SetCommMask(THandle h, std::uint32_t mask) override { return comm32::SetCommMask(h, mask); }
  bool WaitCommEvent(THandle h, std::uint32_t* mask, OVERLAPPED* ovl) override {
    if (!ovl) return comm32::WaitCommEvent(h, mask, 0, {nullptr, nullptr});
    return comm32::WaitCommEvent(h, mask, ovl->hEvent, StatusOf(ovl));
  }
  THandle CreateEventW() override { return comm32::NewEvent(); }
  std::uint32_t WaitForSingleObject(THandle h, std::uint32_t ms) override {
    return comm32::WaitForSingleObject(h, ms);
  }
  bool PulseEvent(THandle h) override { return comm32::PulseEvent(h); }
  bool ClearCommError(THandle h, std::uint32_t* errors, COMSTAT* stat) override {
    return comm32::ClearCommError(h, errors, stat);
  }
  bool ReadFile(THandle h, void* buf, std::uint32_t n, OVERLAPPED* ovl) override {
    if (!ovl) return comm32::ReadFile(h, buf, n, 0, {nullptr, nullptr});
    return comm32::ReadFile(h, buf, n, ovl->hEvent, StatusOf(ovl));
  }
  bool WriteFile(THandle h, const void* buf, std::uint32_t n, OVERLAPPED* ovl) override {
    if (!ovl) return comm32::WriteFile(h, buf, n, 0, {nullptr, nullptr});
    return comm32::WriteFile(h, buf, n, ovl->hEvent, StatusOf(ovl));
  }
  bool GetOverlappedResult(THandle h, OVERLAPPED* ovl, std::uint32_t* transferred,
                           bool wait) override {
    if (!ovl) return comm32::GetOverlappedResult(h, 0, {nullptr, nullptr}, transferred, wait);
    return comm32::GetOverlappedResult(h, ovl->hEvent, StatusOf(ovl), transferred, wait);
  }
  bool TransmitCommChar(THandle h, char c) override { return comm32::TransmitCommChar(h, c); }
  bool EscapeCommFunction(THandle h, std::uint32_t func) override {
    return comm32::EscapeCommFunction(h, func);
  }
  bool GetCommModemStatus(THandle h, std::uint32_t* status) override {
    return comm32::GetCommModemStatus(h, status);
  }
  bool PurgeComm(THandle h, std::uint32_t flags) override { return comm32::PurgeComm(h, flags); }
  bool HasCancelIo() override { return comm32::HasCancelIo(); }
  bool CancelIo(THandle h) override { return comm32::CancelIo(h); }
  bool FlushFileBuffers(THandle h) override { return comm32::FlushFileBuffers(h); }
  bool GetCommProperties(THandle h, COMMPROP& prop) override {
    return comm32::GetCommProperties(h, &prop);
  }
  bool CommConfigDialogW(const std::string& name, COMMCONFIG& cfg) override {
    return comm32::ShowPortDialog(name, &cfg);
  }
  // The NT serial drivers refuse RTS_CONTROL_TOGGLE: the component raises RTS itself.
  bool DriverTogglesRts485() override { return false; }
  std::uint32_t GetLastError() override { return comm32::GetLastError(); }
  std::string SysErrorMessage(std::uint32_t code) override { return comm32::ErrorText(code); }
  std::uint32_t GetTickCount() override { return comm32::GetTickCount(); }
  void Sleep(std::uint32_t ms) override { comm32::Sleep(ms); }
};

}  // namespace

std::shared_ptr<TSerialApi> SystemSerialApi() {
  static const std::shared_ptr<TSerialApi> api = std::make_shared<TWin32SerialApi>();
  return api;
}
