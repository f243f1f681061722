// A scripted serial platform: records every call, delivers scripted events, input bytes, line
// errors, modem lines and the device's removal. Thread-safe.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstring>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <vector>

#include "platform/serial/serial_api.h"

class TFakeSerialApi : public TSerialApi {
 public:
  // ---- script ----
  void Arrive(const std::string& bytes, std::uint32_t errors = 0) {
    std::lock_guard lock(m_);
    input_ += bytes;
    errors_ |= errors;
    events_.push_back(EV_RXCHAR);
    cv_.notify_all();
  }
  void Event(std::uint32_t mask) {
    std::lock_guard lock(m_);
    events_.push_back(mask);
    cv_.notify_all();
  }
  void Remove() {
    std::lock_guard lock(m_);
    removed_ = true;
    cv_.notify_all();
  }
  void SetModem(std::uint32_t status) {
    std::lock_guard lock(m_);
    modem_ = status;
  }
  // Every open fails with this error code from now on; 0 lets them succeed again.
  void RefuseOpen(std::uint32_t code) { refuse_ = code; }
  std::vector<std::string> Calls() {
    std::lock_guard lock(m_);
    return calls_;
  }
  bool Called(const std::string& call) {
    std::lock_guard lock(m_);
    for (const auto& c : calls_)
      if (c == call) return true;
    return false;
  }
  void ClearCalls() {
    std::lock_guard lock(m_);
    calls_.clear();
  }
  std::string Written() {
    std::lock_guard lock(m_);
    return written_;
  }
  // The user in the port configuration dialog: edits cfg and accepts (true) or cancels (false).
  // Unset: the dialog cannot be shown.
  std::function<bool(const std::string& name, COMMCONFIG& cfg)> DialogAnswer;
  // Called, outside the fake's lock, at every Sleep and every EscapeCommFunction.
  std::function<void(std::uint32_t ms)> OnSleep;
  std::function<void(std::uint32_t func)> OnEscape;

  // ---- platform ----
  THandle CreateFileW(const std::string& path) override {
    Note("CreateFileW " + path);
    if (const std::uint32_t code = refuse_) return Fail(code), INVALID_HANDLE_VALUE;
    std::lock_guard lock(m_);
    open_ = true;
    removed_ = false;
    return 0x10;
  }
  bool CloseHandle(THandle h) override {
    Note("CloseHandle " + std::to_string(h));
    std::lock_guard lock(m_);
    if (h == 0x10) open_ = false;
    cv_.notify_all();
    return true;
  }
  bool GetDefaultCommConfigW(const std::string&, COMMCONFIG&) override { return false; }
  bool GetCommConfig(THandle, COMMCONFIG& c) override {
    std::lock_guard lock(m_);
    c.dcb = dcb_;
    return true;
  }
  bool GetCommState(THandle, DCB& d) override {
    std::lock_guard lock(m_);
    d = dcb_;
    return true;
  }
  bool SetCommState(THandle, const DCB& d) override {
    Note("SetCommState " + std::to_string(d.BaudRate) + " " + std::to_string(d.Flags));
    std::lock_guard lock(m_);
    dcb_ = d;
    return true;
  }
  bool SetupComm(THandle, std::uint32_t i, std::uint32_t o) override {
    Note("SetupComm " + std::to_string(i) + " " + std::to_string(o));
    return true;
  }
  bool SetCommTimeouts(THandle, const COMMTIMEOUTS&) override {
    Note("SetCommTimeouts");
    return true;
  }
  bool SetCommMask(THandle, std::uint32_t mask) override {
    Note("SetCommMask " + std::to_string(mask));
    return true;
  }
  bool WaitCommEvent(THandle, std::uint32_t* mask, OVERLAPPED* ovl) override {
    std::lock_guard lock(m_);
    if (removed_ || !open_) return Fail(removed_ ? ERROR_GEN_FAILURE : ERROR_INVALID_HANDLE);
    waitMask_ = mask;
    waitEvent_ = ovl->hEvent;
    return Fail(ERROR_IO_PENDING);
  }
  THandle CreateEventW() override {
    std::lock_guard lock(m_);
    return nextEvent_++;
  }
  std::uint32_t WaitForSingleObject(THandle h, std::uint32_t) override {
    std::unique_lock lock(m_);
    if (h != waitEvent_) return WAIT_OBJECT_0;
    cv_.wait(lock, [&] { return !events_.empty() || removed_ || !open_ || pulsed_; });
    pulsed_ = false;
    std::uint32_t mask = 0;
    if (!events_.empty() && open_ && !removed_) {
      mask = events_.front();
      events_.pop_front();
    }
    if (waitMask_) *waitMask_ = mask;
    waitMask_ = nullptr;
    waitEvent_ = 0;
    return WAIT_OBJECT_0;
  }
  bool PulseEvent(THandle h) override {
    std::lock_guard lock(m_);
    if (h == waitEvent_) pulsed_ = true;
    cv_.notify_all();
    return true;
  }
  bool ClearCommError(THandle h, std::uint32_t* errors, COMSTAT* stat) override {
    std::lock_guard lock(m_);
    if (h != 0x10 || !open_) return Fail(ERROR_INVALID_HANDLE);
    if (errors) *errors = errors_;
    errors_ = 0;
    if (stat) {
      stat->Flags = errors ? 0x01 : 0;
      stat->cbInQue = static_cast<std::uint32_t>(input_.size());
      stat->cbOutQue = 0;
    }
    return true;
  }
  bool ReadFile(THandle, void* buf, std::uint32_t n, OVERLAPPED* ovl) override {
    std::lock_guard lock(m_);
    calls_.push_back("ReadFile " + std::to_string(n));
    if (n > input_.size()) return Fail(ERROR_GEN_FAILURE);
    std::memcpy(buf, input_.data(), n);
    input_.erase(0, n);
    if (ovl) ovl->InternalHigh = n;
    return true;
  }
  bool WriteFile(THandle, const void* buf, std::uint32_t n, OVERLAPPED*) override {
    std::lock_guard lock(m_);
    written_.append(static_cast<const char*>(buf), n);
    return true;
  }
  bool GetOverlappedResult(THandle, OVERLAPPED*, std::uint32_t*, bool) override { return true; }
  bool TransmitCommChar(THandle, char c) override {
    std::lock_guard lock(m_);
    written_ += c;
    return true;
  }
  bool EscapeCommFunction(THandle, std::uint32_t f) override {
    Note("EscapeCommFunction " + std::to_string(f));
    if (OnEscape) OnEscape(f);
    return true;
  }
  bool GetCommModemStatus(THandle, std::uint32_t* s) override {
    std::lock_guard lock(m_);
    *s = modem_;
    return open_;
  }
  bool PurgeComm(THandle, std::uint32_t f) override {
    Note("PurgeComm " + std::to_string(f));
    std::lock_guard lock(m_);
    if (f & PURGE_RXCLEAR) input_.clear();
    return true;
  }
  bool HasCancelIo() override { return true; }
  bool CancelIo(THandle) override {
    Note("CancelIo");
    return true;
  }
  bool FlushFileBuffers(THandle) override { return true; }
  bool GetCommProperties(THandle, COMMPROP&) override { return true; }
  bool CommConfigDialogW(const std::string& name, COMMCONFIG& cfg) override {
    Note("CommConfigDialogW " + name);
    if (!DialogAnswer) return Fail(ERROR_NOT_SUPPORTED);
    COMMCONFIG edited = cfg;
    if (!DialogAnswer(name, edited)) return Fail(ERROR_CANCELLED);
    cfg = edited;
    return true;
  }
  bool DriverTogglesRts485() override { return false; }
  std::uint32_t GetLastError() override { return lastError_; }
  std::string SysErrorMessage(std::uint32_t code) override {
    return "fake error " + std::to_string(code);
  }
  std::uint32_t GetTickCount() override { return tick_ += 5; }
  void Sleep(std::uint32_t ms) override {
    if (OnSleep) OnSleep(ms);
  }

 private:
  void Note(const std::string& s) {
    std::lock_guard lock(m_);
    calls_.push_back(s);
  }
  bool Fail(std::uint32_t code) {
    lastError_ = code;
    return false;
  }
  std::mutex m_;
  std::condition_variable cv_;
  std::vector<std::string> calls_;
  std::deque<std::uint32_t> events_;
  std::string input_, written_;
  DCB dcb_;
  std::uint32_t errors_ = 0, modem_ = 0;
  bool open_ = false, removed_ = false, pulsed_ = false;
  std::uint32_t* waitMask_ = nullptr;
  THandle waitEvent_ = 0, nextEvent_ = 0x100;
  static thread_local std::uint32_t lastError_;
  std::atomic<std::uint32_t> tick_{0};
  std::atomic<std::uint32_t> refuse_{0};
};

inline thread_local std::uint32_t TFakeSerialApi::lastError_ = 0;
