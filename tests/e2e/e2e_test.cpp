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
#include "platform/virtual_ports.h"
#include "report_check.h"
#include "workbook_check.h"

extern char** environ;

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

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
    fs::create_directories(root_ / "home");
  }
  void TearDown() override {
    for (pid_t p : children_) {
      kill(p, SIGKILL);
      waitpid(p, nullptr, 0);
    }
    fs::remove_all(root_);
  }

  // The runtime folder, where the testers announce their lines; each test has one, and cases
  // that run side by side one each.
  fs::path Run(const std::string& name = "run") {
    fs::create_directories(root_ / name);
    return root_ / name;
  }

  pid_t Spawn(const char* program, std::vector<std::string> args, const fs::path& log,
              const fs::path& run = {}) {
    args.insert(args.begin(), program);
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    std::vector<std::string> env = {"XDG_RUNTIME_DIR=" + (run.empty() ? Run() : run).string(),
                                    "XDG_CONFIG_HOME=" + (root_ / "home").string(),
                                    "XDG_CACHE_HOME=" + (root_ / "home").string()};
    env.insert(env.end(), locale_.begin(), locale_.end());
    // The locale is the test's: none of the caller's language settings leak in.
    for (char** e = environ; *e; ++e) {
      const std::string s(*e);
      if (s.rfind("XDG_", 0) != 0 && s.rfind("LC_", 0) != 0 && s.rfind("LANG", 0) != 0)
        env.push_back(s);
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

  pid_t Sim(const std::string& name, std::vector<std::string> args, const fs::path& run = {}) {
    args.insert(args.end(), {"--name", name});
    const fs::path folder = run.empty() ? Run() : run;
    const pid_t pid = Spawn(QUARROW_SIM_PATH, args, root_ / (name + ".log"), folder);
    // The reader must find the port at its first scan.
    const auto until = std::chrono::steady_clock::now() + 5s;
    while (std::chrono::steady_clock::now() < until) {
      for (const auto& p : ListVirtualPorts(folder / "quarrow2excel" / "ports"))
        if (p.Name == name) return pid;
      std::this_thread::sleep_for(10ms);
    }
    ADD_FAILURE() << "simulator " << name << " did not announce its port";
    return pid;
  }

  pid_t Reader(std::vector<std::string> args, const std::string& log = "cli",
               const fs::path& run = {}) {
    return Spawn(QUARROW_CLI_PATH, std::move(args), root_ / (log + ".log"), run);
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

TEST_F(EndToEnd, ReadsArchivesAndWritesTheReportAsTheArchiveSays) {
  struct Case {
    unsigned records;
    bool singles;
    std::vector<std::string> simOptions;
    bool workbook;  // the workbook too, checked as the report is
  } cases[] = {
      {3, true, {}, true},
      {1000, true, {}, false},
      {40, false, {"--noise"}, true},
      {5, true, {"--baud", "9600"}, false},  // found only once the walk has wrapped
  };
  // The cases side by side, each tester with a reader in a runtime folder of their own.
  std::vector<std::vector<TRecord>> archives;
  std::vector<pid_t> readers;
  const auto t0 = std::chrono::steady_clock::now();
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    const std::string n = std::to_string(i);
    archives.push_back(MakeArchive(c.records, 7 + static_cast<unsigned>(i)));
    std::vector<std::string> simArgs = {
        "--archive", WriteArchive(archives.back(), "a" + n + ".bin").string(), "--once"};
    simArgs.insert(simArgs.end(), c.simOptions.begin(), c.simOptions.end());
    Sim("tester" + n, simArgs, Run("run" + n));
    std::vector<std::string> args = {"--text", (root_ / ("report" + n + ".txt")).string(),
                                     c.singles ? "--singles" : "--no-singles", "--timeout", "30"};
    if (c.workbook) args.insert(args.end(), {"--xlsx", (root_ / ("book" + n + ".xlsx")).string()});
    readers.push_back(Reader(args, "cli" + n, Run("run" + n)));
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(std::to_string(c.records) + " records");
    const std::string n = std::to_string(i);
    const fs::path report = root_ / ("report" + n + ".txt");
    ASSERT_EQ(Wait(readers[i], 40s), 0) << Log("cli" + n);
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    RecordProperty("seconds_" + std::to_string(c.records), std::to_string(seconds));
    const std::string log = Log("cli" + n);
    EXPECT_NE(log.find(std::to_string(c.records) + " records received."), std::string::npos) << log;
    EXPECT_NE(log.find("Text report written to " + report.string()), std::string::npos);
    ExpectReportOf(report, archives[i], c.singles);
    if (c.workbook)
      ExpectWorkbookOf((root_ / ("book" + n + ".xlsx")).string(), archives[i], c.singles);
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
  EXPECT_NE(Log().find("The last reading stopped after 49 of 200 records. Please connect the "
                       "tester again."),
            std::string::npos)
      << Log();
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
  // The faults side by side, each tester with a reader in a runtime folder of their own.
  std::vector<pid_t> sims, readers;
  for (std::size_t i = 0; i < std::size(faults); ++i) {
    const std::string n = std::to_string(i);
    std::vector<std::string> args = {"--archive", file, "--once"};
    args.insert(args.end(), faults[i].begin(), faults[i].end());
    sims.push_back(Sim("tester" + n, args, Run("run" + n)));
    readers.push_back(Reader({"--text", (root_ / ("r" + n + ".txt")).string(), "--timeout", "30"},
                             "cli" + n, Run("run" + n)));
  }
  for (std::size_t i = 0; i < std::size(faults); ++i) {
    SCOPED_TRACE(faults[i][0]);
    const std::string n = std::to_string(i);
    ASSERT_EQ(Wait(readers[i], 40s), 0) << Log("cli" + n);
    const std::string log = Log("cli" + n);
    const auto error = log.find("Error in received data! Please check device and cable!");
    ASSERT_NE(error, std::string::npos) << log;
    // No reading was taken as complete before the error.
    const auto complete = log.find("12 records received.");
    ASSERT_NE(complete, std::string::npos) << log;
    EXPECT_GT(complete, error) << log;
    EXPECT_EQ(log.find(" records received."), complete + 2) << log;
    ExpectReportOf(root_ / ("r" + n + ".txt"), archive, true);
    EXPECT_EQ(Wait(sims[i], 10s), 0) << Log("tester" + n);
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
  EXPECT_EQ(Count(Log(), port + " is in use by another program. Please close the other program "
                                "using it."),
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
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e "
       "\u0437\u0430\u043f\u0438\u0441\u0435\u0439: 3.",
       "Date/Time"},
      {{"LC_ALL=C.UTF-8"},
       "ru",
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e "
       "\u0437\u0430\u043f\u0438\u0441\u0435\u0439: 3.",
       "\u0414\u0430\u0442\u0430/\u0432\u0440\u0435\u043c\u044f"},
      {{"LANG=C.UTF-8", "LANGUAGE=de:ru"}, "", "3 Datens\u00e4tze empfangen.", "Datum/Uhrzeit"},
      {{"LC_ALL=C.UTF-8", "LANGUAGE=de"}, "es", "3 registros recibidos.", "Fecha/hora"},
  };
  const auto archive = MakeArchive(3, 11);
  const std::string file = WriteArchive(archive, "a.bin").string();
  // The cases side by side, each reader on a tester of its own.
  std::vector<pid_t> sims, readers;
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const std::string n = std::to_string(i);
    locale_ = cases[i].locale;
    sims.push_back(Sim("tester" + n, {"--archive", file}));
    const auto port = Run() / "quarrow2excel" / "ports" / ("tester" + n) / "tty";
    std::vector<std::string> args = {"--port", port.string(), "--text",
                                     (root_ / ("r" + n + ".txt")).string()};
    if (*cases[i].lang) args.insert(args.end(), {"--lang", cases[i].lang});
    readers.push_back(Reader(args, "cli" + n));
  }
  for (std::size_t i = 0; i < std::size(cases); ++i) {
    const Case& c = cases[i];
    SCOPED_TRACE(std::string(c.lang) + " " + c.locale.back());
    const std::string n = std::to_string(i);
    ASSERT_EQ(Wait(readers[i], 30s), 0) << Log("cli" + n);
    EXPECT_NE(Log("cli" + n).find(c.received), std::string::npos) << Log("cli" + n);
    std::ifstream in(root_ / ("r" + n + ".txt"), std::ios::binary);
    std::string line;
    for (int k = 0; k < 6; ++k) std::getline(in, line);
    EXPECT_NE(line.find(c.titles), std::string::npos) << line;
    kill(sims[i], SIGTERM);
    EXPECT_EQ(Wait(sims[i], 5s), 0);
  }
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
