// A desktop for the built-in workbook's tests: a cache folder of the test's choosing, and a
// record of the files it was asked to open (which it opens or refuses as told).
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "sheetexport/desktop.h"

class FakeDesktop : public TDesktop {
 public:
  explicit FakeDesktop(std::filesystem::path cache) : cache_(std::move(cache)) {}
  std::filesystem::path UserCacheFolder() override { return cache_; }
  bool OpenFile(const std::filesystem::path& file, std::string& error) override {
    Opened.push_back(file);
    if (!Opens) error = "no program";
    return Opens;
  }
  std::vector<std::filesystem::path> Opened;
  bool Opens = true;

 private:
  std::filesystem::path cache_;
};
