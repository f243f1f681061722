#include "serial/srcommlink.h"

#include <thread>

#include "platform/main_thread.h"
#include "platform/thread_messages.h"
#include "serial/srcomm.h"

std::uint32_t MsgComEvent() {
  static const std::uint32_t m = RegisterWindowMessage("srCommMsgComEvent");
  return m;
}
std::uint32_t MsgQuitComEvent() {
  static const std::uint32_t m = RegisterWindowMessage("srCommMsgQuitComEvent");
  return m;
}

void TCommLink::EventThread(std::shared_ptr<TCommLink> L) {
  TSerialApi& api = *L->api;
  const THandle ev = api.CreateEventW();
  L->evEvent = ev;
  while (ev != INVALID_HANDLE_VALUE && L->hDevice != INVALID_HANDLE_VALUE && !L->evTerminated) {
    OVERLAPPED ovl;
    ovl.hEvent = ev;
    std::uint32_t mask = 0;
    if (!api.WaitCommEvent(L->hDevice, &mask, &ovl)) {
      const std::uint32_t err = api.GetLastError();
      if (err == ERROR_IO_PENDING) {
        const std::uint32_t r = api.WaitForSingleObject(ev, INFINITE);
        if (L->evTerminated) break;
        if (r != WAIT_OBJECT_0) mask = 0;
      } else if (mask == 0 && err == ERROR_INVALID_PARAMETER) {
        // nothing to post
      } else if (err == ERROR_INVALID_HANDLE) {
        break;
      } else {
        // The device went away under the open port: close it from here, unless the owner has
        // closed it meanwhile. Nothing a handler throws may end the process on this thread.
        std::lock_guard lock(*L->life);
        TsrCustomComm* com = *L->self;
        if (com && !L->evTerminated) {
          try {
            com->ClosePortOf(false, L->hDevice);
          } catch (...) {
            com->FatalOnThread(std::current_exception());
          }
        }
        break;
      }
    }
    if (mask != 0) {
      while (!L->evTerminated && L->portOpen) {
        const std::uint32_t id = L->msgThreadId;
        if (id != 0 && PostThreadMessage(id, MsgComEvent(), mask)) break;
        api.Sleep(1);
      }
    }
    if (!L->portOpen) break;
  }
  if (ev != INVALID_HANDLE_VALUE) {
    L->evEvent = 0;
    api.CloseHandle(ev);
  }
}

void TCommLink::MessageThread(std::shared_ptr<TCommLink> L) {
  EnsureMessageQueue();
  L->msgThreadId = CurrentThreadId();
  TThreadMsg msg;
  while (!L->msgTerminated) {
    if (GetThreadMessage(msg, 0xC000, 0xFFFF) == 0) break;
    if (!L->portOpen || L->msgTerminated || msg.message == MsgQuitComEvent()) break;
    if (msg.message != MsgComEvent()) continue;
    const auto mask = static_cast<std::uint32_t>(msg.wParam);
    bool useMain = false;
    {
      std::lock_guard lock(*L->life);
      TsrCustomComm* com = *L->self;
      if (!com) break;
      useMain = com->UseMainThread();
    }
    TMainThread* main = TMainThread::Current();
    if (useMain && main) {
      main->Synchronize([L, mask] {
        if (L->msgTerminated) return;
        if (TsrCustomComm* com = *L->self) com->ProcessCommEvent(MsgComEvent(), mask);
      });
    } else {
      std::lock_guard lock(*L->life);
      if (TsrCustomComm* com = *L->self; com && !L->msgTerminated) {
        try {
          com->ProcessCommEvent(MsgComEvent(), mask);
        } catch (...) {
          com->FatalOnThread(std::current_exception());
        }
      }
    }
  }
}

void TsrCustomComm::StartThreads() {
  auto L = std::make_shared<TCommLink>();
  L->api = api_;
  L->hDevice = hPort;
  L->life = lifeMutex_;
  L->self = self_;
  {
    std::lock_guard lock(linkMutex_);
    link_ = L;
  }
  std::thread(&TCommLink::MessageThread, L).detach();
  std::thread(&TCommLink::EventThread, L).detach();
  api_->Sleep(25);
}

void TsrCustomComm::StopThreads() {
  std::shared_ptr<TCommLink> L;
  {
    std::lock_guard lock(linkMutex_);
    L.swap(link_);
  }
  if (!L) return;
  L->evTerminated = true;
  if (THandle ev = L->evEvent) L->api->PulseEvent(ev);
  L->msgTerminated = true;
  L->portOpen = false;
  if (std::uint32_t id = L->msgThreadId) PostThreadMessage(id, MsgQuitComEvent(), 0);
  api_->Sleep(25);
}
