// Replaces a file as a whole or not at all: the content goes to a temporary file in the target's
// folder, which Commit renames over the target. Until then the old file stays untouched; a
// failed or abandoned write leaves no temporary file behind.
//
//   TAtomicFile f("report.txt");   // throws EOSError when the folder refuses the file
//   f.Write(data, size);
//   f.Commit();                    // now report.txt holds exactly what was written
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

class TAtomicFile {
 public:
  explicit TAtomicFile(const std::filesystem::path& target);
  ~TAtomicFile();
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(const void* data, std::size_t size);
  void Write(const std::string& s) { Write(s.data(), s.size()); }
  // Flushes, syncs and renames over the target; throws EOSError on failure (target unchanged).
  void Commit();

 private:
  void Flush();
  std::filesystem::path target_, temp_;
  std::vector<char> buffer_;
  std::intptr_t handle_ = -1;
  bool committed_ = false;
};

// Creates a new empty file; false, touching nothing, when something of that name exists.
// Throws EOSError for any other failure.
bool CreateNewFile(const std::filesystem::path& file);

// The operating system's text for an error code (errno on POSIX, GetLastError on Windows).
std::string SysErrorMessage(int code);
