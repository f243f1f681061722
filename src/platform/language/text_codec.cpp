#include "platform/language/text_codec.h"

#include <algorithm>

bool TAnsiEncoder::PassesUnchanged(std::string_view utf8) const {
  if (identity_) return true;
  if (!ascii_compatible_) return false;
  return std::all_of(utf8.begin(), utf8.end(),
                     [](char c) { return static_cast<unsigned char>(c) < 0x80; });
}

void TAnsiEncoder::MeasureAsciiCompatibility() {
  std::string ascii;
  for (char c = 0x20; c < 0x7F; ++c) ascii += c;
  ascii += "\r\n";
  std::string out;
  Encode(ascii, out);
  ascii_compatible_ = out == ascii;
}
