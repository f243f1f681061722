// quarrow2excel-cli: reads a Quarrow tester without a window, for scripts and batches.
#include <cstdio>
#include <string>
#include <vector>

#include "app/cli_reader.h"
#include "app/program.h"
#include "base/exceptions.h"
#include "serial/srclasses.h"

int main(int argc, char** argv) {
  const auto say = [](const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  };
  TCliOptions options;
  try {
    options = ParseCliOptions(std::vector<std::string>(argv + 1, argv + argc));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarrow2excel-cli: %s\n\n%s", e.what(), kCliUsage);
    return kExitUsage;
  }
  if (options.Help) {
    std::fputs(kCliUsage, stdout);
    return kExitOk;
  }
  SetSerialErrorBox(say);
  return RunCliReader(options, SystemServices(say, TDesktopUse::FilesOnly), say);
}
