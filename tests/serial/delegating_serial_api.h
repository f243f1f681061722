// A serial platform that passes every call to another one; tests override the calls they need
// to slow down or interfere with.
#pragma once

#include <memory>
#include <string>

#include "platform/serial/serial_api.h"

class TDelegatingSerialApi : public TSerialApi {
 public:
  explicit TDelegatingSerialApi(std::shared_ptr<TSerialApi> to) : to_(std::move(to)) {}

  THandle CreateFileW(const std::string& p) override { return to_->CreateFileW(p); }
  bool CloseHandle(THandle h) override { return to_->CloseHandle(h); }
  bool GetDefaultCommConfigW(const std::string& n, COMMCONFIG& c) override {
    return to_->GetDefaultCommConfigW(n, c);
  }
  bool GetCommConfig(THandle h, COMMCONFIG& c) override { return to_->GetCommConfig(h, c); }
  bool GetCommState(THandle h, DCB& d) override { return to_->GetCommState(h, d); }
  bool SetCommState(THandle h, const DCB& d) override { return to_->SetCommState(h, d); }
  bool SetupComm(THandle h, std::uint32_t i, std::uint32_t o) override {
    return to_->SetupComm(h, i, o);
  }
  bool SetCommTimeouts(THandle h, const COMMTIMEOUTS& t) override {
    return to_->SetCommTimeouts(h, t);
  }
  bool SetCommMask(THandle h, std::uint32_t m) override { return to_->SetCommMask(h, m); }
  bool WaitCommEvent(THandle h, std::uint32_t* m, OVERLAPPED* o) override {
    return to_->WaitCommEvent(h, m, o);
  }
  THandle CreateEventW() override { return to_->CreateEventW(); }
  std::uint32_t WaitForSingleObject(THandle h, std::uint32_t ms) override {
    return to_->WaitForSingleObject(h, ms);
  }
  bool PulseEvent(THandle h) override { return to_->PulseEvent(h); }
  bool ClearCommError(THandle h, std::uint32_t* e, COMSTAT* s) override {
    return to_->ClearCommError(h, e, s);
  }
  bool ReadFile(THandle h, void* b, std::uint32_t n, OVERLAPPED* o) override {
    return to_->ReadFile(h, b, n, o);
  }
  bool WriteFile(THandle h, const void* b, std::uint32_t n, OVERLAPPED* o) override {
    return to_->WriteFile(h, b, n, o);
  }
  bool GetOverlappedResult(THandle h, OVERLAPPED* o, std::uint32_t* t, bool w) override {
    return to_->GetOverlappedResult(h, o, t, w);
  }
  bool TransmitCommChar(THandle h, char c) override { return to_->TransmitCommChar(h, c); }
  bool EscapeCommFunction(THandle h, std::uint32_t f) override {
    return to_->EscapeCommFunction(h, f);
  }
  bool GetCommModemStatus(THandle h, std::uint32_t* s) override {
    return to_->GetCommModemStatus(h, s);
  }
  bool PurgeComm(THandle h, std::uint32_t f) override { return to_->PurgeComm(h, f); }
  bool HasCancelIo() override { return to_->HasCancelIo(); }
  bool CancelIo(THandle h) override { return to_->CancelIo(h); }
  bool FlushFileBuffers(THandle h) override { return to_->FlushFileBuffers(h); }
  bool GetCommProperties(THandle h, COMMPROP& p) override { return to_->GetCommProperties(h, p); }
  bool CommConfigDialogW(const std::string& n, COMMCONFIG& c) override {
    return to_->CommConfigDialogW(n, c);
  }
  bool DriverTogglesRts485() override { return to_->DriverTogglesRts485(); }
  std::uint32_t GetLastError() override { return to_->GetLastError(); }
  std::string SysErrorMessage(std::uint32_t c) override { return to_->SysErrorMessage(c); }
  std::uint32_t GetTickCount() override { return to_->GetTickCount(); }
  void Sleep(std::uint32_t ms) override { to_->Sleep(ms); }

 protected:
  std::shared_ptr<TSerialApi> to_;
};
