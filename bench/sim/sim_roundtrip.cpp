// How fast the simulator serves a whole archive over a pseudo-terminal to a minimal reader
// (request, wait for "P", acknowledge): the simulator's and the pty's share of a reading.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/virtual_ports.h"

extern char** environ;
namespace fs = std::filesystem;

namespace {

// Reads until a frame's end marker; false when the line closed or stayed quiet for 2 s.
bool ReadFrame(int fd, std::string& buf) {
  buf.clear();
  for (;;) {
    pollfd p{fd, POLLIN, 0};
    if (poll(&p, 1, 2000) <= 0) return false;
    char chunk[4096];
    const ssize_t n = read(fd, chunk, sizeof chunk);
    if (n <= 0) return false;
    buf.append(chunk, static_cast<size_t>(n));
    if (buf.find('P') != std::string::npos) return true;
  }
}

}  // namespace

int main(int argc, char** argv) {
  const std::string records = argc > 1 ? argv[1] : "65535";
  const fs::path runtime = fs::temp_directory_path() / ("q2e_simbench_" + std::to_string(getpid()));
  fs::create_directories(runtime);
  std::vector<std::string> args = {QUARROW_SIM_PATH, "--records", records,
                                   "--singles",      "49",        "--once"};
  std::vector<char*> argv_sim;
  for (auto& a : args) argv_sim.push_back(a.data());
  argv_sim.push_back(nullptr);
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime.string()};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) env.emplace_back(*e);
  std::vector<char*> envp;
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  pid_t pid = -1;
  if (posix_spawn(&pid, QUARROW_SIM_PATH, nullptr, nullptr, argv_sim.data(), envp.data()) != 0) {
    std::perror("posix_spawn");
    return 1;
  }
  const fs::path folder = runtime / "quarrow2excel" / "ports";
  std::vector<TVirtualPort> ports;
  for (int i = 0; i < 500 && ports.empty(); ++i) {
    ports = ListVirtualPorts(folder);
    if (ports.empty()) std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  int rc = 1;
  const int fd = ports.empty() ? -1 : open(ports[0].Link.c_str(), O_RDWR | O_NOCTTY);
  if (fd >= 0) {
    termios t{};
    tcgetattr(fd, &t);
    cfmakeraw(&t);
    cfsetispeed(&t, B115200);
    cfsetospeed(&t, B115200);
    tcsetattr(fd, TCSANOW, &t);
    std::string buf;
    const auto start = std::chrono::steady_clock::now();
    bool ok = write(fd, "V", 1) == 1 && ReadFrame(fd, buf);
    const unsigned long total = std::stoul(records);
    unsigned long got = 0;
    for (char command = 'n'; ok && got < total; command = 'O') {
      ok = write(fd, &command, 1) == 1 && ReadFrame(fd, buf);
      got += ok ? 1 : 0;
    }
    ok = ok && write(fd, "O", 1) == 1;
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    std::printf("records: %lu of %lu (49 single values each, 266-byte frames)\n", got, total);
    std::printf("total: %.3f s, %.0f records/s, %.1f us per record round trip\n", seconds,
                got / seconds, 1e6 * seconds / (got ? got : 1));
    rc = ok ? 0 : 1;
    close(fd);
  } else {
    std::fprintf(stderr, "the simulator's port did not appear\n");
  }
  kill(pid, SIGTERM);
  waitpid(pid, nullptr, 0);
  fs::remove_all(runtime);
  return rc;
}
