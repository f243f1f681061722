#include "platform/process/thread_messages.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct TQueue {
  std::mutex m;
  std::condition_variable cv;
  std::deque<TThreadMsg> items;
};

// Never destroyed: threads that end while the program exits still remove their queues here.
struct TGlobal {
  std::mutex mutex;
  std::map<std::string, std::uint32_t> names;
  std::map<std::uint32_t, std::shared_ptr<TQueue>> queues;
  std::atomic<std::uint32_t> nextThreadId{1};
};
TGlobal& G() {
  static TGlobal* g = new TGlobal;
  return *g;
}

std::string Folded(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

// Removes the thread's queue when the thread ends.
struct TQueueOwner {
  std::uint32_t id = 0;
  std::shared_ptr<TQueue> queue;
  ~TQueueOwner() {
    if (!queue) return;
    std::lock_guard lock(G().mutex);
    G().queues.erase(id);
  }
};
thread_local TQueueOwner t_owner;
thread_local std::uint32_t t_id = 0;

TQueue& OwnQueue() {
  if (!t_owner.queue) {
    t_owner.id = CurrentThreadId();
    t_owner.queue = std::make_shared<TQueue>();
    std::lock_guard lock(G().mutex);
    G().queues[t_owner.id] = t_owner.queue;
  }
  return *t_owner.queue;
}

}  // namespace

std::uint32_t RegisterWindowMessage(const std::string& name) {
  if (name.empty()) return 0;
  std::lock_guard lock(G().mutex);
  auto [it, added] = G().names.emplace(Folded(name), 0);
  if (added) {
    if (G().names.size() > 0x4000) {
      G().names.erase(it);
      return 0;
    }
    it->second = 0xC000u + static_cast<std::uint32_t>(G().names.size() - 1);
  }
  return it->second;
}

std::uint32_t CurrentThreadId() {
  if (t_id == 0) t_id = G().nextThreadId++;
  return t_id;
}

void EnsureMessageQueue() {
  OwnQueue();
}

bool PostThreadMessage(std::uint32_t threadId, std::uint32_t message, std::uintptr_t wParam,
                       std::intptr_t lParam) {
  std::shared_ptr<TQueue> q;
  {
    std::lock_guard lock(G().mutex);
    auto it = G().queues.find(threadId);
    if (it == G().queues.end()) return false;
    q = it->second;
  }
  {
    std::lock_guard lock(q->m);
    q->items.push_back({message, wParam, lParam});
  }
  q->cv.notify_one();
  return true;
}

int GetThreadMessage(TThreadMsg& msg, std::uint32_t min, std::uint32_t max) {
  TQueue& q = OwnQueue();
  std::unique_lock lock(q.m);
  for (;;) {
    auto it = std::find_if(q.items.begin(), q.items.end(), [&](const TThreadMsg& m) {
      return m.message == WM_QUIT || (min == 0 && max == 0) ||
             (m.message >= min && m.message <= max);
    });
    if (it != q.items.end()) {
      msg = *it;
      q.items.erase(it);
      return msg.message == WM_QUIT ? 0 : 1;
    }
    q.cv.wait(lock);
  }
}
