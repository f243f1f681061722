#include "serial/srcommlink.h"

#include <thread>

#include "platform/process/main_thread.h"
#include "platform/process/thread_messages.h"
#include "serial/srcomm.h"

namespace {
thread_local bool t_portThread = false;
}  // namespace

bool OnPortThread() {
  return t_portThread;
}

std::uint32_t MsgComEvent() {
  static const std::uint32_t m = RegisterWindowMessage("srCommMsgComEvent");
  return m;
}
std::uint32_t MsgQuitComEvent() {
  static const std::uint32_t m = RegisterWindowMessage("srCommMsgQuitComEvent");
  return m;
}

void TCommLink::EventThread(std::shared_ptr<TCommLink> L) {
  t_portThread = true;
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

void TCommLink::WakeHandOver() {
  { std::lock_guard lock(handOver); }
  handled.notify_all();
}

void TCommLink::MessageThread(std::shared_ptr<TCommLink> L) {
  t_portThread = true;
  EnsureMessageQueue();
  std::uint64_t ticket = 0;
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
      // Posted, not synchronized: a dispatcher that ends or goes away never holds this thread.
      main->Post([L, mask, t = ++ticket] {
        struct TDone {
          TCommLink& link;
          std::uint64_t ticket;
          ~TDone() {
            {
              std::lock_guard lock(link.handOver);
              link.lastHandled = ticket;
            }
            link.handled.notify_all();
          }
        } done{*L, t};
        if (L->msgTerminated) return;
        if (TsrCustomComm* com = *L->self) com->ProcessCommEvent(MsgComEvent(), mask);
      });
      std::unique_lock lock(L->handOver);
      L->handled.wait(lock, [&] { return L->lastHandled >= ticket || L->msgTerminated; });
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
  std::thread message(&TCommLink::MessageThread, L);
  {
    std::lock_guard lock(linkMutex_);
    if (messageThread_.joinable()) stoppedThreads_.push_back(std::move(messageThread_));
    messageThread_ = std::move(message);
  }
  // It touches only what the link keeps alive and the process-wide thread queues.
  std::thread(&TCommLink::EventThread, L).detach();
  api_->Sleep(25);
}

void TsrCustomComm::StopThreads() {
  std::shared_ptr<TCommLink> L;
  {
    std::lock_guard lock(linkMutex_);
    L.swap(link_);
    if (messageThread_.joinable()) stoppedThreads_.push_back(std::move(messageThread_));
  }
  if (!L) return;
  L->evTerminated = true;
  if (THandle ev = L->evEvent) L->api->PulseEvent(ev);
  L->msgTerminated = true;
  L->portOpen = false;
  L->WakeHandOver();
  if (std::uint32_t id = L->msgThreadId) PostThreadMessage(id, MsgQuitComEvent(), 0);
  api_->Sleep(25);
}

void TsrCustomComm::JoinStoppedThreads(bool orLetGo) {
  std::vector<std::thread> stopped;
  {
    std::lock_guard lock(linkMutex_);
    stopped.swap(stoppedThreads_);
  }
  const bool mayWait = !OnPortThread() && !InPortOpenOrClose();
  for (std::thread& t : stopped) {
    if (mayWait) {
      t.join();
    } else if (orLetGo) {
      t.detach();
    } else {
      std::lock_guard lock(linkMutex_);
      stoppedThreads_.push_back(std::move(t));
    }
  }
}
