#include <iconv.h>
#include <langinfo.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstring>

#include "base/exceptions.h"
#include "platform/language/system_locale_posix.h"
#include "platform/language/text_codec.h"

namespace {

bool IsUtf8Name(const std::string& name) {
  std::string n;
  for (const char c : name)
    if (c != '-' && c != '_') n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return n == "utf8";
}

std::size_t Utf8SequenceLength(unsigned char lead) {
  if (lead < 0x80) return 1;
  if ((lead & 0xE0) == 0xC0) return 2;
  if ((lead & 0xF0) == 0xE0) return 3;
  if ((lead & 0xF8) == 0xF0) return 4;
  return 1;
}

std::string SystemCharset() {
  const TEnvironmentLocale environment;
  const char* cs = nl_langinfo_l(CODESET, environment.Get());
  return (cs && *cs) ? cs : "ASCII";
}

}  // namespace

TAnsiEncoder::TAnsiEncoder() : TAnsiEncoder(SystemCharset()) {}

TAnsiEncoder::TAnsiEncoder(const std::string& charset) {
  if (IsUtf8Name(charset)) {
    identity_ = true;
    return;
  }
  const iconv_t cd = iconv_open(charset.c_str(), "UTF-8");
  if (cd == reinterpret_cast<iconv_t>(-1))
    throw EOSError("Unknown character set \"" + charset + "\"", static_cast<unsigned>(errno));
  cd_ = cd;
  MeasureAsciiCompatibility();
}

TAnsiEncoder::~TAnsiEncoder() {
  if (cd_) iconv_close(static_cast<iconv_t>(cd_));
}

void TAnsiEncoder::Encode(std::string_view utf8, std::string& out) {
  if (identity_) {
    out.append(utf8);
    return;
  }
  const auto cd = static_cast<iconv_t>(cd_);
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char buf[16384];
  while (in_left > 0) {
    char* o = buf;
    std::size_t o_left = sizeof buf;
    const std::size_t r = iconv(cd, &in, &in_left, &o, &o_left);
    out.append(buf, static_cast<std::size_t>(o - buf));
    if (r != static_cast<std::size_t>(-1)) continue;
    if (errno == E2BIG) continue;
    // Unrepresentable, malformed or cut-off sequence: one '?' for the character.
    out += '?';
    const std::size_t skip = std::min(in_left, Utf8SequenceLength(static_cast<unsigned char>(*in)));
    in += skip;
    in_left -= skip;
    iconv(cd, nullptr, nullptr, nullptr, nullptr);
  }
}

bool TAnsiEncoder::Holds(std::string_view utf8) {
  if (identity_) return true;
  const auto cd = static_cast<iconv_t>(cd_);
  char* in = const_cast<char*>(utf8.data());
  std::size_t in_left = utf8.size();
  char buf[4096];
  bool held = true;
  while (in_left > 0 && held) {
    char* o = buf;
    std::size_t o_left = sizeof buf;
    held = iconv(cd, &in, &in_left, &o, &o_left) != static_cast<std::size_t>(-1) || errno == E2BIG;
  }
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  return held;
}
