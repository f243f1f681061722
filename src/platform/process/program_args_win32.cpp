#include <windows.h>

#include <shellapi.h>

#include "platform/language/utf16_win32.h"
#include "platform/process/program_args.h"

std::vector<std::string> ProgramArguments(int, char**) {
  int count = 0;
  wchar_t** wide = CommandLineToArgvW(GetCommandLineW(), &count);
  std::vector<std::string> args;
  for (int i = 1; wide && i < count; ++i) args.push_back(Narrow(wide[i]));
  if (wide) LocalFree(wide);
  return args;
}
