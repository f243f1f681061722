#include <unistd.h>

#include <cstdio>

#include "platform/process/stderr_capture.h"

TStderrCapture::TStderrCapture() {
  std::fflush(stderr);
  std::FILE* f = std::tmpfile();
  if (!f) return;
  file_ = dup(fileno(f));
  std::fclose(f);  // unlinked already: the descriptor keeps it
  saved_ = dup(STDERR_FILENO);
  active_ = file_ >= 0 && dup2(file_, STDERR_FILENO) >= 0;
}

TStderrCapture::~TStderrCapture() {
  std::fflush(stderr);
  if (active_) {
    if (saved_ >= 0)
      dup2(saved_, STDERR_FILENO);
    else
      close(STDERR_FILENO);
  }
  if (saved_ >= 0) close(saved_);
  if (file_ >= 0) close(file_);
}

std::string TStderrCapture::Text() {
  std::fflush(stderr);
  std::string text;
  if (!active_) return text;
  char buf[4096];
  for (off_t at = 0;;) {
    const ssize_t n = pread(file_, buf, sizeof buf, at);
    if (n <= 0) break;
    text.append(buf, static_cast<std::size_t>(n));
    at += n;
  }
  return text;
}
