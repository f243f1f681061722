// The whole road of a reading with the real programs: quarrow-sim announces a simulated tester
// on a pseudo-terminal, quarrow2excel-cli finds it through the port list, reads it and writes
// the exports. Each test has its own runtime folder, so the programs see only its testers.
#include <fcntl.h>
#include <pty.h>
#include <signal.h>
#include <spawn.h>
#include <sys/file.h>
#include <sys/stat.h>
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

#include "../files/small_disk.h"
#include "../sheetexport/xlsx_reader.h"
#include "platform/desktop/virtual_ports.h"
#include "report_check.h"
#include "test_locales.h"
#include "workbook_check.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

std::string ReadFile(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

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

  pid_t Spawn(const char* program, std::vector<std::string> args, const fs::path& log,
              const fs::path& out = "/dev/null") {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + (root_ / "run").string(),
                                    "XDG_CONFIG_HOME=" + (root_ / "home").string(),
                                    "XDG_CACHE_HOME=" + (root_ / "home").string(),
                                    "XDG_DATA_HOME=" + (root_ / "data").string(),
                                    "HOME=" + (root_ / "home").string()};
    env.insert(env.end(), locale_.begin(), locale_.end());
    // The locale and home are the test's: none of the caller's settings leak in.
    for (char** e = environ; *e; ++e) {
      const std::string s(*e);
      if (s.rfind("XDG_", 0) != 0 && s.rfind("LC_", 0) != 0 && s.rfind("LANG", 0) != 0 &&
          s.rfind("HOME=", 0) != 0 && s.rfind("LOCPATH=", 0) != 0)
        env.push_back(s);
    }
    std::vector<char*> envp;
    for (auto& e : env) envp.push_back(e.data());
    envp.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 2, log.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
    posix_spawn_file_actions_addopen(&actions, 1, out.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
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

  pid_t Reader(std::vector<std::string> args, const fs::path& out = "/dev/null") {
    return Spawn(QUARROW_CLI_PATH, std::move(args), root_ / "cli.log", out);
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
  std::vector<std::string> locale_ = {"LC_ALL=C"};
};

// The reader answers to its options alone: it prints no prompt of the window and makes no
// documents folder. On a German or Russian desktop the report has the user's decimal comma and
// the workbook the file format's point.
TEST_F(EndToEnd, ReadsArchivesAndWritesTheReportAsTheArchiveSays) {
  struct Case {
    unsigned records;
    bool singles;
    std::vector<std::string> simOptions;
    bool workbook;          // the workbook too, checked as the report is
    const char* locale;     // LC_ALL, with English messages
    bool named = false;     // through --port rather than the search
    unsigned readings = 1;  // the same tester, read one reading after the other
  } cases[] = {
      {3, true, {}, true, "C"},
      {1000, true, {}, false, "C"},
      {40, false, {"--noise"}, true, "de_DE.UTF-8"},
      {5, true, {"--baud", "9600"}, false, "C"},  // found only once the walk has wrapped
      {3, true, {}, true, "ru_RU.UTF-8"},
      {5, true, {"--baud", "9600"}, false, "C", false, 2},
      {4, true, {"--baud", "9600"}, true, "ru_RU.UTF-8", true, 2},  // checked, closed, opened again
  };
  ASSERT_EQ(MakeLocales(root_ / "locales"), "");
  const std::string port = (root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty").string();
  unsigned seed = 7;
  for (const Case& c : cases) {
    SCOPED_TRACE(std::to_string(c.records) + " records in " + c.locale +
                 (c.named ? ", named" : "") + ", " + std::to_string(c.readings) + " readings");
    locale_ = {std::string("LC_ALL=") + c.locale, "LANGUAGE=en",
               "LOCPATH=" + (root_ / "locales").string()};
    const auto archive = MakeArchive(c.records, seed++);
    std::vector<std::string> simArgs = {"--archive", WriteArchive(archive, "a.bin").string()};
    if (c.readings == 1) simArgs.push_back("--once");
    simArgs.insert(simArgs.end(), c.simOptions.begin(), c.simOptions.end());
    const pid_t sim = Sim("tester", simArgs);
    for (unsigned reading = 1; reading <= c.readings; ++reading) {
      const fs::path report = root_ / ("report" + std::to_string(reading) + ".txt");
      const fs::path book = root_ / ("book" + std::to_string(reading) + ".xlsx");
      std::vector<std::string> args = {"--text", report.string(),
                                       c.singles ? "--singles" : "--no-singles", "--timeout", "30"};
      if (c.workbook) args.insert(args.end(), {"--xlsx", book.string()});
      if (c.named) args.insert(args.end(), {"--port", port});
      const auto t0 = std::chrono::steady_clock::now();
      const pid_t cli = Reader(args);
      ASSERT_EQ(Wait(cli, 40s), 0) << Log();
      const double seconds =
          std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
      RecordProperty("seconds_" + std::to_string(c.records), std::to_string(seconds));
      const std::string log = Log();
      EXPECT_NE(log.find(std::to_string(c.records) + " records received."), std::string::npos)
          << log;
      EXPECT_NE(log.find("Text report written to " + report.string()), std::string::npos);
      EXPECT_EQ(log.find("Please select"), std::string::npos) << log;
      ExpectReportOf(report, archive, c.singles, c.locale[0] == 'C' ? '.' : ',');
      if (c.workbook) ExpectWorkbookOf(book.string(), archive, c.singles);
    }
    if (c.readings > 1) kill(sim, SIGTERM);
    EXPECT_EQ(Wait(sim, 10s), 0) << Log("tester");
  }
  EXPECT_TRUE(fs::is_empty(root_ / "home")) << "the reader made a folder nothing went into";
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
  EXPECT_NE(Log().find("The last reading stopped after 49 of 200 records. Please connect the "
                       "tester again."),
            std::string::npos)
      << Log();
  const auto second = MakeArchive(6, 2);
  Sim("second", {"--archive", WriteArchive(second, "second.bin").string(), "--once"});
  ASSERT_EQ(Wait(cli, 30s), 0) << Log();
  ExpectReportOf(report, second, true);
}

TEST_F(EndToEnd, ABrokenFrameOrAnEmptyArchiveIsToldAndTheSameTesterReadAfterIt) {
  const auto archive = MakeArchive(20, 3);
  const std::string file = WriteArchive(archive, "a.bin").string();
  const std::string badData = "Error in received data! Please check device and cable!";
  struct Case {
    std::vector<std::string> fault;
    std::string told;
  } cases[] = {
      {{"--spoil-record", "7"}, badData},
      {{"--long-record", "7"}, badData},  // a byte too many, checksum right
      {{"--empty-first"}, "Archive is empty!"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.fault[0]);
    std::vector<std::string> args = {"--archive", file, "--once"};
    args.insert(args.end(), c.fault.begin(), c.fault.end());
    const pid_t sim = Sim("tester", args);
    const fs::path report = root_ / "r.txt";
    ASSERT_EQ(Wait(Reader({"--text", report.string(), "--timeout", "30"}), 40s), 0) << Log();
    const std::string log = Log();
    const auto told = log.find(c.told);
    ASSERT_NE(told, std::string::npos) << log;
    EXPECT_NE(log.find("20 records received.", told), std::string::npos) << log;
    ExpectReportOf(report, archive, true);
    EXPECT_EQ(Wait(sim, 10s), 0) << Log("tester");
  }
}

std::size_t Count(const std::string& text, const std::string& what) {
  std::size_t n = 0;
  for (std::size_t at = text.find(what); at != std::string::npos; at = text.find(what, at + 1)) ++n;
  return n;
}

TEST_F(EndToEnd, EmptyArchiveIsReportedOnceAndNothingIsReadBeforeTheTimeout) {
  const pid_t sim = Sim("tester", {"--empty"});
  const auto t0 = std::chrono::steady_clock::now();
  EXPECT_EQ(Wait(Reader({"--text", (root_ / "r.txt").string(), "--timeout", "10"}), 25s), 3);
  EXPECT_GE(std::chrono::steady_clock::now() - t0, 10s);
  const std::string log = Log();
  EXPECT_EQ(Count(log, "Archive is empty!"), 1u) << log;
  EXPECT_NE(log.find("No archive was read within 10 seconds."), std::string::npos);
  EXPECT_FALSE(fs::exists(root_ / "r.txt"));
  // The reader kept asking all the while.
  kill(sim, SIGTERM);
  Wait(sim, 5s);
  EXPECT_GE(Count(Log("tester"), "'V': header sent (0 records)"), 2u) << Log("tester");
}

TEST_F(EndToEnd, TesterOutOfStepOnceIsReportedAndTheArchiveReadAgainWhole) {
  const auto archive = MakeArchive(12, 11);
  const std::string file = WriteArchive(archive, "a.bin").string();
  const std::vector<std::string> faults[] = {
      {"--repeat-header"}, {"--repeat-record", "5"}, {"--join-records", "5"}};
  for (const auto& fault : faults) {
    SCOPED_TRACE(fault[0]);
    std::vector<std::string> args = {"--archive", file, "--once"};
    args.insert(args.end(), fault.begin(), fault.end());
    const pid_t sim = Sim("tester", args);
    const fs::path report = root_ / "r.txt";
    ASSERT_EQ(Wait(Reader({"--text", report.string(), "--timeout", "30"}), 40s), 0) << Log();
    const std::string log = Log();
    const auto error = log.find("Error in received data! Please check device and cable!");
    ASSERT_NE(error, std::string::npos) << log;
    // No reading was taken as complete before the error.
    const auto complete = log.find("12 records received.");
    ASSERT_NE(complete, std::string::npos) << log;
    EXPECT_GT(complete, error) << log;
    EXPECT_EQ(log.find(" records received."), complete + 2) << log;
    ExpectReportOf(report, archive, true);
    EXPECT_EQ(Wait(sim, 10s), 0) << Log("tester");
  }
}

TEST_F(EndToEnd, ChatteringLineEndsTheReadingWithinATickAndTheNextReadingIsWhole) {
  const auto archive = MakeArchive(20, 12);
  Sim("tester",
      {"--archive", WriteArchive(archive, "a.bin").string(), "--chatter-before", "5", "--once"});
  const fs::path report = root_ / "r.txt";
  const pid_t cli = Reader({"--text", report.string(), "--timeout", "30"});
  const auto until = std::chrono::steady_clock::now() + 20s;
  while (Log("tester").find("chattering instead of record 5") == std::string::npos &&
         std::chrono::steady_clock::now() < until)
    std::this_thread::sleep_for(5ms);
  const auto chatterFrom = std::chrono::steady_clock::now();
  const std::string note =
      "The last reading stopped after 4 of 20 records. Please connect the tester again.";
  while (Log().find(note) == std::string::npos &&
         std::chrono::steady_clock::now() - chatterFrom < 10s)
    std::this_thread::sleep_for(5ms);
  ASSERT_NE(Log().find(note), std::string::npos) << Log();
  EXPECT_LT(std::chrono::steady_clock::now() - chatterFrom, 2500ms);
  ASSERT_EQ(Wait(cli, 30s), 0) << Log();
  ExpectReportOf(report, archive, true);
}

TEST_F(EndToEnd, PortThatIsNoSerialPortIsAUsageError) {
  fs::create_directories(root_ / "folder");
  std::ofstream(root_ / "file.txt") << "not a port\n";
  struct Case {
    std::string port, message;
  } cases[] = {
      {(root_ / "folder").string(), "is a folder, not a serial port."},
      {(root_ / "file.txt").string(), "is a file, not a serial port."},
      {(root_ / "none").string(), "There is no port"},
      {"/dev/null", "\"/dev/null\" is not a serial port."},
  };
  for (const Case& c : cases) {
    const auto t0 = std::chrono::steady_clock::now();
    EXPECT_EQ(Wait(Reader({"--port", c.port, "--timeout", "30"}), 10s), 2) << c.port;
    EXPECT_LT(std::chrono::steady_clock::now() - t0, 3s);
    EXPECT_NE(Log().find(c.message), std::string::npos) << Log();
    EXPECT_NE(Log().find(c.port), std::string::npos) << Log();
  }
}

TEST_F(EndToEnd, PortThatCannotBeOpenedIsToldOncePerReason) {
  int master = -1, slave = -1;
  char name[256] = {};
  ASSERT_EQ(openpty(&master, &slave, name, nullptr, nullptr), 0);
  const std::string port = name;
  // Denied: as root, the reader runs as nobody against a terminal only root may open; as
  // anybody else the terminal is closed to its owner too.
  ASSERT_EQ(chmod(name, geteuid() == 0 ? 0600 : 0), 0);
  std::vector<std::string> args = {"--port", port, "--timeout", "4"};
  const pid_t denied = geteuid() == 0
                           ? Spawn("/usr/bin/setpriv",
                                   {"--reuid=65534", "--regid=65534", "--clear-groups", "--",
                                    QUARROW_CLI_PATH, "--port", port, "--timeout", "4"},
                                   root_ / "cli.log")
                           : Reader(args);
  EXPECT_EQ(Wait(denied, 15s), 3) << Log();
  EXPECT_EQ(Count(Log(), "No permission to open " + port +
                             ". Please add your user to the dialout group and log in again."),
            1u)
      << Log();

  // In use: another program holds the port as the reader would.
  ASSERT_EQ(chmod(name, 0600), 0);
  const int holder = open(name, O_RDWR | O_NOCTTY);
  ASSERT_GE(holder, 0);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);
  EXPECT_EQ(Wait(Reader(args), 15s), 3) << Log();
  EXPECT_EQ(Count(Log(), port + " is in use by another program. The search leaves it alone "
                                "until the other program closes it."),
            1u)
      << Log();
  close(holder);
  close(slave);
  close(master);
}

TEST_F(EndToEnd, WorkbookOnTheNamedPortAndExitCodesOfFailures) {
  const auto archive = MakeArchive(4, 4);
  const pid_t sim =
      Sim("tester", {"--archive", WriteArchive(archive, "a.bin").string(), "--baud", "9600"});
  const auto port = root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty";
  const fs::path book = root_ / "book.xlsx", pdf = root_ / "p.pdf", csv = root_ / "t.csv";
  ASSERT_EQ(Wait(Reader({"--port", port.string(), "--xlsx", book.string(), "--unit", "kg/cm²",
                         "--pdf", pdf.string(), "--csv", csv.string()}),
                 30s),
            0)
      << Log();
  EXPECT_EQ(ReadFile(pdf).rfind("%PDF-", 0), 0u);
  const std::string table = ReadFile(csv);
  EXPECT_EQ(std::count(table.begin(), table.end(), '\n'), 5) << table;  // titles and 4 records
  EXPECT_NE(Log().find("PDF protocol written to " + pdf.string()), std::string::npos) << Log();
  XlsxFile xlsx(book.string());
  ASSERT_TRUE(xlsx.Ok());
  const XlsxSheet sheet = xlsx.Sheet(1);
  EXPECT_EQ(sheet.Text("F6"), "R, kg/cm²");
  EXPECT_EQ(sheet.Text("A7"), "1");

  // A report into a folder that does not exist: read, but not written.
  const std::string missing = (root_ / "no" / "such" / "r.txt").string();
  EXPECT_EQ(Wait(Reader({"--port", port.string(), "--text", missing}), 30s), 6) << Log();
  EXPECT_EQ(Wait(Reader({"--port", port.string(), "--pdf", missing + ".pdf"}), 30s), 6) << Log();
  EXPECT_NE(Log().find("Cannot create file"), std::string::npos) << Log();
  kill(sim, SIGTERM);
  EXPECT_EQ(Wait(sim, 5s), 0);

  struct Usage {
    std::vector<std::string> args;
  } usages[] = {{{"--unit", "bar"}}, {{"--timeout", "0"}}, {{"--port"}}, {{"--what"}}};
  for (const Usage& u : usages) EXPECT_EQ(Wait(Reader(u.args), 5s), 2) << u.args[0];
  EXPECT_NE(Log().find("Usage: quarrow2excel-cli"), std::string::npos);
}

// The reader speaks the language it is told, or the user's; its report does too where the
// locale's character set holds the letters, and is English otherwise.
TEST_F(EndToEnd, SpeaksTheUsersLanguageAndReportsInWhatTheCharacterSetHolds) {
  struct Case {
    std::vector<std::string> locale;
    const char* lang;  // --lang, none when empty
    const char* received;
    const char* titles;
  } cases[] = {
      {{"LC_ALL=C"}, "", "3 records received.", "Date/Time"},
      {{"LC_ALL=C"},
       "ru",
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e 3 "
       "\u0437\u0430\u043f\u0438\u0441\u0438.",
       "Date/Time"},
      {{"LC_ALL=C.UTF-8"},
       "ru",
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e 3 "
       "\u0437\u0430\u043f\u0438\u0441\u0438.",
       "\u0414\u0430\u0442\u0430/\u0432\u0440\u0435\u043c\u044f"},
      {{"LANG=C.UTF-8", "LANGUAGE=de:ru"}, "", "3 Datens\u00e4tze empfangen.", "Datum/Uhrzeit"},
      {{"LC_ALL=C.UTF-8", "LANGUAGE=de"}, "es", "3 registros recibidos.", "Fecha/hora"},
  };
  const auto archive = MakeArchive(3, 11);
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.lang) + " " + c.locale.back());
    locale_ = c.locale;
    const pid_t sim = Sim("tester", {"--archive", WriteArchive(archive, "a.bin").string()});
    const auto port = root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty";
    const fs::path report = root_ / "r.txt";
    std::vector<std::string> args = {"--port", port.string(), "--text", report.string()};
    if (*c.lang) args.insert(args.end(), {"--lang", c.lang});
    ASSERT_EQ(Wait(Reader(args), 30s), 0) << Log();
    EXPECT_NE(Log().find(c.received), std::string::npos) << Log();
    std::ifstream in(report, std::ios::binary);
    std::string line;
    for (int i = 0; i < 6; ++i) std::getline(in, line);
    EXPECT_NE(line.find(c.titles), std::string::npos) << line;
    kill(sim, SIGTERM);
    EXPECT_EQ(Wait(sim, 5s), 0);
  }
}

std::vector<std::string> LinesOf(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  std::vector<std::string> lines;
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// Every reading is kept; the same tester read again adds no record; an earlier reading exports
// as it did when it was read (the report's fourth line is the time of the export).
TEST_F(EndToEnd, EveryReadingIsKeptAndAnEarlierOneExportsAsWhenItWasRead) {
  const auto archive = MakeArchive(60, 23);
  const std::string file = WriteArchive(archive, "a.bin").string();
  const fs::path first = root_ / "first.txt";
  for (const char* kept :
       {"Kept as reading 1, new records: 60.", "Kept as reading 2, new records: 0."}) {
    Sim("tester", {"--archive", file, "--once"});
    ASSERT_EQ(Wait(Reader({"--text", first.string(), "--no-singles", "--timeout", "30"}), 40s), 0)
        << Log();
    EXPECT_NE(Log().find(kept), std::string::npos) << Log();
  }
  // The user's own store, in a folder and a file of the user alone.
  struct stat folder {
  }, store{};
  ASSERT_EQ(stat((root_ / "data" / "quarrow2excel").c_str(), &folder), 0);
  ASSERT_EQ(stat((root_ / "data" / "quarrow2excel" / "readings.sqlite3").c_str(), &store), 0);
  EXPECT_EQ(folder.st_mode & 0777, 0700u);
  EXPECT_EQ(store.st_mode & 0777, 0600u);
  Sim("tester", {"--archive", file, "--once"});
  ASSERT_EQ(Wait(Reader({"--no-store", "--timeout", "30"}), 40s), 0) << Log();
  EXPECT_EQ(Log().find("Kept as"), std::string::npos) << Log();

  const fs::path list = root_ / "list.txt";
  ASSERT_EQ(Wait(Reader({"--list-readings"}, list), 10s), 0) << Log();
  const auto rows = LinesOf(list);
  ASSERT_EQ(rows.size(), 2u);
  const auto port = (root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty").string();
  EXPECT_TRUE(rows[0].starts_with("2\t") && rows[0].ends_with("\t" + port + "\t60\t0")) << rows[0];
  EXPECT_TRUE(rows[1].starts_with("1\t") && rows[1].ends_with("\t" + port + "\t60\t60")) << rows[1];

  const fs::path again = root_ / "again.txt";
  const fs::path book = root_ / "again.xlsx";
  ASSERT_EQ(Wait(Reader({"--reading", "1", "--text", again.string(), "--no-singles"}), 20s), 0)
      << Log();
  auto a = LinesOf(first), b = LinesOf(again);
  ASSERT_EQ(a.size(), b.size());
  ASSERT_GT(a.size(), 4u);
  a[3] = b[3] = "";
  EXPECT_EQ(a, b);
  ASSERT_EQ(Wait(Reader({"--reading", "2", "--xlsx", book.string()}), 20s), 0) << Log();
  ExpectWorkbookOf(book.string(), archive, true);

  EXPECT_EQ(Wait(Reader({"--reading", "99", "--text", again.string()}), 20s), 2);
  EXPECT_NE(Log().find("There is no reading 99."), std::string::npos) << Log();
}

// Both exports of the reader replace their targets whole: into folders and files of any name,
// and on a disk too full for them the old files stay as they were, no temporary file is left
// and the message names the file.
TEST_F(EndToEnd, ExportsReplaceTheirTargetsWholeOrLeaveThemAsTheyWere) {
  TSmallDisk disk(root_ / "disk", "256k");
  if (!disk.Mounted()) GTEST_SKIP() << "no file system of our own can be mounted here";
  const auto archive = MakeArchive(300, 9);
  const pid_t sim = Sim("tester", {"--archive", WriteArchive(archive, "a.bin").string()});
  const auto port = root_ / "run" / "quarrow2excel" / "ports" / "tester" / "tty";
  // "Протоколы Ärger/отчёт №1": Linux names are bytes, so nothing may mangle them either.
  const fs::path folder =
      root_ / "disk" /
      "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1\x8B "
      "\xC3\x84rger";
  fs::create_directories(folder);
  const fs::path report = folder /
                          "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
                          "1.txt";
  const fs::path book = folder /
                        "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
                        "1.xlsx";
  const std::vector<std::string> both = {"--port", port.string(), "--text",    report.string(),
                                         "--xlsx", book.string(), "--timeout", "30"};

  // Small enough to fit: 5 records without single values.
  const auto few = MakeArchive(5, 10);
  const pid_t small = Sim("small", {"--archive", WriteArchive(few, "few.bin").string()});
  const auto smallPort = root_ / "run" / "quarrow2excel" / "ports" / "small" / "tty";
  ASSERT_EQ(Wait(Reader({"--port", smallPort.string(), "--no-singles", "--text", report.string(),
                         "--xlsx", book.string()}),
                 30s),
            0)
      << Log();
  ExpectReportOf(report, few, false);
  const auto read = [](const fs::path& f) {
    std::ifstream in(f, std::ios::binary);
    return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  };
  const std::string oldReport = read(report), oldBook = read(book);
  ASSERT_TRUE(XlsxFile(book.string()).Ok());

  // 300 records with single values fill the disk: neither export may spoil what is there.
  ASSERT_EQ(Wait(Reader(both), 60s), 6) << Log();
  const std::string log = Log();
  for (const fs::path& f : {report, book})
    EXPECT_NE(log.find("Cannot write file \"" + f.string() + "\". No space left on device"),
              std::string::npos)
        << log;
  EXPECT_EQ(read(report), oldReport);
  EXPECT_EQ(read(book), oldBook);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(folder)) names.push_back(e.path().filename());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{report.filename(), book.filename()}));
  for (const pid_t p : {sim, small}) kill(p, SIGTERM);
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
  EXPECT_NE(log.find("Cannot create file \"" + missing.string() + "\". No such file or directory"),
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
