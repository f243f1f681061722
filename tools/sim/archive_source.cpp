#include "archive_source.h"

#include <cmath>
#include <fstream>

#include "base/datetime.h"
#include "base/exceptions.h"

namespace {

// splitmix64: the same sequence on every platform, unlike the standard distributions.
class TRandom {
 public:
  explicit TRandom(uint64_t seed) : state_(seed) {}
  uint64_t Next() {
    uint64_t z = (state_ += 0x9E3779B97F4A7C15ull);
    z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
    z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
    return z ^ (z >> 31);
  }
  // Uniform in lo..hi, both included.
  int Range(int lo, int hi) {
    return lo + static_cast<int>(Next() % static_cast<uint64_t>(hi - lo + 1));
  }

 private:
  uint64_t state_;
};

void PutWord(TSimRecord& r, size_t pos, unsigned v) {
  r[pos] = static_cast<uint8_t>(v & 0xFF);
  r[pos + 1] = static_cast<uint8_t>((v >> 8) & 0xFF);
}

TSimRecord MakeRecord(size_t index, unsigned singles, TRandom& rnd) {
  TSimRecord r{};
  int year, month, day;
  do {
    year = rnd.Range(2010, 2026);
    month = rnd.Range(1, 12);
    day = rnd.Range(1, 31);
  } while (!IsValidDate(year, month, day));
  r[0] = static_cast<uint8_t>(day);
  r[1] = static_cast<uint8_t>(month);
  // Materials and articles cycle, so that a short archive already shows all of them.
  const unsigned material = index % 14, article = (index / 14 + index) % 8;
  r[2] = static_cast<uint8_t>(material << 4 | article);
  const int q = singles ? static_cast<int>(singles) : rnd.Range(5, 15);
  r[3] = static_cast<uint8_t>(q);
  const unsigned age = rnd.Range(0, 7), dir = rnd.Range(0, 4), cond = rnd.Range(0, 1);
  r[4] = static_cast<uint8_t>(cond << 7 | dir << 4 | age);
  r[5] = static_cast<uint8_t>(rnd.Range(0, 59));
  r[6] = static_cast<uint8_t>(rnd.Range(0, 59));
  r[7] = static_cast<uint8_t>(rnd.Range(0, 23));
  r[8] = static_cast<uint8_t>(year - 2000);

  const int strength = rnd.Range(100, 800);  // R in tenths of MPa
  const int spread = rnd.Range(3, 12);       // percent by which single impacts scatter
  double sum_sq = 0;
  for (int k = 0; k < q; ++k) {
    const int delta = strength * rnd.Range(-spread, spread) / 100;
    const int single = strength + delta;
    PutWord(r, 30 + 2 * static_cast<size_t>(k), static_cast<unsigned>(single));
    sum_sq += static_cast<double>(delta) * delta;
  }
  const long s = std::lround(std::sqrt(q > 1 ? sum_sq / (q - 1) : 0.0));  // tenths of MPa
  PutWord(r, 9, static_cast<unsigned>(s));
  PutWord(r, 11, static_cast<unsigned>(std::lround(1000.0 * s / strength)));  // tenths of %
  r[17] = static_cast<uint8_t>(rnd.Range(90, 110));                           // Kc in hundredths
  PutWord(r, 18, static_cast<unsigned>(strength));
  r[20] = static_cast<uint8_t>(rnd.Range(0, 2));
  r[21] = static_cast<uint8_t>(rnd.Range(10, 30));
  return r;
}

}  // namespace

std::vector<TSimRecord> GenerateArchive(size_t count, uint64_t seed, unsigned singles) {
  if (singles > 49) singles = 49;  // what fits into bytes 30..127
  TRandom rnd(seed);
  std::vector<TSimRecord> records;
  records.reserve(count);
  for (size_t i = 0; i < count; ++i) records.push_back(MakeRecord(i, singles, rnd));
  return records;
}

std::vector<TSimRecord> LoadArchive(const std::filesystem::path& file) {
  std::ifstream in(file, std::ios::binary);
  if (!in) throw Exception("cannot open the archive file " + file.string());
  std::vector<TSimRecord> records;
  TSimRecord r;
  while (in.read(reinterpret_cast<char*>(r.data()), r.size())) {
    if (records.size() == kSimMaxRecords)
      throw Exception("the archive file " + file.string() + " holds more than 65535 records");
    records.push_back(r);
  }
  if (in.gcount() != 0)
    throw Exception("the archive file " + file.string() + " does not hold whole 128-byte records");
  if (in.bad()) throw Exception("cannot read the archive file " + file.string());
  return records;
}

std::vector<uint8_t> EncodeHeader(const TSimHeader& h) {
  std::vector<uint8_t> b(12, 0);
  b[1] = h.Rejected ? 1 : 0;
  b[2] = static_cast<uint8_t>(h.Year - 2000);
  b[3] = static_cast<uint8_t>(h.Month);
  b[4] = static_cast<uint8_t>(h.Day);
  b[5] = static_cast<uint8_t>(h.Value5 & 0xFF);
  b[6] = static_cast<uint8_t>(h.Value5 >> 8);
  b[7] = static_cast<uint8_t>(h.Value7 & 0xFF);
  b[8] = static_cast<uint8_t>(h.Value7 >> 8);
  b[10] = static_cast<uint8_t>(h.Count & 0xFF);
  b[11] = static_cast<uint8_t>(h.Count >> 8);
  return b;
}
