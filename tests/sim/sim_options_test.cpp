#include "sim_options.h"

#include <gtest/gtest.h>

#include "base/exceptions.h"

TEST(SimOptions, ParsesEveryOptionAndRefusesBadUsage) {
  const TSimOptions d = ParseSimOptions({});
  EXPECT_EQ(d.Baud, 115200u);
  EXPECT_EQ(d.Records, 10u);
  EXPECT_FALSE(d.Once);

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
