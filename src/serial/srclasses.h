// The base of the serial component and its small companions: the notify list, the log
// interface, the data processor base. All of it is used on the owner's (main) thread unless a
// member says otherwise.
#pragma once

#include <atomic>
#include <cstdarg>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"
#include "base/object.h"
#include "platform/serial_api.h"
#include "serial/srwin32di.h"


enum TDetailLevel { dlSimple, dlDetail, dlDebug };
enum TIgnoreType : std::uint8_t {
  itTerminal = 1 << 0,
  itEventList = 1 << 1,
  itAfterReceive = 1 << 2,
  itTraceState = 1 << 3
};
using TIgnoreTypes = std::uint8_t;

using TOnReceived =
    std::function<void(TObject* Com, const std::uint8_t* Buffer, std::uint32_t Received)>;
using TOnFatalErrorEvent =
    std::function<void(TObject* Sender, std::uint32_t ErrorCode, std::uint32_t Detail,
                       const std::string& ErrorMsg, bool& RaiseException)>;

// A method pointer: the function and the object it is called on. Entries compare by function.
struct TsrNotifyEvent {
  void (*Code)(void* Data, TObject* Sender, std::int32_t NotifyCode) = nullptr;
  void* Data = nullptr;
};

class TsrNotifyList {
 public:
  int Add(const TsrNotifyEvent& item);
  void Delete(int index);
  void Clear() { items_.clear(); }
  int IndexOf(const TsrNotifyEvent& item) const;
  int Count() const { return static_cast<int>(items_.size()); }
  void Call(TObject* sender, std::int32_t code);

 private:
  std::vector<std::unique_ptr<TsrNotifyEvent>> items_;
};

// A log the owner attaches; the component writes its lines through it.
class TsrCustomLogFile : public TObject {
 public:
  TOnFatalErrorEvent OnFatalError;
  virtual void DoFatalError(std::uint32_t Code, std::uint32_t Detail, const std::string& Msg);
  virtual void Save() = 0;
  virtual void Clear() = 0;
  virtual void Add(const std::string& s) = 0;
  virtual void AddSysInfo() = 0;
  virtual void AddLog(TDetailLevel l, const std::string& s) = 0;
  virtual void AddFmt(const char* format, va_list args) = 0;
  virtual void AddLogFmt(TDetailLevel l, const char* format, va_list args) = 0;
  void AddLogFormat(TDetailLevel l, const char* format, ...);
};

// Raised by DoFatalError and by the log and processor's own fatal errors.
class ESerialError : public Exception {
 public:
  using Exception::Exception;
};

// Where an error that is only shown goes (the application's error box); stderr until set.
void SetSerialErrorBox(std::function<void(const std::string&)> box);
void ShowSerialError(const std::string& msg);

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...);

class TsrBaseIO;

// The header of a device-change broadcast.
struct DEV_BROADCAST_HDR {
  std::uint32_t dbch_size = 12;
  std::uint32_t dbch_devicetype = 0;
  std::uint32_t dbch_reserved = 0;
};

// A plug-in that sees received bytes before the owner and sends through the component;
// processors chain.
class TsrCustomDataProcessor : public TObject {
 public:
  using TDataSendEvent = std::function<void(TObject* Sender, const std::uint8_t* ptrBuffer,
                                            std::uint32_t Len, bool flSynchro, bool& flHandled)>;
  TsrCustomDataProcessor();
  ~TsrCustomDataProcessor() override;

  bool Active() const { return fActive; }
  void SetActive(bool v) { AssignActive(v); }
  TOnFatalErrorEvent OnFatalError;
  TDataSendEvent OnDataSend;
  TsrCustomLogFile* Log() const { return fLog; }
  void AssignLog(TsrCustomLogFile* log) { fLog = log; }
  TsrBaseIO* Device() const { return fDevice; }
  TsrCustomDataProcessor* Next() const { return fDataProcessor; }

  virtual void DeviceNotify(TObject* Sender, std::int32_t Code);
  virtual void DoMediumClosed();
  virtual void DoMediumOpened();
  virtual void ChainProcessor(TsrCustomDataProcessor* processor);
  virtual void AttachDevice(TsrBaseIO* device);
  virtual void AssignActive(bool Value) { fActive = Value; }
  virtual void DoDataSend(const std::uint8_t* Buffer, std::uint32_t Len);
  virtual void DoStringSend(const std::string& S);
  virtual void DoFatalErrors(std::uint32_t Code, std::uint32_t Detail, const std::string& Msg);
  virtual void DoProcessing(const std::uint8_t* Data, std::uint32_t Len, TIgnoreTypes& R);
  virtual void DataReceive(const std::uint8_t* ptrBuffer, std::uint32_t Len);
  virtual void DoAfterSendComplete(bool& flIgnore);

 protected:
  std::string sLogPrefix;
  void LogDebug(const std::string& text);

 private:
  static void NotifyThunk(void* self, TObject* sender, std::int32_t code);
  TsrBaseIO* fDevice = nullptr;
  TsrCustomDataProcessor* fDataProcessor = nullptr;
  bool fActive = false;
  TsrCustomLogFile* fLog = nullptr;
};

// The port-independent part of the component: notify list, log, processor, device list,
// received-data delivery. hPort is read by the component's threads, hence atomic.
class TsrBaseIO : public TObject {
 public:
  TsrBaseIO();
  ~TsrBaseIO() override;

  virtual bool IsOpened() const { return hPort.load() != INVALID_HANDLE_VALUE; }
  virtual THandle DeviceOpen() { return INVALID_HANDLE_VALUE; }
  virtual void DeviceClose(THandle handle);
  virtual bool HasReceivers() const;
  virtual void DoOpen();
  virtual void DoClose();
  virtual void DoFatalError(std::uint32_t Code, std::uint32_t Detail, const std::string& Msg,
                            bool ShowOnly);
  virtual void DoNotify(std::int32_t Code) { srNotifyList.Call(this, Code); }
  virtual bool DoReceived(const std::uint8_t* Buffer, std::uint32_t Len);
  virtual bool DoSendComplete();
  virtual void SetDeviceIndex(int Value);
  virtual int GetDeviceIndex() = 0;
  virtual int DeviceAdd(std::unique_ptr<TsrDevice> device);
  virtual int DeviceInsert(std::unique_ptr<TsrDevice> device);
  virtual void DeviceListLoad() = 0;
  virtual void DeviceListClear() { slDevices.Clear(); }
  virtual void Update() { DoNotify(3); }
  virtual void NotifyAdd(const TsrNotifyEvent& e);
  virtual void NotifyDelete(const TsrNotifyEvent& e);
  virtual void SendChar(std::uint32_t Ch) = 0;
  virtual void SendString(const std::string& S) = 0;
  virtual void SendData(const std::uint8_t* Buff, std::uint32_t N) = 0;
  virtual void ClearDeviceInput() = 0;
  virtual void ClearDeviceOutput() = 0;
  virtual void ClearDeviceBuffers() = 0;
  // The owner forwards its device-change messages; true when a port came or went (list
  // updated).
  virtual bool WMDeviceChange(std::uint32_t Msg, std::uintptr_t wParam,
                              const DEV_BROADCAST_HDR* header);
  // The display strings of the device list, loading it when it is empty.
  virtual void GetDeviceList(std::vector<std::string>& L);

  int DeviceCount() const { return slDevices.Count(); }
  TsrDevice* Devices(int i) const { return slDevices.Item(i); }
  int IndexOfDevice(const TsrDevice* d) const { return slDevices.IndexOfDevice(d); }
  int IndexOfPortNo(std::int32_t n) const { return slDevices.IndexOfPortNo(n); }
  int DeviceIndex() { return GetDeviceIndex(); }

  TsrCustomLogFile* Log() const { return fLog; }
  void SetLog(TsrCustomLogFile* log) { fLog = log; }
  TsrCustomDataProcessor* DataProcessor() const { return fDataProcessor; }
  void SetDataProcessor(TsrCustomDataProcessor* p);
  // Read by the message thread at every event.
  bool UseMainThread() const { return fUseMainThread.load(); }
  void SetUseMainThread(bool v) { fUseMainThread.store(v); }
  THandle Handle() const { return hPort.load(); }

  TOnFatalErrorEvent OnFatalError;
  TNotifyEvent OnClose;
  TNotifyEvent fOnOpen;  // not published
  TOnReceived OnAfterReceive;

  void LogMessage(TDetailLevel level, const std::string& text);
  void LogFormat(TDetailLevel level, const char* format, ...);

 protected:
  // Opens the device and calls the open notification; the thread-less base of DoOpen.
  void BaseOpen();
  // Closes the handle and calls OnClose.
  void BaseClose();

  std::atomic<THandle> hPort{INVALID_HANDLE_VALUE};
  std::string sLogPrefix = "TsrBaseIO";
  bool flClearDeviceListWithFree = true;
  TsrDeviceList slDevices;
  std::shared_ptr<TSerialApi> api_;

 private:
  friend class TsrCustomDataProcessor;
  TsrNotifyList srNotifyList;
  TsrCustomLogFile* fLog = nullptr;
  TsrCustomDataProcessor* fDataProcessor = nullptr;
  std::atomic<bool> fUseMainThread{true};
};
