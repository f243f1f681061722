// The user's locale as the environment names it, for reading its settings. The process's own C
// locale is never switched to it, so printf and strtod keep writing and reading numbers with a
// point, as every file format wants them (POSIX files only).
#pragma once

#include <locale.h>

// The environment's locale (LC_ALL, LC_*, LANG), made once per process; the C locale where the
// environment names one the system does not have.
locale_t EnvironmentLocale();
