// Event handling against the scripted platform: line errors, trace events, removal.
#include <gtest/gtest.h>

#include <atomic>

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

}  // namespace
