// Runs the real quarrow-sim and talks to it through the port it announces, as a reader would.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <thread>

#include "archive_source.h"
#include "frame_decoder.h"
#include "platform/desktop/virtual_ports.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

class SimProgram : public ::testing::Test {
 protected:
  void SetUp() override {
    runtime_ = fs::temp_directory_path() /
               ("q2e_simprog_" + std::to_string(getpid()) + "_" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(runtime_);
    fs::create_directories(runtime_);
    folder_ = runtime_ / "quarrow2excel" / "ports";
  }
  void TearDown() override {
    if (pid_ > 0) {
      kill(pid_, SIGKILL);
      waitpid(pid_, nullptr, 0);
    }
    if (fd_ >= 0) close(fd_);
    fs::remove_all(runtime_);
  }

  void Start(std::vector<std::string> args) {
    args.insert(args.begin(), QUARROW_SIM_PATH);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + runtime_.string()};
    for (char** e = environ; *e; ++e)
      if (std::string(*e).rfind("XDG_RUNTIME_DIR=", 0) != 0) env.emplace_back(*e);
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    ASSERT_EQ(posix_spawn(&pid_, QUARROW_SIM_PATH, nullptr, nullptr, argv.data(), envp.data()), 0);
  }

  std::vector<TVirtualPort> WaitForPorts(bool present) {
    const auto until = std::chrono::steady_clock::now() + 5s;
    for (;;) {
      auto ports = ListVirtualPorts(folder_);
      if (!ports.empty() == present || std::chrono::steady_clock::now() > until) return ports;
      std::this_thread::sleep_for(20ms);
    }
  }

  void OpenAt(const fs::path& link, speed_t speed) {
    if (fd_ < 0) fd_ = open(link.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd_, 0) << link;
    termios t{};
    ASSERT_EQ(tcgetattr(fd_, &t), 0);
    cfmakeraw(&t);
    cfsetispeed(&t, speed);
    cfsetospeed(&t, speed);
    ASSERT_EQ(tcsetattr(fd_, TCSANOW, &t), 0);
    tcflush(fd_, TCIOFLUSH);
  }

  void Send(const std::string& s) {
    ASSERT_EQ(write(fd_, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }

  // Reads until `stop` has arrived or the time is up; "<hup>" marks a closed line.
  std::string ReadUntil(char stop, std::chrono::milliseconds limit) {
    std::string got;
    const auto until = std::chrono::steady_clock::now() + limit;
    while (got.find(stop) == std::string::npos) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
          until - std::chrono::steady_clock::now());
      if (left.count() <= 0) break;
      pollfd p{fd_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
      char buf[512];
      const ssize_t n = read(fd_, buf, sizeof buf);
      if (n <= 0) return got + "<hup>";
      got.append(buf, static_cast<size_t>(n));
    }
    return got;
  }

  bool Exited(int& status, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    while (std::chrono::steady_clock::now() < until) {
      if (waitpid(pid_, &status, WNOHANG) == pid_) {
        pid_ = -1;
        return true;
      }
      std::this_thread::sleep_for(10ms);
    }
    return false;
  }

  fs::path runtime_, folder_;
  pid_t pid_ = -1;
  int fd_ = -1;
};

}  // namespace

TEST_F(SimProgram, AnswersOnlyAtItsRateAndWithdrawsOnSigterm) {
  Start({"--name", "bench-tester", "--records", "3", "--seed", "5"});
  const auto ports = WaitForPorts(true);
  ASSERT_EQ(ports.size(), 1u);
  EXPECT_EQ(ports[0].Name, "bench-tester");
  EXPECT_EQ(ports[0].Service, "FTSER2K");
  EXPECT_EQ(ports[0].Manufacturer, "FTDI");
  EXPECT_EQ(ports[0].Description, "Quarrow tester simulator");

  OpenAt(ports[0].Link, B115200);
  Send("ZZZ");
  EXPECT_EQ(ReadUntil('?', 500ms), "ZZZ");
  Send("V");
  const auto header = DecodeFrame(ReadUntil('P', 2s));
  ASSERT_TRUE(header);
  EXPECT_TRUE(header->ChecksumOk);
  ASSERT_EQ(header->Payload.size(), 12u);
  EXPECT_EQ(header->Payload[0], 0);
  EXPECT_EQ(header->Payload[1], 0);
  EXPECT_EQ(header->Payload[10] | header->Payload[11] << 8, 3);

  const auto records = GenerateArchive(3, 5);
  for (size_t i = 0; i < records.size(); ++i) {
    Send(i == 0 ? "n" : "O");
    const auto record = DecodeFrame(ReadUntil('P', 2s));
    ASSERT_TRUE(record) << i;
    EXPECT_TRUE(record->ChecksumOk);
    EXPECT_TRUE(std::equal(records[i].begin(), records[i].end(), record->Payload.begin(),
                           record->Payload.end()))
        << i;
  }
  Send("O");
  EXPECT_EQ(ReadUntil('?', 200ms), "");  // nothing after the last record

  OpenAt(ports[0].Link, B9600);
  Send("ZZZ");
  EXPECT_EQ(ReadUntil('?', 500ms), "");

  // The reader closes and opens again: the line survives that.
  close(fd_);
  fd_ = -1;
  OpenAt(ports[0].Link, B115200);
  Send("Z");
  EXPECT_EQ(ReadUntil('Z', 500ms), "Z");

  kill(pid_, SIGTERM);
  int status = 0;
  ASSERT_TRUE(Exited(status, 3s));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(ListVirtualPorts(folder_).empty());
  EXPECT_FALSE(fs::exists(folder_ / "bench-tester"));
}

TEST_F(SimProgram, OwnRateNineThousandSixHundredAndEndsAfterOneReading) {
  Start({"--baud", "9600", "--records", "1", "--once"});
  const auto ports = WaitForPorts(true);
  ASSERT_EQ(ports.size(), 1u);
  OpenAt(ports[0].Link, B115200);
  Send("Z");
  EXPECT_EQ(ReadUntil('Z', 300ms), "");
  OpenAt(ports[0].Link, B9600);
  Send("Z");
  EXPECT_EQ(ReadUntil('Z', 500ms), "Z");
  Send("V");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("n");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("O");
  int status = 0;
  ASSERT_TRUE(Exited(status, 3s));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  EXPECT_TRUE(ListVirtualPorts(folder_).empty());
}

TEST_F(SimProgram, HangsUpBeforeTheRecordItIsToldTo) {
  Start({"--records", "3", "--hang-up-before", "2"});
  const auto ports = WaitForPorts(true);
  ASSERT_EQ(ports.size(), 1u);
  OpenAt(ports[0].Link, B115200);
  Send("V");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("n");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("O");
  EXPECT_EQ(ReadUntil('P', 2s), "<hup>");
  int status = 0;
  ASSERT_TRUE(Exited(status, 3s));
  EXPECT_TRUE(WaitForPorts(false).empty());
}

TEST_F(SimProgram, SlowLinePausesAfterEveryByte) {
  Start({"--records", "1", "--slow-line", "3000"});
  const auto ports = WaitForPorts(true);
  ASSERT_EQ(ports.size(), 1u);
  OpenAt(ports[0].Link, B115200);
  const auto start = std::chrono::steady_clock::now();
  Send("V");
  const std::string header = ReadUntil('P', 3s);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_TRUE(DecodeFrame(header));
  EXPECT_EQ(header.size(), 34u);
  EXPECT_GE(took, 33 * 3ms);  // the last pause comes after "P"
}

TEST_F(SimProgram, RejectsBadUsage) {
  Start({"--baud", "38400"});
  int status = 0;
  ASSERT_TRUE(Exited(status, 3s));
  EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2);
  EXPECT_FALSE(fs::exists(folder_));
}

TEST_F(SimProgram, ChattersEveryFewMillisecondsUntilTheNextProbe) {
  Start({"--records", "3", "--chatter-before", "2"});
  const auto ports = WaitForPorts(true);
  ASSERT_EQ(ports.size(), 1u);
  OpenAt(ports[0].Link, B115200);
  Send("V");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("n");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("O");
  // A byte every 5 ms: at least 20 in half a second even on a busy machine, never a marker.
  const std::string chatter = ReadUntil('P', 500ms);
  EXPECT_GE(chatter.size(), 20u);
  EXPECT_LE(chatter.size(), 101u);
  EXPECT_EQ(chatter.find_first_not_of("0123456789:;<=>?"), std::string::npos) << chatter;
  Send("Z");
  const std::string afterProbe = ReadUntil('Z', 1s);
  ASSERT_FALSE(afterProbe.empty());
  EXPECT_EQ(afterProbe.back(), 'Z');
  EXPECT_EQ(ReadUntil('?', 100ms), "");  // quiet again
  Send("V");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("n");
  EXPECT_TRUE(DecodeFrame(ReadUntil('P', 2s)));
  Send("O");
  const auto second = DecodeFrame(ReadUntil('P', 2s));
  ASSERT_TRUE(second);
  EXPECT_TRUE(second->ChecksumOk);
  EXPECT_EQ(second->Payload.size(), 128u);
}
