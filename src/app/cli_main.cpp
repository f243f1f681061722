// quarrow2excel-cli: reads a Quarrow tester without a window, for scripts and batches.
#include <cstdio>
#include <string>

#include "app/cli_reader.h"
#include "app/program.h"
#include "base/exceptions.h"
#include "base/version.h"
#include "platform/console_text.h"
#include "platform/program_args.h"
#include "serial/srclasses.h"

int main(int argc, char** argv) {
  const auto say = [](const std::string& text) { WriteStderr(text + "\n"); };
  TCliOptions options;
  try {
    options = ParseCliOptions(ProgramArguments(argc, argv));
  } catch (const std::exception& e) {
    WriteStderr("quarrow2excel-cli: " + std::string(e.what()) + "\n\n" + kCliUsage);
    return kExitUsage;
  }
  if (options.Help) {
    std::fputs(kCliUsage, stdout);
    return kExitOk;
  }
  if (options.Version) {
    std::printf("quarrow2excel-cli %s\n", kProgramVersion);
    return kExitOk;
  }
  SetSerialErrorBox(say);
  return RunCliReader(options, SystemServices(say, TDesktopUse::FilesOnly), say);
}
