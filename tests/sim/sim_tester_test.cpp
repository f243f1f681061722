#include "sim_tester.h"

#include <gtest/gtest.h>

#include "frame_decoder.h"

namespace {

// What came back for one command, in a short notation: "Z", "H3" (header announcing 3),
// "H3r" (rejected header), "R2" (record 2, intact), "R2!" (record 2, bad checksum), "~" before
// a frame that came after noise, "R1+R2" (two frames at once), "hup" (hang-up), "fin" (reading
// complete), "-" (nothing).
std::string DescribeFrames(const std::string& bytes, const std::vector<TSimRecord>& records);

std::string Describe(const TSimReply& r, const std::vector<TSimRecord>& records) {
  std::string d;
  if (r.HangUp) d += "hup";
  if (r.Finished) d += "fin";
  if (r.Bytes == "Z") return d + "Z";
  d += DescribeFrames(r.Bytes, records);
  return d.empty() ? "-" : d;
}

std::string DescribeFrames(const std::string& bytes, const std::vector<TSimRecord>& records) {
  std::string d;
  if (!bytes.empty()) {
    const auto f = DecodeFrame(bytes);
    if (!f) return d + "garbage";
    if (!f->Prefix.empty()) {
      if (f->Prefix.find_first_of("SPZ") != std::string::npos) return d + "bad-noise";
      d += "~";
    }
    if (f->Payload.size() == 12) {
      d += "H" + std::to_string(f->Payload[10] | f->Payload[11] << 8);
      if (f->Payload[1] == 1) d += "r";
    } else {
      std::string n = "?";
      for (size_t i = 0; i < records.size(); ++i)
        if (std::equal(records[i].begin(), records[i].end(), f->Payload.begin(), f->Payload.end()))
          n = std::to_string(i + 1);
      d += "R" + n;
    }
    if (!f->ChecksumOk) d += "!";
    if (const auto end = bytes.find('P'); end + 1 < bytes.size())
      d += "+" + DescribeFrames(bytes.substr(end + 1), records);
  }
  return d;
}

std::vector<TSimRecord> ThreeRecords() {
  std::vector<TSimRecord> records(3);
  for (size_t i = 0; i < records.size(); ++i) records[i].fill(static_cast<uint8_t>(i + 1));
  return records;
}

}  // namespace

TEST(SimTester, AnswersAScriptedExchangeInEveryFaultMode) {
  struct Case {
    const char* name;
    TSimFaults faults;
    std::string script;  // commands; a lower-case 'z' is a "Z" at a foreign rate
    std::vector<std::string> want;
  };
  const std::string full = "zZVnOOOO";
  const std::vector<Case> cases = {
      {"plain", {}, full, {"-", "Z", "H3", "R1", "R2", "R3", "fin", "-"}},
      {"spoiled 2, once",
       {.SpoilRecord = 2},
       full + "VnOOO",
       {"-", "Z", "H3", "R1", "R2!", "R3", "fin", "-", "H3", "R1", "R2", "R3", "fin"}},
      {"silent before 2",
       {.SilentBefore = 2},
       full + "ZV",
       {"-", "Z", "H3", "R1", "-", "-", "-", "-", "-", "-"}},
      {"silent before 1", {.SilentBefore = 1}, "ZVnZ", {"Z", "H3", "-", "-"}},
      {"hang-up before 3", {.HangUpBefore = 3}, "ZVnOO", {"Z", "H3", "R1", "R2", "hup"}},
      {"empty", {.Empty = true}, "ZVnO", {"Z", "H0", "-", "-"}},
      {"empty at first",
       {.EmptyFirst = true},
       "VnVnOOO",
       {"H0", "-", "H3", "R1", "R2", "R3", "fin"}},
      {"record 2 a byte too long, once",
       {.LongRecord = 2},
       "VnOVnOOO",
       {"H3", "R1", "R?", "H3", "R1", "R2", "R3", "fin"}},
      {"rejected header", {.RejectHeader = true}, "ZV", {"Z", "H3r"}},
      {"noise", {.Noise = true}, full, {"-", "Z", "~H3", "~R1", "~R2", "~R3", "fin", "-"}},
      {"restart mid-way", {}, "VnOVnOOO", {"H3", "R1", "R2", "H3", "R1", "R2", "R3", "fin"}},
      {"header repeated, once",
       {.RepeatHeader = true},
       "ZVnOOOOVnOOO",
       {"Z", "H3", "H3", "R1", "R2", "R3", "fin", "H3", "R1", "R2", "R3", "fin"}},
      {"record 1 repeated, once",
       {.RepeatRecord = 1},
       "ZVnOOOOVnOOO",
       {"Z", "H3", "R1", "R1", "R2", "R3", "fin", "H3", "R1", "R2", "R3", "fin"}},
      {"records 2 and 3 joined, once",
       {.JoinRecords = 2},
       "ZVnOOVnOOO",
       {"Z", "H3", "R1", "R2+R3", "fin", "H3", "R1", "R2", "R3", "fin"}},
      {"the last record joins nothing",
       {.JoinRecords = 3},
       "VnOOO",
       {"H3", "R1", "R2", "R3", "fin"}},
      {"chatter before 2 until a probe",
       {.ChatterBefore = 2},
       "ZVnOOVzZVnOOO",
       {"Z", "H3", "R1", "-", "-", "-", "-", "Z", "H3", "R1", "R2", "R3", "fin"}},
  };
  for (const Case& c : cases) {
    TSimTester tester(ThreeRecords(), TSimHeader{}, c.faults);
    std::vector<std::string> got;
    for (const char ch : c.script) {
      const bool own = ch != 'z';
      got.push_back(Describe(tester.Receive(own ? ch : 'Z', own), ThreeRecords()));
    }
    EXPECT_EQ(got, c.want) << c.name;
  }
}

TEST(SimTester, IgnoresEverythingAtAForeignRateAndStrayBytes) {
  TSimTester tester(ThreeRecords(), TSimHeader{}, {});
  for (const char ch : std::string("ZVnO")) EXPECT_TRUE(tester.Receive(ch, false).Bytes.empty());
  for (const char ch : std::string("\r\nx0SP")) {
    const TSimReply r = tester.Receive(ch, true);
    EXPECT_TRUE(r.Bytes.empty() && !r.HangUp && !r.Finished) << ch;
  }
}

TEST(SimTester, ChattersWithNibbleCharactersOnlyWhileChattering) {
  TSimTester tester(ThreeRecords(), TSimHeader{}, {.ChatterBefore = 1});
  tester.Receive('V', true);
  EXPECT_FALSE(tester.Chattering());
  tester.Receive('n', true);
  ASSERT_TRUE(tester.Chattering());
  std::string chatter;
  for (int i = 0; i < 100; ++i) chatter += tester.ChatterByte();
  EXPECT_EQ(chatter.find_first_not_of("0123456789:;<=>?"), std::string::npos) << chatter;
  EXPECT_EQ(tester.Receive('Z', true).Bytes, "Z");
  EXPECT_FALSE(tester.Chattering());
}

TEST(SimTester, HeaderCarriesDateAndCount) {
  TSimHeader h;
  h.Year = 2026;
  h.Month = 12;
  h.Day = 9;
  TSimTester tester(std::vector<TSimRecord>(300), h, {});
  const auto f = DecodeFrame(tester.Receive('V', true).Bytes);
  ASSERT_TRUE(f);
  const std::vector<uint8_t> want = {0, 0, 26, 12, 9, 0x02, 0x01, 0xD2, 0x04, 0, 0x2C, 0x01};
  EXPECT_EQ(f->Payload, want);
}
