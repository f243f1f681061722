// A reading proved end to end under Wine: simulated testers on pseudo-terminals that Wine serves
// as COM ports (set up by scripts/test-windows.sh, which names them in Q2E_E2E_FTDI and
// Q2E_E2E_SILABS as "PORT RECORDS SEED SINGLES"), and the device entry that the adapter's driver
// writes into the registry's device enumeration, written here. The real programs find the tester
// through the system's device database, read it and show or write what they read.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "../e2e/report_check.h"
#include "../e2e/workbook_check.h"
#include "archive_source.h"
#include "base/utf8_path.h"
#include "main_window_of.h"

namespace fs = std::filesystem;
using namespace std::chrono_literals;

namespace {

// What a driver's installation leaves in HKLM\SYSTEM\CurrentControlSet\Enum for one adapter.
struct TAdapter {
  const wchar_t* Instance;  // below Enum
  const wchar_t* Service;
  const wchar_t* Mfg;
  const wchar_t* DeviceDesc;
  const wchar_t* HardwareId;
  const wchar_t* Driver;
};
const TAdapter kFtdi = {L"FTDIBUS\\VID_0403+PID_6001+Q2E00001A\\0000",
                        L"FTSER2K",
                        L"FTDI",
                        L"USB Serial Port",
                        L"FTDIBUS\\COMPORT&VID_0403&PID_6001",
                        L"{4d36e978-e325-11ce-bfc1-08002be10318}\\0021"};
const TAdapter kSilabs = {L"USB\\VID_10C4&PID_EA60\\Q2E00002",
                          L"silabser",
                          L"Silicon Laboratories",
                          L"Silicon Labs CP210x USB to UART Bridge",
                          L"USB\\VID_10C4&PID_EA60&REV_0100",
                          L"{4d36e978-e325-11ce-bfc1-08002be10318}\\0022"};
const wchar_t kEnum[] = L"SYSTEM\\CurrentControlSet\\Enum\\";

void SetText(HKEY key, const wchar_t* name, const std::wstring& value, DWORD type = REG_SZ) {
  // A multi-string ends with a second zero.
  const DWORD bytes =
      static_cast<DWORD>((value.size() + (type == REG_MULTI_SZ ? 2 : 1)) * sizeof(wchar_t));
  std::wstring data = value;
  data.push_back(L'\0');
  RegSetValueExW(key, name, 0, type, reinterpret_cast<const BYTE*>(data.c_str()), bytes);
}

std::wstring Wide(const std::string& s) {
  return std::wstring(s.begin(), s.end());
}

struct TTester {
  std::string Port;
  std::vector<TRecord> Archive;
};

// The tester the script set up under that variable; none when it did not.
std::optional<TTester> TesterOf(const char* variable) {
  const char* v = std::getenv(variable);
  if (!v) return std::nullopt;
  std::istringstream in(v);
  TTester t;
  std::size_t records = 0;
  std::uint64_t seed = 0;
  unsigned singles = 0;
  if (!(in >> t.Port >> records >> seed >> singles)) return std::nullopt;
  for (const TSimRecord& r : GenerateArchive(records, seed, singles)) {
    TRecord record;
    record.bytes.assign(r.begin(), r.end());
    t.Archive.push_back(std::move(record));
  }
  return t;
}

// A program of the build as Wine sees it: the Unix path on drive Z.
std::wstring Program(const char* unixPath) {
  std::wstring p = L"Z:" + Wide(unixPath);
  for (auto& c : p)
    if (c == L'/') c = L'\\';
  return p;
}

class Process {
 public:
  Process(const std::wstring& program, const std::wstring& arguments, const fs::path& log) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    log_ = CreateFileW(log.wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       &inherit, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    STARTUPINFOW si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = INVALID_HANDLE_VALUE;
    si.hStdOutput = log_;
    si.hStdError = log_;
    std::wstring line = L"\"" + program + L"\" " + arguments;
    started_ = CreateProcessW(program.c_str(), line.data(), nullptr, nullptr, TRUE, 0, nullptr,
                              nullptr, &si, &pi_) != 0;
  }
  ~Process() {
    if (started_ && WaitForSingleObject(pi_.hProcess, 0) == WAIT_TIMEOUT)
      TerminateProcess(pi_.hProcess, 99);
    if (started_) {
      WaitForSingleObject(pi_.hProcess, 5000);
      CloseHandle(pi_.hThread);
      CloseHandle(pi_.hProcess);
    }
    if (log_ != INVALID_HANDLE_VALUE) CloseHandle(log_);
  }
  bool Started() const { return started_; }
  DWORD Id() const { return pi_.dwProcessId; }
  // The exit code, or -1 when it did not end in time.
  long Wait(std::chrono::milliseconds limit) {
    if (WaitForSingleObject(pi_.hProcess, static_cast<DWORD>(limit.count())) != WAIT_OBJECT_0)
      return -1;
    DWORD code = 0;
    GetExitCodeProcess(pi_.hProcess, &code);
    return static_cast<long>(code);
  }

 private:
  HANDLE log_ = INVALID_HANDLE_VALUE;
  PROCESS_INFORMATION pi_{};
  bool started_ = false;
};

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

class WineReading : public ::testing::Test {
 protected:
  void TearDown() override {
    for (const auto& instance : entries_) RegDeleteTreeW(HKEY_LOCAL_MACHINE, instance.c_str());
    std::error_code ec;
    if (!dir_.empty()) fs::remove_all(dir_, ec);
  }

  // The adapter's device entry, as its driver writes it, for the tester's port.
  void Plug(const TAdapter& a, const std::string& port) {
    const std::wstring instance = kEnum + std::wstring(a.Instance);
    entries_.push_back(instance);
    HKEY key = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, instance.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS,
                              nullptr, &key, nullptr),
              ERROR_SUCCESS)
        << "the device enumeration cannot be written here";
    SetText(key, L"Class", L"Ports");
    SetText(key, L"ClassGUID", L"{4d36e978-e325-11ce-bfc1-08002be10318}");
    SetText(key, L"Service", a.Service);
    SetText(key, L"Mfg", a.Mfg);
    SetText(key, L"DeviceDesc", a.DeviceDesc);
    SetText(key, L"FriendlyName", std::wstring(a.DeviceDesc) + L" (" + Wide(port) + L")");
    SetText(key, L"HardwareID", a.HardwareId, REG_MULTI_SZ);
    SetText(key, L"Driver", a.Driver);
    HKEY parameters = nullptr;
    ASSERT_EQ(RegCreateKeyExW(key, L"Device Parameters", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                              &parameters, nullptr),
              ERROR_SUCCESS);
    SetText(parameters, L"PortName", Wide(port));
    RegCloseKey(parameters);
    RegCloseKey(key);
  }

  fs::path Dir() {
    dir_ = fs::temp_directory_path() / ("q2e_wine_e2e_" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    return dir_;
  }

  // The command-line reader without a port: it finds the tester by itself and writes the report
  // and the workbook into a folder and under names that no ANSI code page spells.
  void ReadWithTheCli(const TTester& tester) {
    const fs::path dir = Dir();
    // "Протоколы Ärger" and "отчёт №1"
    const fs::path folder =
        dir / Utf8Path(
                  "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1\x8B "
                  "\xC3\x84rger");
    fs::create_directories(folder);
    const std::string name =
        "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
        "1";
    const fs::path report = folder / Utf8Path(name + ".txt");
    const fs::path book = folder / Utf8Path(name + ".xlsx");
    const auto t0 = std::chrono::steady_clock::now();
    Process cli(Program(QUARROW_CLI_PATH),
                L"--singles --timeout 60 --text \"" + report.wstring() + L"\" --xlsx \"" +
                    book.wstring() + L"\"",
                dir / "cli.log");
    ASSERT_TRUE(cli.Started());
    const long code = cli.Wait(90s);
    RecordProperty(
        "seconds",
        std::to_string(
            std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count()));
    const std::string log = ReadAll(dir / "cli.log");
    ASSERT_EQ(code, 0) << log;
    EXPECT_NE(log.find(std::to_string(tester.Archive.size()) + " records received."),
              std::string::npos)
        << log;
    // The reader names the files as it was given them.
    EXPECT_NE(log.find("Text report written to " + PathUtf8(report)), std::string::npos) << log;
    EXPECT_NE(log.find("Workbook written to " + PathUtf8(book)), std::string::npos) << log;
    ExpectReportOf(report, tester.Archive, true);
    ExpectWorkbookOf(PathUtf8(book), tester.Archive, true);
    // Under their own names, and no temporary file of either is left beside them.
    std::vector<fs::path> written;
    for (const auto& e : fs::directory_iterator(folder)) written.push_back(e.path().filename());
    std::sort(written.begin(), written.end());
    EXPECT_EQ(written, (std::vector<fs::path>{report.filename(), book.filename()}));
  }

  std::vector<std::wstring> entries_;
  fs::path dir_;
};

TEST_F(WineReading, TheReaderFindsAnFtdiAdapterAndWritesTheReport) {
  const auto tester = TesterOf("Q2E_E2E_FTDI");
  if (!tester) GTEST_SKIP() << "no simulated tester on a COM port here";
  Plug(kFtdi, tester->Port);
  ReadWithTheCli(*tester);
}

TEST_F(WineReading, TheReaderFindsASiliconLabsAdapterAnsweringAt9600) {
  const auto tester = TesterOf("Q2E_E2E_SILABS");
  if (!tester) GTEST_SKIP() << "no simulated tester on a COM port here";
  Plug(kSilabs, tester->Port);
  ReadWithTheCli(*tester);
}

// A window's text, its non-ASCII characters as "?".
std::string TextOf(HWND w) {
  wchar_t buf[512] = {};
  GetWindowTextW(w, buf, 512);
  std::string s;
  for (const wchar_t* c = buf; *c; ++c) s.push_back(*c < 128 ? static_cast<char>(*c) : '?');
  return s;
}

// The texts of a process's shown form and of all its controls.
std::vector<std::string> WindowTexts(HWND form) {
  std::vector<std::string> texts;
  if (!form) return texts;
  texts.push_back(TextOf(form));
  EnumChildWindows(
      form,
      [](HWND c, LPARAM p) -> BOOL {
        reinterpret_cast<std::vector<std::string>*>(p)->push_back(TextOf(c));
        return TRUE;
      },
      reinterpret_cast<LPARAM>(&texts));
  return texts;
}

// The window on the display finds the same tester and shows what it read. With
// Q2E_E2E_SHOT set (a file name), it names that file when the window shows the archive and
// waits for a file of the same name with ".done" appended: the script takes its picture then.
TEST_F(WineReading, TheWindowFindsTheTesterAndShowsTheRecordCount) {
  const auto tester = TesterOf("Q2E_E2E_FTDI");
  if (!tester) GTEST_SKIP() << "no simulated tester on a COM port here";
  if (!GetSystemMetrics(SM_CXSCREEN)) GTEST_SKIP() << "no display";
  Plug(kFtdi, tester->Port);
  const fs::path dir = Dir();
  Process window(Program(QUARROW_WINDOW_PATH), L"", dir / "window.log");
  ASSERT_TRUE(window.Started());
  const std::string ready = std::to_string(tester->Archive.size()) + " records received.";
  const auto until = std::chrono::steady_clock::now() + 90s;
  bool shown = false;
  std::vector<std::string> texts;
  while (!shown && std::chrono::steady_clock::now() < until) {
    std::this_thread::sleep_for(200ms);
    texts = WindowTexts(MainWindowOf(window.Id()));
    for (const auto& t : texts) shown = shown || t.rfind(ready, 0) == 0;
  }
  std::string seen;
  for (const auto& t : texts) seen += "[" + t + "] ";
  ASSERT_TRUE(shown) << "the window shows: " << seen;
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Export to Excel"), texts.end()) << seen;
  EXPECT_NE(std::find(texts.begin(), texts.end(), "Save as text"), texts.end()) << seen;

  if (const char* shot = std::getenv("Q2E_E2E_SHOT")) {
    std::this_thread::sleep_for(500ms);  // the last paint
    { std::ofstream(shot) << "ready\n"; }
    const fs::path done = std::string(shot) + ".done";
    for (int i = 0; i < 100 && !fs::exists(done); ++i) std::this_thread::sleep_for(100ms);
    EXPECT_TRUE(fs::exists(done)) << "no picture was taken";
  }
  // Nothing was saved or exported, but the earlier readings keep it: closing asks nothing.
  PostMessageW(MainWindowOf(window.Id()), WM_CLOSE, 0, 0);
  EXPECT_EQ(window.Wait(20s), 0);
}

}  // namespace
