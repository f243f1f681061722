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
#include <thread>
#include <vector>

#include "base/exceptions.h"
#include "base/object.h"
#include "platform/serial/serial_api.h"
#include "serial/srwin32di.h"

enum TDetailLevel { dlSimple, dlDetail, dlDebug };
enum TTerminalUsage { tuNone, tuSend, tuReceive, tuBoth };
// The framework's component states: a form is being read, or edited at design time.
enum TsrComponentState : std::uint8_t { csLoading = 1 << 0, csDesigning = 1 << 1 };
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

// Raised by DoFatalError and by the log and processor's own fatal errors.
class ESerialError : public Exception {
 public:
  using Exception::Exception;
};

// Where an error that is only shown goes (the application's error box); stderr until set.
void SetSerialErrorBox(std::function<void(const std::string&)> box);
void ShowSerialError(const std::string& msg);
// Where a message box with the error icon goes (owned by the foreground window); stderr until
// set.
void SetSerialMessageBox(
    std::function<void(const std::string& Text, const std::string& Caption)> box);
void ShowSerialMessageBox(const std::string& Text, const std::string& Caption);

// Told when an object it refers to is being destroyed (the framework's destruction notice).
class TsrNoticeReceiver {
 public:
  virtual ~TsrNoticeReceiver() = default;
  virtual void Notification(TObject* AComponent) = 0;
};

// The receivers an object tells of its destruction; each is told once, at most.
class TsrFreeNotices {
 public:
  void Add(TsrNoticeReceiver* r);
  void Remove(TsrNoticeReceiver* r);
  // Called by the owner's destructor.
  void Announce(TObject* self);

 private:
  std::vector<TsrNoticeReceiver*> receivers_;
};

// A window message as an edit control's window method takes it.
struct TMessage {
  std::uint32_t Msg = 0;
  std::uintptr_t WParam = 0;
  std::intptr_t LParam = 0;
  std::intptr_t Result = 0;
};
using TWndMethod = std::function<void(TMessage& Message)>;
constexpr std::uint32_t WM_CHAR = 0x102, EM_REPLACESEL = 0xC2;

// An edit control as a terminal: the component puts its own window method in front of the
// control's and sends it received bytes. WM_CHAR carries a character in WParam (LParam: repeat
// count 1); EM_REPLACESEL a zero-terminated 8-bit text in LParam that replaces the selection
// (WParam 0: not undoable).
class TsrEditControl : public TObject {
 public:
  // The control's window handle, non-zero.
  virtual std::uint32_t Handle() const = 0;
  virtual TWndMethod WindowProc() const = 0;
  virtual void SetWindowProc(TWndMethod proc) = 0;
  // The control calls r->Notification(this) when it is destroyed.
  virtual void FreeNotification(TsrNoticeReceiver* r) = 0;
  virtual void RemoveFreeNotification(TsrNoticeReceiver* r) = 0;
};

std::string FormatV(const char* format, va_list args);
std::string Format(const char* format, ...);

// A log the owner attaches; the component writes its lines through it.
class TsrCustomLogFile : public TObject {
 public:
  ~TsrCustomLogFile() override { FreeNotices.Announce(this); }
  TsrFreeNotices FreeNotices;
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

class TsrBaseIO;
class TsrTimer;

// The header of a device-change broadcast.
struct DEV_BROADCAST_HDR {
  std::uint32_t dbch_size = 12;
  std::uint32_t dbch_devicetype = 0;
  std::uint32_t dbch_reserved = 0;
};

// A plug-in that sees received bytes before the owner and sends through the component;
// processors chain.
class TsrCustomDataProcessor : public TObject, public TsrNoticeReceiver {
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
  void AssignLog(TsrCustomLogFile* log);
  TsrBaseIO* Device() const { return fDevice; }
  TsrCustomDataProcessor* Next() const { return fDataProcessor; }
  // The owned timer behind StartAsyncTimer; its ticks run on the owner's loop.
  TsrTimer& TimerAsync() const { return *fTimerAsync; }
  TsrFreeNotices FreeNotices;
  void Notification(TObject* AComponent) override;

  virtual void DeviceNotify(TObject* Sender, std::int32_t Code);
  virtual void DoMediumClosed();
  virtual void DoMediumOpened();
  virtual void ChainProcessor(TsrCustomDataProcessor* processor);
  virtual void AttachDevice(TsrBaseIO* device);
  virtual void AssignActive(bool Value) { fActive = Value; }
  virtual void DoDataSend(const std::uint8_t* Buffer, std::uint32_t Len);
  virtual void DoStringSend(const std::string& S);
  // The async timer's tick: stops it and reports the send complete, as the line's own
  // transmit-empty event does.
  virtual void AsyncTimerTick();
  virtual void StartAsyncTimer(std::uint32_t Interval);
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
  std::unique_ptr<TsrTimer> fTimerAsync;
};

enum TThreadPriority { tpIdle, tpLowest, tpLower, tpNormal, tpHigher, tpHighest, tpTimeCritical };

// The worker thread of a component whose isThreaded is set: runs its ThreadIOExecute until told
// to stop.
class TsrThreadIO {
 public:
  explicit TsrThreadIO(TsrBaseIO* com);
  ~TsrThreadIO();
  bool Terminated() const { return terminated_.load(); }
  void Terminate() { terminated_ = true; }
  // Waits for the thread's end; from the thread itself it only lets it go.
  void WaitFor();
  bool IsCurrentThread() const;
  // The worker running on the calling thread, if any.
  static TsrThreadIO* Current();
  TsrBaseIO* fsrComm;

 private:
  std::atomic<bool> terminated_{false};
  std::thread thread_;
};

// The port-independent part of the component: notify list, log, processor, device list,
// received-data delivery, the terminal, the loading state. hPort is read by the component's
// threads, hence atomic.
class TsrBaseIO : public TObject, public TsrNoticeReceiver {
 public:
  TsrBaseIO();
  ~TsrBaseIO() override;

  // In the loading and design states Active is the stored value; otherwise whether the port
  // is open. Writing it while loading only stores it; at design time it tries the port and
  // closes it again.
  bool Active() const;
  void SetActive(bool Value);
  std::uint8_t ComponentState() const { return fComponentState; }
  // The form reader's calls: BeginLoading before the properties, Loaded after them.
  void BeginLoading() { fComponentState |= csLoading; }
  virtual void Loaded();
  void SetDesigning(bool v);
  void Notification(TObject* AComponent) override;

  // The edit control shown as a terminal (not owned), what it is used for, and whether typed
  // characters are also shown.
  TsrEditControl* Terminal() const { return fTerminal; }
  void SetTerminal(TsrEditControl* Value);
  TTerminalUsage TerminalUsage() const { return fTerminalUsage; }
  void SetTerminalUsage(TTerminalUsage Value);
  bool TerminalEcho() const { return fTerminalEcho; }
  void SetTerminalEcho(bool Value) { fTerminalEcho = Value; }
  virtual void TerminalWrite(const std::uint8_t* Buffer, std::uint32_t Len);
  TThreadPriority Priority() const { return fPriority; }
  void SetPriority(TThreadPriority v) { fPriority = v; }

  virtual bool IsOpened() const { return hPort.load() != INVALID_HANDLE_VALUE; }
  virtual THandle DeviceOpen() { return INVALID_HANDLE_VALUE; }
  virtual void DeviceClose(THandle handle);
  virtual bool HasReceivers() const;
  virtual void DoOpen();
  virtual void DoClose();
  virtual void StartThreads();
  virtual void StopThreads();
  // The worker thread's work (isThreaded); returns when it ends or the thread is told to stop.
  virtual void ThreadIOExecute(TsrThreadIO* thread);
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
  void SetLog(TsrCustomLogFile* log);
  TsrCustomDataProcessor* DataProcessor() const { return fDataProcessor; }
  void SetDataProcessor(TsrCustomDataProcessor* p);
  // Read by the message thread at every event.
  bool UseMainThread() const { return fUseMainThread.load(); }
  void SetUseMainThread(bool v) { fUseMainThread.store(v); }
  THandle Handle() const { return hPort.load(); }

  // Those to tell when the component is destroyed (its processors).
  TsrFreeNotices FreeNotices;
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
  bool fActive = false;
  // Set by a descendant that does its I/O on the worker thread.
  bool isThreaded = false;
  std::atomic<bool> IsThreadIOTerminated{false};

 private:
  friend class TsrCustomDataProcessor;
  void TerminalWndProc(TMessage& Message);
  void SendToTerminal(TMessage& Message);
  TsrNotifyList srNotifyList;
  TsrCustomLogFile* fLog = nullptr;
  TsrCustomDataProcessor* fDataProcessor = nullptr;
  // A chunk that the worker thread hands to the main thread.
  const std::uint8_t* threadData = nullptr;
  std::uint32_t threadDataSize = 0;
  std::uint32_t hTerminal = 0;
  TTerminalUsage fTerminalUsage = tuNone;
  TsrEditControl* fTerminal = nullptr;
  bool fTerminalEcho = false;
  TWndMethod fOldTerminalWndProc;
  bool fTerminalLocked = false;
  std::unique_ptr<TsrThreadIO> fThreadIO;
  std::atomic<bool> fUseMainThread{true};
  TThreadPriority fPriority = tpNormal;
  std::uint8_t fComponentState = 0;
};
