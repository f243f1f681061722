// The search for the tester and the reading, on real pseudo-terminals found through the port
// list, with the window's timers on a manual clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "../serial/fake_serial_api.h"
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
  TMutePort line;  // a terminal of the user's own: the list takes no other
  for (int i = 0; i < 300; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "p%03d", i);
    Announce(name, line.path);
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
  // The answer to the first "Z" may come back before the tester has read the other two.
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle && tester.Received().size() >= 3; }));
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

TEST_F(SessionTest, TesterOnlyAt9600IsFoundAfterTheWalkWrapsAtEveryReading) {
  TPtyTester tester(Records(1), B9600);
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  for (int reading = 1; reading <= 2; ++reading) {
    SCOPED_TRACE(reading);
    Tick(2500);  // 115200: no answer
    PumpUntil([] { return false; }, 100);
    EXPECT_FALSE(f.SeenIdle);
    Tick(1000);  // 9600, on the line that the probe at 115200 has just closed
    ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
    EXPECT_EQ(f.srComm1->BaudRate(), 9600u);
    Tick(1000);
    ASSERT_TRUE(PumpUntil([&] { return f.SessionPhase == phComplete; }));
    f.B_NextClick(nullptr);
  }
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
  // Another adapter plugged in leaves the reading alone; its own port going away ends it.
  TPtyTester tester(Records(3));
  tester.SilentFrom = 1;  // the header comes, then nothing
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return f.Pending == TMainLink::ChStart; }));
  TMutePort other;
  Announce("u", other.path);
  f.WMDeviceChange();
  EXPECT_TRUE(f.Timer_DeviceRefresh->Enabled());
  f.Timer_DeviceRefreshTimer(nullptr);
  EXPECT_EQ(f.SessionPhase, phReading);
  EXPECT_TRUE(f.srComm1->Active());

  WithdrawVirtualPort(Ports(), "t");
  f.WMDeviceChange();
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

TEST_F(SessionTest, ChatteringLineEndsTheReadingAtTheNextTick) {
  TPtyTester tester(Records(5));
  tester.ChatterFrom = 3;
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  std::vector<std::string> notices;
  f.OnNotice = [&](const std::string& text) { notices.push_back(text); };
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return f.Archive.RecCount() == 2; }));
  ASSERT_TRUE(PumpUntil([&] { return f.RxLen > 5; })) << "the line chatters";
  Tick(1000);  // the second record's frame still counts
  EXPECT_EQ(f.SessionPhase, phReading);
  const std::size_t chattered = f.RxLen;
  ASSERT_TRUE(PumpUntil([&] { return f.RxLen > chattered + 5; }));
  Tick(1000);
  EXPECT_EQ(f.SessionPhase, phSearching);
  const std::string note =
      "The last reading stopped after 2 of 5 records.\r\nPlease connect the tester again.";
  EXPECT_EQ(f.L_Notice->Caption(), note);
  EXPECT_TRUE(f.L_Notice->Visible());
  EXPECT_EQ(notices, std::vector<std::string>{note});
}

TEST_F(SessionTest, BrokenOffReadingIsNotedWithoutADialogUntilTheNextReadingStarts) {
  TPtyTester tester(Records(4));
  tester.SilentFrom = 3;
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  int dialogs = 0;
  InfoForm().ModalAnswer = [&](headless::TForm& d) {
    ++dialogs;
    d.Close();
  };
  EXPECT_FALSE(f.L_Notice->Visible());
  Tick(2500);
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  Tick(1000);
  ASSERT_TRUE(PumpUntil([&] { return f.Archive.RecCount() == 2; }));
  Tick(1000);
  Tick(1000);
  ASSERT_EQ(f.SessionPhase, phSearching);
  EXPECT_EQ(f.L_State->Caption(), "Waiting for device connected...");
  EXPECT_EQ(f.L_Notice->Caption(),
            "The last reading stopped after 2 of 4 records.\r\nPlease connect the tester again.");
  EXPECT_TRUE(f.L_Notice->Visible());
  // The search goes on under the note; it lasts until a tester answers and a reading starts.
  tester.SilentFrom = 0;
  ASSERT_TRUE(PumpUntil([&] { return f.SeenIdle; }));
  EXPECT_TRUE(f.L_Notice->Visible());
  Tick(2500);
  EXPECT_FALSE(f.L_Notice->Visible());
  EXPECT_EQ(f.L_Notice->Caption(), "");
  ASSERT_TRUE(PumpUntil([&] { return f.SessionPhase == phComplete; }));
  EXPECT_EQ(f.Archive.RecCount(), 4u);
  EXPECT_FALSE(f.L_Notice->Visible());
  EXPECT_EQ(dialogs, 0);
}

TEST_F(SessionTest, EmptyTesterIsReportedOnceUntilADeviceChange) {
  TPtyTester tester({});
  Announce("t", tester.Path());
  TForm_Main& f = Start();
  int dialogs = 0;
  InfoForm().ModalAnswer = [&](headless::TForm& d) {
    ++dialogs;
    d.Close();
  };
  // One search and reading of the empty tester: 3.5 seconds.
  const auto cycle = [&] {
    Tick(2500);
    if (!PumpUntil([&] { return f.SeenIdle; })) {
      ADD_FAILURE() << "no answer to the probe; port open: " << f.srComm1->Active()
                    << ", the tester got: " << tester.Received();
      return false;
    }
    Tick(1000);
    return PumpUntil([&] { return f.SessionPhase == phSearching; });
  };
  for (int i = 0; i < 3; ++i) ASSERT_TRUE(cycle()) << i;  // more than 10 seconds
  EXPECT_EQ(dialogs, 1);
  const std::string received = tester.Received();
  EXPECT_EQ(std::count(received.begin(), received.end(), 'V'), 3) << "probed all the while";
  f.WMDeviceChange();
  Tick(2500);
  Tick(500);  // the rescan
  ASSERT_TRUE(cycle());
  EXPECT_EQ(dialogs, 2);
}

TEST_F(SessionTest, PortThatCannotBeOpenedSaysWhyWhileItLasts) {
  const std::string a = (Ports() / "a" / "tty").string(), b = (Ports() / "b" / "tty").string();
  const auto permission = [](const std::string& port) {
    return "No permission to open " + port +
           ".\r\nPlease add your user to the dialout group and log in again.";
  };
  const auto inUse = [](const std::string& port) {
    return port +
           " is in use by another program.\r\nThe search leaves it alone until the other program "
           "closes it.";
  };
  struct Case {
    std::uint32_t code;
    std::vector<std::string> notices;  // told once per port and reason
  } cases[] = {
      {ERROR_ACCESS_DENIED, {permission(a), permission(b)}},
      {ERROR_SHARING_VIOLATION, {inUse(a), inUse(b)}},
      {ERROR_FILE_NOT_FOUND, {}},  // an adapter that is not plugged in is no news
      {ERROR_DEVICE_NOT_CONNECTED, {}},
      {ERROR_GEN_FAILURE, {}},
  };
  TMutePort line;
  Announce("a", line.path);
  Announce("b", line.path);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.code);
    auto api = std::make_shared<TFakeSerialApi>();
    api->RefuseOpen(c.code);
    TMainServices services = Services();
    services.SerialApi = api;
    form = std::make_unique<TForm_Main>(factory, services);
    TForm_Main& f = *form;
    std::vector<std::string> notices;
    f.OnNotice = [&](const std::string& text) { notices.push_back(text); };
    Tick(2500);  // a at 115200
    Tick(1000);  // b at 9600
    Tick(1000);  // b at 115200
    Tick(1000);  // a at 9600
    EXPECT_FALSE(f.srComm1->Active());
    EXPECT_EQ(notices, c.notices);
    const std::string shown = c.notices.empty() ? "" : c.notices.front();
    EXPECT_EQ(f.L_Notice->Caption(), shown);
    EXPECT_EQ(f.L_Notice->Visible(), !shown.empty());
    EXPECT_EQ(f.L_State->Caption(), "Waiting for device connected...");
    // The other program lets go of a: its line goes, b's stays while b still fails.
    api->RefuseOpen(0);
    Tick(1000);  // a at 115200
    EXPECT_TRUE(f.srComm1->Active());
    api->RefuseOpen(c.code);
    Tick(1000);  // b at 9600
    EXPECT_EQ(f.L_Notice->Caption(), c.notices.empty() ? "" : c.notices.back());
    EXPECT_EQ(notices, c.notices) << "nothing told twice";
    form.reset();
  }
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
  ASSERT_TRUE(static_cast<headless::TButton*>(f.B_Next)->Click());  // kept: nothing to ask
  EXPECT_EQ(f.SessionPhase, phSearching);
  ASSERT_TRUE(ReadFirstCandidate());
  EXPECT_EQ(f.Archive.RecCount(), 2u);
  EXPECT_EQ(f.L_State->Caption(), "2 records received.\r\nPlease select unit and save file.");
}

}  // namespace
