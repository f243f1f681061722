// The buffering and the texts of atomic replacement; the files themselves are the system's.
#include "platform/atomic_file.h"

#include <cstring>

#include "base/exceptions.h"
#include "base/utf8_path.h"

namespace {

constexpr std::size_t kBufferSize = 1 << 20;

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

void TFileReplacement::FailErrno(int code) const {
  const std::string reason = std::strerror(code);
  throw EOSError(
      created_ ? CannotWriteFileText(target_, reason) : CannotCreateFileText(target_, reason),
      static_cast<unsigned>(code));
}

std::string CannotCreateFileText(const std::filesystem::path& file, const std::string& reason) {
  return "Cannot create file \"" + PathUtf8(file) + "\". " + reason;
}

std::string CannotWriteFileText(const std::filesystem::path& file, const std::string& reason) {
  return "Cannot write file \"" + PathUtf8(file) + "\". " + reason;
}
