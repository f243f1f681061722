// The text report of a reading checked cell by cell against the archive the tester served;
// shared by the end-to-end tests of every system.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

// One record of 128 bytes and the fields the report shows.
struct TRecord {
  std::vector<std::uint8_t> bytes = std::vector<std::uint8_t>(128, 0);
  unsigned R() const { return bytes[18] | bytes[19] << 8; }
  unsigned S() const { return bytes[9] | bytes[10] << 8; }
  unsigned V() const { return bytes[11] | bytes[12] << 8; }
  unsigned Kc() const { return bytes[17]; }
  unsigned Q() const { return bytes[3]; }
  unsigned Single(unsigned k) const { return bytes[30 + 2 * k] | bytes[31 + 2 * k] << 8; }
};

inline std::string Tenths(unsigned raw, int decimals = 1, char point = '.') {
  char buf[32];
  std::snprintf(buf, sizeof buf, "%.*f", decimals, raw / (decimals == 1 ? 10.0 : 100.0));
  std::string text = buf;
  std::replace(text.begin(), text.end(), '.', point);
  return text;
}

inline std::vector<std::string> Cells(const std::string& line) {
  std::vector<std::string> cells;
  std::size_t at = 0;
  for (std::size_t p; (p = line.find(" | ", at)) != std::string::npos; at = p + 3) {
    std::string c = line.substr(at, p - at);
    const auto b = c.find_first_not_of(' ');
    const auto e = c.find_last_not_of(' ');
    cells.push_back(b == std::string::npos ? "" : c.substr(b, e - b + 1));
  }
  return cells;
}

// The report's lines after the title line, checked against the archive cell by cell; its numbers
// have the locale's decimal point.
inline void ExpectReportOf(const std::filesystem::path& file, const std::vector<TRecord>& archive,
                           bool singles, char point = '.') {
  std::ifstream in(file, std::ios::binary);
  ASSERT_TRUE(in) << file;
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> lines;
  for (std::size_t at = 0, p; (p = text.find("\r\n", at)) != std::string::npos; at = p + 2)
    lines.push_back(text.substr(at, p - at));
  ASSERT_EQ(text.substr(text.size() - 2), "\r\n");
  ASSERT_GE(lines.size(), 6u);
  EXPECT_EQ(lines[1], "Quarrow VORNEX");
  EXPECT_EQ(Cells(lines[5]).size(), singles ? 15u : 14u);
  std::size_t at = 6;
  for (std::size_t i = 0; i < archive.size(); ++i) {
    const TRecord& r = archive[i];
    ASSERT_LT(at, lines.size()) << "record " << i + 1;
    const auto c = Cells(lines[at++]);
    ASSERT_EQ(c.size(), singles ? 15u : 14u) << lines[at - 1];
    EXPECT_EQ(c[0], std::to_string(i + 1));
    EXPECT_EQ(c[5], Tenths(r.R(), 1, point)) << "record " << i + 1;
    EXPECT_EQ(c[6], Tenths(r.S(), 1, point));
    EXPECT_EQ(c[7], Tenths(r.V(), 1, point));
    EXPECT_EQ(c[12], Tenths(r.Kc(), 2, point));
    EXPECT_EQ(c[13], std::to_string(r.Q()));
    if (!singles) continue;
    for (unsigned k = 0; k < r.Q(); ++k) {
      ASSERT_LT(at, lines.size());
      const auto s = Cells(lines[at++]);
      ASSERT_EQ(s.size(), 15u);
      EXPECT_EQ(s[0], "");
      EXPECT_EQ(s[14], Tenths(r.Single(k), 1, point)) << "record " << i + 1 << " value " << k;
    }
  }
  EXPECT_EQ(at, lines.size()) << "nothing follows the last record";
}
