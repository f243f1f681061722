// Runs work on the application's main thread, the thread of its message loop. The application
// installs one dispatcher at start (the window toolkit's binding); background threads use it to
// hand events over. Post and Synchronize are thread-safe; Install is not.
#pragma once

#include <functional>

class TMainThread {
 public:
  virtual ~TMainThread() = default;
  virtual bool IsMainThread() const = 0;
  // Queues fn to run on the main thread; returns at once.
  virtual void Post(std::function<void()> fn) = 0;
  // Runs fn on the main thread and waits until it has run. Returns false without running it when
  // the loop has ended or ends while waiting, so a waiting thread is never stranded.
  virtual bool Synchronize(std::function<void()> fn) = 0;

  // The installed dispatcher, or nullptr while there is no application loop.
  static TMainThread* Current();
  static void Install(TMainThread* dispatcher);
};
