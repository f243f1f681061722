// The desktop around the built-in workbook: the user's cache folder and opening a file in the
// desktop's program for its type. One implementation per operating system.
#pragma once

#include <filesystem>
#include <memory>
#include <string>

class TDesktop {
 public:
  virtual ~TDesktop() = default;
  // Where the program may keep files the user can lose (on Linux $XDG_CACHE_HOME or ~/.cache).
  virtual std::filesystem::path UserCacheFolder() = 0;
  // Opens the file in the desktop's program; false with a reason when none could.
  virtual bool OpenFile(const std::filesystem::path& file, std::string& error) = 0;
};

std::unique_ptr<TDesktop> CreateSystemDesktop();
