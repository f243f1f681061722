// The program's command-line arguments as UTF-8, without the program's own name.
#pragma once

#include <string>
#include <vector>

// argc and argv as main received them. On Windows those hold the arguments in the ANSI code
// page, which cannot spell every file name; the wide command line is read instead.
std::vector<std::string> ProgramArguments(int argc, char** argv);
