// The user's locale as the environment names it, for reading its settings. The process's own C
// locale is never switched to it, so printf and strtod keep writing and reading numbers with a
// point, as every file format wants them (POSIX files only).
#pragma once

#include <locale.h>

// The environment's locale (LC_ALL, LC_*, LANG) as it is when made, for as long as the object
// lives; the C locale where the environment names one the system does not have.
class TEnvironmentLocale {
 public:
  TEnvironmentLocale();
  ~TEnvironmentLocale();
  TEnvironmentLocale(const TEnvironmentLocale&) = delete;
  TEnvironmentLocale& operator=(const TEnvironmentLocale&) = delete;
  locale_t Get() const { return locale_; }

 private:
  locale_t locale_;
};
