// The search for the tester and the reading, on real pseudo-terminals found through the port
// list, with the window's timers on a manual clock.
#include <gtest/gtest.h>

#include "form_fixture.h"

namespace {

std::vector<std::vector<std::uint8_t>> Records(unsigned count, unsigned q = 2) {
  std::vector<std::vector<std::uint8_t>> r;
  for (unsigned n = 1; n <= count; ++n) r.push_back(TestRecord(n, q));
  return r;
}

// A pseudo-terminal that nobody answers on.
struct TMutePort {
  TMutePort() {
    char name[256] = {};
    if (openpty(&master, &slave, name, nullptr, nullptr) == 0) path = name;
  }
  ~TMutePort() {
    ::close(master);
    ::close(slave);
  }
  int master = -1, slave = -1;
  std::string path;
};

class SessionTest : public ::testing::Test, public FormFixture {};

TEST_F(SessionTest, WalkVisitsEveryCandidateAtBothRatesStartingFast) {
  TMutePort a, b, c;
  Announce("a", a.path, "serial", "Other");
  Announce("b", b.path, "FTSER2K", "");
  Announce("c", c.path, "", "Silicon Laboratories");
  TForm_Main& f = Start();
  ASSERT_EQ(f.CandCount, 2u);
  EXPECT_EQ(f.Candidates[0], 1);
  EXPECT_EQ(f.Candidates[1], 2);
  EXPECT_EQ(f.Timer_CheckWork->Interval(), 2500u);

  const std::vector<std::pair<int, std::uint32_t>> expected = {
      {1, 115200}, {2, 9600}, {2, 115200}, {1, 9600}, {1, 115200}, {2, 9600}};
  Tick(2500);
  for (std::size_t step = 0; step < expected.size(); ++step) {
    if (step > 0) Tick(1000);
    EXPECT_EQ(f.srComm1->DeviceIndex(), expected[step].first) << "step " << step;
    EXPECT_EQ(f.srComm1->BaudRate(), expected[step].second) << "step " << step;
    EXPECT_TRUE(f.srComm1->Active()) << "step " << step;
    EXPECT_EQ(f.Timer_CheckWork->Interval(), 1000u);
  }
}

TEST_F(SessionTest, CandidateRulesCompareWholeStringsWithCase) {
  struct Case {
    const char* service;
    const char* manufacturer;
    bool candidate;
  } cases[] = {
      {"FTSER2K", "", true},
      {"silabser", "", true},
      {"usbser", "FTDI", true},
      {"", "Silicon Laboratories", true},
      {"ftser2k", "FTDI Ltd", false},
      {"FTSER2K2", "", false},
      {"Silabser", "Silicon Labs", false},
      {"", "", false},
  };
  TMutePort port;
  for (const Case& c : cases) {
    WithdrawVirtualPort(Ports(), "p");
    Announce("p", port.path, c.service, c.manufacturer);
    TForm_Main& f = Start();
    EXPECT_EQ(f.CandCount, c.candidate ? 1u : 0u) << c.service << " / " << c.manufacturer;
    EXPECT_EQ(f.Timer_CheckWork->Enabled(), c.candidate);
    form.reset();
  }
}

TEST_F(SessionTest, TableKeepsTheFirst256Candidates) {
  for (int i = 0; i < 300; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "p%03d", i);
    Announce(name, "/dev/null");
  }
  TForm_Main& f = Start();
  EXPECT_EQ(f.CandCount, 256u);
  EXPECT_EQ(f.Candidates[255], 255);
  // The walk stays inside the table.
  Tick(2500);
  for (int i = 0; i < 3; ++i) Tick(1000);
  EXPECT_LT(f.CandIndex, 256u);
}

TEST_F(SessionTest, ProbeAnswerLeadsToTheHeaderRequestAtTheNextTick) {
  TPtyTester tester(Records(3));
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  EXPECT_EQ(f.SessionPhase, phSearching);
  EXPECT_EQ(tester.Received(), "ZZZ");
  Tick(1000);
  // The reading may already be through by the time the tick's posted work has run.
  EXPECT_NE(f.SessionPhase, phSearching);
  ASSERT_TRUE(PumpUntil([&] { return f.SessionPhase == phComplete; }));
  EXPECT_EQ(tester.Received(), "ZZZVnOOO");
}

TEST_F(SessionTest, ReadingOfThreeRecordsEndsInDataReady) {
  TPtyTester tester(Records(3));
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  ASSERT_TRUE(ReadFirstCandidate());
  EXPECT_EQ(f.SessionPhase, phComplete);
  EXPECT_EQ(f.L_State->Caption(), "3 records received.\r\nPlease select unit and save file.");
  EXPECT_FALSE(f.srComm1->Active());
  EXPECT_EQ(f.Archive.RecCount(), 3u);
  EXPECT_EQ(R(f.Archive.Slot(2)), 23.0);
  // The probe timer only repaints from now on.
  const int repaints = static_cast<headless::TForm&>(*f.Form).Repaints();
  Tick(1000);
  Tick(1000);
  EXPECT_EQ(f.SessionPhase, phComplete);
  EXPECT_GT(static_cast<headless::TForm&>(*f.Form).Repaints(), repaints);
  EXPECT_EQ(tester.Received(), "ZZZVnOOO");
}

TEST_F(SessionTest, TesterOnlyAt9600IsFoundAfterTheWalkWraps) {
  TPtyTester tester(Records(1), B9600);
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  Tick(2500);  // 115200: no answer
  PumpUntil([] { return false; }, 100);
  EXPECT_FALSE(f.SeenIdle);
  Tick(1000);  // 9600
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  EXPECT_EQ(f.srComm1->BaudRate(), 9600u);
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return f.SessionPhase == phComplete; }));
}

TEST_F(SessionTest, SilentOrVanishedTesterSendsTheWindowBackToWait) {
  for (const bool hangUp : {false, true}) {
    SCOPED_TRACE(hangUp ? "hang-up" : "silent");
    TPtyTester tester(Records(5));
    tester.SilentFrom = 2;
    Announce("t", tester.Path());
    TForm_Main& f = Start();
    Tick(2500);
    ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
    Tick(1000);
    ASSERT_TRUE(PumpUntil([&] { return f.Archive.RecCount() == 1; }));
    if (hangUp) tester.HangUp();
    Tick(1000);  // the first record's activity is still counted
    EXPECT_EQ(f.SessionPhase, phReading);
    Tick(1000);
    EXPECT_EQ(f.SessionPhase, phSearching);
    EXPECT_EQ(f.L_State->Caption(), "Waiting for device connected...");
    EXPECT_FALSE(f.PB_Data->Visible());
    EXPECT_EQ(f.Archive.RecTotal(), 0u);
    form.reset();
    WithdrawVirtualPort(Ports(), "t");
  }
}

TEST_F(SessionTest, DeviceChangesDuringTheSearchGiveOneRescanThreeSecondsLater) {
  TForm_Main& f = Start();
  const int scans = devices->Scans;
  f.WMDeviceChange();
  Tick(1000);
  f.WMDeviceChange();
  Tick(1000);
  f.WMDeviceChange();
  Tick(900);
  EXPECT_EQ(devices->Scans, scans);
  Tick(100);
  EXPECT_EQ(devices->Scans, scans + 1);
  EXPECT_FALSE(f.Timer_DeviceRefresh->Enabled());
  Tick(5000);
  EXPECT_EQ(devices->Scans, scans + 1);
}

TEST_F(SessionTest, RescanFindsATesterPluggedInLater) {
  TForm_Main& f = Start();
  EXPECT_EQ(f.CandCount, 0u);
  EXPECT_FALSE(f.Timer_CheckWork->Enabled());
  TPtyTester tester(Records(2));
  Announce("t", tester.Path());
  f.WMDeviceChange();
  Tick(3000);
  EXPECT_EQ(f.CandCount, 1u);
  ASSERT_TRUE(ReadFirstCandidate());
  EXPECT_EQ(f.Archive.RecCount(), 2u);
}

TEST_F(SessionTest, DeviceChangesDuringAReading) {
  // A change is ignored; a refresh that still fires and finds no candidate ends the reading.
  TPtyTester tester(Records(3));
  tester.SilentFrom = 1;  // the header comes, then nothing
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return f.Pending == TMainLink::ChStart; }));
  f.WMDeviceChange();
  EXPECT_FALSE(f.Timer_DeviceRefresh->Enabled());

  ASSERT_EQ(f.SessionPhase, phReading);
  WithdrawVirtualPort(Ports(), "t");
  f.Timer_DeviceRefreshTimer(nullptr);
  EXPECT_EQ(f.SessionPhase, phSearching);
  EXPECT_EQ(f.L_State->Caption(), "Waiting for device connected...");
}

TEST_F(SessionTest, EmptyArchiveIsReportedAndTheSearchStartsOver) {
  TPtyTester tester({});
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  bool timersOff = false;
  InfoForm().ModalAnswer = [&](headless::TForm& dialog) {
    timersOff = !f.Timer_CheckWork->Enabled() && !f.Timer_DeviceRefresh->Enabled();
    dialog.Close();  // the title-bar button
  };
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return !sounds.empty(); }));
  EXPECT_TRUE(timersOff);
  EXPECT_EQ(sounds, std::vector<std::string>{"SystemDefault"});
  EXPECT_EQ(InfoForm().Caption(), "Information");
  EXPECT_EQ(f.Form_Info->L_Info->Caption(), "Archive is empty!");
  EXPECT_EQ(InfoForm().ModalResult(), mrOk);
  EXPECT_EQ(f.SessionPhase, phSearching);
  EXPECT_TRUE(f.Timer_CheckWork->Enabled());
}

TEST_F(SessionTest, ReadNextStartsTheSearchAgainAndASecondShorterReadingWorks) {
  TPtyTester first(Records(4));
  Announce("t", first.Path());
  TForm_Main& f = Start();
  ASSERT_TRUE(ReadFirstCandidate());
  ASSERT_EQ(f.Archive.RecCount(), 4u);
  WithdrawVirtualPort(Ports(), "t");
  TPtyTester second(Records(2, 0));
  Announce("t", second.Path());
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Next)->Click());
  EXPECT_EQ(f.SessionPhase, phSearching);
  ASSERT_TRUE(ReadFirstCandidate());
  EXPECT_EQ(f.Archive.RecCount(), 2u);
  EXPECT_EQ(f.L_State->Caption(), "2 records received.\r\nPlease select unit and save file.");
}

}  // namespace
