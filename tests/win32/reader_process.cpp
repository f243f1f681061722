#include "reader_process.h"

#include <windows.h>

#include <fstream>
#include <iterator>

namespace fs = std::filesystem;

namespace {

// The reader beside this test program in the build tree.
std::wstring ReaderPath() {
  wchar_t self[MAX_PATH];
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  return (fs::path(self).parent_path().parent_path().parent_path() / "src" / "app" /
          "quarrow2excel-cli.exe")
      .wstring();
}

}  // namespace

int RunReader(const std::wstring& args, const fs::path* log) {
  SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
  HANDLE out = INVALID_HANDLE_VALUE;
  STARTUPINFOW si{};
  si.cb = sizeof si;
  if (log) {
    out = CreateFileW(log->wstring().c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit,
                      CREATE_ALWAYS, 0, nullptr);
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdOutput = out;
    si.hStdError = out;
  }
  PROCESS_INFORMATION pi{};
  std::wstring command = L"\"" + ReaderPath() + L"\" " + args;
  const BOOL started = CreateProcessW(nullptr, command.data(), nullptr, nullptr, log != nullptr, 0,
                                      nullptr, nullptr, &si, &pi);
  if (out != INVALID_HANDLE_VALUE) CloseHandle(out);
  if (!started) return -2;
  DWORD code = static_cast<DWORD>(-1);
  if (WaitForSingleObject(pi.hProcess, 60000) == WAIT_OBJECT_0)
    GetExitCodeProcess(pi.hProcess, &code);
  else
    TerminateProcess(pi.hProcess, 9);
  CloseHandle(pi.hThread);
  CloseHandle(pi.hProcess);
  return static_cast<int>(code);
}

std::string ReadAll(const fs::path& file) {
  std::ifstream in(file, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}
