// The received archive: the announced and received record counts and one 128-byte raw slot per
// record in reception order, with the decoders that turn slot bytes into field values.
// Main thread only.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

#include "base/datetime.h"

constexpr std::size_t kSlotSize = 128;
// Single values live at bytes 30..127 of a slot.
constexpr std::size_t kMaxSingles = 49;

using ArchiveSlot = std::array<std::uint8_t, kSlotSize>;

class TArchive {
 public:
  std::uint32_t RecTotal() const { return rec_total_; }
  std::uint32_t RecCount() const { return rec_count_; }
  // Both counts become 0; the slots keep their bytes.
  void ClearDev();
  // Announces count records: RecTotal = count, RecCount = 0, and count slots are held. Slots kept
  // from an earlier reading keep their bytes (every stored record rewrites its whole slot).
  void Resize(std::uint32_t count);
  // Copies the first min(size, 128) bytes into slot RecCount, zeroes the rest of that slot (a
  // shorter record shows nothing of an earlier reading) and counts it. Returns false, storing
  // nothing, when all announced slots are already filled.
  bool StoreRecord(const std::uint8_t* data, std::size_t size);
  // Whether storing these bytes would give a slot equal to the last one stored, byte for byte.
  bool SameAsLast(const std::uint8_t* data, std::size_t size) const;
  const ArchiveSlot& Slot(std::size_t index) const { return slots_[index]; }

 private:
  std::vector<ArchiveSlot> slots_;
  std::uint32_t rec_total_ = 0;
  std::uint32_t rec_count_ = 0;
};

// The bytes a record must have for every field the exports read: the fixed fields up to byte 29
// and its single values. A longer record than a slot, or a shorter one than this, is bad data.
std::size_t RecordBytesNeeded(const std::uint8_t* data, std::size_t size);

// bytes[pos] + 256 * bytes[pos + 1].
std::uint16_t Byte2Word(const std::uint8_t* bytes, std::size_t pos);
// Six bytes from pos: seconds, minutes, hours, day, month, year - 2000. Out-of-range time fields
// read 0, a day or month of 0 or beyond range reads 1; a date that does not exist gives
// 1 January 2005 00:00:00.
TDateTime Pack2DT(const std::uint8_t* bytes, std::size_t pos);

// Field decoders of a slot. Codes are returned raw; whether they are valid is the labels' concern.
TDateTime RecordDateTime(const ArchiveSlot& slot);
int Material(const ArchiveSlot& slot);
int Article(const ArchiveSlot& slot);
int Dir(const ArchiveSlot& slot);
int Age(const ArchiveSlot& slot);
int Cond(const ArchiveSlot& slot);  // bit 7 of byte 4, the bit that age and direction leave free
int Otbrak(const ArchiveSlot& slot);
int Limit(const ArchiveSlot& slot);
int Q(const ArchiveSlot& slot);
// Raw strength-like values in tenths of MPa (tenths of a percent for V).
std::uint16_t RawR(const ArchiveSlot& slot);
std::uint16_t RawS(const ArchiveSlot& slot);
std::uint16_t RawV(const ArchiveSlot& slot);
double R(const ArchiveSlot& slot);
double S(const ArchiveSlot& slot);
double V(const ArchiveSlot& slot);
double Kc(const ArchiveSlot& slot);
// The single values that exist in the slot: min(Q, 49).
int RprCount(const ArchiveSlot& slot);
// Single value k (0 <= k < RprCount), raw in tenths of MPa and in MPa.
std::uint16_t RawRpr(const ArchiveSlot& slot, int k);
double Rpr(const ArchiveSlot& slot, int k);
