// quarrow2excel-cli.exe of the build, run by the Windows tests as a user would run it.
#pragma once

#include <filesystem>
#include <string>

// Runs the reader with these arguments, its output into log, or without log onto the console
// the test shares with it. The exit code; -1 when it did not end within a minute, -2 when it
// did not start.
int RunReader(const std::wstring& args, const std::filesystem::path* log);

std::string ReadAll(const std::filesystem::path& file);
