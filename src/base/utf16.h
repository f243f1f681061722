// Text is held as UTF-8; where the program counts characters (column widths, centring), it
// counts UTF-16 code units, as the file formats and the window toolkit do.
#pragma once

#include <cstddef>
#include <string_view>

// Number of UTF-16 code units that the UTF-8 text takes (a code point above U+FFFF counts 2).
inline std::size_t Utf16Length(std::string_view utf8) {
  std::size_t n = 0;
  for (const char c : utf8) {
    const auto b = static_cast<unsigned char>(c);
    if ((b & 0xC0) != 0x80) n += (b >= 0xF0) ? 2 : 1;
  }
  return n;
}
