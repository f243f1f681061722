// Paths of any script on Windows: the program's arguments, a narrow writer's folder and the
// atomic replacement, on the system's own calls.
#include <windows.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "base/exceptions.h"
#include "base/utf8_path.h"
#include "platform/files/atomic_file.h"
#include "platform/files/narrow_folder.h"

namespace fs = std::filesystem;

namespace {

// "Протоколы Ärger" and "отчёт №1.txt".
const char* const kFolder =
    "\xD0\x9F\xD1\x80\xD0\xBE\xD1\x82\xD0\xBE\xD0\xBA\xD0\xBE\xD0\xBB\xD1\x8B \xC3\x84rger";
const char* const kFile =
    "\xD0\xBE\xD1\x82\xD1\x87\xD1\x91\xD1\x82 \xE2\x84\x96"
    "1.txt";

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

class Win32Paths : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() / ("q2e_paths_" + std::to_string(GetCurrentProcessId()));
    fs::remove_all(root_);
    folder_ = root_ / Utf8Path(kFolder);
    fs::create_directories(folder_);
  }
  void TearDown() override {
    std::error_code ec;
    fs::remove_all(root_, ec);
  }
  // Replaces file with "new" as the programs replace their files; the error it gave, if any.
  static std::string Replace(const fs::path& file) {
    try {
      TAtomicFile f(file);
      f.Write("new");
      f.Commit();
    } catch (const EOSError& e) {
      return e.Message();
    }
    return "";
  }
  // A replacement leaves the target alone in the folder, whether it succeeded or not.
  std::size_t RegularFiles() const {
    std::size_t entries = 0;
    for (const auto& e : fs::directory_iterator(folder_)) entries += e.is_regular_file();
    return entries;
  }
  fs::path root_, folder_;
};

TEST_F(Win32Paths, ArgumentsReachTheProgramInEveryScript) {
  wchar_t self[MAX_PATH] = {};
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  const fs::path probe = fs::path(self).parent_path() / L"q2e_args_probe.exe";
  const fs::path out = root_ / L"args.txt";
  const std::vector<std::string> args = {"--text", PathUtf8(folder_ / Utf8Path(kFile)),
                                         "w\xC3\xA4nd.txt", "\xF0\x9F\x93\x8A"};
  std::wstring line = L"\"" + probe.wstring() + L"\" \"" + out.wstring() + L"\"";
  for (const std::string& a : args) line += L" \"" + Utf8Path(a).wstring() + L"\"";
  STARTUPINFOW si{};
  si.cb = sizeof(si);
  PROCESS_INFORMATION pi{};
  ASSERT_TRUE(CreateProcessW(probe.c_str(), line.data(), nullptr, nullptr, FALSE, 0, nullptr,
                             nullptr, &si, &pi));
  ASSERT_EQ(WaitForSingleObject(pi.hProcess, 30000), WAIT_OBJECT_0);
  DWORD code = 99;
  GetExitCodeProcess(pi.hProcess, &code);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  ASSERT_EQ(code, 0u);
  std::string expected;
  for (const std::string& a : args) expected += a + "\n";
  EXPECT_EQ(ReadAll(out), expected);
}

TEST_F(Win32Paths, ANarrowWriterReachesAFolderTheCodePageCannotSpell) {
  const fs::path before = fs::current_path();
  {
    const TNarrowFolder narrow(folder_);
    EXPECT_EQ(narrow.Spelling(), ".");
    std::FILE* f = std::fopen(narrow.Name(".q2e-probe.tmp").c_str(), "wb");
    ASSERT_NE(f, nullptr);
    std::fputs("narrow", f);
    std::fclose(f);
  }
  EXPECT_EQ(fs::current_path(), before);
  EXPECT_EQ(ReadAll(folder_ / L".q2e-probe.tmp"), "narrow");
  EXPECT_THROW(TNarrowFolder(root_ / L"missing"), EOSError);
  EXPECT_EQ(fs::current_path(), before);
}

TEST_F(Win32Paths, ReplacementKeepsAttributesAndRefusesAReadOnlyFile) {
  const fs::path file = folder_ / Utf8Path(kFile);
  struct Case {
    DWORD attributes;
    bool replaced;
  } cases[] = {
      {FILE_ATTRIBUTE_NORMAL, true},
      {FILE_ATTRIBUTE_HIDDEN, true},
      {FILE_ATTRIBUTE_READONLY, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.attributes);
    SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "old";
    ASSERT_TRUE(SetFileAttributesW(file.c_str(), c.attributes));
    const std::string failure = Replace(file);
    EXPECT_EQ(ReadAll(file), c.replaced ? "new" : "old");
    EXPECT_EQ(failure.empty(), c.replaced) << failure;
    if (!c.replaced) {
      EXPECT_EQ(failure.rfind("Cannot create file \"" + PathUtf8(file) + "\". ", 0), 0u);
    }
    const DWORD now = GetFileAttributesW(file.c_str());
    EXPECT_EQ(now & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY),
              c.attributes & (FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_READONLY));
    EXPECT_EQ(RegularFiles(), 1u);
  }
  SetFileAttributesW(file.c_str(), FILE_ATTRIBUTE_NORMAL);
}

// A scanner holding the target open without FILE_SHARE_DELETE for a moment delays the
// replacement; one that keeps holding it makes it fail, with the target and nothing else left.
TEST_F(Win32Paths, ReplacementWaitsBrieflyForAFileHeldByAnotherProgram) {
  const fs::path file = folder_ / Utf8Path(kFile);
  for (const DWORD holdMs : {300u, 3000u}) {
    SCOPED_TRACE(holdMs);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << "old";
    const HANDLE held = CreateFileW(file.c_str(), GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                    nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(held, INVALID_HANDLE_VALUE);
    std::thread scanner([&] {
      Sleep(holdMs);
      CloseHandle(held);
    });
    const std::string failure = Replace(file);
    scanner.join();
    const bool replaced = holdMs < 1000;
    EXPECT_EQ(failure.empty(), replaced) << failure;
    EXPECT_EQ(ReadAll(file), replaced ? "new" : "old");
    EXPECT_EQ(RegularFiles(), 1u);
  }
}

}  // namespace
