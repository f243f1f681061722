#include "mainwindow/archive.h"

#include <gtest/gtest.h>

namespace {

ArchiveSlot Slot(std::initializer_list<std::pair<int, std::uint8_t>> bytes) {
  ArchiveSlot s{};
  for (const auto& [i, v] : bytes) s[i] = v;
  return s;
}

}  // namespace

TEST(Archive, DecodesTheFieldsOfARecord) {
  const ArchiveSlot s = Slot({{0, 15},
                              {1, 6},
                              {2, 0x25},
                              {3, 3},
                              {4, 0x92},
                              {5, 30},
                              {6, 45},
                              {7, 14},
                              {8, 13},
                              {17, 105},
                              {18, 0x5E},
                              {19, 0x01},
                              {20, 2},
                              {21, 12},
                              {30, 0x5E},
                              {31, 0x01}});
  EXPECT_EQ(DecodeDateTime(RecordDateTime(s)).Year, 2013);
  EXPECT_EQ(RecordDateTime(s), EncodeDateTime(2013, 6, 15, 14, 45, 30, 0));
  EXPECT_EQ(Material(s), 2);
  EXPECT_EQ(Article(s), 5);
  EXPECT_EQ(Q(s), 3);
  EXPECT_EQ(Age(s), 2);
  EXPECT_EQ(Dir(s), 1);
  EXPECT_EQ(Cond(s), 1);  // bit 7 of byte 4
  EXPECT_DOUBLE_EQ(R(s), 35.0);
  EXPECT_DOUBLE_EQ(Kc(s), 1.05);
  EXPECT_EQ(Otbrak(s), 2);
  EXPECT_EQ(Limit(s), 12);
  EXPECT_DOUBLE_EQ(Rpr(s, 0), 35.0);
  EXPECT_EQ(Material(Slot({{2, 0xE3}})), 14);
  EXPECT_EQ(Article(Slot({{2, 0xE3}})), 3);
  EXPECT_EQ(Article(Slot({{2, 0x28}})), 8);
  EXPECT_EQ(RprCount(Slot({{3, 49}})), 49);
  EXPECT_EQ(RprCount(Slot({{3, 200}})), 49);  // nothing past byte 127 exists
}

TEST(Archive, Pack2DTClampsFieldsAndReplacesImpossibleDates) {
  struct Case {
    std::uint8_t b[6];  // s, m, h, day, month, year-2000
    TDateTime expected;
  };
  const Case cases[] = {
      {{0, 0, 0, 0, 0, 0}, EncodeDateTime(2000, 1, 1, 0, 0, 0, 0)},
      {{60, 60, 24, 32, 13, 5}, EncodeDateTime(2005, 1, 1, 0, 0, 0, 0)},
      {{59, 59, 23, 0, 0, 255}, EncodeDateTime(2255, 1, 1, 23, 59, 59, 0)},
      {{10, 20, 5, 31, 4, 13}, EncodeDateTime(2005, 1, 1, 0, 0, 0, 0)},
      {{10, 20, 5, 29, 2, 23}, EncodeDateTime(2005, 1, 1, 0, 0, 0, 0)},
      {{10, 20, 5, 29, 2, 24}, EncodeDateTime(2024, 2, 29, 5, 20, 10, 0)},
  };
  for (const auto& c : cases) EXPECT_EQ(Pack2DT(c.b, 0), c.expected) << int(c.b[3]);
}

TEST(Archive, StoringClearsTheSlotTailAndNeverPassesTheSlot) {
  TArchive a;
  a.Resize(2);
  const std::vector<std::uint8_t> big(200, 0xAA);
  ASSERT_TRUE(a.StoreRecord(big.data(), big.size()));
  ASSERT_TRUE(a.StoreRecord(big.data(), big.size()));
  EXPECT_FALSE(a.StoreRecord(big.data(), big.size()));
  EXPECT_EQ(a.RecCount(), 2u);
  a.ClearDev();
  EXPECT_EQ(a.RecTotal(), 0u);
  a.Resize(1);  // a shorter second reading keeps slot 0 until a record is stored there
  EXPECT_EQ(a.Slot(0)[127], 0xAA);
  const std::uint8_t small[3] = {1, 2, 3};
  ASSERT_TRUE(a.StoreRecord(small, 3));
  EXPECT_EQ(a.Slot(0)[2], 3);
  for (std::size_t i = 3; i < kSlotSize; ++i) ASSERT_EQ(a.Slot(0)[i], 0) << i;
}
