#include "sim_options.h"

#include <gtest/gtest.h>

#include <algorithm>

#include "base/exceptions.h"

TEST(SimOptions, ParsesEveryOptionAndRefusesBadUsage) {
  const TSimOptions d = ParseSimOptions({});
  EXPECT_EQ(d.Baud, 115200u);
  EXPECT_EQ(d.Records, 10u);
  EXPECT_FALSE(d.Once);
  EXPECT_FALSE(d.Version);
  EXPECT_TRUE(ParseSimOptions({"--version"}).Version);

  const TSimOptions o =
      ParseSimOptions({"--records", "65535", "--seed", "9", "--baud", "9600", "--name", "lab-1",
                       "--exit-after-reading", "--spoil-record", "4"});
  EXPECT_EQ(o.Records, 65535u);
  EXPECT_EQ(o.Seed, 9u);
  EXPECT_EQ(o.Baud, 9600u);
  EXPECT_EQ(o.Name, "lab-1");
  EXPECT_TRUE(o.Once);
  EXPECT_EQ(o.Faults.SpoilRecord, 4u);
  EXPECT_EQ(ParseSimOptions({"--slow-line", "250"}).SlowLineMicros, 250u);
  EXPECT_EQ(ParseSimOptions({"--singles", "49"}).Singles, 49u);
  EXPECT_EQ(ParseSimOptions({"--hang-up-before", "2"}).Faults.HangUpBefore, 2u);
  EXPECT_EQ(ParseSimOptions({"--silent-before", "3"}).Faults.SilentBefore, 3u);
  EXPECT_TRUE(ParseSimOptions({"--empty"}).Faults.Empty);
  EXPECT_TRUE(ParseSimOptions({"--empty-first"}).Faults.EmptyFirst);
  EXPECT_EQ(ParseSimOptions({"--long-record", "3"}).Faults.LongRecord, 3u);
  EXPECT_TRUE(ParseSimOptions({"--reject-header"}).Faults.RejectHeader);
  EXPECT_TRUE(ParseSimOptions({"--noise"}).Faults.Noise);
  EXPECT_TRUE(ParseSimOptions({"--repeat-header"}).Faults.RepeatHeader);
  EXPECT_EQ(ParseSimOptions({"--repeat-record", "7"}).Faults.RepeatRecord, 7u);
  EXPECT_EQ(ParseSimOptions({"--join-records", "65534"}).Faults.JoinRecords, 65534u);
  EXPECT_EQ(ParseSimOptions({"--chatter-before", "65535"}).Faults.ChatterBefore, 65535u);
  EXPECT_EQ(ParseSimOptions({"--archive", "a.bin"}).Archive, "a.bin");

  const std::vector<std::vector<std::string>> bad = {{"--baud", "38400"},
                                                     {"--records", "65536"},
                                                     {"--records", "-1"},
                                                     {"--records"},
                                                     {"--seed", "x"},
                                                     {"--spoil-record", "0"},
                                                     {"--name", "a/b"},
                                                     {"--name", ".hidden"},
                                                     {"--empty", "--noise"},
                                                     {"--repeat-header", "--join-records", "2"},
                                                     {"--repeat-record", "65535"},
                                                     {"--join-records", "0"},
                                                     {"--chatter-before"},
                                                     {"--records", "3", "--archive", "a.bin"},
                                                     {"--what"},
                                                     {"--singles", "50"},
                                                     {"--singles", "5", "--archive", "a.bin"}};
  for (const auto& args : bad) EXPECT_THROW(ParseSimOptions(args), Exception) << args[0];
}

namespace {

std::vector<std::string> Words(const std::string& line) {
  std::vector<std::string> words;
  std::string word;
  for (const char c : line + " ") {
    if (c != ' ') {
      word += c;
    } else if (!word.empty()) {
      words.push_back(word);
      word.clear();
    }
  }
  return words;
}

bool SameOptions(const TSimOptions& a, const TSimOptions& b) {
  const TSimFaults& f = a.Faults;
  const TSimFaults& g = b.Faults;
  return a.Archive == b.Archive && a.Records == b.Records && a.Seed == b.Seed &&
         a.Singles == b.Singles && a.Baud == b.Baud && a.Name == b.Name &&
         a.SlowLineMicros == b.SlowLineMicros && a.Once == b.Once && a.Capture == b.Capture &&
         a.Help == b.Help && a.Version == b.Version && f.SpoilRecord == g.SpoilRecord &&
         f.SilentBefore == g.SilentBefore && f.HangUpBefore == g.HangUpBefore &&
         f.Empty == g.Empty && f.RejectHeader == g.RejectHeader && f.Noise == g.Noise &&
         f.RepeatHeader == g.RepeatHeader && f.RepeatRecord == g.RepeatRecord &&
         f.JoinRecords == g.JoinRecords && f.ChatterBefore == g.ChatterBefore &&
         f.EmptyFirst == g.EmptyFirst && f.LongRecord == g.LongRecord;
}

}  // namespace

// The README sends people to --help: every option the parser takes is explained there in a
// sentence, with an example that works and does what the option says.
TEST(SimOptions, HelpExplainsEveryOptionWithAWorkingExample) {
  const std::string usage = SimUsage();
  const TSimOptions defaults = ParseSimOptions({});
  const auto faults_at = usage.find("Fault modes");
  ASSERT_NE(faults_at, std::string::npos);
  ASSERT_GE(SimOptionTable().size(), 16u);
  for (const TSimOption& option : SimOptionTable()) {
    SCOPED_TRACE(option.Names.front());
    EXPECT_TRUE(option.Help.size() > 20 && option.Help.back() == '.') << option.Help;
    const auto at = usage.find("  " + option.Names.front());
    ASSERT_NE(at, std::string::npos);
    EXPECT_EQ(at > faults_at, option.FaultMode);  // listed in its own section
    EXPECT_NE(usage.find(option.Help, at), std::string::npos);
    EXPECT_NE(usage.find("Example: " + option.Example, at), std::string::npos);

    const std::vector<std::string> words = Words(option.Example);
    ASSERT_GE(words.size(), 2u);
    EXPECT_EQ(words[0], "quarrow-sim");
    EXPECT_NE(std::find(words.begin(), words.end(), option.Names.front()), words.end());
    TSimOptions parsed;
    ASSERT_NO_THROW(parsed = ParseSimOptions({words.begin() + 1, words.end()}));
    EXPECT_FALSE(SameOptions(parsed, defaults));
    // Every other name of the option does the same.
    for (const auto& alias : option.Names) {
      std::vector<std::string> args(words.begin() + 1, words.end());
      std::replace(args.begin(), args.end(), option.Names.front(), alias);
      EXPECT_TRUE(SameOptions(ParseSimOptions(args), parsed)) << alias;
    }
  }
}
