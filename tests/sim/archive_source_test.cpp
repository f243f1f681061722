#include "archive_source.h"

#include <gtest/gtest.h>

#include <fstream>
#include <set>

#include "base/datetime.h"
#include "base/exceptions.h"

namespace {
unsigned Word(const TSimRecord& r, size_t pos) {
  return r[pos] | r[pos + 1] << 8;
}
}  // namespace

TEST(SimArchive, GeneratedRecordsAreValidAndCoverEveryCode) {
  const auto records = GenerateArchive(500, 42);
  ASSERT_EQ(records.size(), 500u);
  std::set<unsigned> materials, articles, dirs, ages, conds, otbrak;
  for (size_t i = 0; i < records.size(); ++i) {
    const TSimRecord& r = records[i];
    SCOPED_TRACE(i);
    EXPECT_TRUE(IsValidDate(2000 + r[8], r[1], r[0]));
    EXPECT_LE(r[5], 59);
    EXPECT_LE(r[6], 59);
    EXPECT_LE(r[7], 23);
    materials.insert(r[2] >> 4);
    articles.insert(r[2] & 15);
    ages.insert(r[4] & 15);
    dirs.insert((r[4] >> 4) & 7);
    conds.insert(r[4] >> 7);
    otbrak.insert(r[20]);
    const unsigned strength = Word(r, 18);
    EXPECT_GE(strength, 100u);
    EXPECT_LE(strength, 800u);
    EXPECT_GE(r[17], 90);
    EXPECT_LE(r[17], 110);
    ASSERT_GE(r[3], 5);
    ASSERT_LE(r[3], 15);
    for (size_t k = 0; k < r[3]; ++k) {
      const unsigned single = Word(r, 30 + 2 * k);
      EXPECT_GE(single * 100, strength * 85);  // within 15 % of R
      EXPECT_LE(single * 100, strength * 115);
    }
    for (size_t k = r[3]; k < 49; ++k) EXPECT_EQ(Word(r, 30 + 2 * k), 0u);
    EXPECT_GT(Word(r, 9), 0u);                                      // S
    EXPECT_NEAR(Word(r, 11), Word(r, 9) * 1000.0 / strength, 0.5);  // V = S / R
  }
  EXPECT_EQ(materials.size(), 14u);
  EXPECT_EQ(*materials.rbegin(), 13u);
  EXPECT_EQ(articles.size(), 8u);
  EXPECT_EQ(*articles.rbegin(), 7u);
  EXPECT_EQ(dirs.size(), 5u);
  EXPECT_EQ(*dirs.rbegin(), 4u);
  EXPECT_EQ(ages.size(), 8u);
  EXPECT_EQ(*ages.rbegin(), 7u);
  EXPECT_EQ(conds, (std::set<unsigned>{0, 1}));
  EXPECT_EQ(otbrak, (std::set<unsigned>{0, 1, 2}));
}

TEST(SimArchive, FixedSingleCountFillsTheSlot) {
  for (unsigned q : {1u, 49u}) {
    for (const TSimRecord& r : GenerateArchive(20, 3, q)) {
      EXPECT_EQ(r[3], q);
      for (size_t k = 0; k < q; ++k) EXPECT_GE(Word(r, 30 + 2 * k), 85u);
      if (q == 1) {
        EXPECT_EQ(Word(r, 9), 0u);  // no spread with one impact
      }
    }
  }
}

TEST(SimArchive, SameSeedSameArchive) {
  EXPECT_EQ(GenerateArchive(50, 7), GenerateArchive(50, 7));
  EXPECT_NE(GenerateArchive(50, 7), GenerateArchive(50, 8));
  const auto longer = GenerateArchive(60, 7);
  EXPECT_EQ(std::vector<TSimRecord>(longer.begin(), longer.begin() + 50), GenerateArchive(50, 7));
}

TEST(SimArchive, LoadsWholeRecordsOnly) {
  const auto dir =
      std::filesystem::temp_directory_path() /
      ("q2e_simarchive_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  std::filesystem::create_directories(dir);
  const auto records = GenerateArchive(3, 1);
  {
    std::ofstream out(dir / "good.bin", std::ios::binary);
    for (const auto& r : records) out.write(reinterpret_cast<const char*>(r.data()), r.size());
    std::ofstream(dir / "short.bin", std::ios::binary)
        << std::string(128, 'a') << std::string(5, 'b');
    std::ofstream(dir / "empty.bin", std::ios::binary);
  }
  EXPECT_EQ(LoadArchive(dir / "good.bin"), records);
  EXPECT_TRUE(LoadArchive(dir / "empty.bin").empty());
  EXPECT_THROW(LoadArchive(dir / "short.bin"), Exception);
  EXPECT_THROW(LoadArchive(dir / "missing.bin"), Exception);
  std::filesystem::remove_all(dir);
}
