#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/language.h"
#include "text/string_table.h"

TEST(StringTable, FormatTextFillsNumberedPlaces) {
  struct Case {
    const char* pattern;
    std::vector<std::string> values;
    const char* expected;
  };
  const Case cases[] = {
      {"{1} records received.", {"12"}, "12 records received."},
      {"stopped after {1} of {2}", {"3", "50"}, "stopped after 3 of 50"},
      {"{2} из {1}", {"50", "3"}, "3 из 50"},  // a translation may reorder
      {"{1}{1}", {"ab"}, "abab"},
      {"{3} stays", {"a"}, "{3} stays"},  // no value for the place
      {"{x} {} {1", {"a"}, "{x} {} {1"},
      {"", {"a"}, ""},
  };
  for (const Case& c : cases) {
    std::string out;
    switch (c.values.size()) {
      case 1:
        out = FormatText(c.pattern, {c.values[0]});
        break;
      case 2:
        out = FormatText(c.pattern, {c.values[0], c.values[1]});
        break;
    }
    EXPECT_EQ(out, c.expected) << c.pattern;
  }
}

TEST(StringTable, TextPlacesAreSortedAndUnique) {
  EXPECT_EQ(TextPlaces("{2} of {1}, {2}"), (std::vector<int>{1, 2}));
  EXPECT_EQ(TextPlaces("none {a} {}"), std::vector<int>{});
  EXPECT_EQ(TextPlaces("{9}"), std::vector<int>{9});
}

TEST(StringTable, ChoosesTheFirstCarriedPreference) {
  const std::vector<std::string> carried = {"de", "ru", "pt_BR"};
  struct Case {
    std::vector<std::string> preferences;
    const char* expected;
  };
  const Case cases[] = {
      {{"de_AT.UTF-8"}, "de"},    {{"ru-RU"}, "ru"}, {{"fr_FR", "ru_RU.UTF-8@latin"}, "ru"},
      {{"pt_BR.UTF-8"}, "pt_BR"}, {{"pt_PT"}, "en"},  // only the Brazilian catalog is carried
      {{"C", "de"}, "en"},        {{"POSIX"}, "en"}, {{"en_GB", "de"}, "en"},
      {{"", "de"}, "de"},         {{}, "en"},        {{"xx"}, "en"},
  };
  for (const Case& c : cases) {
    std::string shown;
    for (const auto& p : c.preferences) shown += p + ":";
    EXPECT_EQ(ChooseLanguage(c.preferences, carried), c.expected) << shown;
  }
}

TEST(StringTable, EnglishIsTheDefaultAndUnknownLanguagesFallBack) {
  UseLanguage("xx");
  EXPECT_EQ(Strings().Language(), "en");
  EXPECT_EQ(Str(TS::WaitingForDevice), "Waiting for device connected...");
  EXPECT_EQ(Str(TS::RecordsReceived, {"7"}), "7 records received.");
  EXPECT_EQ(TStringTable::ForLanguage("xx"), nullptr);
}

// Every carried catalog translates every entry, keeps each entry's places, and loads as the
// program's language.
TEST(StringTable, EveryCatalogIsCompleteAndKeepsThePlaces) {
  const TStringTable& english = TStringTable::English();
  const auto languages = TStringTable::Languages();
  for (const char* shipped : {"de", "es", "pl", "ru"})
    EXPECT_NE(std::find(languages.begin(), languages.end(), shipped), languages.end()) << shipped;
  for (const std::string& lang : languages) {
    const auto table = TStringTable::ForLanguage(lang);
    ASSERT_NE(table, nullptr) << lang;
    EXPECT_EQ(table->Language(), lang);
    EXPECT_TRUE(table->Untranslated().empty())
        << lang << " lacks entry " << static_cast<int>(table->Untranslated()[0]);
    for (std::size_t i = 0; i < static_cast<std::size_t>(TS::Count_); ++i) {
      const auto id = static_cast<TS>(i);
      EXPECT_FALSE(table->Text(id).empty()) << lang << " entry " << i;
      EXPECT_EQ(TextPlaces(table->Text(id)), TextPlaces(english.Text(id)))
          << lang << ": " << english.Text(id) << " -> " << table->Text(id);
    }
    UseLanguage(lang);
    EXPECT_EQ(&Str(TS::Caption), &Strings().Text(TS::Caption));
    EXPECT_EQ(Strings().Language(), lang);
  }
  UseLanguage("en");
}
