// quarrow2excel-cli.exe names a path of any script as it was given: a console shows it in its
// own characters whatever its code page, a file receives it as UTF-8. A folder given as the port
// is the usage error that says so, which names the path without any tester.
#include <windows.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

#include "base/utf8_path.h"
#include "reader_process.h"

namespace fs = std::filesystem;

namespace {

// A console of the test's own that the reader shares, read back from its screen buffer. The
// test's standard handles are its own again afterwards.
class TConsole {
 public:
  TConsole() {
    for (int i = 0; i < 3; ++i) saved_[i] = GetStdHandle(kStd[i]);
    FreeConsole();
    if (!AllocConsole()) return;
    out_ = CreateFileW(L"CONOUT$", GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                       nullptr, OPEN_EXISTING, 0, nullptr);
    CONSOLE_SCREEN_BUFFER_INFO info;
    ok_ = out_ != INVALID_HANDLE_VALUE && GetConsoleScreenBufferInfo(out_, &info);
  }
  ~TConsole() {
    if (out_ != INVALID_HANDLE_VALUE) CloseHandle(out_);
    FreeConsole();
    for (int i = 0; i < 3; ++i) SetStdHandle(kStd[i], saved_[i]);
  }
  bool Ok() const { return ok_; }
  // The rows up to the cursor's, one after another: a line the console wrapped reads whole.
  std::wstring Screen() const {
    CONSOLE_SCREEN_BUFFER_INFO info;
    if (!GetConsoleScreenBufferInfo(out_, &info)) return {};
    std::wstring text(static_cast<std::size_t>(info.dwSize.X) * (info.dwCursorPosition.Y + 1),
                      L' ');
    DWORD read = 0;
    ReadConsoleOutputCharacterW(out_, text.data(), static_cast<DWORD>(text.size()), COORD{0, 0},
                                &read);
    text.resize(read);
    return text;
  }

 private:
  static constexpr DWORD kStd[3] = {STD_INPUT_HANDLE, STD_OUTPUT_HANDLE, STD_ERROR_HANDLE};
  HANDLE saved_[3] = {};
  HANDLE out_ = INVALID_HANDLE_VALUE;
  bool ok_ = false;
};

TEST(Win32ReaderOutput, NamesAPathOfAnyScriptInAFileAndOnAConsole) {
  const fs::path dir =
      fs::temp_directory_path() / ("q2e_cli_out_" + std::to_string(GetCurrentProcessId()));
  // "Протоколы Ärger"
  const fs::path folder =
      dir / Utf8Path(
                "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1\x8B "
                "\xC3\x84rger");
  fs::create_directories(folder);
  const std::wstring args = L"--port \"" + folder.wstring() + L"\"";
  const std::string said = "\"" + PathUtf8(folder) + "\" is a folder, not a serial port.";

  const fs::path log = dir / "reader.log";
  EXPECT_EQ(RunReader(args, &log), 2);
  EXPECT_EQ(ReadAll(log), said + "\r\n");  // a line of a Windows text file

  {
    TConsole console;
    if (!console.Ok()) GTEST_SKIP() << "no console can be made here";
    EXPECT_EQ(RunReader(args, nullptr), 2);
    const std::wstring screen = console.Screen();
    const std::wstring wide = L"\"" + folder.wstring() + L"\" is a folder, not a serial port.";
    EXPECT_NE(screen.find(wide), std::wstring::npos) << PathUtf8(fs::path(screen));
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}

// The reader speaks the language it is told, from the catalogs built into the program, on a
// console too.
TEST(Win32ReaderOutput, SpeaksTheLanguageItIsTold) {
  const fs::path dir =
      fs::temp_directory_path() / ("q2e_cli_lang_" + std::to_string(GetCurrentProcessId()));
  const fs::path folder = dir / "ports";
  fs::create_directories(folder);
  const std::string quoted = "\"" + PathUtf8(folder) + "\"";
  struct Case {
    std::wstring lang;
    std::string said;
  } cases[] = {
      {L"de", quoted + " ist ein Ordner, keine serielle Schnittstelle."},
      {L"ru", quoted + " \u2014 \u043f\u0430\u043f\u043a\u0430, \u0430 \u043d\u0435 "
                       "\u043f\u043e\u0441\u043b\u0435\u0434\u043e\u0432\u0430\u0442\u0435"
                       "\u043b\u044c\u043d\u044b\u0439 \u043f\u043e\u0440\u0442."},
      {L"es_ES", quoted + " es una carpeta, no un puerto serie."},
      {L"C", quoted + " is a folder, not a serial port."},
  };
  // A log each: Wine may hold the last reader's handle on a log for a moment after it ended.
  int run = 0;
  for (const Case& c : cases) {
    const fs::path log = dir / ("reader" + std::to_string(++run) + ".log");
    EXPECT_EQ(RunReader(L"--lang " + c.lang + L" --port \"" + folder.wstring() + L"\"", &log), 2);
    EXPECT_EQ(ReadAll(log), c.said + "\r\n");
  }
  const fs::path log = dir / "unknown.log";
  EXPECT_EQ(RunReader(L"--lang xx", &log), 2);
  EXPECT_EQ(
      ReadAll(log).rfind("quarrow2excel-cli: unknown language \"xx\" (en, de, es, pl, ru)", 0), 0u)
      << ReadAll(log);
  {
    TConsole console;
    if (console.Ok()) {
      EXPECT_EQ(RunReader(L"--lang ru --port \"" + folder.wstring() + L"\"", nullptr), 2);
      EXPECT_NE(console.Screen().find(Utf8Path(cases[1].said).wstring()), std::wstring::npos);
    }
  }
  std::error_code ec;
  fs::remove_all(dir, ec);
}

}  // namespace
