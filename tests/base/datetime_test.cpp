#include "base/datetime.h"

#include <gtest/gtest.h>

TEST(DateTime, EncodesAndDecodesAcrossTheCalendar) {
  struct Case {
    int y, mo, d, h, mi, s;
    double serial;
  } cases[] = {
      {1899, 12, 30, 0, 0, 0, 0.0},
      {2000, 1, 1, 0, 0, 0, 36526.0},
      {2013, 6, 15, 14, 45, 30, 41440.6149305556},
      {2255, 12, 31, 23, 59, 59, 130027.99998842593},
      {2004, 2, 29, 12, 0, 0, 38046.5},
  };
  for (const auto& c : cases) {
    const TDateTime v = EncodeDateTime(c.y, c.mo, c.d, c.h, c.mi, c.s, 0);
    EXPECT_NEAR(v.Value, c.serial, 1e-7) << c.y << "-" << c.mo << "-" << c.d;
    const TDateParts p = DecodeDateTime(v);
    EXPECT_EQ(p.Year, c.y);
    EXPECT_EQ(p.Month, c.mo);
    EXPECT_EQ(p.Day, c.d);
    EXPECT_EQ(p.Hour, c.h);
    EXPECT_EQ(p.Minute, c.mi);
    EXPECT_EQ(p.Second, c.s);
  }
}

TEST(DateTime, RejectsDatesThatDoNotExist) {
  EXPECT_FALSE(TryEncodeDate(2013, 4, 31));
  EXPECT_FALSE(TryEncodeDate(2001, 2, 29));
  EXPECT_FALSE(TryEncodeDate(2000, 13, 1));
  EXPECT_FALSE(TryEncodeDate(2000, 1, 0));
  EXPECT_TRUE(TryEncodeDate(2000, 2, 29));
}
