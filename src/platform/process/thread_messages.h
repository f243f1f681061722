// Thread message queues: numbers registered by name (the same in every thread, 0xC000..0xFFFF)
// posted to a thread that has a queue. A thread gets its queue with its first GetThreadMessage
// or EnsureMessageQueue and loses it when it ends. All calls are thread-safe.
#pragma once

#include <cstdint>
#include <string>

constexpr std::uint32_t WM_QUIT = 0x0012;

struct TThreadMsg {
  std::uint32_t message = 0;
  std::uintptr_t wParam = 0;
  std::intptr_t lParam = 0;
};

std::uint32_t RegisterWindowMessage(const std::string& name);
std::uint32_t CurrentThreadId();
void EnsureMessageQueue();
// False when the thread has no queue.
bool PostThreadMessage(std::uint32_t threadId, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam = 0);
// Waits for the next message with a number in [min, max] (0, 0: any); 0 for WM_QUIT.
int GetThreadMessage(TThreadMsg& msg, std::uint32_t min = 0, std::uint32_t max = 0);
