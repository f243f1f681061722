#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "text/language.h"
#include "text/plural_rule.h"
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
  EXPECT_EQ(StrN(TS::RecordsReceived, 7), "7 records received.");
  EXPECT_EQ(StrN(TS::RecordsReceived, 1), "1 record received.");
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
      for (const std::string& form : table->Forms(id))
        EXPECT_EQ(TextPlaces(form), TextPlaces(english.Text(id)))
            << lang << ": " << english.Text(id) << " -> " << form;
      if (TStringTable::Counted(id)) {
        EXPECT_EQ(table->Forms(id).size(), lang == "ru" || lang == "pl" ? 3u : 2u) << lang;
      }
    }
    UseLanguage(lang);
    EXPECT_EQ(&Str(TS::Caption), &Strings().Text(TS::Caption));
    EXPECT_EQ(Strings().Language(), lang);
  }
  UseLanguage("en");
}

// Counted texts take the form the language's Plural-Forms rule gives each count, and a rule is
// read as gettext reads it or not at all.
TEST(StringTable, CountedTextsTakeEachLanguagesForm) {
  struct Case {
    const char* lang;
    std::uint64_t n;
    const char* expected;
  } cases[] = {
      {"en", 0, "0 records received."},
      {"en", 1, "1 record received."},
      {"de", 1, "1 Datensatz empfangen."},
      {"de", 21, "21 Datens\u00e4tze empfangen."},
      {"es", 1, "1 registro recibido."},
      {"ru", 1,
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u0430 1 \u0437\u0430\u043f\u0438\u0441\u044c."},
      {"ru", 21,
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u0430 21 \u0437\u0430\u043f\u0438\u0441\u044c."},
      {"ru", 3,
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e 3 \u0437\u0430\u043f\u0438\u0441\u0438."},
      {"ru", 12,
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e 12 "
       "\u0437\u0430\u043f\u0438\u0441\u0435\u0439."},
      {"ru", 111,
       "\u041f\u043e\u043b\u0443\u0447\u0435\u043d\u043e 111 "
       "\u0437\u0430\u043f\u0438\u0441\u0435\u0439."},
      {"pl", 1, "Odebrano 1 rekord."},
      {"pl", 22, "Odebrano 22 rekordy."},
      {"pl", 12, "Odebrano 12 rekord\u00f3w."},
      {"pl", 21, "Odebrano 21 rekord\u00f3w."},
  };
  for (const Case& c : cases) {
    UseLanguage(c.lang);
    EXPECT_EQ(StrN(TS::RecordsReceived, c.n), c.expected) << c.lang << " " << c.n;
  }
  UseLanguage("en");
  EXPECT_EQ(StrN(TS::ReadingStopped, 1, {"0", "1"}),
            "The last reading stopped after 0 of 1 record.");  // counted by its second place

  const auto rule = TPluralRule::Parse(
      "nplurals=3; plural=(n==1 ? 0 : n%10>=2 && n%10<=4 && (n%100<10 || n%100>=20) ? 1 : 2);");
  ASSERT_TRUE(rule);
  EXPECT_EQ(rule->Forms(), 3u);
  EXPECT_EQ(rule->Index(1), 0u);
  EXPECT_EQ(rule->Index(104), 1u);
  EXPECT_EQ(rule->Index(114), 2u);
  EXPECT_EQ(TPluralRule::Parse("nplurals=1; plural=0;")->Index(5), 0u);
  EXPECT_EQ(TPluralRule::Parse("nplurals=2; plural=n>1;")->Index(1), 0u);
  EXPECT_EQ(TPluralRule::Parse("nplurals=2; plural=n%10!=1 ? 5 : 1;")->Index(3), 0u);  // past
  for (const char* bad :
       {"", "nplurals=2;", "plural=n!=1;", "nplurals=2; plural=(n!=1;", "nplurals=2; plural=n x 1;",
        "nplurals=9; plural=n;", "nplurals=2; plural=n%0;"})
    EXPECT_FALSE(TPluralRule::Parse(bad)) << bad;
}
