// Helpers of the serial tests: a main-thread dispatcher the test pumps, a log that keeps its
// lines, an in-memory registry and a pseudo-terminal pair.
#pragma once

#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/process/main_thread.h"
#include "platform/settings/registry.h"
#include "serial/srclasses.h"

// The state lives apart so that a thread still leaving Synchronize never outlives it.
class TTestLoop : public TMainThread {
 public:
  TTestLoop() : main_(std::this_thread::get_id()) { TMainThread::Install(this); }
  ~TTestLoop() override {
    Stop();
    TMainThread::Install(nullptr);
  }
  bool IsMainThread() const override { return std::this_thread::get_id() == main_; }
  void Post(std::function<void()> fn) override {
    std::lock_guard lock(s_->m);
    if (!s_->stopped) s_->q.push_back(std::move(fn));
    s_->cv.notify_all();
  }
  bool Synchronize(std::function<void()> fn) override {
    if (IsMainThread()) {
      fn();
      return true;
    }
    auto s = s_;
    auto ran = std::make_shared<bool>(false);
    std::unique_lock lock(s->m);
    if (s->stopped) return false;
    s->q.push_back([fn = std::move(fn), ran, s] {
      fn();
      std::lock_guard l(s->m);
      *ran = true;
      s->cv.notify_all();
    });
    s->cv.notify_all();
    s->cv.wait(lock, [&] { return *ran || s->stopped; });
    return *ran;
  }
  // Runs queued work until pred is true or ms have passed; returns pred(). pred is looked at
  // every few milliseconds too, since other threads may make it true without posting.
  bool PumpUntil(const std::function<bool()>& pred, int ms = 2000) {
    using clock = std::chrono::steady_clock;
    const auto end = clock::now() + std::chrono::milliseconds(ms);
    for (;;) {
      if (pred()) return true;
      std::function<void()> fn;
      {
        std::unique_lock lock(s_->m);
        const auto now = clock::now();
        if (now >= end) return pred();
        const auto slice = std::min<clock::time_point>(end, now + std::chrono::milliseconds(5));
        if (!s_->cv.wait_until(lock, slice, [&] { return !s_->q.empty(); })) continue;
        fn = std::move(s_->q.front());
        s_->q.pop_front();
      }
      fn();
    }
  }
  void Pump(int ms) {
    PumpUntil([] { return false; }, ms);
  }
  void Stop() {
    std::deque<std::function<void()>> dropped;
    std::lock_guard lock(s_->m);
    s_->stopped = true;
    dropped.swap(s_->q);
    s_->cv.notify_all();
  }

 private:
  struct TState {
    std::mutex m;
    std::condition_variable cv;
    std::deque<std::function<void()>> q;
    bool stopped = false;
  };
  std::thread::id main_;
  std::shared_ptr<TState> s_ = std::make_shared<TState>();
};

class TTestLog : public TsrCustomLogFile {
 public:
  std::vector<std::string> lines;
  void Save() override {}
  void Clear() override { lines.clear(); }
  void Add(const std::string& s) override { lines.push_back(s); }
  void AddSysInfo() override { lines.push_back("<sysinfo>"); }
  void AddLog(TDetailLevel, const std::string& s) override { lines.push_back(s); }
  void AddFmt(const char* format, va_list args) override { lines.push_back(FormatV(format, args)); }
  void AddLogFmt(TDetailLevel, const char* format, va_list args) override {
    lines.push_back(FormatV(format, args));
  }
};

// Keeps binary values only, which is all the port configuration uses.
class TMemoryRegistry : public TRegistry {
 public:
  std::map<std::string, std::vector<std::uint8_t>> values;
  void SetRootKey(TRootKey) override {}
  bool OpenKey(const std::string& key, bool) override {
    key_ = key;
    return true;
  }
  bool OpenKeyReadOnly(const std::string& key) override { return OpenKey(key, false); }
  bool CreateKey(const std::string&) override { return true; }
  bool KeyExists(const std::string&) override { return true; }
  void CloseKey() override {}
  bool ValueExists(const std::string& name) override { return values.count(key_ + "|" + name); }
  TRegDataType GetDataType(const std::string& name) override {
    return ValueExists(name) ? TRegDataType::rdBinary : TRegDataType::rdUnknown;
  }
  int GetDataSize(const std::string& name) override {
    auto it = values.find(key_ + "|" + name);
    return it == values.end() ? -1 : static_cast<int>(it->second.size());
  }
  std::int32_t ReadInteger(const std::string& name) override {
    throw ERegistryException("not an integer: " + name);
  }
  std::string ReadString(const std::string& name) override {
    throw ERegistryException("not a string: " + name);
  }
  std::vector<std::uint8_t> ReadBinaryData(const std::string& name) override {
    auto it = values.find(key_ + "|" + name);
    if (it == values.end()) throw ERegistryException("missing: " + name);
    return it->second;
  }
  void WriteInteger(const std::string& name, std::int32_t) override {
    throw ERegistryException("integers not kept: " + name);
  }
  void WriteString(const std::string& name, const std::string&) override {
    throw ERegistryException("strings not kept: " + name);
  }
  void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& d) override {
    values[key_ + "|" + name] = d;
  }

 private:
  std::string key_;
};

struct TPty {
  int master = -1, slave = -1;
  std::string path;
  TPty() {
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) {
      path = name;
      termios t{};
      tcgetattr(master, &t);
      cfmakeraw(&t);
      tcsetattr(master, TCSANOW, &t);
    }
  }
  ~TPty() {
    CloseMaster();
    if (slave >= 0) ::close(slave);
  }
  void CloseMaster() {
    if (master >= 0) ::close(master);
    master = -1;
  }
};
