#include "serial/srtimer.h"

#include <chrono>
#include <condition_variable>
#include <mutex>

#include "platform/process/main_thread.h"

// Shared by the ticking thread and the ticks it posted; `owner` is cleared (on the owner's
// thread) when the timer stops, so a late tick finds nobody.
struct TsrTimer::TTicker {
  std::mutex m;
  std::condition_variable cv;
  bool stop = false;
  TsrTimer* owner = nullptr;
};

TsrTimer::~TsrTimer() {
  FEnabled = false;
  Kill();
}

void TsrTimer::SetEnabled(bool v) {
  if (v == FEnabled) return;
  FEnabled = v;
  RestartTimer();
}
void TsrTimer::SetInterval(std::uint32_t v) {
  if (v == FInterval) return;
  FInterval = v;
  RestartTimer();
}
void TsrTimer::SetOnTimer(TNotifyEvent e) {
  FOnTimer = std::move(e);
  RestartTimer();
}

void TsrTimer::DoTimer() {
  if (FEnabled && FOnTimer) FOnTimer(this);
}

void TsrTimer::Kill() {
  if (!ticker_) return;
  {
    std::lock_guard lock(ticker_->m);
    ticker_->stop = true;
    ticker_->owner = nullptr;
  }
  ticker_->cv.notify_all();
  if (thread_.joinable()) thread_.join();
  ticker_.reset();
}

void TsrTimer::RestartTimer() {
  Kill();
  if (FInterval == 0 || !FEnabled || !FOnTimer) return;
  ticker_ = std::make_shared<TTicker>();
  ticker_->owner = this;
  thread_ = std::thread([t = ticker_, ms = FInterval] {
    std::unique_lock lock(t->m);
    auto next = std::chrono::steady_clock::now();
    for (;;) {
      next += std::chrono::milliseconds(ms);
      if (t->cv.wait_until(lock, next, [&] { return t->stop; })) return;
      TMainThread* main = TMainThread::Current();
      if (!main) continue;
      main->Post([t] {
        TsrTimer* owner = nullptr;
        {
          std::lock_guard l(t->m);
          owner = t->owner;
        }
        if (!owner) return;
        try {
          owner->DoTimer();
        } catch (...) {
        }
      });
    }
  });
}
