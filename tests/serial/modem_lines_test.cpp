// Modem-line events: the mapping of two looks at the lines onto EV_ bits, and the events on a
// real pseudo-terminal whose lines (which a pty lacks) the test scripts through the probe.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <atomic>
#include <cerrno>
#include <mutex>

#include "platform/serial/serial_api_posix.h"
#include "serial/srcomm.h"
#include "test_support.h"

namespace {

TModemLines Lines(std::uint32_t status, std::uint32_t cts = 0, std::uint32_t dsr = 0,
                  std::uint32_t ring = 0, std::uint32_t dcd = 0, bool counted = false) {
  TModemLines l;
  l.status = status;
  l.cts = cts;
  l.dsr = dsr;
  l.ring = ring;
  l.dcd = dcd;
  l.counted = counted;
  return l;
}

TEST(ModemLineEvents, ChangesAndCountersMapOntoEvents) {
  constexpr std::uint32_t all = EV_MODEMLINES | EV_RXCHAR;
  struct Case {
    const char* name;
    TModemLines before, now;
    std::uint32_t mask, events;
  } cases[] = {
      {"nothing changed", Lines(MS_CTS_ON), Lines(MS_CTS_ON), all, 0},
      {"CTS rose", Lines(0), Lines(MS_CTS_ON), all, EV_CTS},
      {"DSR fell", Lines(MS_DSR_ON | MS_CTS_ON), Lines(MS_CTS_ON), all, EV_DSR},
      {"carrier is RLSD", Lines(0), Lines(MS_RLSD_ON), all, EV_RLSD},
      {"ring either edge", Lines(MS_RING_ON), Lines(0), all, EV_RING},
      {"all four at once", Lines(0), Lines(MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON | MS_RING_ON), all,
       EV_MODEMLINES},
      {"only asked-for lines", Lines(0), Lines(MS_CTS_ON | MS_DSR_ON), EV_DSR, EV_DSR},
      {"none asked for", Lines(0), Lines(MS_CTS_ON), EV_RXCHAR | EV_TXEMPTY, 0},
      {"pulse seen by its counter", Lines(0, 4, 0, 0, 0, true), Lines(0, 6, 0, 0, 0, true), all,
       EV_CTS},
      {"ring pulse by counter", Lines(0, 1, 1, 1, 1, true), Lines(0, 1, 1, 2, 1, true), all,
       EV_RING},
      {"counters need both looks", Lines(0, 4, 0, 0, 0, false), Lines(0, 9, 0, 0, 0, true), all, 0},
      {"counter and line both", Lines(0, 0, 0, 0, 7, true), Lines(MS_RLSD_ON, 0, 0, 0, 8, true),
       all, EV_RLSD},
  };
  for (const Case& k : cases)
    EXPECT_EQ(ModemLineEvents(k.before, k.now, k.mask), k.events) << k.name;
}

// Lines that the probe hands out; the event thread and the owner both read them.
struct TScriptedLines {
  std::mutex m;
  TModemLines lines;
  int error = 0;
  std::atomic<int> looks{0};
  void Set(const TModemLines& l) {
    std::lock_guard lock(m);
    lines = l;
  }
  void Fail(int e) {
    std::lock_guard lock(m);
    error = e;
  }
  int Probe(TModemLines& out) {
    ++looks;
    std::lock_guard lock(m);
    if (error != 0) return error;
    out = lines;
    return 0;
  }
};

struct TCheck : TsrCheckable {
  bool checked = false;
  int writes = 0;
  void SetChecked(bool c) override {
    checked = c;
    ++writes;
  }
};

constexpr int kModemPortNo = 61;

struct PtyModem : ::testing::Test {
  TTestLoop loop;
  TPty pty;
  std::shared_ptr<TScriptedLines> script = std::make_shared<TScriptedLines>();
  // What the component's handlers and monitors reach outlives it.
  std::vector<TTraceStates> events;
  std::atomic<int> closes{0};
  TCheck cts, dsr, rlsd, ring;
  TsrComm com;

  void SetUp() override {
    ASSERT_FALSE(pty.path.empty());
    com.SetDeviceDatabase(nullptr);
    com.SetSerialApi(MakePosixSerialApi([s = script](int, TModemLines& l) { return s->Probe(l); }));
    auto d = std::make_unique<TsrDevice>();
    d->Data = kModemPortNo;
    d->PortName = pty.path;
    com.DeviceAdd(std::move(d));
    com.SetComPortNo(kModemPortNo);
    com.SetStreamProtocol(spNone);
    com.OnTraceState = [this](TObject*, TTraceStates e) {
      if (e != tsTxEmpty) events.push_back(e);
    };
    com.OnClose = [this](TObject*) { ++closes; };
  }
  void TearDown() override {
    com.OnTraceState = nullptr;  // a test's own handler may hold its locals
    com.SetActive(false);
  }

  // The next trace event within ms, or 0.
  TTraceStates NextEvent(int ms = 2000) {
    if (!loop.PumpUntil([&] { return !events.empty(); }, ms)) return 0;
    const TTraceStates e = events.front();
    events.erase(events.begin());
    return e;
  }
};

TEST_F(PtyModem, LineChangesArriveAsTraceEventsOnTheMainThread) {
  com.SetTraceStates(tsCTS | tsDSR | tsRLSD | tsRing);
  com.SetMonitorCTS(&cts);
  com.SetMonitorDSR(&dsr);
  com.SetMonitorRLSD(&rlsd);
  com.SetMonitorRing(&ring);
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();
  events.clear();
  bool onMain = true;
  com.OnTraceState = [&](TObject*, TTraceStates e) {
    onMain = onMain && loop.IsMainThread();
    events.push_back(e);
  };

  struct Step {
    const char* name;
    TModemLines lines;
    TTraceStates expected;  // 0: nothing may be reported
    TModemSignals signals;
  } steps[] = {
      {"CTS up", Lines(MS_CTS_ON), tsCTS, msCTS},
      {"DSR and carrier up together", Lines(MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON), tsDSR | tsRLSD,
       msCTS | msDSR | msRLSD},
      {"no change", Lines(MS_CTS_ON | MS_DSR_ON | MS_RLSD_ON), 0, msCTS | msDSR | msRLSD},
      {"CTS down", Lines(MS_DSR_ON | MS_RLSD_ON), tsCTS, msDSR | msRLSD},
      {"counters start", Lines(MS_DSR_ON | MS_RLSD_ON, 1, 1, 0, 1, true), 0, msDSR | msRLSD},
      {"a ring too short to see", Lines(MS_DSR_ON | MS_RLSD_ON, 1, 1, 1, 1, true), tsRing,
       msDSR | msRLSD},
  };
  for (const Step& k : steps) {
    script->Set(k.lines);
    if (k.expected == 0) {
      EXPECT_EQ(NextEvent(100), 0) << k.name;
    } else {
      EXPECT_EQ(NextEvent(), k.expected) << k.name;
    }
    EXPECT_EQ(com.ModemSignals(), k.signals) << k.name;
  }
  EXPECT_TRUE(onMain);
  EXPECT_FALSE(cts.checked);
  EXPECT_TRUE(dsr.checked);
  EXPECT_TRUE(rlsd.checked);
  EXPECT_TRUE(ring.checked);

  // Closing ends the looking at once.
  com.SetActive(false);
  loop.Pump(30);
  const int looks = script->looks.load();
  loop.Pump(100);
  EXPECT_EQ(script->looks.load(), looks);
  EXPECT_EQ(closes.load(), 1);
}

TEST_F(PtyModem, UntracedLinesAndChangesBeforeTheMaskAreNotReported) {
  script->Set(Lines(0));
  com.SetTraceStates(tsDSR);
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();
  events.clear();
  script->Set(Lines(MS_CTS_ON | MS_RING_ON));
  EXPECT_EQ(NextEvent(100), 0);
  script->Set(Lines(MS_CTS_ON | MS_RING_ON | MS_DSR_ON));
  EXPECT_EQ(NextEvent(), tsDSR);

  // Bytes still come while the lines are watched.
  std::string received;
  com.OnAfterReceive = [&](TObject*, const std::uint8_t* b, std::uint32_t n) {
    received.append(reinterpret_cast<const char*>(b), n);
  };
  ASSERT_EQ(::write(pty.master, "xy", 2), 2);
  EXPECT_TRUE(loop.PumpUntil([&] { return received == "xy"; }));
  com.OnAfterReceive = nullptr;

  // A change made while no line was traced is not reported once one is.
  com.SetTraceStates(0);
  script->Set(Lines(MS_DSR_ON));
  loop.Pump(50);
  com.SetTraceStates(tsCTS);
  EXPECT_EQ(NextEvent(100), 0);
  script->Set(Lines(MS_DSR_ON | MS_CTS_ON));
  EXPECT_EQ(NextEvent(), tsCTS);
}

TEST_F(PtyModem, LinesThatStopAnsweringCloseThePortOnceWithoutSpinning) {
  com.SetTraceStates(tsCTS);
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();
  script->Fail(EIO);
  ASSERT_TRUE(loop.PumpUntil([&] { return closes.load() > 0; }));
  loop.Pump(30);
  const int looks = script->looks.load();
  loop.Pump(100);
  EXPECT_EQ(script->looks.load(), looks);
  EXPECT_EQ(closes.load(), 1);
  EXPECT_FALSE(com.Active());
}

double CpuSeconds() {
  rusage u{};
  getrusage(RUSAGE_SELF, &u);
  return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
         static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

TEST(PtyModemSystem, WatchingLinesAPtyCannotTellCostsNothing) {
  TTestLoop loop;
  TPty pty;
  ASSERT_FALSE(pty.path.empty());
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = kModemPortNo;
  d->PortName = pty.path;
  com.DeviceAdd(std::move(d));
  com.SetComPortNo(kModemPortNo);
  std::string received;
  com.OnAfterReceive = [&](TObject*, const std::uint8_t* b, std::uint32_t n) {
    received.append(reinterpret_cast<const char*>(b), n);
  };
  com.SetTraceStates(tsCTS | tsDSR | tsRLSD | tsRing);
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();
  EXPECT_EQ(com.ModemSignals(), 0);
  const double before = CpuSeconds();
  loop.Pump(400);
  EXPECT_LT(CpuSeconds() - before, 0.1);  // a spinning wait would take the whole 0.4 s
  ASSERT_EQ(::write(pty.master, "ok", 2), 2);
  EXPECT_TRUE(loop.PumpUntil([&] { return received == "ok"; }));
  com.OnAfterReceive = nullptr;
  com.SetActive(false);
}

}  // namespace
