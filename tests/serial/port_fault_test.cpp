// Why a port cannot be opened, as the system's serial API and the component tell it, on real
// files and pseudo-terminals.
#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_serial_api.h"
#include "platform/serial/port_fault.h"
#include "serial/srcomm.h"
#include "test_support.h"

namespace fs = std::filesystem;

namespace {

TPortFault OpenFault(const std::string& path) {
  TSerialApi& api = *SystemSerialApi();
  const THandle h = api.CreateFileW(path);
  if (h == INVALID_HANDLE_VALUE) return PortFaultOf(api.GetLastError());
  api.CloseHandle(h);
  return TPortFault::None;
}

// The fault a user without any right to the device meets: as nobody when we are root.
TPortFault FaultWithoutPermission(const std::string& path) {
  if (geteuid() != 0) {
    chmod(path.c_str(), 0);
    return OpenFault(path);
  }
  chmod(path.c_str(), 0600);
  const pid_t child = fork();
  if (child == 0) {
    if (setgroups(0, nullptr) != 0 || setgid(65534) != 0 || setuid(65534) != 0) _exit(100);
    _exit(static_cast<int>(OpenFault(path)));
  }
  int status = 0;
  waitpid(child, &status, 0);
  return WIFEXITED(status) ? static_cast<TPortFault>(WEXITSTATUS(status)) : TPortFault::Other;
}

}  // namespace

TEST(PortFault, SystemSerialApiTellsWhyAPortDoesNotOpen) {
  const fs::path dir = fs::temp_directory_path() / ("q2e_fault_" + std::to_string(getpid()));
  fs::create_directories(dir);
  std::ofstream(dir / "file") << "x";
  TPty spare, held, closed;
  ASSERT_FALSE(held.path.empty());
  const int holder = open(held.path.c_str(), O_RDWR | O_NOCTTY);
  ASSERT_EQ(flock(holder, LOCK_EX | LOCK_NB), 0);

  EXPECT_EQ(OpenFault(spare.path), TPortFault::None);
  EXPECT_EQ(OpenFault(held.path), TPortFault::InUse);
  EXPECT_EQ(FaultWithoutPermission(closed.path), TPortFault::NoPermission);
  EXPECT_EQ(OpenFault((dir / "none").string()), TPortFault::Missing);
  EXPECT_EQ(OpenFault((dir / "none" / "tty").string()), TPortFault::Missing);
  EXPECT_EQ(OpenFault((dir / "file").string()), TPortFault::NotSerial);
  EXPECT_EQ(OpenFault(dir.string()), TPortFault::NotSerial);
  EXPECT_EQ(OpenFault("/dev/null"), TPortFault::NotSerial);
  // A second opener of the same process is refused as well.
  const THandle first = SystemSerialApi()->CreateFileW(spare.path);
  EXPECT_EQ(OpenFault(spare.path), TPortFault::InUse);
  SystemSerialApi()->CloseHandle(first);
  close(holder);
  fs::remove_all(dir);
}

// The locks other serial programs take are honoured, and ours are all let go at close: the
// terminal's exclusive flag outlives a descriptor and would refuse every later open but root's.
TEST(PortFault, LinesOfOtherProgramsAreLeftAloneAndOursAreLetGoWhole) {
  if (access("/run/lock", W_OK) != 0) GTEST_SKIP() << "no lock folder to write into";
  const auto lockFile = [](const TPty& p) {
    return "/run/lock/LCK.." + fs::path(p.path).filename().string();
  };
  const auto writeHolder = [&](const TPty& p, pid_t pid) {
    std::ofstream(lockFile(p)) << std::string(10 - std::to_string(pid).size(), ' ') << pid << "\n";
  };
  const auto exclusive = [](const TPty& p) {
    int on = -1;
    return ioctl(p.slave, TIOCGEXCL, &on) == 0 ? on : -1;
  };
  TPty mine, lockedByFile, stale, exclusiveByOther;
  writeHolder(lockedByFile, 1);  // a process that is always there
  const pid_t gone = fork();
  if (gone == 0) _exit(0);
  waitpid(gone, nullptr, 0);
  writeHolder(stale, gone);
  ASSERT_EQ(ioctl(exclusiveByOther.slave, TIOCEXCL), 0);

  EXPECT_EQ(OpenFault(lockedByFile.path), TPortFault::InUse);
  EXPECT_TRUE(fs::exists(lockFile(lockedByFile)));
  EXPECT_EQ(OpenFault(exclusiveByOther.path), TPortFault::InUse);
  EXPECT_EQ(exclusive(exclusiveByOther), 1) << "another's flag is not ours to clear";
  EXPECT_EQ(OpenFault(stale.path), TPortFault::None);
  EXPECT_FALSE(fs::exists(lockFile(stale)));

  TSerialApi& api = *SystemSerialApi();
  const THandle h = api.CreateFileW(mine.path);
  ASSERT_NE(h, INVALID_HANDLE_VALUE);
  EXPECT_EQ(exclusive(mine), 1);
  std::ifstream held(lockFile(mine));
  pid_t holder = 0;
  EXPECT_TRUE(held >> holder);
  EXPECT_EQ(holder, getpid());
  api.CloseHandle(h);
  EXPECT_EQ(exclusive(mine), 0);
  EXPECT_FALSE(fs::exists(lockFile(mine)));
  EXPECT_EQ(OpenFault(mine.path), TPortFault::None);
  fs::remove(lockFile(lockedByFile));
}

TEST(PortFault, ComponentKeepsTheReasonOfItsLastOpen) {
  TTestLoop loop;
  auto api = std::make_shared<TFakeSerialApi>();
  TsrComm comm;
  comm.SetDeviceDatabase(nullptr);
  comm.SetSerialApi(api);
  comm.SetComPortNo(3);
  comm.OnFatalError = [](TObject*, std::uint32_t, std::uint32_t, const std::string&, bool& raise) {
    raise = false;
  };
  const std::pair<std::uint32_t, TPortFault> cases[] = {
      {ERROR_ACCESS_DENIED, TPortFault::NoPermission},
      {ERROR_SHARING_VIOLATION, TPortFault::InUse},
      {ERROR_FILE_NOT_FOUND, TPortFault::Missing},
      {ERROR_NOT_SUPPORTED, TPortFault::NotSerial},
      {0, TPortFault::None},
  };
  for (const auto& [code, fault] : cases) {
    api->RefuseOpen(code);
    comm.SetActive(true);
    EXPECT_EQ(comm.Active(), code == 0) << code;
    EXPECT_EQ(comm.LastOpenFault(), fault) << code;
    comm.SetActive(false);
  }
}
