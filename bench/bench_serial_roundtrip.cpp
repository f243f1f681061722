// One byte over a pseudo-terminal through the whole receive path and back: the far side writes,
// the event thread sees it, the message thread hands it to the main thread, the handler answers
// with SendChar, the far side reads the answer. Prints p50 and p99 of 10,000 round trips.
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <deque>
#include <mutex>
#include <thread>
#include <vector>

#include "platform/process/main_thread.h"
#include "serial/srcomm.h"

namespace {

// The main thread's loop: runs handed-over work until told to stop.
class TBenchLoop : public TMainThread {
 public:
  TBenchLoop() : main_(std::this_thread::get_id()) {}
  bool IsMainThread() const override { return std::this_thread::get_id() == main_; }
  void Post(std::function<void()> fn) override {
    std::lock_guard lock(m_);
    q_.push_back(std::move(fn));
    cv_.notify_all();
  }
  bool Synchronize(std::function<void()> fn) override {
    if (IsMainThread()) {
      fn();
      return true;
    }
    bool ran = false;
    std::unique_lock lock(m_);
    if (stopped_) return false;
    q_.push_back([&] {
      fn();
      std::lock_guard l(m_);
      ran = true;
      cv_.notify_all();
    });
    cv_.notify_all();
    cv_.wait(lock, [&] { return ran || stopped_; });
    return ran;
  }
  void Run() {
    for (;;) {
      std::function<void()> fn;
      {
        std::unique_lock lock(m_);
        cv_.wait(lock, [&] { return !q_.empty() || stopped_; });
        if (stopped_) return;
        fn = std::move(q_.front());
        q_.pop_front();
      }
      fn();
    }
  }
  void Stop() {
    std::lock_guard lock(m_);
    stopped_ = true;
    cv_.notify_all();
  }

 private:
  std::thread::id main_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> q_;
  bool stopped_ = false;
};

}  // namespace

int main() {
  constexpr int kTrips = 10000;
  int master = -1, slave = -1;
  char name[256] = {};
  if (openpty(&master, &slave, name, nullptr, nullptr) != 0) {
    std::perror("openpty");
    return 1;
  }
  termios t{};
  tcgetattr(master, &t);
  cfmakeraw(&t);
  tcsetattr(master, TCSANOW, &t);

  TBenchLoop loop;
  TMainThread::Install(&loop);
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = 60;
  d->PortName = name;
  com.DeviceAdd(std::move(d));
  com.SetComPortNo(60);
  com.SetStreamProtocol(spNone);
  com.OnAfterReceive = [&](TObject*, const std::uint8_t* b, std::uint32_t n) {
    for (std::uint32_t i = 0; i < n; ++i) com.SendChar(b[i]);
  };
  com.SetActive(true);
  if (!com.Active()) {
    std::fprintf(stderr, "open failed: %s\n", com.LastError().c_str());
    return 1;
  }

  std::vector<double> us;
  us.reserve(kTrips);
  int lost = 0;
  std::thread far([&] {
    using clock = std::chrono::steady_clock;
    for (int i = 0; i < kTrips; ++i) {
      const char out = static_cast<char>(i);
      auto t0 = clock::now();
      if (::write(master, &out, 1) != 1) break;
      char in = 0;
      pollfd p{master, POLLIN, 0};
      if (poll(&p, 1, 1000) <= 0 || ::read(master, &in, 1) != 1 || in != out) {
        if (lost++ < 5)
          std::fprintf(stderr, "trip %d: sent %02x got %02x\n", i, out & 0xFF, in & 0xFF);
        continue;
      }
      us.push_back(std::chrono::duration<double, std::micro>(clock::now() - t0).count());
    }
    loop.Stop();
  });
  loop.Run();
  far.join();
  TMainThread::Install(nullptr);
  com.SetActive(false);

  std::sort(us.begin(), us.end());
  auto pct = [&](double p) {
    return us.empty() ? 0.0 : us[std::min(us.size() - 1, static_cast<std::size_t>(p * us.size()))];
  };
  std::printf("serial round trip over a pty, %zu of %d trips (%d lost)\n", us.size(), kTrips, lost);
  std::printf("p50 %.1f us  p99 %.1f us  max %.1f us\n", pct(0.50), pct(0.99),
              us.empty() ? 0.0 : us.back());
  ::close(master);
  ::close(slave);
  return lost == 0 ? 0 : 1;
}
