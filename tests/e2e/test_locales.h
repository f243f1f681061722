// The users' locales the tests run in, made with localedef into a folder of the test's own: the
// test sets LOCPATH to it, so nothing of the machine's locales is needed or changed.
#pragma once

#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

// The locales the workbook and report are checked in besides C: decimal commas, and Russian's
// narrow no-break space between thousands.
inline const std::vector<std::string> kUserLocales = {"de_DE.UTF-8", "ru_RU.UTF-8"};

// Makes each locale ("de_DE.UTF-8") in folder; empty on success, else what failed (localedef
// reads its sources from the locales package).
inline std::string MakeLocales(const std::filesystem::path& folder,
                               const std::vector<std::string>& names = kUserLocales) {
  std::filesystem::create_directories(folder);
  for (const std::string& name : names) {
    const std::string target = (folder / name).string();
    if (std::filesystem::exists(folder / name / "LC_NUMERIC")) continue;
    std::string input = name.substr(0, name.find('.'));
    std::vector<std::string> args = {"localedef", "-i", input, "-f", "UTF-8", target};
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    pid_t pid = -1;
    int status = 0;
    if (posix_spawnp(&pid, "localedef", nullptr, nullptr, argv.data(), environ) != 0 ||
        waitpid(pid, &status, 0) != pid)
      return "localedef could not be run";
    // localedef ends with 1 for warnings about the sources; the locale is made all the same.
    if (!std::filesystem::exists(folder / name / "LC_NUMERIC"))
      return "localedef made no " + name + " (is the locales package installed?)";
  }
  return {};
}
