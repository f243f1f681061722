#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "base/exceptions.h"
#include "sim_line.h"

namespace {

int g_stop_pipe[2] = {-1, -1};

void OnStopSignal(int) {
  const int saved = errno;
  const char b = 1;
  [[maybe_unused]] const ssize_t n = write(g_stop_pipe[1], &b, 1);
  errno = saved;
}

[[noreturn]] void Fail(const char* what) {
  throw EOSError(std::string(what) + ": " + std::strerror(errno), static_cast<unsigned>(errno));
}

void InstallStopHandlers() {
  if (g_stop_pipe[0] >= 0) return;
  if (pipe2(g_stop_pipe, O_CLOEXEC | O_NONBLOCK) != 0) Fail("pipe2");
  struct sigaction sa {};
  sa.sa_handler = OnStopSignal;
  sigemptyset(&sa.sa_mask);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
}

bool StopRequested() {
  pollfd p{g_stop_pipe[0], POLLIN, 0};
  return poll(&p, 1, 0) > 0;
}

class TPtyLine : public TSimLine {
 public:
  TPtyLine() {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) Fail("openpty");
    device_ = name;
    fcntl(master_, F_SETFD, FD_CLOEXEC);
    fcntl(slave_, F_SETFD, FD_CLOEXEC);
    fcntl(master_, F_SETFL, fcntl(master_, F_GETFL) | O_NONBLOCK);
    // Raw from the start: an echoing line would hand our own frames back to us.
    termios t{};
    if (tcgetattr(slave_, &t) == 0) {
      cfmakeraw(&t);
      tcsetattr(slave_, TCSANOW, &t);
    }
  }
  ~TPtyLine() override { HangUp(); }

  std::string DevicePath() const override { return device_; }

  TWait Read(std::string& out, std::optional<std::chrono::milliseconds> timeout) override {
    for (;;) {
      pollfd p[2] = {{g_stop_pipe[0], POLLIN, 0}, {master_, POLLIN, 0}};
      const int ready =
          poll(p, master_ >= 0 ? 2 : 1, timeout ? static_cast<int>(timeout->count()) : -1);
      if (ready < 0) {
        if (errno == EINTR) continue;
        Fail("poll");
      }
      if (ready == 0) return TWait::Timeout;
      if (p[0].revents) return TWait::Stop;
      if (p[1].revents & POLLIN) {
        char buf[4096];
        const ssize_t n = read(master_, buf, sizeof buf);
        if (n > 0) {
          out.append(buf, static_cast<size_t>(n));
          return TWait::Data;
        }
        if (n < 0 && (errno == EAGAIN || errno == EINTR)) continue;
        return TWait::Closed;
      }
      if (p[1].revents & (POLLERR | POLLNVAL)) return TWait::Closed;
      // POLLHUP alone cannot happen while we hold the slave open; treat it as closed.
      if (p[1].revents & POLLHUP) return TWait::Closed;
    }
  }

  unsigned BaudRate() const override {
    termios t{};
    // On the master this reads the settings the reader made on the slave side.
    if (master_ < 0 || tcgetattr(master_, &t) != 0) return 0;
    switch (cfgetispeed(&t)) {
      case B1200:
        return 1200;
      case B2400:
        return 2400;
      case B4800:
        return 4800;
      case B9600:
        return 9600;
      case B19200:
        return 19200;
      case B38400:
        return 38400;
      case B57600:
        return 57600;
      case B115200:
        return 115200;
      case B230400:
        return 230400;
      default:
        return 0;
    }
  }

  bool Write(const std::string& bytes, std::chrono::microseconds per_byte) override {
    const size_t step = per_byte.count() > 0 ? 1 : bytes.size();
    for (size_t pos = 0; pos < bytes.size();) {
      pollfd p[2] = {{g_stop_pipe[0], POLLIN, 0}, {master_, POLLOUT, 0}};
      if (poll(p, 2, -1) < 0) {
        if (errno == EINTR) continue;
        Fail("poll");
      }
      if (p[0].revents) return false;
      if (p[1].revents & (POLLERR | POLLNVAL)) return true;  // the line is gone
      const ssize_t n = write(master_, bytes.data() + pos, std::min(step, bytes.size() - pos));
      if (n < 0) {
        if (errno == EAGAIN || errno == EINTR) continue;
        return true;
      }
      pos += static_cast<size_t>(n);
      if (per_byte.count() > 0) {
        const timespec delay{static_cast<time_t>(per_byte.count() / 1000000),
                             static_cast<long>(per_byte.count() % 1000000) * 1000};
        pollfd stop{g_stop_pipe[0], POLLIN, 0};
        if (ppoll(&stop, 1, &delay, nullptr) > 0) return false;
      }
    }
    return !StopRequested();
  }

  void HangUp() override {
    if (slave_ >= 0) close(slave_);
    if (master_ >= 0) close(master_);
    slave_ = master_ = -1;
  }

 private:
  int master_ = -1, slave_ = -1;
  std::string device_;
};

}  // namespace

std::unique_ptr<TSimLine> OpenSimLine() {
  InstallStopHandlers();
  return std::make_unique<TPtyLine>();
}
