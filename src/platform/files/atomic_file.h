// Replaces a file as a whole or not at all: the content goes to a temporary file in the target's
// folder, which Commit syncs and renames over the target. Until then the old file stays
// untouched; a failed or abandoned write leaves no temporary file behind.
//
//   TAtomicFile f(Utf8Path("report.txt"));  // throws EOSError when the folder refuses the file
//   f.Write(data, size);
//   f.Commit();                              // now report.txt holds exactly what was written
//
// A target that is a symbolic link is written through: the file it points to is replaced and
// the link stays. A replaced file keeps its permissions. The temporary name is short and ASCII
// whatever the target's name, so it fits wherever the target fits and narrow calls can open it.
// Errors name the target: "Cannot create file "<name>". <reason>" while the temporary file is
// made, "Cannot write file "<name>". <reason>" after.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

// The temporary file of one replacement, for writers that open it by name themselves.
class TFileReplacement {
 public:
  // Creates the empty temporary file beside the file that target resolves to. An existing
  // target that this process could not write, or that is no regular file, is refused.
  explicit TFileReplacement(const std::filesystem::path& target);
  ~TFileReplacement();
  TFileReplacement(const TFileReplacement&) = delete;
  TFileReplacement& operator=(const TFileReplacement&) = delete;

  const std::filesystem::path& Target() const { return target_; }  // as the caller named it
  const std::filesystem::path& Folder() const { return folder_; }  // where both files live
  const std::filesystem::path& Temp() const { return temp_; }
  // The temporary file's handle (a descriptor on POSIX, a HANDLE on Windows) while it is open.
  std::intptr_t Handle() const { return handle_; }
  void WriteAll(const char* data, std::size_t size);
  // Closes the handle, so that another writer may open the temporary file by name.
  void Close();
  // Gives the temporary file the target's permissions, syncs it and renames it over the target.
  void Commit();

  // The error of this replacement: its text names the target. Fail takes the system's code,
  // FailErrno a C library errno (they differ on Windows).
  [[noreturn]] void Fail(int code) const;
  [[noreturn]] void FailErrno(int code) const;

 private:
  std::filesystem::path target_, resolved_, folder_, temp_;
  std::intptr_t handle_ = -1;
  bool existed_ = false;
  unsigned mode_ = 0;
  unsigned owner_ = 0, group_ = 0;
  bool created_ = false, committed_ = false;
};

// A replacement written through a buffer.
class TAtomicFile {
 public:
  explicit TAtomicFile(const std::filesystem::path& target) : file_(target) {}
  TAtomicFile(const TAtomicFile&) = delete;
  TAtomicFile& operator=(const TAtomicFile&) = delete;

  void Write(const void* data, std::size_t size);
  void Write(const std::string& s) { Write(s.data(), s.size()); }
  // Flushes, syncs and renames over the target; throws EOSError on failure (target unchanged).
  void Commit();

 private:
  void Flush();
  TFileReplacement file_;
  std::vector<char> buffer_;
};

// Creates a new empty file; false, touching nothing, when something of that name exists.
// Throws EOSError for any other failure.
bool CreateNewFile(const std::filesystem::path& file);

// "Cannot create file "<name>". <reason>" and "Cannot write file "<name>". <reason>".
std::string CannotCreateFileText(const std::filesystem::path& file, const std::string& reason);
std::string CannotWriteFileText(const std::filesystem::path& file, const std::string& reason);

// Whether a C library errno says that written data did not reach the file (a full disk, a quota,
// a file-size limit, an I/O error): for writers that ignore the result of their own writes.
bool IsLostWriteErrno(int code);

// The operating system's text for an error code (errno on POSIX, GetLastError on Windows).
std::string SysErrorMessage(int code);
