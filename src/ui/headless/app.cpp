#include <chrono>

#include "headless.h"

namespace headless {

std::uint64_t TSteadyClock::NowMs() const {
  using namespace std::chrono;
  return duration_cast<milliseconds>(steady_clock::now().time_since_epoch()).count();
}

TApp::TApp(TClock& clock)
    : clock_(clock),
      manual_(dynamic_cast<TManualClock*>(&clock) != nullptr),
      main_id_(std::this_thread::get_id()) {
  if (!TMainThread::Current()) TMainThread::Install(this);
}

TApp::~TApp() {
  {
    std::lock_guard lk(mutex_);
    terminated_ = ended_ = true;
  }
  cv_.notify_all();
  if (TMainThread::Current() == this) TMainThread::Install(nullptr);
}

void TApp::Run() {
  while (!Terminated())
    if (!DispatchPending()) WaitForWork();
}

void TApp::ProcessMessages() {
  while (DispatchPending()) {
  }
}

void TApp::Terminate() {
  {
    std::lock_guard lk(mutex_);
    terminated_ = ended_ = true;
  }
  cv_.notify_all();
}

bool TApp::Terminated() const {
  std::lock_guard lk(mutex_);
  return terminated_;
}

void TApp::Post(std::function<void()> fn) {
  {
    std::lock_guard lk(mutex_);
    posted_.push_back(std::move(fn));
  }
  cv_.notify_all();
}

bool TApp::Synchronize(std::function<void()> fn) {
  if (IsMainThread()) {
    Guard(fn);
    return true;
  }
  return SynchronizeThroughPost(
      mutex_, cv_, ended_, [this](std::function<void()> f) { Post(std::move(f)); },
      [this](const std::function<void()>& f) { Guard(f); }, std::move(fn));
}

bool TApp::RunPosted() {
  std::deque<std::function<void()>> batch;
  {
    std::lock_guard lk(mutex_);
    batch.swap(posted_);
  }
  for (auto& fn : batch) Guard(fn);
  return !batch.empty();
}

TTimer* TApp::NextTimer() const {
  TTimer* next = nullptr;
  for (TTimer* t : timers_)
    if (!next || t->Due() < next->Due()) next = t;
  return next;
}

bool TApp::FireDueTimers() {
  TTimer* t = NextTimer();
  if (!t || t->Due() > clock_.NowMs()) return false;
  t->Fire();
  return true;
}

bool TApp::DispatchPending() {
  const bool posted = RunPosted();
  const bool fired = FireDueTimers();
  return posted || fired;
}

void TApp::WaitForWork() {
  std::unique_lock lk(mutex_);
  const auto ready = [this] { return !posted_.empty() || terminated_; };
  TTimer* next = manual_ ? nullptr : NextTimer();
  if (!next) {
    cv_.wait(lk, ready);
    return;
  }
  const std::uint64_t now = clock_.NowMs();
  if (next->Due() <= now) return;
  cv_.wait_for(lk, std::chrono::milliseconds(next->Due() - now), ready);
}

void TApp::Advance(std::uint64_t ms) {
  auto& manual = dynamic_cast<TManualClock&>(clock_);
  const std::uint64_t target = manual.NowMs() + ms;
  for (;;) {
    RunPosted();
    TTimer* t = NextTimer();
    if (!t || t->Due() > target) break;
    if (t->Due() > manual.NowMs()) manual.Set(t->Due());
    t->Fire();
  }
  manual.Set(target);
  RunPosted();
}

void TApp::ShowErrorBox(const std::string& text) {
  errors_.push_back(text);
  if (OnError) OnError(title_, text);
}

TTimer::TTimer(TApp& app, const TTimerSpec& design)
    : ::TTimer(design.Enabled, design.Interval), app_(app), name_(design.Name) {
  Arm();
}

TTimer::~TTimer() {
  app_.Unschedule(this);
}

void TTimer::StartClock(unsigned ms) {
  running_ = true;
  period_ = ms;
  due_ = app_.Clock().NowMs() + ms;
  app_.Schedule(this);
}

void TTimer::StopClock() {
  running_ = false;
  app_.Unschedule(this);
}

void TTimer::Fire() {
  due_ = app_.Clock().NowMs() + period_;
  app_.Guard([this] { Tick(); });
}

}  // namespace headless
