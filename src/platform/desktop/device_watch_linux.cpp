// inotify on both folders; an eventfd wakes the thread to stop.
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <string>
#include <thread>

#include "base/exceptions.h"
#include "platform/desktop/device_watch.h"
#include "platform/desktop/virtual_ports.h"

namespace {
constexpr uint32_t kMask = IN_CREATE | IN_DELETE | IN_MOVED_FROM | IN_MOVED_TO | IN_ATTRIB;
}

struct TDeviceWatch::TImpl {
  TCallback on_change;
  int inotify = -1, wake = -1, dev_wd = -1;
  std::thread thread;

  ~TImpl() {
    if (inotify >= 0) close(inotify);
    if (wake >= 0) close(wake);
  }

  // Whether the events in the buffer concern a serial device.
  bool Relevant(const char* buf, ssize_t len) const {
    for (ssize_t at = 0; at < len;) {
      const auto* ev = reinterpret_cast<const inotify_event*>(buf + at);
      at += sizeof(inotify_event) + ev->len;
      if (ev->mask & IN_Q_OVERFLOW) return true;
      if (ev->wd != dev_wd) return true;
      if (ev->len > 0 && std::strncmp(ev->name, "tty", 3) == 0) return true;
    }
    return false;
  }

  void Loop() {
    alignas(inotify_event) char buf[8192];
    pollfd fds[2] = {{inotify, POLLIN, 0}, {wake, POLLIN, 0}};
    for (;;) {
      if (poll(fds, 2, -1) < 0) {
        if (errno == EINTR) continue;
        return;
      }
      if (fds[1].revents) return;
      const ssize_t len = read(inotify, buf, sizeof buf);
      if (len < 0) {
        if (errno == EINTR || errno == EAGAIN) continue;
        return;
      }
      if (Relevant(buf, len) && on_change) on_change();
    }
  }
};

TDeviceWatch::TDeviceWatch(TCallback on_change, const std::filesystem::path& dev_folder,
                           const std::filesystem::path& ports_folder)
    : impl_(std::make_unique<TImpl>()) {
  impl_->on_change = std::move(on_change);
  CreateVirtualPortsFolder(ports_folder);
  impl_->inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  impl_->wake = eventfd(0, EFD_CLOEXEC | EFD_NONBLOCK);
  if (impl_->inotify < 0 || impl_->wake < 0)
    throw EOSError(std::string("Cannot watch devices: ") + std::strerror(errno), errno);
  impl_->dev_wd = inotify_add_watch(impl_->inotify, dev_folder.c_str(), kMask);
  const int ports_wd = inotify_add_watch(impl_->inotify, ports_folder.c_str(), kMask);
  if (impl_->dev_wd < 0 && ports_wd < 0)
    throw EOSError(std::string("Cannot watch devices: ") + std::strerror(errno), errno);
  impl_->thread = std::thread([impl = impl_.get()] { impl->Loop(); });
}

TDeviceWatch::~TDeviceWatch() {
  const uint64_t one = 1;
  [[maybe_unused]] const ssize_t written = write(impl_->wake, &one, sizeof one);  // cannot fail
  impl_->thread.join();
}
