// Lets a library that opens files by name through the C library's narrow calls reach a file
// with an ASCII name in any folder. On POSIX a name is bytes and the folder's path serves as it
// is. On Windows the narrow calls read names in the ANSI code page, which cannot spell every
// folder, so while this lives the process's current folder is that folder and names are bare.
// Main thread only; no other thread may rely on the current folder meanwhile.
#pragma once

#include <filesystem>
#include <string>

class TNarrowFolder {
 public:
  // Throws EOSError when the folder cannot be entered.
  explicit TNarrowFolder(const std::filesystem::path& folder);
  ~TNarrowFolder();
  TNarrowFolder(const TNarrowFolder&) = delete;
  TNarrowFolder& operator=(const TNarrowFolder&) = delete;

  // The folder itself, and a file of it, as a narrow call takes them.
  const std::string& Spelling() const { return spelling_; }
  std::string Name(const std::string& asciiName) const;

 private:
  std::string spelling_;
  std::filesystem::path previous_;
};
