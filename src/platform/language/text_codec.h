// Converts UTF-8 text to the system's ANSI code page (on POSIX: the locale's character set).
// A character the code page cannot represent becomes '?'. One encoder per thread.
#pragma once

#include <string>
#include <string_view>

class TAnsiEncoder {
 public:
  // The system's code page.
  TAnsiEncoder();
  // A named character set, as the system names it (for example "ISO-8859-1").
  explicit TAnsiEncoder(const std::string& charset);
  ~TAnsiEncoder();
  TAnsiEncoder(const TAnsiEncoder&) = delete;
  TAnsiEncoder& operator=(const TAnsiEncoder&) = delete;

  // True when the code page is UTF-8 itself and text passes unchanged.
  bool Identity() const { return identity_; }
  // True when utf8 would come out byte for byte unchanged (UTF-8 target, or plain ASCII text and a
  // code page that extends ASCII), so callers may skip the conversion.
  bool PassesUnchanged(std::string_view utf8) const;
  // True when every plain ASCII text comes out byte for byte unchanged.
  bool AsciiPassesUnchanged() const { return identity_ || ascii_compatible_; }
  // True when the code page holds every character of utf8, so nothing would become '?'.
  bool Holds(std::string_view utf8);
  // Appends the encoded form of utf8 to out.
  void Encode(std::string_view utf8, std::string& out);

 private:
  // Whether printable ASCII and line ends come out unchanged in this code page.
  void MeasureAsciiCompatibility();
  void* cd_ = nullptr;
  bool identity_ = false;
  bool ascii_compatible_ = false;
};
