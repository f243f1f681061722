#include "text/mo_catalog.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

namespace {

using Pairs = std::vector<std::pair<std::string, std::string>>;

// A catalog as msgfmt lays it out: header, two descriptor tables, then the NUL-ended strings.
std::vector<unsigned char> MoBytes(const Pairs& pairs, bool bigEndian) {
  std::vector<unsigned char> out;
  const auto u32 = [&](std::size_t at, std::uint32_t v) {
    if (out.size() < at + 4) out.resize(at + 4);
    for (int i = 0; i < 4; ++i)
      out[at + (bigEndian ? 3 - i : i)] = static_cast<unsigned char>(v >> (8 * i));
  };
  const auto n = static_cast<std::uint32_t>(pairs.size());
  const std::uint32_t originals = 28, translations = originals + 8 * n;
  u32(0, 0x950412de);
  u32(4, 0);
  u32(8, n);
  u32(12, originals);
  u32(16, translations);
  u32(20, 0);
  u32(24, 0);
  std::size_t at = translations + 8 * n;
  for (int table = 0; table < 2; ++table) {
    for (std::uint32_t i = 0; i < n; ++i) {
      const std::string& s = table == 0 ? pairs[i].first : pairs[i].second;
      u32((table == 0 ? originals : translations) + 8 * i, static_cast<std::uint32_t>(s.size()));
      u32((table == 0 ? originals : translations) + 8 * i + 4, static_cast<std::uint32_t>(at));
      out.resize(at + s.size() + 1);
      std::copy(s.begin(), s.end(), out.begin() + static_cast<std::ptrdiff_t>(at));
      at += s.size() + 1;
    }
  }
  return out;
}

}  // namespace

TEST(MoCatalog, ReadsEitherByteOrder) {
  const Pairs pairs = {{"",
                        "Content-Type: text/plain; charset=UTF-8\n"
                        "Plural-Forms: nplurals=2; plural=(n != 1);\n"},
                       {"Exit", "Beenden"},
                       {std::string("caption\x04") + "Error", "Fehler"},
                       {std::string("file\0files", 10), std::string("Datei\0Dateien", 13)},
                       {"Unit", ""}};
  for (const bool big : {false, true}) {
    const auto bytes = MoBytes(pairs, big);
    TMoCatalog c;
    ASSERT_TRUE(c.Parse(bytes.data(), bytes.size())) << big;
    EXPECT_EQ(c.Size(), 4u);  // the header is no entry
    ASSERT_NE(c.Find("Exit"), nullptr);
    EXPECT_EQ(*c.Find("Exit"), std::vector<std::string>{"Beenden"});
    ASSERT_NE(c.Find(std::string("caption\x04") + "Error"), nullptr);
    EXPECT_EQ(*c.Find(std::string("caption\x04") + "Error"), std::vector<std::string>{"Fehler"});
    EXPECT_EQ(c.Find("Error"), nullptr);
    ASSERT_NE(c.Find("file"), nullptr);  // a counted entry, by its singular, with its forms
    EXPECT_EQ(*c.Find("file"), (std::vector<std::string>{"Datei", "Dateien"}));
    EXPECT_EQ(c.PluralForms(), "nplurals=2; plural=(n != 1);");
    EXPECT_EQ(c.Find("Unit"), nullptr);  // an empty translation counts as none
  }
}

TEST(MoCatalog, RefusesDamagedBytesWholly) {
  const auto good = MoBytes({{"Exit", "Beenden"}, {"Unit", "Einheit"}}, false);
  struct Case {
    const char* what;
    std::vector<unsigned char> bytes;
  };
  std::vector<Case> cases = {{"empty", {}},
                             {"header cut", {good.begin(), good.begin() + 20}},
                             {"last string cut", {good.begin(), good.end() - 3}}};
  auto badMagic = good;
  badMagic[0] ^= 0xff;
  cases.push_back({"magic", badMagic});
  auto hugeCount = good;
  hugeCount[11] = 0x7f;
  cases.push_back({"count past the end", hugeCount});
  auto wildOffset = good;
  wildOffset[28 + 4 + 3] = 0xff;  // first original's offset
  cases.push_back({"offset past the end", wildOffset});
  for (const Case& c : cases) {
    TMoCatalog catalog;
    ASSERT_TRUE(catalog.Parse(good.data(), good.size()));
    EXPECT_FALSE(catalog.Parse(c.bytes.data(), c.bytes.size())) << c.what;
    EXPECT_EQ(catalog.Size(), 0u) << c.what;
  }
}
