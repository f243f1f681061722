// The serial-device operations the serial component runs on, with the records and constants of
// the Windows interface (same layouts, so a stored DCB or COMMTIMEOUTS is valid on both). One
// implementation per system; tests supply a scripted one. All calls are thread-safe; the last
// error is kept per thread.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

using THandle = std::uint32_t;
constexpr THandle INVALID_HANDLE_VALUE = 0xFFFFFFFFu;
constexpr std::uint32_t INFINITE = 0xFFFFFFFFu;

struct DCB {
  std::uint32_t DCBlength = 28;
  std::uint32_t BaudRate = 0;
  std::uint32_t Flags = 0;  // fBinary 0x1, fParity 0x2, fOutxCtsFlow 0x4, ... as in Windows
  std::uint16_t wReserved = 0;
  std::uint16_t XonLim = 0;
  std::uint16_t XoffLim = 0;
  std::uint8_t ByteSize = 8;
  std::uint8_t Parity = 0;
  std::uint8_t StopBits = 0;
  char XonChar = 0;
  char XoffChar = 0;
  char ErrorChar = 0;
  char EofChar = 0;
  char EvtChar = 0;
  std::uint16_t wReserved1 = 0;
};
static_assert(sizeof(DCB) == 28);

// Flag word bits of DCB::Flags.
constexpr std::uint32_t fBinary = 0x1, fParity = 0x2, fOutxCtsFlow = 0x4, fOutxDsrFlow = 0x8,
                        fDtrControlMask = 0x30, fDsrSensitivity = 0x40, fTXContinueOnXoff = 0x80,
                        fOutX = 0x100, fInX = 0x200, fErrorChar = 0x400, fNull = 0x800,
                        fRtsControlMask = 0x3000, fAbortOnError = 0x4000;
constexpr std::uint32_t RTS_CONTROL_HANDSHAKE = 0x2000;

constexpr std::uint8_t NOPARITY = 0, ODDPARITY = 1, EVENPARITY = 2, MARKPARITY = 3, SPACEPARITY = 4;
constexpr std::uint8_t ONESTOPBIT = 0, ONE5STOPBITS = 1, TWOSTOPBITS = 2;

struct COMSTAT {
  std::uint32_t Flags = 0;  // fCtsHold .. fTxim in the low byte
  std::uint32_t cbInQue = 0;
  std::uint32_t cbOutQue = 0;
};
static_assert(sizeof(COMSTAT) == 12);

struct COMMTIMEOUTS {
  std::uint32_t ReadIntervalTimeout = 0;
  std::uint32_t ReadTotalTimeoutMultiplier = 0;
  std::uint32_t ReadTotalTimeoutConstant = 0;
  std::uint32_t WriteTotalTimeoutMultiplier = 0;
  std::uint32_t WriteTotalTimeoutConstant = 0;
};
static_assert(sizeof(COMMTIMEOUTS) == 20);

struct COMMCONFIG {
  std::uint32_t dwSize = 52;
  std::uint16_t wVersion = 1;
  std::uint16_t wReserved = 0;
  DCB dcb;
  std::uint32_t dwProviderSubType = 1;  // PST_RS232
  std::uint32_t dwProviderOffset = 0;
  std::uint32_t dwProviderSize = 0;
  std::uint16_t wcProviderData[2] = {0, 0};
};
static_assert(sizeof(COMMCONFIG) == 52);

struct COMMPROP {
  std::uint16_t wPacketLength = 64;
  std::uint16_t wPacketVersion = 2;
  std::uint32_t dwServiceMask = 1;  // SP_SERIALCOMM
  std::uint32_t dwReserved1 = 0;
  std::uint32_t dwMaxTxQueue = 0;
  std::uint32_t dwMaxRxQueue = 0;
  std::uint32_t dwMaxBaud = 0;
  std::uint32_t dwProvSubType = 1;
  std::uint32_t dwProvCapabilities = 0;
  std::uint32_t dwSettableParams = 0;
  std::uint32_t dwSettableBaud = 0;
  std::uint16_t wSettableData = 0;
  std::uint16_t wSettableStopParity = 0;
  std::uint32_t dwCurrentTxQueue = 0;
  std::uint32_t dwCurrentRxQueue = 0;
  std::uint32_t dwProvSpec1 = 0;
  std::uint32_t dwProvSpec2 = 0;
  std::uint16_t wcProvChar[2] = {0, 0};
};
static_assert(sizeof(COMMPROP) == 64);

struct OVERLAPPED {
  std::uint64_t Internal = 0;      // status of the operation
  std::uint64_t InternalHigh = 0;  // bytes transferred
  std::uint32_t Offset = 0;
  std::uint32_t OffsetHigh = 0;
  THandle hEvent = 0;
  std::uint32_t Reserved = 0;
};
static_assert(sizeof(OVERLAPPED) == 32);

constexpr std::uint32_t EV_RXCHAR = 0x1, EV_RXFLAG = 0x2, EV_TXEMPTY = 0x4, EV_CTS = 0x8,
                        EV_DSR = 0x10, EV_RLSD = 0x20, EV_BREAK = 0x40, EV_ERR = 0x80,
                        EV_RING = 0x100, EV_RX80FULL = 0x400, EV_EVENT1 = 0x800, EV_EVENT2 = 0x1000;
constexpr std::uint32_t CE_RXOVER = 0x1, CE_OVERRUN = 0x2, CE_RXPARITY = 0x4, CE_FRAME = 0x8,
                        CE_BREAK = 0x10;
constexpr std::uint32_t ERROR_SUCCESS = 0, ERROR_INVALID_FUNCTION = 1, ERROR_FILE_NOT_FOUND = 2,
                        ERROR_PATH_NOT_FOUND = 3, ERROR_ACCESS_DENIED = 5, ERROR_INVALID_HANDLE = 6,
                        ERROR_NOT_ENOUGH_MEMORY = 8, ERROR_BAD_COMMAND = 22, ERROR_GEN_FAILURE = 31,
                        ERROR_SHARING_VIOLATION = 32, ERROR_NOT_SUPPORTED = 50, ERROR_BUSY = 170,
                        ERROR_INVALID_PARAMETER = 87, ERROR_OPERATION_ABORTED = 995,
                        ERROR_IO_INCOMPLETE = 996, ERROR_IO_PENDING = 997,
                        ERROR_DEVICE_NOT_CONNECTED = 1167, ERROR_CANCELLED = 1223;
constexpr std::uint32_t PURGE_TXABORT = 1, PURGE_RXABORT = 2, PURGE_TXCLEAR = 4, PURGE_RXCLEAR = 8;
constexpr std::uint32_t SETXOFF = 1, SETXON = 2, SETRTS = 3, CLRRTS = 4, SETDTR = 5, CLRDTR = 6,
                        SETBREAK = 8, CLRBREAK = 9;
constexpr std::uint32_t MS_CTS_ON = 0x10, MS_DSR_ON = 0x20, MS_RING_ON = 0x40, MS_RLSD_ON = 0x80;
constexpr std::uint32_t WAIT_OBJECT_0 = 0, WAIT_TIMEOUT = 258, WAIT_FAILED = 0xFFFFFFFFu;

// One look at the modem lines: the status bits (MS_*_ON) and, where the driver counts them, how
// often each line has changed so far, so that a pulse shorter than the time between two looks
// still shows.
struct TModemLines {
  std::uint32_t status = 0;
  std::uint32_t cts = 0, dsr = 0, ring = 0, dcd = 0;
  bool counted = false;
};

// The line events (EV_CTS, EV_DSR, EV_RLSD, EV_RING) that happened between two looks, kept to
// those in mask. A counter that moved is an event even when the line reads as before; without
// counters any change of the line is one (RING included: either edge).
inline std::uint32_t ModemLineEvents(const TModemLines& before, const TModemLines& now,
                                     std::uint32_t mask) {
  const bool counted = before.counted && now.counted;
  struct Line {
    std::uint32_t event, statusBit, was, is;
  };
  const Line lines[] = {{EV_CTS, MS_CTS_ON, before.cts, now.cts},
                        {EV_DSR, MS_DSR_ON, before.dsr, now.dsr},
                        {EV_RLSD, MS_RLSD_ON, before.dcd, now.dcd},
                        {EV_RING, MS_RING_ON, before.ring, now.ring}};
  std::uint32_t events = 0;
  for (const Line& l : lines) {
    const bool changed = ((before.status ^ now.status) & l.statusBit) != 0;
    if (changed || (counted && l.was != l.is)) events |= l.event;
  }
  return events & mask;
}

constexpr std::uint32_t EV_MODEMLINES = EV_CTS | EV_DSR | EV_RLSD | EV_RING;

class TSerialApi {
 public:
  virtual ~TSerialApi() = default;

  // Opens the device exclusively for overlapped reading and writing.
  virtual THandle CreateFileW(const std::string& path) = 0;
  virtual bool CloseHandle(THandle h) = 0;
  virtual bool GetDefaultCommConfigW(const std::string& name, COMMCONFIG& cfg) = 0;
  virtual bool GetCommConfig(THandle h, COMMCONFIG& cfg) = 0;
  virtual bool GetCommState(THandle h, DCB& dcb) = 0;
  virtual bool SetCommState(THandle h, const DCB& dcb) = 0;
  virtual bool SetupComm(THandle h, std::uint32_t inQueue, std::uint32_t outQueue) = 0;
  virtual bool SetCommTimeouts(THandle h, const COMMTIMEOUTS& t) = 0;
  virtual bool SetCommMask(THandle h, std::uint32_t mask) = 0;
  // With an OVERLAPPED: success with *mask, or false with ERROR_IO_PENDING and *mask written
  // when ovl->hEvent is signalled.
  virtual bool WaitCommEvent(THandle h, std::uint32_t* mask, OVERLAPPED* ovl) = 0;
  // An auto-reset, unsignalled event.
  virtual THandle CreateEventW() = 0;
  virtual std::uint32_t WaitForSingleObject(THandle h, std::uint32_t ms) = 0;
  virtual bool PulseEvent(THandle h) = 0;
  virtual bool ClearCommError(THandle h, std::uint32_t* errors, COMSTAT* stat) = 0;
  virtual bool ReadFile(THandle h, void* buf, std::uint32_t n, OVERLAPPED* ovl) = 0;
  virtual bool WriteFile(THandle h, const void* buf, std::uint32_t n, OVERLAPPED* ovl) = 0;
  virtual bool GetOverlappedResult(THandle h, OVERLAPPED* ovl, std::uint32_t* transferred,
                                   bool wait) = 0;
  virtual bool TransmitCommChar(THandle h, char c) = 0;
  virtual bool EscapeCommFunction(THandle h, std::uint32_t func) = 0;
  virtual bool GetCommModemStatus(THandle h, std::uint32_t* status) = 0;
  virtual bool PurgeComm(THandle h, std::uint32_t flags) = 0;
  // False when the system lacks it (the component then skips it).
  virtual bool HasCancelIo() = 0;
  virtual bool CancelIo(THandle h) = 0;
  virtual bool FlushFileBuffers(THandle h) = 0;
  virtual bool GetCommProperties(THandle h, COMMPROP& prop) = 0;
  // The system's port configuration dialog for the port name, owned by the foreground window,
  // showing cfg: true when the user accepted (cfg updated); false with ERROR_CANCELLED when
  // cancelled, or with the reason it could not be shown.
  virtual bool CommConfigDialogW(const std::string& name, COMMCONFIG& cfg) = 0;
  // True when the driver raises RTS around each transmission by itself (RTS_CONTROL_TOGGLE).
  virtual bool DriverTogglesRts485() = 0;

  virtual std::uint32_t GetLastError() = 0;
  // The system's text for an error code.
  virtual std::string SysErrorMessage(std::uint32_t code) = 0;
  virtual std::uint32_t GetTickCount() = 0;
  virtual void Sleep(std::uint32_t ms) = 0;
};

// The system's implementation, shared by every component.
std::shared_ptr<TSerialApi> SystemSerialApi();
