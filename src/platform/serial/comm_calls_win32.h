// The kernel32 side of the Windows serial API, in a file of its own because <windows.h> declares
// the same record names (DCB, OVERLAPPED, ...) as serial_api.h. Records pass as their bytes: the
// layouts are the system's, checked where <windows.h> is included. Handles are the low 32 bits
// of the system's, which is all a kernel handle uses.
//
// The program's OVERLAPPED has a 32-bit event, the system's a pointer, so each event keeps the
// system's OVERLAPPED that its I/O runs on; the operations name the event instead. A record whose
// I/O is still pending when its event is closed or reused lives on until the port has finished
// with it. The status words are copied out to the caller's at completion. Names that
// <windows.h> makes macros of (CreateFile, CreateEvent, ...) are avoided.
#pragma once

#include <cstdint>
#include <string>

namespace comm32 {

struct TIoStatus {
  std::uint64_t* Internal;
  std::uint64_t* InternalHigh;
};

std::uint32_t OpenPort(const std::string& path);
bool CloseHandle(std::uint32_t h);
bool DefaultCommConfig(const std::string& name, void* commConfig);
bool GetCommConfig(std::uint32_t h, void* commConfig);
bool GetCommState(std::uint32_t h, void* dcb);
bool SetCommState(std::uint32_t h, const void* dcb);
bool SetupComm(std::uint32_t h, std::uint32_t inQueue, std::uint32_t outQueue);
bool SetCommTimeouts(std::uint32_t h, const void* timeouts);
bool SetCommMask(std::uint32_t h, std::uint32_t mask);
bool WaitCommEvent(std::uint32_t h, std::uint32_t* mask, std::uint32_t event, TIoStatus status);
std::uint32_t NewEvent();
std::uint32_t WaitForSingleObject(std::uint32_t h, std::uint32_t ms);
bool PulseEvent(std::uint32_t h);
bool ClearCommError(std::uint32_t h, std::uint32_t* errors, void* comStat);
bool ReadFile(std::uint32_t h, void* buf, std::uint32_t n, std::uint32_t event, TIoStatus status);
bool WriteFile(std::uint32_t h, const void* buf, std::uint32_t n, std::uint32_t event,
               TIoStatus status);
bool GetOverlappedResult(std::uint32_t h, std::uint32_t event, TIoStatus status,
                         std::uint32_t* transferred, bool wait);
bool TransmitCommChar(std::uint32_t h, char c);
bool EscapeCommFunction(std::uint32_t h, std::uint32_t func);
bool GetCommModemStatus(std::uint32_t h, std::uint32_t* status);
bool PurgeComm(std::uint32_t h, std::uint32_t flags);
bool HasCancelIo();
bool CancelIo(std::uint32_t h);
bool FlushFileBuffers(std::uint32_t h);
bool GetCommProperties(std::uint32_t h, void* commProp);
// The system's port configuration dialog, owned by the foreground window.
bool ShowPortDialog(const std::string& name, void* commConfig);
std::uint32_t GetLastError();
std::string ErrorText(std::uint32_t code);
std::uint32_t GetTickCount();
void Sleep(std::uint32_t ms);

}  // namespace comm32
