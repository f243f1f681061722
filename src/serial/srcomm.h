// TsrComm: one serial port with its line settings, two background threads that wait for the
// port's events, and delivery of those events on the main thread (UseMainThread) or on the
// message thread. Properties and operations are for the owner's thread; the threads keep
// shared ownership of what they use, so a close from either side never frees it under them.
#pragma once

#include <cstdint>
#include <exception>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial/port_fault.h"
#include "platform/settings/registry.h"
#include "serial/srclasses.h"

enum TComPort { cpCOM1, cpCOM2, cpCOM3, cpCOM4, cpCOM5, cpCOM6, cpCOM7, cpCOM8, cpCOMxx };
enum TParity { pNone, pOdd, pEven, pMark, pSpace };
enum TStopBits { sbOne, sbOneAndHalf, sbTwo };
enum TStreamProtocol { spNone, spXonXoff, spHardware };
enum TTraceState : std::uint16_t {
  tsRxChar = 1 << 0,
  tsRxFlag = 1 << 1,
  tsTxEmpty = 1 << 2,
  tsCTS = 1 << 3,
  tsDSR = 1 << 4,
  tsRLSD = 1 << 5,
  tsBreak = 1 << 6,
  tsErr = 1 << 7,
  tsRing = 1 << 8,
  tsRx80Full = 1 << 9,
  tsEvent1 = 1 << 10,
  tsEvent2 = 1 << 11
};
using TTraceStates = std::uint16_t;
enum TModemSignal : std::uint8_t {
  msCTS = 1 << 0,
  msDSR = 1 << 1,
  msRing = 1 << 2,
  msRLSD = 1 << 3
};
using TModemSignals = std::uint8_t;
using TComStateFlags = std::uint8_t;

using TOnSent = std::function<void(TObject* Com)>;
using TOnTraceEvent = std::function<void(TObject* Com, TTraceStates Event)>;
using TOnCommErrorEvent =
    std::function<void(TObject* Com, std::uint32_t CommCode, std::uint32_t SysError,
                       TComStateFlags State, bool& flFlashBuffers)>;

// A control that shows a line state (a check box).
// A control that shows a line state (a check box); it tells the components that show lines in
// it when it goes away.
class TsrCheckable : public TObject {
 public:
  ~TsrCheckable() override { FreeNotices.Announce(this); }
  virtual void SetChecked(bool checked) = 0;
  TsrFreeNotices FreeNotices;
};

// A port settings dialog that an owner puts in place of the system's; true when the user
// accepted cfg (then updated).
class TsrPortDialog {
 public:
  virtual ~TsrPortDialog() = default;
  virtual bool Execute(const std::string& comName, COMMCONFIG& cfg) = 0;
};

// The DCB flag word with its flow-control bits rebuilt for the protocol (RS485: RTS toggled by
// the driver around transmissions); the other bits kept.
std::uint32_t FlowControlFlags(std::uint32_t flags, TStreamProtocol protocol, bool rs485);
// The protocol and RS485 mode that a flag word carries.
TStreamProtocol StreamProtocolOf(std::uint32_t flags);
bool RS485ModeOf(std::uint32_t flags);

struct TCommLink;

class TsrCustomComm : public TsrBaseIO {
 public:
  TsrCustomComm();
  ~TsrCustomComm() override;

  std::uint32_t BaudRate() const { return CommCfg.dcb.BaudRate; }
  void SetBaudRate(std::uint32_t v);
  TParity Parity() const { return static_cast<TParity>(CommCfg.dcb.Parity); }
  void SetParity(TParity v);
  TStopBits StopBits() const { return static_cast<TStopBits>(CommCfg.dcb.StopBits); }
  void SetStopBits(TStopBits v);
  std::uint8_t ByteSize() const { return CommCfg.dcb.ByteSize; }
  void SetByteSize(std::uint8_t v);
  TTraceStates TraceStates() const { return fTraceStates.load(); }
  void SetTraceStates(TTraceStates v);
  TModemSignals ModemSignals();
  char EventChar() const { return QueryEventChar(); }
  void SetEventChar(char v) { AssignEventChar(v); }
  TStreamProtocol StreamProtocol() const { return fProtocol; }
  void SetStreamProtocol(TStreamProtocol v);
  std::uint16_t BufferInSize() const { return fBufferInSize; }
  void SetBufferInSize(std::uint16_t v);
  std::uint16_t BufferOutSize() const { return fBufferOutSize; }
  void SetBufferOutSize(std::uint16_t v);
  std::uint32_t TimeoutRead() const { return fCommTimeouts.ReadIntervalTimeout; }
  void SetTimeoutRead(std::uint32_t v);
  std::uint32_t TimeoutWrite() const { return fCommTimeouts.WriteTotalTimeoutConstant; }
  void SetTimeoutWrite(std::uint32_t v);
  bool RS485Mode() const { return fRS485Mode; }
  void SetRS485Mode(bool v);
  TsrCheckable* MonitorCTS() const { return fMonitorCTS; }
  void SetMonitorCTS(TsrCheckable* c) { SetMonitor(fMonitorCTS, c); }
  TsrCheckable* MonitorDSR() const { return fMonitorDSR; }
  void SetMonitorDSR(TsrCheckable* c) { SetMonitor(fMonitorDSR, c); }
  TsrCheckable* MonitorRLSD() const { return fMonitorRLSD; }
  void SetMonitorRLSD(TsrCheckable* c) { SetMonitor(fMonitorRLSD, c); }
  TsrCheckable* MonitorRing() const { return fMonitorRing; }
  void SetMonitorRing(TsrCheckable* c) { SetMonitor(fMonitorRing, c); }
  TOnSent OnAfterSend;
  TOnTraceEvent OnTraceState;
  TOnCommErrorEvent OnCommError;

  std::string ComName() { return QueryComName(); }
  std::uint32_t ReadyForRead();
  std::uint32_t NotYetSend();
  const COMMPROP* CommProp();
  std::uint32_t TotalReceived() const { return fTotalReceived.load(); }
  std::uint32_t TotalSent() const { return fTotalSent.load(); }
  const DCB& Dcb() const { return CommCfg.dcb; }
  const COMMTIMEOUTS& CommTimeouts() const { return fCommTimeouts; }
  std::uint32_t EventMask() const;
  const std::string& LastError() const { return LastErrorString; }
  // Why the last open failed; TPortFault::None after a good open.
  TPortFault LastOpenFault() const { return fLastOpenFault; }
  // Tests and other systems put their own platform here before the first open.
  void SetSerialApi(std::shared_ptr<TSerialApi> api);
  bool IsNotSupportRS485() const { return fIsNotSupportRS485; }

  void SendChar(std::uint32_t Ch) override;
  void SendAheadChar(std::uint32_t Ch);
  void SendString(const std::string& S) override;
  void SendData(const std::uint8_t* Buff, std::uint32_t N) override;
  void Read(void* Buffer, std::uint32_t Len);
  void ReadAll(void* Buffer);
  std::int32_t ReadMax(void* Buffer, std::int32_t MaxLen);
  std::string ReadString();
  void SetStateDTR(bool State);
  void SetStateRTS(bool State);
  void SetStateX(bool State);
  void SetStateBreak(bool State);
  void ClearDeviceInput() override;
  void ClearDeviceOutput() override;
  void ClearDeviceBuffers() override;
  void FlushOutputBuffer();
  // Both keep the main thread's dispatcher running while they wait (pump is called each 5 ms).
  bool WaitForBytes(std::uint32_t Count, std::uint32_t Ms);
  bool WaitForSignal(TModemSignal Signal, std::uint32_t Ms);
  std::function<void()> ProcessMessages;

  void SetTimeouts(const COMMTIMEOUTS& t);
  void ApplyDCB();
  void ReadDeviceDCB();
  void DoOpen() override;
  void DoClose() override;
  // Closes the open port; a second closer waits until the first has finished.
  void ClosePort(bool purge);
  virtual std::string QueryComName() { return "Unknown"; }
  virtual void ApplySettings();
  virtual void AssignEventChar(char v);
  virtual char QueryEventChar() const { return CommCfg.dcb.EvtChar; }
  virtual void DoCommError(std::uint32_t CommCode, std::uint32_t SysError, TComStateFlags State);
  void DoTraceState(TObject* Com, TTraceStates Event);
  // Handles one event mask that the event thread reported.
  void ProcessCommEvent(std::uint32_t message, std::uint32_t mask);
  // Also forgets a monitor control that is going away.
  void Notification(TObject* AComponent) override;

 protected:
  // Cuts the threads off from this object; every destructor calls it first, before the
  // object's type changes under a thread that is still closing the port.
  void DetachThreads();
  void StartThreads() override;
  void StopThreads() override;
  // Joins the message threads of closed ports, unless this thread is one of a port's own or
  // inside an open or close (then later, or let go when orLetGo: the component goes away).
  void JoinStoppedThreads(bool orLetGo = false);
  bool RtsDrivenHere() const { return fRS485Mode && fIsNotSupportRS485; }
  // Reads at most n bytes that are queued now, never waiting for more; the count read.
  std::uint32_t ReadQueued(void* buf, std::uint32_t n);
  COMMCONFIG CommCfg;

 private:
  friend struct TCommLink;
  void SetMonitor(TsrCheckable*& slot, TsrCheckable* c);
  void AllocBuffer();
  void FreeBuffer();
  bool ReadSync(void* buf, std::uint32_t n, OVERLAPPED& ovl);
  bool WriteSync(const void* buf, std::uint32_t n, OVERLAPPED& ovl);
  bool WriteAsync(const void* buf, std::uint32_t n, OVERLAPPED& ovl);
  bool WaitOverlapped(OVERLAPPED& ovl);
  void CancelPendingIo();
  void SendFailed();
  void RaiseRts();
  // Closes the port only while it is still the one with handle `only`.
  void ClosePortOf(bool purge, THandle only);
  // What escaped a handler on one of the port's threads: the fatal-error path, shown only.
  void FatalOnThread(std::exception_ptr error) noexcept;

  std::mutex linkMutex_, bufferMutex_;
  std::shared_ptr<TCommLink> link_;  // the threads of the open port
  std::thread messageThread_;        // the open port's, which reaches the main thread
  std::vector<std::thread> stoppedThreads_;
  std::shared_ptr<std::recursive_mutex> lifeMutex_;
  std::shared_ptr<TsrCustomComm*> self_;  // nulled at destruction; threads look through it
  // Held by whoever opens or closes the port, so that a close never overlaps another.
  std::recursive_mutex closeMutex_;
  COMMPROP ComProp;
  COMMTIMEOUTS fCommTimeouts;
  std::string LastErrorString;
  TPortFault fLastOpenFault = TPortFault::None;
  std::atomic<std::uint32_t> fTotalSent{0}, fTotalReceived{0};
  std::atomic<TTraceStates> fTraceStates{0};
  std::uint16_t fBufferOutSize = 8192, fBufferInSize = 8192;
  std::shared_ptr<std::vector<std::uint8_t>> glBuffer;
  bool fRS485Mode = false;
  TsrCheckable *fMonitorRLSD = nullptr, *fMonitorRing = nullptr, *fMonitorCTS = nullptr,
               *fMonitorDSR = nullptr;
  bool fIsNotSupportRS485 = false;
  TStreamProtocol fProtocol = spHardware;
  OVERLAPPED fOvlRead, fOvlWrite, fOvlAsync;
};

class TsrCustomSerialComm : public TsrCustomComm {
 public:
  TsrCustomSerialComm();
  ~TsrCustomSerialComm() override { DetachThreads(); }

  std::uint16_t ComPortNo() const { return fComPortNo; }
  void SetComPortNo(std::uint16_t v);
  TComPort ComPort() const;
  void SetComPort(TComPort v);
  TsrEnumPorts EnumPorts() const { return fEnumPorts; }
  void SetEnumPorts(TsrEnumPorts v) { fEnumPorts = v; }
  void SetExtHandle(THandle aHandle);
  void SetDeviceDatabase(std::shared_ptr<TsrDeviceDatabase> db) { db_ = std::move(db); }
  // The registry the configuration goes to; CreateRegistry in the application.
  void SetRegistryFactory(std::function<std::unique_ptr<TRegistry>()> f) {
    registry_ = std::move(f);
  }
  // The owner's port settings dialog; none (the default) shows the system's.
  void SetConfigDialog(TsrPortDialog* d) { dialog_ = d; }

  THandle DeviceOpen() override;
  std::string QueryComName() override;
  int GetDeviceIndex() override;
  void SetDeviceIndex(int Value) override;
  void DeviceListLoad() override;
  void Update() override;
  void SaveConfig(TRootKey Root, const std::string& Key, const std::string& Name);
  void LoadConfig(TRootKey Root, const std::string& Key, const std::string& Name);
  // Lets the user edit the port's settings; true when accepted, and then they are in effect.
  bool ConfigDialog();
  void InitDeviceConnect();
  // Reads the identification string of a legacy serial Plug and Play device on the port (it
  // opens the port for it and leaves Active as it was); empty when the device gives none.
  std::string GetPNPDeviceString();

 private:
  // The configuration key under Root, created when missing; throws when it cannot be opened.
  std::unique_ptr<TRegistry> OpenConfigKey(TRootKey Root, const std::string& Key);

  std::uint16_t fComPortNo = 1;
  THandle fExtHandle = 0;
  TsrEnumPorts fEnumPorts = epQuickAll;
  std::shared_ptr<TsrDeviceDatabase> db_;
  std::function<std::unique_ptr<TRegistry>()> registry_;
  TsrPortDialog* dialog_ = nullptr;
};

class TsrComm : public TsrCustomSerialComm {
 public:
  ~TsrComm() override { DetachThreads(); }
};
