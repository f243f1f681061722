// How long quarrow2excel-cli takes to read a full archive (65535 records, 49 single values each)
// from quarrow-sim over a pseudo-terminal, found through the port list as a real tester is:
// the reading alone (from the accepted header to the last record) and the whole run.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "platform/desktop/virtual_ports.h"

extern char** environ;
namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

namespace {

std::vector<char*> Pointers(std::vector<std::string>& v) {
  std::vector<char*> p;
  for (auto& s : v) p.push_back(s.data());
  p.push_back(nullptr);
  return p;
}

pid_t Spawn(std::vector<std::string> args, std::vector<std::string>& env, int errFd) {
  auto argv = Pointers(args);
  auto envp = Pointers(env);
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  if (errFd >= 0) posix_spawn_file_actions_adddup2(&actions, errFd, 2);
  posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
  pid_t pid = -1;
  if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0) pid = -1;
  posix_spawn_file_actions_destroy(&actions);
  return pid;
}

}  // namespace

int main(int argc, char** argv) {
  const unsigned records = argc > 1 ? static_cast<unsigned>(std::stoul(argv[1])) : 65535;
  const fs::path root = fs::temp_directory_path() / ("q2e_bench_cli_" + std::to_string(getpid()));
  fs::create_directories(root);
  std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + root.string(), "LC_ALL=C"};
  for (char** e = environ; *e; ++e)
    if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) env.emplace_back(*e);

  const int quiet = open("/dev/null", O_WRONLY);
  const pid_t sim = Spawn({QUARROW_SIM_PATH, "--records", std::to_string(records), "--singles",
                           "49", "--seed", "3", "--once"},
                          env, quiet);
  while (ListVirtualPorts(root / "quarrow2excel" / "ports").empty())
    std::this_thread::sleep_for(std::chrono::milliseconds(5));

  int pipeFds[2];
  if (pipe(pipeFds) != 0) return 1;
  const auto start = Clock::now();
  const pid_t cli = Spawn({QUARROW_CLI_PATH, "--timeout", "600"}, env, pipeFds[1]);
  close(pipeFds[1]);
  Clock::time_point found{}, done{}, waiting{};
  std::string pending, line;
  char buf[65536];
  for (ssize_t n; (n = read(pipeFds[0], buf, sizeof buf)) > 0;) {
    pending.append(buf, static_cast<std::size_t>(n));
    for (std::size_t p; (p = pending.find('\n')) != std::string::npos; pending.erase(0, p + 1)) {
      line = pending.substr(0, p);
      if (line.rfind("Device found", 0) == 0) found = Clock::now();
      if (line.rfind("Waiting", 0) == 0) waiting = Clock::now();
      if (line.find(" records received.") != std::string::npos) done = Clock::now();
    }
  }
  int status = 0;
  waitpid(cli, &status, 0);
  const auto end = Clock::now();
  waitpid(sim, nullptr, 0);
  fs::remove_all(root);
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0 || done == Clock::time_point{}) {
    std::printf("the reading failed (status %d)\n", status);
    return 1;
  }
  const double reading = std::chrono::duration<double>(done - found).count();
  std::printf("to first status %.2f, to found %.2f, after done %.2f\n",
              std::chrono::duration<double>(waiting - start).count(),
              std::chrono::duration<double>(found - start).count(),
              std::chrono::duration<double>(end - done).count());
  const double whole = std::chrono::duration<double>(end - start).count();
  std::printf("records                 %u with 49 single values each\n", records);
  std::printf("reading (header..last)  %.2f s\n", reading);
  std::printf("records per second      %.0f\n", records / reading);
  std::printf("per record round trip   %.1f us\n", reading * 1e6 / records);
  std::printf("whole run               %.2f s (first probe comes 2.5 s after the scan)\n", whole);
  return 0;
}
