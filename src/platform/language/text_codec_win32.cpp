// UTF-8 to an ANSI code page through UTF-16: MultiByteToWideChar, then WideCharToMultiByte with
// '?' for what the code page lacks (no best-fit look-alikes: a report shows what it cannot say).
#include <windows.h>

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>

#include "base/exceptions.h"
#include "platform/language/text_codec.h"
#include "platform/language/utf16_win32.h"

namespace {

std::string Folded(const std::string& name) {
  std::string n;
  for (const char c : name)
    if (c != '-' && c != '_' && c != ' ')
      n += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return n;
}

// The number after the prefix, 0 when the rest is no number.
UINT NumberAfter(const std::string& s, std::size_t prefix) {
  UINT n = 0;
  const char* end = s.data() + s.size();
  const auto [p, ec] = std::from_chars(s.data() + prefix, end, n);
  return ec == std::errc() && p == end ? n : 0;
}

// The code page of a character-set name, 0 when unknown.
UINT CodePageOf(const std::string& charset) {
  const std::string n = Folded(charset);
  if (n == "utf8") return CP_UTF8;
  if (n == "ascii" || n == "usascii") return 20127;
  if (n == "koi8r") return 20866;
  if (n == "koi8u") return 21866;
  if (n.rfind("iso8859", 0) == 0) {
    const UINT part = NumberAfter(n, 7);
    return part >= 1 && part <= 15 ? 28590 + part : 0;
  }
  if (n.rfind("windows", 0) == 0) return NumberAfter(n, 7);
  if (n.rfind("cp", 0) == 0) return NumberAfter(n, 2);
  return 0;
}

UINT CodePage(const void* cd) {
  return static_cast<UINT>(reinterpret_cast<std::uintptr_t>(cd));
}

}  // namespace

TAnsiEncoder::TAnsiEncoder() : TAnsiEncoder("cp" + std::to_string(GetACP())) {}

TAnsiEncoder::TAnsiEncoder(const std::string& charset) {
  const UINT cp = CodePageOf(charset);
  if (cp == CP_UTF8) {
    identity_ = true;
    return;
  }
  CPINFO info;
  if (cp == 0 || !GetCPInfo(cp, &info))
    throw EOSError("Unknown character set \"" + charset + "\"", ERROR_INVALID_PARAMETER);
  cd_ = reinterpret_cast<void*>(static_cast<std::uintptr_t>(cp));  // the code page itself
  MeasureAsciiCompatibility();
}

TAnsiEncoder::~TAnsiEncoder() = default;

void TAnsiEncoder::Encode(std::string_view utf8, std::string& out) {
  if (identity_) {
    out.append(utf8);
    return;
  }
  const UINT cp = CodePage(cd_);
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return;
  const int len = static_cast<int>(wide.size());
  // These code pages take neither flags nor a default character.
  const bool plain = cp == 50220 || cp == 50221 || cp == 50222 || cp == 50225 || cp == 50227 ||
                     cp == 50229 || cp == 54936 || cp == 65000 || (cp >= 57002 && cp <= 57011);
  const DWORD flags = plain ? 0 : WC_NO_BEST_FIT_CHARS;
  const char* fallback = plain ? nullptr : "?";
  const int n = WideCharToMultiByte(cp, flags, wide.data(), len, nullptr, 0, fallback, nullptr);
  const std::size_t at = out.size();
  out.resize(at + static_cast<std::size_t>(n));
  WideCharToMultiByte(cp, flags, wide.data(), len, out.data() + at, n, fallback, nullptr);
}

bool TAnsiEncoder::Holds(std::string_view utf8) {
  if (identity_) return true;
  const UINT cp = CodePage(cd_);
  const std::wstring wide = Widen(utf8);
  if (wide.empty()) return true;
  const int len = static_cast<int>(wide.size());
  const int n = WideCharToMultiByte(cp, 0, wide.data(), len, nullptr, 0, nullptr, nullptr);
  if (n <= 0) return false;
  // Best-fit look-alikes count as lost: the text must come back as it went in.
  std::string narrow(static_cast<std::size_t>(n), '\0');
  WideCharToMultiByte(cp, 0, wide.data(), len, narrow.data(), n, nullptr, nullptr);
  const int back = MultiByteToWideChar(cp, 0, narrow.data(), n, nullptr, 0);
  std::wstring again(static_cast<std::size_t>(std::max(back, 0)), L'\0');
  if (back > 0) MultiByteToWideChar(cp, 0, narrow.data(), n, again.data(), back);
  return again == wide;
}
