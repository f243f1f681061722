// The terminal binding with a small edit control, the loading and design states, and
// destruction notices between the component and what it refers to.
#include <gtest/gtest.h>

#include <poll.h>

#include "fake_serial_api.h"
#include "serial/srcomm.h"
#include "test_support.h"

namespace {

// An edit control that keeps its text and the messages its own window method got.
class TTestEdit : public TsrEditControl {
 public:
  std::string text;
  std::vector<std::pair<std::uint32_t, std::string>> got;  // message, its character or text
  TTestEdit() {
    proc_ = [this](TMessage& m) { Own(m); };
  }
  ~TTestEdit() override {
    for (TsrNoticeReceiver* r : std::vector<TsrNoticeReceiver*>(notices_)) r->Notification(this);
  }
  std::uint32_t Handle() const override { return 0x4242; }
  TWndMethod WindowProc() const override { return proc_; }
  void SetWindowProc(TWndMethod proc) override { proc_ = std::move(proc); }
  void FreeNotification(TsrNoticeReceiver* r) override { notices_.push_back(r); }
  void RemoveFreeNotification(TsrNoticeReceiver* r) override {
    notices_.erase(std::remove(notices_.begin(), notices_.end(), r), notices_.end());
  }
  // The user types a character: it goes through whatever window method is installed.
  void Type(char c) {
    TMessage m{WM_CHAR, static_cast<unsigned char>(c), 1, 0};
    proc_(m);
  }
  std::size_t Notices() const { return notices_.size(); }

 private:
  void Own(TMessage& m) {
    if (m.Msg == WM_CHAR) {
      text += static_cast<char>(m.WParam);
      got.emplace_back(m.Msg, std::string(1, static_cast<char>(m.WParam)));
    } else if (m.Msg == EM_REPLACESEL) {
      const char* s = reinterpret_cast<const char*>(m.LParam);
      text += s;
      got.emplace_back(m.Msg, s);
    }
  }
  TWndMethod proc_;
  std::vector<TsrNoticeReceiver*> notices_;
};

struct FakeTerminal : ::testing::Test {
  TTestLoop loop;
  std::shared_ptr<TFakeSerialApi> api = std::make_shared<TFakeSerialApi>();
  TTestEdit edit;
  TsrComm com;
  void SetUp() override {
    com.SetDeviceDatabase(nullptr);
    com.SetSerialApi(api);
    com.SetComPortNo(2);
  }
  void TearDown() override { com.SetActive(false); }
};

TEST_F(FakeTerminal, UsageDecidesWhatIsSentAndShown) {
  struct Case {
    TTerminalUsage usage;
    bool echo;
    std::string sent, shown;  // after typing "ab" and "xy" arriving
  } cases[] = {
      {tuNone, false, "", "ab"},   {tuSend, false, "ab", ""},    {tuReceive, false, "", "abxy"},
      {tuBoth, false, "ab", "xy"}, {tuBoth, true, "ab", "abxy"}, {tuSend, true, "ab", "ab"},
  };
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  for (const Case& k : cases) {
    edit.text.clear();
    const std::string before = api->Written();
    com.SetTerminal(&edit);
    com.SetTerminalUsage(k.usage);
    com.SetTerminalEcho(k.echo);
    edit.Type('a');
    edit.Type('b');
    EXPECT_EQ(api->Written().substr(before.size()), k.sent) << k.usage << k.echo;
    api->Arrive("xy");
    // The bytes are read even with the terminal as the only receiver.
    EXPECT_TRUE(loop.PumpUntil([&] { return com.ReadyForRead() == 0 && com.TotalReceived() > 0; }))
        << k.usage;
    loop.Pump(20);
    EXPECT_EQ(edit.text, k.shown) << k.usage << k.echo;
    com.SetTerminal(nullptr);
  }
}

TEST_F(FakeTerminal, WritesOneByteAsACharacterAndCutsChunksAtZeroBytes) {
  com.SetTerminal(&edit);
  com.SetTerminalUsage(tuReceive);
  const std::uint8_t one[] = {'Q'};
  com.TerminalWrite(one, 1);
  const std::uint8_t chunk[] = {'A', 'B', 0, 'C', 'D'};
  com.TerminalWrite(chunk, sizeof chunk);
  using Got = std::vector<std::pair<std::uint32_t, std::string>>;
  EXPECT_EQ(edit.got, (Got{{WM_CHAR, "Q"}, {EM_REPLACESEL, "AB"}, {EM_REPLACESEL, "CD"}}));
  // Writing is not typing: nothing of it is sent even when sending is on.
  com.SetActive(true);
  com.SetTerminalUsage(tuBoth);
  com.TerminalWrite(one, 1);
  EXPECT_EQ(api->Written(), "");
  EXPECT_EQ(edit.text, "QABCDQ");
  // With usage tuSend the bytes go nowhere.
  com.SetTerminalUsage(tuSend);
  com.TerminalWrite(chunk, sizeof chunk);
  EXPECT_EQ(edit.text, "QABCDQ");
}

TEST_F(FakeTerminal, UnhookingGivesTheControlItsOwnWindowMethodBack) {
  com.SetActive(true);
  com.SetTerminal(&edit);
  com.SetTerminalUsage(tuBoth);
  edit.Type('1');
  EXPECT_EQ(api->Written(), "1");
  EXPECT_EQ(edit.text, "");
  com.SetTerminal(&edit);  // again: still one hook, not two
  edit.Type('2');
  EXPECT_EQ(api->Written(), "12");
  com.SetTerminal(nullptr);
  edit.Type('3');
  EXPECT_EQ(api->Written(), "12");
  EXPECT_EQ(edit.text, "3");
  EXPECT_EQ(edit.Notices(), 0u);
}

TEST_F(FakeTerminal, AProcessorCanKeepBytesOutOfTheTerminal) {
  struct TKeepOut : TsrCustomDataProcessor {
    std::string seen;
    void DoProcessing(const std::uint8_t* d, std::uint32_t n, TIgnoreTypes& r) override {
      seen.append(reinterpret_cast<const char*>(d), n);
      r |= itTerminal;
    }
  } keep;
  com.SetTerminal(&edit);
  com.SetTerminalUsage(tuReceive);
  com.SetDataProcessor(&keep);
  com.SetActive(true);
  api->Arrive("zz");
  ASSERT_TRUE(loop.PumpUntil([&] { return keep.seen == "zz"; }));
  EXPECT_EQ(edit.text, "");
  com.SetActive(false);
  com.SetDataProcessor(nullptr);
}

TEST(TerminalNotices, AControlThatGoesAwayIsForgotten) {
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  {
    TTestEdit edit;
    com.SetTerminal(&edit);
    com.SetTerminalUsage(tuBoth);
    EXPECT_TRUE(com.HasReceivers());
  }
  EXPECT_EQ(com.Terminal(), nullptr);
  EXPECT_FALSE(com.HasReceivers());
  const std::uint8_t b[] = {'x', 'y'};
  com.TerminalWrite(b, 2);  // goes nowhere
  // The component going first leaves the control as it was.
  TTestEdit edit;
  {
    TsrComm other;
    other.SetDeviceDatabase(nullptr);
    other.SetTerminal(&edit);
  }
  EXPECT_EQ(edit.Notices(), 0u);
  edit.Type('k');
  EXPECT_EQ(edit.text, "k");
}

TEST(TerminalNotices, AMonitorThatGoesAwayIsForgotten) {
  struct TBox : TsrCheckable {
    bool checked = true;
    void SetChecked(bool c) override { checked = c; }
  };
  TBox outlives;
  {
    TsrComm com;
    com.SetDeviceDatabase(nullptr);
    TBox stays;
    {
      TBox gone;
      com.SetMonitorCTS(&gone);
      com.SetMonitorRing(&gone);
      com.SetMonitorRLSD(&gone);
      com.SetMonitorRLSD(&outlives);  // still shown as CTS and ring: still told
      com.SetMonitorDSR(&stays);
    }
    EXPECT_EQ(com.MonitorCTS(), nullptr);
    EXPECT_EQ(com.MonitorRing(), nullptr);
    EXPECT_EQ(com.MonitorDSR(), &stays);
    com.DoTraceState(&com, tsRing | tsDSR);  // only the controls left are touched
    EXPECT_FALSE(stays.checked);             // a closed port has no lines up
    EXPECT_FALSE(outlives.checked);
  }
  outlives.checked = true;  // and going last it tells nobody
}

TEST(TerminalNotices, AtDesignTimeANewTerminalIsUsedBothWays) {
  TTestEdit edit;
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  com.SetDesigning(true);
  com.SetTerminal(&edit);
  EXPECT_EQ(com.TerminalUsage(), tuBoth);
  TsrComm running;
  running.SetDeviceDatabase(nullptr);
  TTestEdit other;
  running.SetTerminal(&other);
  EXPECT_EQ(running.TerminalUsage(), tuNone);
  com.SetTerminal(nullptr);
  running.SetTerminal(nullptr);
}

// ---- terminal on a pseudo-terminal ----

TEST(PtyTerminal, TypedCharactersGoOutAndTheAnswerIsShown) {
  TTestLoop loop;
  TPty pty;
  ASSERT_FALSE(pty.path.empty());
  TTestEdit edit;
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = 40;
  d->PortName = pty.path;
  com.DeviceAdd(std::move(d));
  com.SetComPortNo(40);
  com.SetStreamProtocol(spNone);
  com.SetTerminal(&edit);
  com.SetTerminalUsage(tuBoth);
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();
  auto farRead = [&] {
    pollfd p{pty.master, POLLIN, 0};
    char c = 0;
    if (poll(&p, 1, 1000) <= 0 || ::read(pty.master, &c, 1) != 1) return '\0';
    return c;
  };
  edit.Type('q');
  EXPECT_EQ(farRead(), 'q');
  EXPECT_EQ(edit.text, "");
  ASSERT_EQ(::write(pty.master, "Q", 1), 1);
  ASSERT_TRUE(loop.PumpUntil([&] { return edit.text == "Q"; }));
  com.SetTerminalEcho(true);
  edit.Type('w');
  EXPECT_EQ(farRead(), 'w');
  EXPECT_EQ(edit.text, "Qw");
  ASSERT_EQ(::write(pty.master, "W!", 2), 2);
  ASSERT_TRUE(loop.PumpUntil([&] { return edit.text == "QwW!"; }));
  com.SetActive(false);
  com.SetTerminal(nullptr);
}

}  // namespace
