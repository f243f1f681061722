// A desktop for the built-in workbook's tests: a documents folder of the test's choosing, and a
// record of the files it was asked to open (which it starts opening or refuses as told; the
// opener's late reports wait in NotOpened until the test delivers them).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "sheetexport/desktop.h"

class FakeDesktop : public TDesktop {
 public:
  explicit FakeDesktop(std::filesystem::path docs) : docs_(std::move(docs)) {}
  std::string DocumentsFolder() override {
    std::filesystem::create_directories(docs_);
    return docs_.string();
  }
  bool OpenFile(const std::string& file, std::function<void()> notOpened) override {
    Opened.push_back(file);
    NotOpened.push_back(std::move(notOpened));
    return Opens;
  }
  std::vector<std::filesystem::path> Opened;
  std::vector<std::function<void()>> NotOpened;
  bool Opens = true;

 private:
  std::filesystem::path docs_;
};
