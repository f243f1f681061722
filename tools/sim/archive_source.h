// Where the simulated tester's archive comes from: generated records with realistic content
// or a file of raw 128-byte records; and the header packet that announces them. Thread-safe.
#pragma once

#include <array>
#include <cstdint>
#include <filesystem>
#include <vector>

constexpr size_t kSimRecordSize = 128;
constexpr size_t kSimMaxRecords = 65535;
using TSimRecord = std::array<uint8_t, kSimRecordSize>;

// The same (count, seed) always gives the same records. Every field lies in its valid range;
// materials 0..13, articles 0..7, directions 0..4 and ages 0..7 all occur given enough records.
// Each record holds `singles` single values (1..49), or 5..15 of them when `singles` is 0.
std::vector<TSimRecord> GenerateArchive(size_t count, uint64_t seed, unsigned singles = 0);

// A file of whole 128-byte records (at most 65535); throws Exception with a readable message.
std::vector<TSimRecord> LoadArchive(const std::filesystem::path& file);

struct TSimHeader {
  int Year = 2026, Month = 1, Day = 1;  // the tester's date
  uint16_t Value5 = 0x0102;             // two values the tester sends along (firmware, serial)
  uint16_t Value7 = 1234;
  uint16_t Count = 0;
  bool Rejected = false;  // byte 1 = 1: a header the reader must refuse
};

// The 12 decoded bytes of the header packet.
std::vector<uint8_t> EncodeHeader(const TSimHeader& header);
