// The real quarrow2excel.exe twice on one desktop: the second start activates the first one's
// window, restoring it from the task bar, and ends without a window of its own.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>

#include "main_window_of.h"

namespace {

// The program's path as Wine shows a file of the machine: on drive Z:.
std::wstring ProgramPath() {
  std::wstring path = L"Z:";
  for (const char c : std::string(QUARROW_WINDOW_PATH)) path += c == '/' ? L'\\' : wchar_t(c);
  return path;
}

PROCESS_INFORMATION Start() {
  std::wstring command = L"\"" + ProgramPath() + L"\"";
  STARTUPINFOW startup{};
  startup.cb = sizeof(startup);
  PROCESS_INFORMATION process{};
  if (!CreateProcessW(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                      &startup, &process))
    ADD_FAILURE() << "CreateProcessW failed: " << GetLastError();
  return process;
}

TEST(WindowProgram, ASecondStartActivatesTheFirstWindowAndEnds) {
  PROCESS_INFORMATION first = Start();
  ASSERT_NE(first.hProcess, nullptr);
  HWND window = nullptr;
  for (int i = 0; i < 400 && !window; ++i, Sleep(50)) window = MainWindowOf(first.dwProcessId);
  ASSERT_NE(window, nullptr) << "the first start shows no window";
  ShowWindow(window, SW_MINIMIZE);
  ASSERT_TRUE(IsIconic(window));

  PROCESS_INFORMATION second = Start();
  ASSERT_NE(second.hProcess, nullptr);
  EXPECT_EQ(WaitForSingleObject(second.hProcess, 20000), WAIT_OBJECT_0)
      << "the second kept running";
  DWORD code = 1;
  GetExitCodeProcess(second.hProcess, &code);
  EXPECT_EQ(code, 0u);
  EXPECT_EQ(MainWindowOf(second.dwProcessId), nullptr);
  EXPECT_FALSE(IsIconic(window));  // restored
  EXPECT_EQ(GetForegroundWindow(), window);
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 0), static_cast<DWORD>(WAIT_TIMEOUT));

  PostMessageW(window, WM_CLOSE, 0, 0);
  EXPECT_EQ(WaitForSingleObject(first.hProcess, 20000), WAIT_OBJECT_0);
  for (auto* p : {&first, &second}) {
    CloseHandle(p->hThread);
    CloseHandle(p->hProcess);
  }
}

}  // namespace
