#include <cstdio>

#include "platform/language/console_text.h"

void PrintText(TStream stream, std::string_view utf8) {
  std::FILE* f = stream == TStream::Output ? stdout : stderr;
  std::fwrite(utf8.data(), 1, utf8.size(), f);
  std::fflush(f);
}
