// quarrow2excel-cli: reads a Quarrow tester without a window, for scripts and batches.
#include <string>

#include "app/cli_reader.h"
#include "app/program.h"
#include "base/exceptions.h"
#include "base/version.h"
#include "platform/language/console_text.h"
#include "platform/process/program_args.h"
#include "serial/srclasses.h"

int main(int argc, char** argv) {
  const auto say = [](const std::string& text) { PrintText(TStream::Error, text + "\n"); };
  UseUserLanguage();
  TCliOptions options;
  try {
    options = ParseCliOptions(ProgramArguments(argc, argv));
  } catch (const std::exception& e) {
    PrintText(TStream::Error, "quarrow2excel-cli: " + std::string(e.what()) + "\n\n" + CliUsage());
    return kExitUsage;
  }
  if (!options.Language.empty()) UseUserLanguage(options.Language);
  if (options.Help) {
    PrintText(TStream::Output, CliUsage());
    return kExitOk;
  }
  if (options.Version) {
    PrintText(TStream::Output, std::string("quarrow2excel-cli ") + kProgramVersion + "\n");
    return kExitOk;
  }
  if (options.ListReadings)
    return ListReadings(
        options, [](const std::string& line) { PrintText(TStream::Output, line + "\n"); }, say);
  SetSerialErrorBox(say);
  return RunCliReader(options, SystemServices(say, TDesktopUse::FilesOnly), say);
}
