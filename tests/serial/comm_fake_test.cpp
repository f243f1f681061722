// Event handling against the scripted platform: line errors, trace events, removal.
#include <gtest/gtest.h>

#include <atomic>
#include <cstring>
#include <functional>

#include "fake_serial_api.h"
#include "serial/srcomm.h"
#include "test_support.h"

namespace {

struct FakeComm : ::testing::Test {
  TTestLoop loop;
  std::shared_ptr<TFakeSerialApi> api = std::make_shared<TFakeSerialApi>();
  TsrComm com;
  std::string received;
  // Handlers run again at the close in TearDown, so what they touch lives here, not in a test.
  std::vector<TTraceStates> events;
  void SetUp() override {
    com.SetDeviceDatabase(nullptr);
    com.SetSerialApi(api);
    com.SetComPortNo(3);
    com.OnAfterReceive = [this](TObject*, const std::uint8_t* b, std::uint32_t n) {
      received.append(reinterpret_cast<const char*>(b), n);
    };
  }
  void TearDown() override {
    // A test's own handlers may hold its locals; the close below must not reach them.
    com.OnTraceState = nullptr;
    com.OnCommError = nullptr;
    com.OnClose = nullptr;
    com.SetActive(false);
  }
};

TEST_F(FakeComm, OpenAppliesSettingsInOrderAndWritesGoToThePort) {
  com.SetTraceStates(tsCTS | tsRing);
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  const auto calls = api->Calls();
  ASSERT_FALSE(calls.empty());
  EXPECT_EQ(calls.front(), "CreateFileW \\\\?\\COM3");
  EXPECT_TRUE(api->Called("SetupComm 8192 8192"));
  EXPECT_TRUE(api->Called("SetCommMask " + std::to_string(EV_RXCHAR | EV_CTS | EV_RING)));
  api->ClearCalls();
  com.SetBaudRate(57600);  // open: at once
  EXPECT_TRUE(api->Called("SetCommState 57600 " + std::to_string(com.Dcb().Flags)));
  com.SendChar(0x1FF);
  com.SendString("ab");
  EXPECT_EQ(api->Written(),
            "\xFF"
            "ab");
  EXPECT_EQ(com.TotalSent(), 3u);
}

TEST_F(FakeComm, LineErrorGoesToOnCommErrorAndMayPurge) {
  std::uint32_t code = 0, sys = 99;
  int errorsSeen = 0;
  com.OnCommError = [&](TObject*, std::uint32_t c, std::uint32_t s, TComStateFlags, bool& flush) {
    code = c;
    sys = s;
    ++errorsSeen;
    flush = true;
  };
  com.SetActive(true);
  api->Arrive("xyz", CE_FRAME);
  ASSERT_TRUE(loop.PumpUntil([&] { return errorsSeen > 0; }));
  EXPECT_EQ(code, CE_FRAME);
  EXPECT_EQ(sys, 0u);
  EXPECT_EQ(received, "");
  EXPECT_TRUE(api->Called("PurgeComm 15"));
  EXPECT_TRUE(api->Called("CancelIo"));
}

TEST_F(FakeComm, TraceEventsAndLineControl) {
  com.OnTraceState = [&](TObject*, TTraceStates e) { events.push_back(e); };
  com.SetTraceStates(tsDSR | tsRing);
  com.SetActive(true);
  events.clear();
  api->Event(EV_DSR | EV_RING);
  ASSERT_TRUE(loop.PumpUntil([&] { return !events.empty(); }));
  EXPECT_EQ(events.front(), tsDSR | tsRing);
  events.clear();
  com.SetStateDTR(true);
  com.SetStateRTS(false);
  EXPECT_EQ(events, (std::vector<TTraceStates>{tsDSR, tsCTS}));
  EXPECT_TRUE(api->Called("EscapeCommFunction 5"));
  EXPECT_TRUE(api->Called("EscapeCommFunction 4"));
  api->SetModem(MS_DSR_ON | MS_CTS_ON);
  EXPECT_EQ(com.ModemSignals(), msDSR | msCTS);
  EXPECT_TRUE(com.WaitForSignal(msDSR, 200));
  EXPECT_FALSE(com.WaitForSignal(msRing, 200));
}

TEST_F(FakeComm, InitDeviceConnectWithoutDsrRaises) {
  com.SetActive(true);
  EXPECT_THROW(com.InitDeviceConnect(), ESerialError);
  api->SetModem(MS_DSR_ON);
  EXPECT_NO_THROW(com.InitDeviceConnect());
}

TEST_F(FakeComm, RemovalClosesOnceFromTheEventThread) {
  std::atomic<int> closes{0};
  com.OnClose = [&](TObject*) { ++closes; };
  com.SetActive(true);
  api->Arrive("ok");
  ASSERT_TRUE(loop.PumpUntil([&] { return received == "ok"; }));
  api->Remove();
  ASSERT_TRUE(loop.PumpUntil([&] { return closes.load() > 0; }));
  loop.Pump(100);
  EXPECT_EQ(closes.load(), 1);
  EXPECT_FALSE(com.Active());
  EXPECT_FALSE(api->Called("PurgeComm 15"));  // that close does not purge
}

// The owner's dialog, or without one the system's: what the user accepts reaches an open port
// at once (a closed one at its next open) and the protocol follows; a dialog that is cancelled
// or cannot be shown changes nothing.
TEST_F(FakeComm, ConfigDialogGivesWhatIsAcceptedToThePort) {
  struct TOwnersDialog : TsrPortDialog {
    std::function<bool(const std::string&, COMMCONFIG&)> answer;
    bool Execute(const std::string& name, COMMCONFIG& cfg) override { return answer(name, cfg); }
  } owners;
  TTestLog log;
  com.SetLog(&log);
  enum TAnswer { Accept, Cancel, NotShown };
  struct Case {
    const char* what;
    bool ownersDialog, open;
    TAnswer answer;
  };
  const Case cases[] = {
      {"owner's, accepted", true, true, Accept},      {"owner's, cancelled", true, true, Cancel},
      {"system's, accepted", false, true, Accept},    {"system's, cancelled", false, true, Cancel},
      {"system's, not shown", false, true, NotShown}, {"closed, accepted", false, false, Accept},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    com.SetBaudRate(9600);
    com.SetStreamProtocol(spHardware);
    com.SetActive(c.open);
    std::string shownFor;
    std::uint32_t shownBaud = 0;
    const auto user = [&](const std::string& name, COMMCONFIG& cfg) {
      shownFor = name;
      shownBaud = cfg.dcb.BaudRate;
      cfg.dcb.BaudRate = 57600;
      cfg.dcb.Flags = FlowControlFlags(cfg.dcb.Flags, spXonXoff, false);
      return c.answer == Accept;
    };
    owners.answer = user;
    com.SetConfigDialog(c.ownersDialog ? &owners : nullptr);
    api->DialogAnswer = c.answer == NotShown ? nullptr : std::function(user);
    const DCB before = com.Dcb();
    api->ClearCalls();
    log.lines.clear();

    EXPECT_EQ(com.ConfigDialog(), c.answer == Accept);
    EXPECT_EQ(api->Called("CommConfigDialogW COM3"), !c.ownersDialog);
    if (c.answer == NotShown) {
      EXPECT_EQ(log.lines, (std::vector<std::string>{
                               "srComm: Port settings dialog of COM3 not shown: fake error 50"}));
    } else {
      EXPECT_TRUE(log.lines.empty());
    }
    if (c.answer != NotShown) {
      EXPECT_EQ(shownFor, "COM3");
      EXPECT_EQ(shownBaud, 9600u);
    }
    const std::string given = "SetCommState 57600 " + std::to_string(com.Dcb().Flags);
    if (c.answer == Accept) {
      EXPECT_EQ(com.BaudRate(), 57600u);
      EXPECT_EQ(com.StreamProtocol(), spXonXoff);
      EXPECT_EQ(com.Dcb().Flags & 0x3315, 0x1311u);
      EXPECT_EQ(api->Called(given), c.open);
      if (!c.open) {
        com.SetActive(true);
        EXPECT_TRUE(api->Called(given));
      }
    } else {
      EXPECT_EQ(std::memcmp(&com.Dcb(), &before, sizeof before), 0);
      EXPECT_EQ(com.StreamProtocol(), spHardware);
      for (const std::string& call : api->Calls()) EXPECT_NE(call.rfind("SetCommState", 0), 0u);
    }
  }
  com.SetLog(nullptr);
}

}  // namespace
