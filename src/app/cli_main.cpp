// quarrow2excel-cli: reads a Quarrow tester without a window, for scripts and batches.
#include <cstdio>
#include <string>

#include "app/cli_reader.h"
#include "app/program.h"
#include "base/exceptions.h"
#include "base/version.h"
#include "platform/program_args.h"
#include "serial/srclasses.h"

int main(int argc, char** argv) {
  const auto say = [](const std::string& text) {
    std::fprintf(stderr, "%s\n", text.c_str());
    std::fflush(stderr);
  };
  UseUserLanguage();
  TCliOptions options;
  try {
    options = ParseCliOptions(ProgramArguments(argc, argv));
  } catch (const std::exception& e) {
    std::fprintf(stderr, "quarrow2excel-cli: %s\n\n%s", e.what(), CliUsage().c_str());
    return kExitUsage;
  }
  if (!options.Language.empty()) UseUserLanguage(options.Language);
  if (options.Help) {
    std::fputs(CliUsage().c_str(), stdout);
    return kExitOk;
  }
  if (options.Version) {
    std::printf("quarrow2excel-cli %s\n", kProgramVersion);
    return kExitOk;
  }
  SetSerialErrorBox(say);
  return RunCliReader(options, SystemServices(say, TDesktopUse::FilesOnly), say);
}
