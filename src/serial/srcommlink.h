// The two threads of an open port and what they share with the component.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/serial/serial_api.h"

class TsrCustomComm;

// The registered thread messages: an event mask for the message thread, and its quit.
std::uint32_t MsgComEvent();
std::uint32_t MsgQuitComEvent();

// What the two threads of one open port share with the component. The threads reach the
// component only through `self`, under `life`, and only while it still exists.
struct TCommLink {
  std::shared_ptr<TSerialApi> api;
  THandle hDevice = INVALID_HANDLE_VALUE;
  std::shared_ptr<std::recursive_mutex> life;
  std::shared_ptr<TsrCustomComm*> self;
  std::atomic<bool> evTerminated{false}, msgTerminated{false}, portOpen{true};
  std::atomic<THandle> evEvent{0};
  std::atomic<std::uint32_t> msgThreadId{0};
  // An event mask handed to the main thread: the message thread waits until it was handled or
  // the port stopped, never on the dispatcher itself, so the owner can always join it.
  std::mutex handOver;
  std::condition_variable handled;
  std::uint64_t lastHandled = 0;

  static void EventThread(std::shared_ptr<TCommLink> L);
  static void MessageThread(std::shared_ptr<TCommLink> L);
  // Wakes a message thread that waits for the main thread; msgTerminated is set before.
  void WakeHandOver();
};

// True on the event or message thread of any port: such a thread never waits for another.
bool OnPortThread();
// True while this thread opens or closes a port: a stopped thread may be waiting for that lock.
bool InPortOpenOrClose();
