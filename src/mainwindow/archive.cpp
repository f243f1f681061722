#include "archive.h"

#include <algorithm>
#include <cstring>

void TArchive::ClearDev() {
  rec_total_ = 0;
  rec_count_ = 0;
}

void TArchive::Resize(std::uint32_t count) {
  slots_.resize(count, ArchiveSlot{});
  rec_total_ = count;
  rec_count_ = 0;
}

bool TArchive::StoreRecord(const std::uint8_t* data, std::size_t size) {
  if (rec_count_ >= rec_total_ || rec_count_ >= slots_.size()) return false;
  ArchiveSlot& slot = slots_[rec_count_];
  const std::size_t n = std::min(size, kSlotSize);
  std::memcpy(slot.data(), data, n);
  std::memset(slot.data() + n, 0, kSlotSize - n);
  ++rec_count_;
  return true;
}

bool TArchive::SameAsLast(const std::uint8_t* data, std::size_t size) const {
  if (rec_count_ == 0) return false;
  const ArchiveSlot& last = slots_[rec_count_ - 1];
  const std::size_t n = std::min(size, kSlotSize);
  return std::memcmp(last.data(), data, n) == 0 &&
         std::all_of(last.begin() + static_cast<std::ptrdiff_t>(n), last.end(),
                     [](std::uint8_t b) { return b == 0; });
}

std::size_t RecordBytesNeeded(const std::uint8_t* data, std::size_t size) {
  constexpr std::size_t kFixed = 30;
  if (size < kFixed) return kFixed;
  return kFixed + 2 * std::min<std::size_t>(data[3], kMaxSingles);
}

std::uint16_t Byte2Word(const std::uint8_t* bytes, std::size_t pos) {
  return static_cast<std::uint16_t>(bytes[pos] + 256 * bytes[pos + 1]);
}

TDateTime Pack2DT(const std::uint8_t* bytes, std::size_t pos) {
  const std::uint8_t* b = bytes + pos;
  const int second = b[0] > 59 ? 0 : b[0];
  const int minute = b[1] > 59 ? 0 : b[1];
  const int hour = b[2] > 23 ? 0 : b[2];
  const int day = (b[3] == 0 || b[3] > 31) ? 1 : b[3];
  const int month = (b[4] == 0 || b[4] > 12) ? 1 : b[4];
  const int year = 2000 + b[5];
  const auto date = TryEncodeDate(year, month, day);
  if (!date) return *TryEncodeDate(2005, 1, 1);
  return TDateTime{date->Value + EncodeTime(hour, minute, second, 0).Value};
}

TDateTime RecordDateTime(const ArchiveSlot& slot) {
  const std::uint8_t six[6] = {slot[5], slot[6], slot[7], slot[0], slot[1], slot[8]};
  return Pack2DT(six, 0);
}

int Material(const ArchiveSlot& slot) {
  return slot[2] >> 4;
}
int Article(const ArchiveSlot& slot) {
  return slot[2] & 15;
}
int Dir(const ArchiveSlot& slot) {
  return (slot[4] >> 4) & 7;
}
int Age(const ArchiveSlot& slot) {
  return slot[4] & 15;
}
int Cond(const ArchiveSlot& slot) {
  return slot[4] >> 7;
}
int Otbrak(const ArchiveSlot& slot) {
  return slot[20];
}
int Limit(const ArchiveSlot& slot) {
  return slot[21];
}
int Q(const ArchiveSlot& slot) {
  return slot[3];
}

std::uint16_t RawR(const ArchiveSlot& slot) {
  return Byte2Word(slot.data(), 18);
}
std::uint16_t RawS(const ArchiveSlot& slot) {
  return Byte2Word(slot.data(), 9);
}
std::uint16_t RawV(const ArchiveSlot& slot) {
  return Byte2Word(slot.data(), 11);
}
double R(const ArchiveSlot& slot) {
  return RawR(slot) / 10.0;
}
double S(const ArchiveSlot& slot) {
  return RawS(slot) / 10.0;
}
double V(const ArchiveSlot& slot) {
  return RawV(slot) / 10.0;
}
double Kc(const ArchiveSlot& slot) {
  return slot[17] / 100.0;
}

int RprCount(const ArchiveSlot& slot) {
  return std::min(Q(slot), static_cast<int>(kMaxSingles));
}

std::uint16_t RawRpr(const ArchiveSlot& slot, int k) {
  return Byte2Word(slot.data(), 30 + 2 * static_cast<std::size_t>(k));
}
double Rpr(const ArchiveSlot& slot, int k) {
  return RawRpr(slot, k) / 10.0;
}
