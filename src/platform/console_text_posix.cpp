#include <cstdio>

#include "platform/console_text.h"

void WriteStderr(std::string_view utf8) {
  std::fwrite(utf8.data(), 1, utf8.size(), stderr);
  std::fflush(stderr);
}
