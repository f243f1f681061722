#include "main_thread.h"

#include <atomic>

namespace {
std::atomic<TMainThread*> g_current{nullptr};
}

TMainThread* TMainThread::Current() {
  return g_current.load(std::memory_order_acquire);
}
void TMainThread::Install(TMainThread* dispatcher) {
  g_current.store(dispatcher, std::memory_order_release);
}
