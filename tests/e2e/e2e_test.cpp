// The whole road of a reading with the real programs: quarrow-sim announces a simulated tester
// on a pseudo-terminal, quarrow2excel-cli finds it through the port list, reads it and writes
// the exports. Each test has its own runtime folder, so the programs see only its testers.
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>
#include <sstream>
#include <thread>

#include "../sheetexport/xlsx_reader.h"
#include "platform/virtual_ports.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// One record of 128 bytes with the fields the report shows, varied by n.
struct TRecord {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(128, 0);
  unsigned R() const { return bytes[18] | bytes[19] << 8; }
  unsigned S() const { return bytes[9] | bytes[10] << 8; }
  unsigned V() const { return bytes[11] | bytes[12] << 8; }
  unsigned Kc() const { return bytes[17]; }
  unsigned Q() const { return bytes[3]; }
  unsigned Single(unsigned k) const { return bytes[30 + 2 * k] | bytes[31 + 2 * k] << 8; }
};

std::vector<TRecord> MakeArchive(unsigned count, unsigned seed) {
  std::mt19937 rng(seed);
  std::vector<TRecord> out(count);
  for (TRecord& r : out) {
    auto& b = r.bytes;
    b[0] = 1 + rng() % 28;  // day
    b[1] = 1 + rng() % 12;  // month
    b[8] = 20 + rng() % 6;  // year
    b[7] = rng() % 24;      // hour
    b[2] = static_cast<std::uint8_t>((rng() % 10) << 4 | rng() % 6);
    b[4] = static_cast<std::uint8_t>((rng() % 5) << 4 | rng() % 8);
    b[3] = static_cast<std::uint8_t>(rng() % 16);
    const unsigned raw = 100 + rng() % 700;
    b[18] = raw & 255;
    b[19] = static_cast<std::uint8_t>(raw >> 8);
    b[9] = static_cast<std::uint8_t>(rng() % 60);
    b[11] = static_cast<std::uint8_t>(rng() % 150);
    b[17] = static_cast<std::uint8_t>(90 + rng() % 20);
    b[20] = rng() % 3;
    b[21] = rng() % 30;
    for (unsigned k = 0; k < b[3]; ++k) {
      const unsigned v = raw - 20 + rng() % 40;
      b[30 + 2 * k] = v & 255;
      b[31 + 2 * k] = static_cast<std::uint8_t>(v >> 8);
    }
  }
  return out;
}

std::string Tenths(unsigned raw, int decimals = 1) {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, raw / (decimals == 1 ? 10.0 : 100.0));
  return buf;
}

std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t at = 0;
  for (std::size_t p; (p = line.find(" | ", at)) != std::string::npos; at = p + 3) {
    std::string c = line.substr(at, p - at);
    const auto b = c.find_first_not_of(' ');
    const auto e = c.find_last_not_of(' ');
    cells.push_back(b == std::string::npos ? "" : c.substr(b, e - b + 1));
  }
  return cells;
}

// The report's lines after the title line, checked against the archive cell by cell.
void ExpectReportOf(const fs::path& file, const std::vector<TRecord>& archive, bool singles) {
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << file;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  for (std::size_t at = 0, p; (p = text.find("\r\n", at)) != std::string::npos; at = p + 2)
    lines.push_back(text.substr(at, p - at));
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[1], "Quarrow VORNEX");
  EXPECT_EQ(Cells(lines[5]).size(), singles ? 15u : 14u);
  std::size_t at = 6;
  for (std::size_t i = 0; i < archive.size(); ++i) {
    const TRecord& r = archive[i];
    ASSERT_LT(at, lines.size()) << "record " << i + 1;
    const auto c = Cells(lines[at++]);
    ASSERT_EQ(c.size(), singles ? 15u : 14u) << lines[at - 1];
    EXPECT_EQ(c[0], std::to_string(i + 1));
    EXPECT_EQ(c[5], Tenths(r.R())) << "record " << i + 1;
    EXPECT_EQ(c[6], Tenths(r.S()));
    EXPECT_EQ(c[7], Tenths(r.V()));
    EXPECT_EQ(c[12], Tenths(r.Kc(), 2));
    EXPECT_EQ(c[13], std::to_string(r.Q()));
    if (!singles) continue;
    for (unsigned k = 0; k < r.Q(); ++k) {
      ASSERT_LT(at, lines.size());
      const auto s = Cells(lines[at++]);
      ASSERT_EQ(s.size(), 15u);
      EXPECT_EQ(s[0], "");
      EXPECT_EQ(s[14], Tenths(r.Single(k))) << "record " << i + 1 << " value " << k;
    }
  }
  EXPECT_EQ(at, lines.size()) << "nothing follows the last record";
}

class EndToEnd : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("q2e_e2e_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_ / "run");
    fs::create_directories(root_ / "home");
  }
  void TearDown() override {
    for (pid_t p : children_) {
      kill(p, SIGKILL);
      waitpid(p, nullptr, 0);
    }
    fs::remove_all(root_);
  }

  pid_t Spawn(const char* program, std::vector<std::string> args, const fs::path& log) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + (root_ / "run").string(),
                                    "XDG_CONFIG_HOME=" + (root_ / "home").string(),
                                    "XDG_CACHE_HOME=" + (root_ / "home").string(), "LC_ALL=C"};
    for (char** e = environ; *e; ++e) {
      const std::string s(*e);
      if (s.rfind("XDG_", 0) != 0 && s.rfind("LC_ALL=", 0) != 0) env.push_back(s);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    pid_t pid = -1;
    const int rc = posix_spawn(&pid, program, &actions, nullptr, argv.data(), envp.data());
    posix_spawn_file_actions_destroy(&actions);
    EXPECT_EQ(rc, 0) << program;
    children_.push_back(pid);
    return pid;
  }

  pid_t Sim(const std::string& name, std::vector<std::string> args) {
    args.insert(args.end(), {"--name", name});
    const pid_t pid = Spawn(QUARROW_SIM_PATH, args, root_ / (name + ".log"));
    // The reader must find the port at its first scan.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < until) {
      for (const auto& p : ListVirtualPorts(root_ / "run" / "quarrow2excel" / "ports"))
        if (p.Name == name) return pid;
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "simulator " << name << " did not announce its port";
    return pid;
  }

  pid_t Reader(std::vector<std::string> args) {
    return Spawn(QUARROW_CLI_PATH, std::move(args), root_ / "cli.log");
  }

  // The exit code, or -1 when the process did not end in time (it is killed then).
  int Wait(pid_t pid, std::chrono::seconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    while (std::chrono::steady_clock::now() < until) {
      if (waitpid(pid, &status, WNOHANG) == pid) {
        children_.erase(std::remove(children_.begin(), children_.end(), pid), children_.end());
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
      }
      std::this_thread::sleep_for(10ms);
    }
    return -1;
  }

  std::string Log(const std::string& name = "cli") {
    std::ifstream in(root_ / (name + ".log"));
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  }

  fs::path WriteArchive(const std::vector<TRecord>& archive, const std::string& name) {
    const fs::path file = root_ / name;
    std::ofstream out(file, std::ios::binary);
    for (const TRecord& r : archive) out.write(reinterpret_cast<const char*>(r.bytes.data()), 128);
    return file;
  }

  fs::path root_;
  std::vector<pid_t> children_;
};

TEST_F(EndToEnd, ReadsArchivesAndWritesTheReportAsTheArchiveSays) {
  struct Case {
    unsigned records;
    bool singles;
    std::vector<std::string> simOptions;
  } cases[] = {
      {3, true, {}},
      {1000, true, {}},
      {40, false, {"--noise"}},
      {5, true, {"--baud", "9600"}},  // found only once the walk has wrapped
  };
  unsigned seed = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.records) + " records");
    const auto archive = MakeArchive(c.records, seed++);
    std::vector<std::string> simArgs = {"--archive", WriteArchive(archive, "a.bin").string(),
                                        "--once"};
    simArgs.insert(simArgs.end(), c.simOptions.begin(), c.simOptions.end());
    Sim("tester", simArgs);
    const fs::path report = root_ / "report.txt";
    const auto t0 = std::chrono::steady_clock::now();
    const pid_t cli = Reader(
        {"--text", report.string(), c.singles ? "--singles" : "--no-singles", "--timeout", "30"});
    ASSERT_EQ(Wait(cli, 40s), 0) << Log();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("seconds_" + std::to_string(c.records), std::to_string(seconds));
    const std::string log = Log();
    EXPECT_NE(log.find(std::to_string(c.records) + " records received."), std::string::npos) << log;
    EXPECT_NE(log.find("Text report written to " + report.string()), std::string::npos);
    ExpectReportOf(report, archive, c.singles);
  }
}

TEST_F(EndToEnd, HangUpMidReadingReturnsToSearchingAndTheNextTesterIsRead) {
  const auto first = MakeArchive(200, 1);
  const pid_t hangingUp = Sim("first", {"--archive", WriteArchive(first, "first.bin").string(),
                                        "--hang-up-before", "50", "--once"});
  const fs::path report = root_ / "r.txt";
  const pid_t cli = Reader({"--text", report.string(), "--timeout", "40"});
  // The simulator ends as it hangs up; within two ticks the reader is searching again.
  ASSERT_EQ(Wait(hangingUp, 20s), 0) << Log("first");
  const auto hungUp = std::chrono::steady_clock::now();
  auto waitingAgain = [&] {
    const std::string log = Log();
    const auto reception = log.find("Reception of the data... (49/200)");
    return reception != std::string::npos &&
           log.find("Waiting for device connected...", reception) != std::string::npos;
  };
  while (!waitingAgain() && std::chrono::steady_clock::now() - hungUp < 5s)
    std::this_thread::sleep_for(10ms);
  ASSERT_TRUE(waitingAgain()) << Log();
  EXPECT_LT(std::chrono::steady_clock::now() - hungUp, 2100ms);
  const auto second = MakeArchive(6, 2);
  Sim("second", {"--archive", WriteArchive(second, "second.bin").string(), "--once"});
  ASSERT_EQ(Wait(cli, 30s), 0) << Log();
  ExpectReportOf(report, second, true);
}

TEST_F(EndToEnd, SpoiledRecordIsReportedAndTheReadingStartsOver) {
  const auto archive = MakeArchive(20, 3);
  Sim("tester", {"--archive", WriteArchive(archive, "a.bin").string(), "--spoil-record", "7"});
  const fs::path report = root_ / "r.txt";
  ASSERT_EQ(Wait(Reader({"--text", report.string(), "--timeout", "30"}), 40s), 0) << Log();
  const std::string log = Log();
  const auto error = log.find("Error in received data! Please check device and cable!");
  ASSERT_NE(error, std::string::npos) << log;
  EXPECT_NE(log.find("Waiting for device connected...", error), std::string::npos);
  ExpectReportOf(report, archive, true);
}

TEST_F(EndToEnd, EmptyArchiveIsReportedAndNothingIsReadBeforeTheTimeout) {
  Sim("tester", {"--empty"});
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Wait(Reader({"--text", (root_ / "r.txt").string(), "--timeout", "6"}), 20s), 3);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 6s);
  const std::string log = Log();
  EXPECT_NE(log.find("Archive is empty!"), std::string::npos) << log;
  EXPECT_NE(log.find("No archive was read within 6 seconds."), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "r.txt"));
}

TEST_F(EndToEnd, WorkbookOnTheNamedPortAndExitCodesOfFailures) {
  const auto archive = MakeArchive(4, 4);
  const pid_t sim =
      Sim("tester", {"--archive", WriteArchive(archive, "a.bin").string(), "--baud", "9600"});
  const auto port = root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty";
  const fs::path book = root_ / "book.xlsx";
  ASSERT_EQ(
      Wait(Reader({"--port", port.string(), "--xlsx", book.string(), "--unit", "kg/cm²"}), 30s), 0)
      << Log();
  XlsxFile xlsx(book.string());
  ASSERT_TRUE(xlsx.Ok());
  const XlsxSheet sheet = xlsx.Sheet(1);
  EXPECT_EQ(sheet.Text("F6"), "R, kg/cm²");
  EXPECT_EQ(sheet.Text("A7"), "1");

  // A report into a folder that does not exist: read, but not written.
  const std::string missing = (root_ / "no" / "such" / "r.txt").string();
  EXPECT_EQ(Wait(Reader({"--port", port.string(), "--text", missing}), 30s), 6) << Log();
  EXPECT_NE(Log().find("Cannot create file"), std::string::npos) << Log();
  kill(sim, SIGTERM);
  EXPECT_EQ(Wait(sim, 5s), 0);

  struct Usage {
    std::vector<std::string> args;
  } usages[] = {{{"--unit", "bar"}}, {{"--timeout", "0"}}, {{"--port"}}, {{"--what"}}};
  for (const Usage& u : usages) EXPECT_EQ(Wait(Reader(u.args), 5s), 2) << u.args[0];
  EXPECT_NE(Log().find("Usage: quarrow2excel-cli"), std::string::npos);
}

TEST_F(EndToEnd, AWorkbookThatCannotBeWrittenIsOurErrorAndNothingGoesToTheDesktop) {
  // An opener first on PATH that would hold the reader up if it were ever started.
  fs::create_directories(root_ / "bin");
  std::ofstream(root_ / "bin" / "xdg-open")
      << "#!/bin/sh\ntouch '" << (root_ / "opened").string() << "'\nexec sleep 30\n";
  fs::permissions(root_ / "bin" / "xdg-open", fs::perms::owner_all);
  const std::string oldPath = std::getenv("PATH");
  setenv("PATH", ((root_ / "bin").string() + ":" + oldPath).c_str(), 1);

  const pid_t sim = Sim("tester", {"--archive", WriteArchive(MakeArchive(3, 2), "a.bin").string()});
  const auto port = root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty";
  const fs::path missing = root_ / "no" / "such" / "book.xlsx";
  EXPECT_EQ(Wait(Reader({"--port", port.string(), "--xlsx", missing.string()}), 30s), 6) << Log();
  const std::string log = Log();
  EXPECT_NE(log.find("Cannot write the file " + missing.string() + ": No such file or directory"),
            std::string::npos)
      << log;
  EXPECT_EQ(log.find("[ERROR]"), std::string::npos) << "the library's own output: " << log;
  EXPECT_FALSE(fs::exists(missing.parent_path()));

  const fs::path book = root_ / "book.xlsx";
  EXPECT_EQ(Wait(Reader({"--port", port.string(), "--xlsx", book.string()}), 30s), 0) << Log();
  EXPECT_TRUE(XlsxFile(book.string()).Ok());
  setenv("PATH", oldPath.c_str(), 1);
  EXPECT_FALSE(fs::exists(root_ / "opened")) << "the reader hands nothing to the desktop";
  kill(sim, SIGTERM);
  EXPECT_EQ(Wait(sim, 5s), 0);
}

}  // namespace
