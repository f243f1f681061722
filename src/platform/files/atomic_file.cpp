// The buffering and the texts of atomic replacement; the files themselves are the system's.
#include "platform/files/atomic_file.h"

#include <cstring>

#include "base/exceptions.h"
#include "base/utf8_path.h"
#include "text/string_table.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

// Before the temporary file exists the target could not be created; after, not written.
[[noreturn]] void Raise(bool created, const std::filesystem::path& target,
                        const std::string& reason, int code) {
  throw EOSError(
      created ? CannotWriteFileText(target, reason) : CannotCreateFileText(target, reason),
      static_cast<unsigned>(code));
}

}  // namespace

void TAtomicFile::Write(const void* data, std::size_t size) {
  const char* p = static_cast<const char*>(data);
  if (buffer_.size() + size > kBufferSize) Flush();
  if (size >= kBufferSize) {
    file_.WriteAll(p, size);
    return;
  }
  if (buffer_.capacity() < kBufferSize) buffer_.reserve(kBufferSize);
  buffer_.insert(buffer_.end(), p, p + size);
}

void TAtomicFile::Flush() {
  file_.WriteAll(buffer_.data(), buffer_.size());
  buffer_.clear();
}

void TAtomicFile::Commit() {
  Flush();
  file_.Commit();
}

void TFileReplacement::Fail(int code) const {
  Raise(created_, target_, SysErrorMessage(code), code);
}

void TFileReplacement::FailErrno(int code) const {
  Raise(created_, target_, std::strerror(code), code);
}

std::string CannotCreateFileText(const std::filesystem::path& file, const std::string& reason) {
  return Str(TS::CannotCreateFile, {PathUtf8(file), reason});
}

std::string CannotWriteFileText(const std::filesystem::path& file, const std::string& reason) {
  return Str(TS::CannotWriteFile, {PathUtf8(file), reason});
}
