// The component on real pseudo-terminals: the test holds the far (master) side.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <cstring>

#include "serial/srcomm.h"
#include "test_support.h"

namespace {

constexpr int kPtyPortNo = 50;

struct PtyComm : ::testing::Test {
  TTestLoop loop;
  TPty pty;
  TTestLog log;
  TsrComm com;
  std::vector<std::uint8_t> received;
  int receiveCalls = 0, closeCalls = 0;
  bool offMainThread = false;

  void SetUp() override {
    ASSERT_FALSE(pty.path.empty());
    com.SetDeviceDatabase(nullptr);
    auto d = std::make_unique<TsrDevice>();
    d->Data = kPtyPortNo;
    d->PortName = pty.path;
    d->NameFriendly = "pty";
    com.DeviceAdd(std::move(d));
    com.SetComPortNo(kPtyPortNo);
    com.SetStreamProtocol(spNone);
    com.SetLog(&log);
    com.OnAfterReceive = [this](TObject*, const std::uint8_t* b, std::uint32_t n) {
      if (!loop.IsMainThread()) offMainThread = true;
      received.insert(received.end(), b, b + n);
      ++receiveCalls;
    };
    com.OnClose = [this](TObject*) { ++closeCalls; };
  }
  void TearDown() override { com.SetActive(false); }

  void FarWrite(const std::string& s) {
    ASSERT_EQ(::write(pty.master, s.data(), s.size()), static_cast<ssize_t>(s.size()));
  }
  std::string FarRead(std::size_t n, int ms = 1000) {
    std::string out;
    while (out.size() < n) {
      pollfd p{pty.master, POLLIN, 0};
      if (poll(&p, 1, ms) <= 0) break;
      char buf[256];
      ssize_t r = ::read(pty.master, buf, sizeof buf);
      if (r <= 0) break;
      out.append(buf, static_cast<std::size_t>(r));
    }
    return out;
  }
  bool HasLine(const std::string& line) const {
    return std::find(log.lines.begin(), log.lines.end(), line) != log.lines.end();
  }
};

TEST_F(PtyComm, OpensConfiguresAndCloses) {
  com.SetBaudRate(115200);
  com.SetStopBits(sbTwo);
  com.SetStreamProtocol(spHardware);
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();
  EXPECT_TRUE(HasLine("srComm: The port " + pty.path + " is opened succesfully"));
  // (A pseudo-terminal keeps 8 data bits without parity whatever it is told.)
  termios t{};
  ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B115200);
  EXPECT_TRUE(t.c_cflag & CSTOPB);
  EXPECT_TRUE(t.c_cflag & CRTSCTS);
  EXPECT_FALSE(t.c_iflag & IXON);
  com.SetStreamProtocol(spXonXoff);  // applied at once on an open port
  com.SetBaudRate(9600);
  ASSERT_EQ(tcgetattr(pty.slave, &t), 0);
  EXPECT_EQ(cfgetospeed(&t), B9600);
  EXPECT_TRUE(t.c_iflag & IXON);
  EXPECT_TRUE(t.c_iflag & IXOFF);
  EXPECT_FALSE(t.c_cflag & CRTSCTS);

  // Taken exclusively: a second component cannot open it.
  TsrComm other;
  other.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = kPtyPortNo;
  d->PortName = pty.path;
  other.DeviceAdd(std::move(d));
  other.SetComPortNo(kPtyPortNo);
  other.OnFatalError = [](TObject*, std::uint32_t, std::uint32_t, const std::string&, bool& raise) {
    raise = false;
  };
  other.SetActive(true);
  EXPECT_FALSE(other.Active());

  com.SetActive(false);
  EXPECT_FALSE(com.Active());
  EXPECT_EQ(closeCalls, 1);
  EXPECT_TRUE(HasLine("srComm: The port is closed succesfully"));
}

TEST_F(PtyComm, BytesArriveOnTheMainThreadWithTheirCount) {
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  FarWrite("0123456789");
  ASSERT_TRUE(loop.PumpUntil([&] { return received.size() >= 10; }));
  EXPECT_EQ(std::string(received.begin(), received.end()), "0123456789");
  EXPECT_EQ(com.TotalReceived(), 10u);
  EXPECT_FALSE(offMainThread);
  EXPECT_LE(receiveCalls, 10);
}

TEST_F(PtyComm, LargeBurstIsReadInPiecesThatFit) {
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  std::size_t largest = 0;
  com.OnAfterReceive = [&](TObject*, const std::uint8_t* b, std::uint32_t n) {
    largest = std::max<std::size_t>(largest, n);
    received.insert(received.end(), b, b + n);
  };
  std::string data(20000, '\0');
  for (std::size_t i = 0; i < data.size(); ++i) data[i] = static_cast<char>(i * 7);
  std::thread writer([&] {
    std::size_t off = 0;
    while (off < data.size()) {
      ssize_t r = ::write(pty.master, data.data() + off, data.size() - off);
      if (r > 0) off += static_cast<std::size_t>(r);
    }
  });
  bool all = loop.PumpUntil([&] { return received.size() >= data.size(); }, 5000);
  writer.join();
  ASSERT_TRUE(all);
  EXPECT_EQ(std::string(received.begin(), received.end()), data);
  EXPECT_LE(largest, 8192u);
  EXPECT_EQ(com.TotalReceived(), 20000u);
}

TEST_F(PtyComm, SendCharSendsTheLowByteAndClosedPortSendsNothing) {
  com.SendChar('A');
  EXPECT_EQ(com.TotalSent(), 0u);
  EXPECT_TRUE(log.lines.empty());
  EXPECT_EQ(FarRead(1, 50), "");

  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  log.lines.clear();
  com.SendChar(0x141);
  EXPECT_EQ(FarRead(1), "A");
  EXPECT_EQ(com.TotalSent(), 1u);
  EXPECT_TRUE(HasLine("srComm: Try to send char 41h ..."));
  com.SendString("");
  EXPECT_EQ(log.lines.size(), 1u);
  com.SendString("xyz");
  EXPECT_EQ(FarRead(3), "xyz");
  EXPECT_EQ(com.TotalSent(), 4u);
}

TEST_F(PtyComm, QueuedBytesWithoutReceiverAreRead) {
  com.OnAfterReceive = nullptr;
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  FarWrite(std::string(30, 'q'));
  ASSERT_TRUE(com.WaitForBytes(30, 1000));
  std::uint8_t buf[200];
  EXPECT_EQ(com.ReadMax(buf, -5), 0);
  EXPECT_EQ(com.ReadyForRead(), 30u);
  EXPECT_EQ(com.ReadMax(buf, 10), 10);
  EXPECT_EQ(com.ReadMax(buf, 100), 20);
  EXPECT_EQ(com.ReadString(), "");
}

TEST_F(PtyComm, ReopensAtOnceAfterAClose) {
  com.SetActive(true);
  com.SetActive(false);
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  FarWrite("hi");
  ASSERT_TRUE(loop.PumpUntil([&] { return received.size() >= 2; }));
  EXPECT_EQ(std::string(received.begin(), received.end()), "hi");
  EXPECT_EQ(closeCalls, 1);
}

TEST_F(PtyComm, FarSideClosingEndsInTheClosedStateOnce) {
  std::atomic<int> closes{0};
  com.OnClose = [&](TObject*) { ++closes; };
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  pty.CloseMaster();
  ASSERT_TRUE(loop.PumpUntil([&] { return closes.load() > 0; }, 3000));
  loop.Pump(200);
  EXPECT_EQ(closes.load(), 1);
  EXPECT_FALSE(com.Active());
  com.SetActive(false);
  EXPECT_EQ(closes.load(), 1);
}

TEST_F(PtyComm, OpenFailureReportsTheSystemText) {
  TsrComm bad;
  bad.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = 7;
  d->PortName = "/nonexistent/ttyQ7";
  bad.DeviceAdd(std::move(d));
  bad.SetComPortNo(7);
  std::uint32_t code = 99, detail = 99;
  bool clear = false;
  bad.OnFatalError = [&](TObject*, std::uint32_t c, std::uint32_t dt, const std::string&,
                         bool& raise) {
    code = c;
    detail = dt;
    if (clear) raise = false;
  };
  const std::string expected =
      "Device \"/nonexistent/ttyQ7\" Open Error !!!\r" + std::string(std::strerror(ENOENT));
  try {
    bad.SetActive(true);
    ADD_FAILURE() << "no exception";
  } catch (const ESerialError& e) {
    EXPECT_EQ(std::string(e.what()), expected);
  }
  EXPECT_EQ(code, 1u);
  EXPECT_EQ(detail, 0u);
  EXPECT_FALSE(bad.Active());
  clear = true;
  EXPECT_NO_THROW(bad.SetActive(true));
  EXPECT_FALSE(bad.Active());
  EXPECT_EQ(bad.LastError(), expected);
}

}  // namespace

TEST_F(PtyComm, LongQuestionAndAnswerExchangeIsNoHangUp) {
  // Each byte sent gets a frame back, as a tester answers; a busy line must never read as gone.
  constexpr int kRounds = 40000;
  const std::string frame(266, '5');
  std::atomic<bool> stop{false};
  std::thread far([&] {
    while (!stop) {
      pollfd p{pty.master, POLLIN, 0};
      if (poll(&p, 1, 20) <= 0) continue;
      char c[64];
      const ssize_t n = ::read(pty.master, c, sizeof c);
      for (ssize_t i = 0; i < n; ++i) FarWrite(frame);
    }
  });
  std::size_t got = 0;
  int rounds = 0;
  com.OnAfterReceive = [&](TObject*, const std::uint8_t*, std::uint32_t n) {
    got += n;
    if (got >= frame.size()) {
      got -= frame.size();
      if (++rounds < kRounds) com.SendChar('O');
    }
  };
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  com.SendChar('n');
  const bool done = loop.PumpUntil([&] { return rounds >= kRounds || !com.Active(); }, 30000);
  stop = true;
  far.join();
  EXPECT_TRUE(done);
  EXPECT_EQ(rounds, kRounds);
  EXPECT_TRUE(com.Active());
  EXPECT_EQ(closeCalls, 0);
}
