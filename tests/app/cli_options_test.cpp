#include "app/cli_options.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>

#include "base/exceptions.h"
#include "text/string_table.h"

namespace {

TEST(CliOptions, UnitsInEitherSpellingAndAnyCase) {
  struct Case {
    const char* text;
    std::optional<int> unit;
  } cases[] = {
      {"MPa", 0}, {"mpa", 0}, {"kg/cm2", 1}, {"KG/CM²", 1}, {"N/mm2", 2}, {"n/mm²", 2},
      {"PSI", 3}, {"psi", 3}, {"kg/cm", {}}, {"MPa ", {}},  {"", {}},     {"N/mm2/", {}},
  };
  for (const Case& c : cases) EXPECT_EQ(ParseUnit(c.text), c.unit) << c.text;
}

TEST(CliOptions, ValuesAndDefaults) {
  const TCliOptions none = ParseCliOptions({});
  EXPECT_TRUE(none.Port.empty());
  EXPECT_EQ(none.Unit, 0);
  EXPECT_TRUE(none.Singles);
  EXPECT_EQ(none.TimeoutSeconds, 60u);

  const TCliOptions all =
      ParseCliOptions({"--port",         "/dev/ttyUSB0", "--unit",     "psi",       "--no-singles",
                       "--text",         "r.txt",        "--xlsx",     "b.xlsx",    "--pdf",
                       "p.pdf",          "--csv",        "t.csv",      "--timeout", "5",
                       "--reading",      "12",           "--readings", "h.sqlite3", "--no-store",
                       "--list-readings"});
  EXPECT_EQ(all.Port, "/dev/ttyUSB0");
  EXPECT_EQ(all.Unit, 3);
  EXPECT_FALSE(all.Singles);
  EXPECT_EQ(all.Text, "r.txt");
  EXPECT_EQ(all.Xlsx, "b.xlsx");
  EXPECT_EQ(all.Pdf, "p.pdf");
  EXPECT_EQ(all.Csv, "t.csv");
  EXPECT_EQ(all.TimeoutSeconds, 5u);
  EXPECT_EQ(all.Reading, 12);
  EXPECT_EQ(all.ReadingsFile, "h.sqlite3");
  EXPECT_TRUE(all.NoStore && all.ListReadings);
  EXPECT_FALSE(none.NoStore || none.ListReadings || none.Reading);
  EXPECT_TRUE(ParseCliOptions({"--no-singles", "--singles"}).Singles) << "the last one holds";
  EXPECT_TRUE(ParseCliOptions({"--help"}).Help);
  EXPECT_FALSE(none.Version);
  EXPECT_TRUE(ParseCliOptions({"--version"}).Version);
}

TEST(CliOptions, BadUsageIsRefusedWithTheReason) {
  const std::vector<std::vector<std::string>> bad = {
      {"--unit", "bar"},   {"--unit"},          {"--timeout", "0"},
      {"--timeout", "-3"}, {"--timeout", "5s"}, {"--timeout", "99999999999"},
      {"--port"},          {"--port", ""},      {"--text"},
      {"--xlsx", ""},      {"--verbose"},       {"extra"},
      {"--lang"},          {"--lang", "xx"},    {"--lang", ""},
      {"--pdf"},           {"--pdf", ""},       {"--csv", ""},
      {"--reading", "0"},  {"--reading", "x"},  {"--reading", "-2"},
      {"--reading"},       {"--readings", ""},
  };
  for (const auto& args : bad) EXPECT_THROW(ParseCliOptions(args), Exception) << args[0];
}

TEST(CliOptions, LanguagesTheProgramCarriesOrEnglish) {
  for (const char* code : {"de", "ru", "es", "pl", "ru_RU.UTF-8", "en", "en_GB", "C", "POSIX"})
    EXPECT_EQ(ParseCliOptions({"--lang", code}).Language, code);
  try {
    ParseCliOptions({"--lang", "fr"});
    ADD_FAILURE() << "fr accepted";
  } catch (const Exception& e) {
    EXPECT_NE(e.Message().find("en, de"), std::string::npos) << e.Message();
  }
}

// Columns of a line as a terminal counts them (every letter of the carried languages is one).
std::size_t Columns(const std::string& line) {
  return static_cast<std::size_t>(
      std::count_if(line.begin(), line.end(), [](char c) { return (c & 0xC0) != 0x80; }));
}

// The help of every language names every option of the English one, and both programs' helps
// fit a terminal of 80 columns without its wrapping a word.
TEST(CliOptions, EveryHelpNamesEveryOptionWithin79Columns) {
  const std::string english = TStringTable::English().Text(TS::CliUsage);
  std::vector<std::string> languages = TStringTable::Languages();
  for (const std::string& lang : languages) {
    const std::string help = TStringTable::ForLanguage(lang)->Text(TS::CliUsage);
    EXPECT_NE(help, english) << lang;
    for (std::size_t at = english.find("  --"); at != std::string::npos;
         at = english.find("  --", at + 1)) {
      const std::string option = english.substr(at, english.find(' ', at + 2) - at);
      EXPECT_NE(help.find(option + ' '), std::string::npos) << lang << ": " << option;
    }
  }
  languages.emplace_back("en");
  for (const std::string& lang : languages) {
    UseLanguage(lang);
    for (const TS text : {TS::CliUsage, TS::WindowUsage}) {
      std::istringstream lines(Str(text));
      for (std::string line; std::getline(lines, line);)
        EXPECT_LE(Columns(line), 79u) << lang << ": " << line;
    }
  }
  UseLanguage("en");
}

}  // namespace
