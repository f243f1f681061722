// quarrow2excel-cli.exe where no Excel is installed: it reads a tester on a Windows serial port
// and writes the workbook with the built-in one; a workbook it cannot write is its own error
// message and exit code 6. The tester answers on the other port of a pair joined back to back
// (Q2E_TEST_COM_PAIR, "COM20,COM21").
#include <windows.h>

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "../core/test_link.h"
#include "../core/test_record.h"
#include "../sheetexport/xlsx_reader.h"
#include "reader_process.h"

namespace fs = std::filesystem;

namespace {

bool PortPair(std::string& reader, std::string& tester) {
  const char* v = std::getenv("Q2E_TEST_COM_PAIR");
  const std::string s = v ? v : "";
  const auto comma = s.find(',');
  if (comma == std::string::npos) return false;
  reader = s.substr(0, comma);
  tester = s.substr(comma + 1);
  return true;
}

// The tester's side of the link: "Z" back for "Z", the header for "V", record 1 for "n", the
// next record for every "O".
class TComTester {
 public:
  TComTester(const std::string& port, std::vector<std::vector<std::uint8_t>> records)
      : records_(std::move(records)) {
    const std::wstring name = L"\\\\.\\" + std::wstring(port.begin(), port.end());
    h_ = CreateFileW(name.c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, 0,
                     nullptr);
    if (h_ == INVALID_HANDLE_VALUE) return;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    GetCommState(h_, &dcb);
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    SetCommState(h_, &dcb);
    COMMTIMEOUTS t{MAXDWORD, MAXDWORD, 50, 0, 0};  // what is there, else wait 50 ms
    SetCommTimeouts(h_, &t);
    PurgeComm(h_, PURGE_RXCLEAR | PURGE_TXCLEAR);
    thread_ = std::thread([this] { Run(); });
  }
  ~TComTester() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
  }
  bool Open() const { return h_ != INVALID_HANDLE_VALUE; }

 private:
  void Send(const std::string& s) {
    DWORD n = 0;
    WriteFile(h_, s.data(), static_cast<DWORD>(s.size()), &n, nullptr);
  }
  void Run() {
    std::size_t next = 0;
    while (!stop_) {
      char c = 0;
      DWORD n = 0;
      if (!ReadFile(h_, &c, 1, &n, nullptr) || n == 0) continue;
      if (c == 'Z') Send("Z");
      if (c == 'V') Send(EncodeFrame(HeaderPayload(static_cast<std::uint16_t>(records_.size()))));
      if (c == 'n') next = 0;
      if ((c == 'n' || c == 'O') && next < records_.size()) Send(EncodeFrame(records_[next++]));
    }
  }

  std::vector<std::vector<std::uint8_t>> records_;
  HANDLE h_ = INVALID_HANDLE_VALUE;
  std::atomic<bool> stop_{false};
  std::thread thread_;
};

TEST(Win32Reader, WritesTheWorkbookWithoutExcelAndReportsOneItCannotWrite) {
  std::string readerPort, testerPort;
  if (!PortPair(readerPort, testerPort)) GTEST_SKIP() << "Q2E_TEST_COM_PAIR names no port pair";
  const fs::path dir =
      fs::temp_directory_path() / ("q2e_cli_" + std::to_string(GetCurrentProcessId()));
  fs::create_directories(dir);
  TComTester tester(testerPort, {TestRecord(1, 2), TestRecord(2, 0), TestRecord(3, 1)});
  ASSERT_TRUE(tester.Open()) << testerPort;
  const std::wstring port(readerPort.begin(), readerPort.end());

  const fs::path book = dir / "book.xlsx", ok = dir / "ok.log", failed = dir / "failed.log";
  ASSERT_EQ(RunReader(L"--port " + port + L" --timeout 30 --xlsx \"" + book.wstring() + L"\"", &ok),
            0)
      << ReadAll(ok);
  const XlsxSheet sheet = XlsxFile(book.string()).Sheet(1);
  EXPECT_EQ(sheet.Text("A2"), "Quarrow VORNEX");
  EXPECT_EQ(sheet.Text("F6"), "R, MPa");
  struct Cell {
    const char* name;
    const char* value;
  } cells[] = {{"A7", "1"},  {"F7", "21"}, {"O8", "21"},  {"O9", "21.1"},
               {"A10", "2"}, {"A11", "3"}, {"F11", "23"}, {"O12", "23"}};
  for (const Cell& c : cells) EXPECT_EQ(sheet.Text(c.name), c.value) << c.name;

  const fs::path missing = dir / "no" / "such" / "book.xlsx";
  EXPECT_EQ(RunReader(L"--port " + port + L" --timeout 30 --xlsx \"" + missing.wstring() + L"\"",
                      &failed),
            6);
  const std::string log = ReadAll(failed);
  EXPECT_NE(log.find("Cannot create file \"" + missing.string() + "\""), std::string::npos) << log;
  EXPECT_EQ(log.find("[ERROR]"), std::string::npos) << "the library's own output: " << log;
  EXPECT_FALSE(fs::exists(missing.parent_path()));
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
