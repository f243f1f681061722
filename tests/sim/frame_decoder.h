// The reader's view of a frame, written apart from the simulator's encoder so that the tests
// check one against the other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct TDecodedFrame {
  std::string Prefix;  // bytes before "S"
  std::vector<uint8_t> Payload;
  bool ChecksumOk = false;
};

// Empty when the bytes hold no "S" ... "P" with at least 11 characters between the markers.
inline std::optional<TDecodedFrame> DecodeFrame(const std::string& bytes) {
  const auto s = bytes.find('S');
  const auto p = bytes.find('P');
  if (s == std::string::npos || p == std::string::npos || p < s || p - s - 1 < 11) return {};
  TDecodedFrame f;
  f.Prefix = bytes.substr(0, s);
  const std::string body = bytes.substr(s + 1, p - s - 1);
  const std::string chars = body.substr(0, body.size() - 8), sum = body.substr(body.size() - 8);
  uint64_t expected = 0;
  for (size_t k = 0; k < chars.size(); ++k)
    expected += static_cast<uint64_t>(static_cast<uint8_t>(chars[k])) ^ (k + 1);
  uint64_t got = 0;
  for (int i = 7; i >= 0; --i) got = got * 16 + static_cast<uint8_t>(sum[i] - '0');
  f.ChecksumOk = (expected & 0xFFFFFFFFu) == got;
  for (size_t j = 0; j + 1 < chars.size(); j += 2)
    f.Payload.push_back(static_cast<uint8_t>((chars[j + 1] - '0') * 16 + (chars[j] - '0')));
  return f;
}
