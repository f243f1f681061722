// The tester's frames on the wire: "S", the payload as nibble characters (low nibble first,
// 0x30 + v), an 8-character checksum (least significant nibble first), "P". Thread-safe.
#pragma once

#include <cstdint>
#include <span>
#include <string>

// Sum of (c_k XOR k) over the payload characters, k counted from 1, modulo 2^32.
uint32_t FrameChecksum(std::string_view payload_chars);

// The complete frame for the payload; `checksum_offset` is added to the true checksum
// (a non-zero offset spoils the frame).
std::string EncodeFrame(std::span<const uint8_t> payload, uint32_t checksum_offset = 0);
