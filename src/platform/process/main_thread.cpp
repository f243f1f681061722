#include "platform/process/main_thread.h"

#include <atomic>
#include <memory>

namespace {
std::atomic<TMainThread*> g_current{nullptr};
}

TMainThread* TMainThread::Current() {
  return g_current.load(std::memory_order_acquire);
}
void TMainThread::Install(TMainThread* dispatcher) {
  g_current.store(dispatcher, std::memory_order_release);
}

bool SynchronizeThroughPost(std::mutex& mutex, std::condition_variable& cv, const bool& ended,
                            const std::function<void(std::function<void()>)>& post,
                            const std::function<void(const std::function<void()>&)>& guard,
                            std::function<void()> fn) {
  struct TState {
    bool running = false, done = false, abandoned = false;
  };
  auto state = std::make_shared<TState>();
  {
    std::lock_guard lk(mutex);
    if (ended) return false;
  }
  post([&mutex, &cv, guard, state, fn = std::move(fn)] {
    {
      std::lock_guard inner(mutex);
      if (state->abandoned) return;
      state->running = true;
    }
    guard(fn);
    {
      std::lock_guard inner(mutex);
      state->done = true;
    }
    cv.notify_all();
  });
  std::unique_lock lk(mutex);
  cv.wait(lk, [&] { return state->done || (ended && !state->running); });
  if (state->done) return true;
  state->abandoned = true;
  return false;
}
