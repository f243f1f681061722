// The real window program twice on one desktop: the second start ends at once, and only after
// the first one has brought its window to the front.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class Process {
 public:
  // Its output and errors go to log.
  Process(const std::vector<std::string>& env, const fs::path& log,
          std::vector<std::string> args = {}) {
    std::vector<char*> envp;
    for (const auto& e : env) envp.push_back(const_cast<char*>(e.c_str()));
    envp.push_back(nullptr);
    args.insert(args.begin(), QUARROW_WINDOW_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
    posix_spawn_file_actions_adddup2(&actions, 2, 1);
    if (posix_spawn(&pid_, QUARROW_WINDOW_PATH, &actions, nullptr, argv.data(), envp.data()) != 0)
      pid_ = -1;
    posix_spawn_file_actions_destroy(&actions);
  }
  ~Process() {
    if (pid_ > 0 && !exited_) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
  }
  bool Started() const { return pid_ > 0; }
  // The exit status once it ended within the time, else none.
  std::optional<int> WaitFor(std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
      int status = 0;
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        exited_ = true;
        return status;
      }
      if (std::chrono::steady_clock::now() >= until) return std::nullopt;
      std::this_thread::sleep_for(20ms);
    }
  }
  void Stop() {
    kill(pid_, SIGTERM);
    WaitFor(5s);
  }

 private:
  pid_t pid_ = -1;
  bool exited_ = false;
};

std::string Read(const fs::path& file) {
  std::ifstream in(file);
  std::stringstream s;
  s << in.rdbuf();
  return s.str();
}

TEST(WindowProgram, ASecondStartBringsTheFirstForwardAndEnds) {
  const fs::path root = fs::temp_directory_path() / ("q2e_instance_" + std::to_string(getpid()));
  fs::remove_all(root);
  for (const char* d : {"run", "config", "cache", "home"}) fs::create_directories(root / d);
  fs::permissions(root / "run", fs::perms::owner_all);
  const std::vector<std::string> env = {
      "QT_QPA_PLATFORM=offscreen",
      "DISPLAY=:71",
      "HOME=" + (root / "home").string(),
      "XDG_RUNTIME_DIR=" + (root / "run").string(),
      "XDG_CONFIG_HOME=" + (root / "config").string(),
      "XDG_CACHE_HOME=" + (root / "cache").string(),
      "PATH=/usr/bin:/bin",
  };
  Process first(env, root / "first.log");
  ASSERT_TRUE(first.Started());
  const fs::path socket = root / "run" / "quarrow2excel" / "quarrow2excel-window-_71.sock";
  const auto until = std::chrono::steady_clock::now() + 20s;
  while (!fs::exists(socket) && std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(20ms);
  ASSERT_TRUE(fs::exists(socket)) << Read(root / "first.log");

  Process second(env, root / "second.log");
  const auto status = second.WaitFor(20s);
  ASSERT_TRUE(status.has_value()) << "the second start kept running";
  EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0);
  EXPECT_NE(Read(root / "second.log").find("its window was brought to the front"),
            std::string::npos)
      << Read(root / "second.log");
  EXPECT_FALSE(first.WaitFor(0ms).has_value()) << "the first start ended";

  // Another desktop gets a window of its own.
  std::vector<std::string> other = env;
  other[1] = "DISPLAY=:72";
  Process third(other, root / "third.log");
  EXPECT_FALSE(third.WaitFor(1500ms).has_value()) << Read(root / "third.log");
  third.Stop();
  first.Stop();
  fs::remove_all(root);
}

// --help and --version need no display, no Qt platform and no desktop: they answer and end.
TEST(WindowProgram, HelpAndVersionAnswerWithoutADisplay) {
  const fs::path root = fs::temp_directory_path() / ("q2e_headless_" + std::to_string(getpid()));
  fs::create_directories(root);
  const std::vector<std::string> env = {"HOME=" + root.string(), "PATH=/usr/bin:/bin",
                                        "LANGUAGE=de", "LANG=C.UTF-8"};
  struct Case {
    const char* option;
    const char* says;
  } cases[] = {{"--version", "quarrow2excel "}, {"--help", "Aufruf: quarrow2excel"}};
  for (const Case& c : cases) {
    Process p(env, root / "out.log", {c.option});
    const auto status = p.WaitFor(10s);
    ASSERT_TRUE(status.has_value()) << c.option;
    EXPECT_TRUE(WIFEXITED(*status) && WEXITSTATUS(*status) == 0) << Read(root / "out.log");
    EXPECT_EQ(Read(root / "out.log").rfind(c.says, 0), 0u) << Read(root / "out.log");
  }
  EXPECT_FALSE(fs::exists(root / "Documents"));
  fs::remove_all(root);
}

}  // namespace
