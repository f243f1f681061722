// The claim is an flock on a file in the user's runtime folder, which the system lets go of
// when the holder ends however it ends; beside it the holder listens on a local socket, where a
// later start asks "raise" and hears "raised" once the window came to the front. The folder may
// lie in the shared temporary folder: it is used only when it is the user's alone, and the lock
// is opened there without following a link.
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <thread>

#include "platform/desktop/desktop_instance.h"
#include "platform/desktop/virtual_ports.h"
#include "platform/files/private_folder_posix.h"

namespace fs = std::filesystem;

namespace {

constexpr char kAsk[] = "raise\n";
constexpr char kAnswer[] = "raised\n";
constexpr auto kConnectFor = std::chrono::seconds(5);  // the holder may still be starting
constexpr int kAnswerWithinMs = 10000;                 // the holder's window may be busy

class TDescriptor {
 public:
  explicit TDescriptor(int fd = -1) : fd_(fd) {}
  ~TDescriptor() {
    if (fd_ >= 0) close(fd_);
  }
  TDescriptor(const TDescriptor&) = delete;
  TDescriptor& operator=(const TDescriptor&) = delete;
  int get() const { return fd_; }

 private:
  int fd_;
};

bool Address(const fs::path& socket, sockaddr_un& address) {
  std::memset(&address, 0, sizeof(address));
  address.sun_family = AF_UNIX;
  const std::string path = socket.string();
  if (path.size() >= sizeof(address.sun_path)) return false;
  std::memcpy(address.sun_path, path.c_str(), path.size() + 1);
  return true;
}

// Waits for fd to become readable; false on timeout or stop.
bool Readable(int fd, int timeout_ms) {
  pollfd p{fd, POLLIN, 0};
  for (;;) {
    const int n = poll(&p, 1, timeout_ms);
    if (n < 0 && errno == EINTR) continue;
    return n > 0 && (p.revents & POLLIN);
  }
}

bool ReadLine(int fd, const char* expected, int timeout_ms) {
  char buffer[16] = {};
  std::size_t got = 0;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeout_ms);
  while (got < sizeof(buffer) - 1 && std::memchr(buffer, '\n', got) == nullptr) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    if (left.count() <= 0 || !Readable(fd, static_cast<int>(left.count()))) return false;
    const ssize_t n = read(fd, buffer + got, sizeof(buffer) - 1 - got);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    got += static_cast<std::size_t>(n);
  }
  return std::strcmp(buffer, expected) == 0;
}

bool WriteAll(int fd, const char* text) {
  std::size_t left = std::strlen(text);
  while (left > 0) {
    const ssize_t n = send(fd, text, left, MSG_NOSIGNAL);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    text += n;
    left -= static_cast<std::size_t>(n);
  }
  return true;
}

class TPosixInstance : public TDesktopInstance {
 public:
  TPosixInstance(int lock, fs::path socket_path) : lock_(lock), socket_(std::move(socket_path)) {
    if (lock_ < 0) return;
    int pipe_fds[2];
    if (pipe2(pipe_fds, O_CLOEXEC) == 0) {
      stop_read_ = pipe_fds[0];
      stop_write_ = pipe_fds[1];
    }
    sockaddr_un address;
    if (stop_read_ < 0 || !Address(socket_, address)) return;
    listen_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    if (listen_ < 0) return;
    // A socket left by a holder that crashed: the lock says it is nobody's now.
    unlink(socket_.c_str());
    if (bind(listen_, reinterpret_cast<sockaddr*>(&address), sizeof(address)) != 0 ||
        listen(listen_, 4) != 0) {
      close(listen_);
      listen_ = -1;
    }
  }

  ~TPosixInstance() override {
    if (thread_.joinable()) {
      const char stop = 1;
      while (write(stop_write_, &stop, 1) < 0 && errno == EINTR) {
      }
      thread_.join();
    }
    if (listen_ >= 0) {
      unlink(socket_.c_str());
      close(listen_);
    }
    if (stop_read_ >= 0) close(stop_read_);
    if (stop_write_ >= 0) close(stop_write_);
    if (lock_ >= 0) close(lock_);  // lets go of the claim
  }

  void Attach(void*, std::function<void()> raise) override {
    {
      std::lock_guard lk(mutex_);
      raise_ = std::move(raise);
    }
    if (listen_ >= 0 && !thread_.joinable()) thread_ = std::thread([this] { Serve(); });
  }

 private:
  void Serve() {
    for (;;) {
      pollfd p[2] = {{listen_, POLLIN, 0}, {stop_read_, POLLIN, 0}};
      const int n = poll(p, 2, -1);
      if (n < 0 && errno == EINTR) continue;
      if (n < 0 || (p[1].revents & (POLLIN | POLLHUP | POLLERR))) return;
      if (p[0].revents & (POLLERR | POLLNVAL)) return;
      if (!(p[0].revents & POLLIN)) continue;
      const TDescriptor connection(accept4(listen_, nullptr, nullptr, SOCK_CLOEXEC));
      if (connection.get() < 0) continue;
      if (!ReadLine(connection.get(), kAsk, 1000)) continue;
      std::function<void()> raise;
      {
        std::lock_guard lk(mutex_);
        raise = raise_;
      }
      if (raise) raise();
      WriteAll(connection.get(), kAnswer);
    }
  }

  int lock_;
  fs::path socket_;
  int listen_ = -1, stop_read_ = -1, stop_write_ = -1;
  std::mutex mutex_;
  std::function<void()> raise_;
  std::thread thread_;
};

// The running holder: ask it to come to the front and wait for its answer.
bool AskHolder(const fs::path& socket) {
  sockaddr_un address;
  if (!Address(socket, address)) return false;
  const auto until = std::chrono::steady_clock::now() + kConnectFor;
  for (;;) {
    const TDescriptor connection(::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0));
    if (connection.get() < 0) return false;
    if (connect(connection.get(), reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0)
      return WriteAll(connection.get(), kAsk) &&
             ReadLine(connection.get(), kAnswer, kAnswerWithinMs);
    if (std::chrono::steady_clock::now() >= until) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
  }
}

}  // namespace

TDesktopClaim ClaimDesktop(const std::string& program) {
  const char* wayland = std::getenv("WAYLAND_DISPLAY");
  const char* x11 = std::getenv("DISPLAY");
  const std::string display = wayland && *wayland ? wayland : x11 ? x11 : "";
  const fs::path ports = VirtualPortsFolder();
  const fs::path base = ports.parent_path() / DesktopClaimName(program, display);
  // The claim lives beside the ports, in a folder that must stay the user's alone.
  CreateVirtualPortsFolder(ports);
  const TDescriptor folder(OpenPrivateFolder(base.parent_path()));
  const std::string lockName = base.filename().string() + ".lock";
  const int lock = folder.get() < 0 ? -1
                                    : openat(folder.get(), lockName.c_str(),
                                             O_RDWR | O_CREAT | O_NOFOLLOW | O_CLOEXEC, 0600);
  // Without a place for the claim the program runs as the only one.
  if (lock < 0) return {std::make_unique<TPosixInstance>(-1, fs::path()), false};
  if (flock(lock, LOCK_EX | LOCK_NB) == 0)
    return {std::make_unique<TPosixInstance>(lock, base.string() + ".sock"), false};
  const int error = errno;
  close(lock);
  if (error != EWOULDBLOCK) return {std::make_unique<TPosixInstance>(-1, fs::path()), false};
  return {nullptr, AskHolder(base.string() + ".sock")};
}
