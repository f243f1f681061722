#include "frame.h"

namespace {
char Nibble(unsigned v) {
  return static_cast<char>(0x30 + (v & 15));
}
}  // namespace

uint32_t FrameChecksum(std::string_view payload_chars) {
  uint32_t sum = 0;
  uint32_t k = 1;
  for (const char c : payload_chars) sum += (static_cast<uint8_t>(c) ^ k++);
  return sum;
}

std::string EncodeFrame(std::span<const uint8_t> payload, uint32_t checksum_offset) {
  std::string frame;
  frame.reserve(payload.size() * 2 + 10);
  frame.push_back('S');
  for (const uint8_t b : payload) {
    frame.push_back(Nibble(b));
    frame.push_back(Nibble(b >> 4));
  }
  const uint32_t sum = FrameChecksum(std::string_view(frame).substr(1)) + checksum_offset;
  for (int i = 0; i < 8; ++i) frame.push_back(Nibble(sum >> (4 * i)));
  frame.push_back('P');
  return frame;
}
