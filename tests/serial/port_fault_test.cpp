// Why a port cannot be opened, as the system's serial API and the component tell it, on real
// files and pseudo-terminals.
#include <fcntl.h>
#include <grp.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include "fake_serial_api.h"
#include "platform/port_fault.h"
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
