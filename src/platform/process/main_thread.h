// Runs work on the application's main thread, the thread of its message loop. The application
// installs one dispatcher at start (the window toolkit's binding); background threads use it to
// hand events over. Post and Synchronize are thread-safe; Install is not.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>

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

// Synchronize for a dispatcher that runs posted work in order: posts fn, run through guard, and
// waits until it has run. Returns false, and fn never runs, when ended turns true before fn
// started. ended is read under mutex; the dispatcher notifies cv whenever it sets it. post is
// called without mutex held.
bool SynchronizeThroughPost(std::mutex& mutex, std::condition_variable& cv, const bool& ended,
                            const std::function<void(std::function<void()>)>& post,
                            const std::function<void(const std::function<void()>&)>& guard,
                            std::function<void()> fn);
