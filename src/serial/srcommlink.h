// The two threads of an open port and what they share with the component.
#pragma once

#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

#include "platform/serial_api.h"

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

  static void EventThread(std::shared_ptr<TCommLink> L);
  static void MessageThread(std::shared_ptr<TCommLink> L);
};
