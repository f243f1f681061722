// Settings, their DCB bits, the event mask and the stored configuration, on a closed port.
#include <gtest/gtest.h>

#include "platform/process/thread_messages.h"
#include "platform/serial/serial_api_posix.h"
#include "serial/srcomm.h"
#include "serial/srtimer.h"
#include "test_support.h"

namespace {

TEST(CommSettings, ConstructionValues) {
  TsrComm c;
  EXPECT_EQ(c.BaudRate(), 19200u);
  EXPECT_EQ(c.ByteSize(), 8);
  EXPECT_EQ(c.Parity(), pNone);
  EXPECT_EQ(c.StopBits(), sbOne);
  EXPECT_EQ(c.StreamProtocol(), spHardware);
  EXPECT_EQ(c.ComPortNo(), 1);
  EXPECT_EQ(c.ComPort(), cpCOM1);
  EXPECT_EQ(c.BufferInSize(), 8192);
  EXPECT_EQ(c.BufferOutSize(), 8192);
  EXPECT_TRUE(c.UseMainThread());
  EXPECT_FALSE(c.Active());
  EXPECT_EQ(c.Dcb().Flags & 0x3FFF, 0x2015u);
  EXPECT_EQ(c.Dcb().XonLim, 80);
  EXPECT_EQ(c.Dcb().XoffLim, 200);
}

TEST(CommSettings, FlagWordFollowsProtocolParityAndRs485) {
  struct Case {
    TStreamProtocol protocol;
    bool rs485;
    TParity parity;
    std::uint32_t flags;
  } cases[] = {
      {spNone, false, pNone, 0x1011},     {spXonXoff, false, pNone, 0x1311},
      {spHardware, false, pNone, 0x2015}, {spNone, true, pNone, 0x3011},
      {spNone, false, pOdd, 0x1013},      {spHardware, true, pSpace, 0x3013},
  };
  for (const Case& k : cases) {
    TsrComm c;
    c.SetStreamProtocol(k.protocol);
    c.SetRS485Mode(k.rs485);
    c.SetParity(k.parity);
    EXPECT_EQ(c.Dcb().Flags, k.flags) << k.protocol << k.rs485 << k.parity;
    c.SetParity(pNone);
    EXPECT_EQ(c.Dcb().Flags & fParity, 0u);
  }
}

TEST(CommSettings, ByteSizeAndPortNumber) {
  TsrComm c;
  for (auto [in, out] : {std::pair{3, 8}, {9, 8}, {4, 4}, {7, 7}}) {
    c.SetByteSize(static_cast<std::uint8_t>(in));
    EXPECT_EQ(c.ByteSize(), out) << in;
  }
  int updates = 0;
  static int* counter = nullptr;
  counter = &updates;
  c.NotifyAdd({[](void*, TObject*, std::int32_t code) { *counter += code == 3; }, nullptr});
  c.SetComPortNo(12);
  EXPECT_EQ(c.ComPort(), cpCOMxx);
  c.SetComPort(cpCOMxx);
  EXPECT_EQ(c.ComPortNo(), 12);
  c.SetComPortNo(8);
  EXPECT_EQ(c.ComPort(), cpCOM8);
  c.SetComPort(cpCOM3);
  EXPECT_EQ(c.ComPortNo(), 3);
  EXPECT_EQ(updates, 3);
}

TEST(CommSettings, EventMaskFromTraceStates) {
  TsrComm c;
  EXPECT_EQ(c.EventMask(), EV_RXCHAR);
  c.SetTraceStates(tsRxChar);
  EXPECT_EQ(c.EventMask(), EV_RXCHAR);
  c.SetTraceStates(tsCTS | tsDSR | tsRing | tsRx80Full | tsEvent2);
  EXPECT_EQ(c.EventMask(), EV_RXCHAR | EV_CTS | EV_DSR | EV_RING | EV_RX80FULL | EV_EVENT2);
  c.SetTraceStates(0);
  c.SetRS485Mode(true);
  EXPECT_EQ(c.EventMask(), c.IsNotSupportRS485() ? EV_RXCHAR | EV_TXEMPTY : EV_RXCHAR);
}

TEST(CommSettings, ConfigurationValue) {
  auto reg = std::make_shared<TMemoryRegistry>();
  TTestLog log;
  TsrComm a;
  a.SetLog(&log);
  a.SetRegistryFactory([reg] { return std::make_unique<TMemoryRegistry>(*reg); });
  // A 48-byte value changes nothing.
  reg->values["Key|Port"] = std::vector<std::uint8_t>(48, 0x55);
  a.LoadConfig(TRootKey::CurrentUser, "Key", "Port");
  EXPECT_EQ(a.BaudRate(), 19200u);
  EXPECT_EQ(a.ComPortNo(), 1);
  EXPECT_EQ(log.lines.back(), "srComm: Configuration was loaded");

  TsrComm b;
  b.SetRegistryFactory([reg] {
    struct Sink : TMemoryRegistry {
      std::shared_ptr<TMemoryRegistry> target;
      void WriteBinaryData(const std::string& n, const std::vector<std::uint8_t>& d) override {
        TMemoryRegistry::WriteBinaryData(n, d);
        target->values["Key|" + n] = d;
      }
    };
    auto s = std::make_unique<Sink>();
    s->target = reg;
    return s;
  });
  b.SetComPortNo(5);
  b.SetBaudRate(115200);
  b.SetTimeoutRead(40);
  b.SaveConfig(TRootKey::CurrentUser, "Key", "Port");
  ASSERT_EQ(reg->values["Key|Port"].size(), 49u);
  EXPECT_EQ(reg->values["Key|Port"][0], 5);
  a.LoadConfig(TRootKey::CurrentUser, "Key", "Port");
  EXPECT_EQ(a.ComPortNo(), 5);
  EXPECT_EQ(a.BaudRate(), 115200u);
  EXPECT_EQ(a.TimeoutRead(), 40u);

  TsrComm none;
  EXPECT_THROW(none.SaveConfig(TRootKey::CurrentUser, "Key", "Port"), ESerialError);
}

// Linux has no port dialog of its own: the system API shows the one the program lends, and the
// caller's record changes only when it is accepted.
TEST(CommSettings, TheSystemsPortDialogIsTheOneLent) {
  const auto api = SystemSerialApi();
  COMMCONFIG cfg;
  cfg.dcb.BaudRate = 9600;
  EXPECT_FALSE(api->CommConfigDialogW("/dev/ttyUSB0", cfg));
  EXPECT_EQ(api->GetLastError(), ERROR_NOT_SUPPORTED);
  for (const bool accept : {false, true}) {
    std::string shownFor;
    SetCommConfigDialog([&](const std::string& name, COMMCONFIG& edited) {
      shownFor = name;
      edited.dcb.BaudRate = 115200;
      return accept;
    });
    EXPECT_EQ(api->CommConfigDialogW("/dev/ttyUSB0", cfg), accept);
    EXPECT_EQ(shownFor, "/dev/ttyUSB0");
    if (!accept) {
      EXPECT_EQ(api->GetLastError(), ERROR_CANCELLED);
    }
    EXPECT_EQ(cfg.dcb.BaudRate, accept ? 115200u : 9600u);
  }
  SetCommConfigDialog({});
}

TEST(NotifyList, AddsOnceAndCallsInOrder) {
  static std::vector<int> calls;
  calls.clear();
  TsrNotifyList l;
  auto f1 = [](void*, TObject*, std::int32_t c) { calls.push_back(10 + c); };
  auto f2 = [](void*, TObject*, std::int32_t c) { calls.push_back(20 + c); };
  TsrComm c;
  c.NotifyAdd({f1, nullptr});
  c.NotifyAdd({f1, &calls});  // same function: kept once
  c.NotifyAdd({f2, nullptr});
  c.DoNotify(2);
  EXPECT_EQ(calls, (std::vector<int>{12, 22}));
  c.NotifyDelete({f1, nullptr});
  c.DoNotify(1);
  EXPECT_EQ(calls, (std::vector<int>{12, 22, 21}));
}

TEST(ThreadMessages, RegisteredByNameAndPostedToQueues) {
  const std::uint32_t a = RegisterWindowMessage("srTestMsgA");
  EXPECT_GE(a, 0xC000u);
  EXPECT_LE(a, 0xFFFFu);
  std::uint32_t other = 0, id = 0;
  std::atomic<bool> ready{false};
  std::thread t([&] {
    other = RegisterWindowMessage("SRTESTMSGA");
    EnsureMessageQueue();
    id = CurrentThreadId();
    ready = true;
    TThreadMsg m;
    while (GetThreadMessage(m) != 0) {
    }
  });
  while (!ready) std::this_thread::yield();
  EXPECT_TRUE(PostThreadMessage(id, WM_QUIT, 0));
  t.join();
  EXPECT_EQ(other, a);
  EXPECT_FALSE(PostThreadMessage(id, a, 1));  // its queue went with it
}

}  // namespace

namespace {

class TOnePortDb : public TsrDeviceDatabase {
 public:
  std::vector<TsrPortMapEntry> PortMap() override { return {{"COM4", "/dev/ttyQ4", 4}}; }
  std::vector<TsrDevice> EnumerationRecords(bool) override { return {}; }
};

TEST(CommDevices, ListLoadsOnlyWhenAskedAndNamesThePort) {
  TsrComm c;
  c.SetDeviceDatabase(std::make_shared<TOnePortDb>());
  c.SetComPortNo(4);
  EXPECT_EQ(c.DeviceIndex(), -1);
  EXPECT_EQ(c.ComName(), "COM4");
  std::vector<std::string> names;
  c.GetDeviceList(names);
  ASSERT_EQ(c.DeviceCount(), 1);
  EXPECT_EQ(c.DeviceIndex(), 0);
  EXPECT_EQ(c.ComName(), c.Devices(0)->PortName);
  c.SetComPortNo(9);
  c.SetDeviceIndex(5);  // outside the list: ignored
  EXPECT_EQ(c.ComPortNo(), 9);
  c.SetDeviceIndex(0);
  EXPECT_EQ(c.ComPortNo(), 4);

  DEV_BROADCAST_HDR port, volume;
  port.dbch_devicetype = 3;
  volume.dbch_devicetype = 2;
  struct Case {
    std::uint32_t msg;
    std::uintptr_t w;
    const DEV_BROADCAST_HDR* h;
    bool handled;
  } cases[] = {{0x219, 0x8000, &port, true},    {0x219, 0x8004, &port, true},
               {0x219, 0x8000, &volume, false}, {0x219, 0x8004, nullptr, false},
               {0x219, 7, nullptr, true},       {0x218, 7, nullptr, false}};
  for (const Case& k : cases) {
    c.DeviceListClear();
    EXPECT_EQ(c.WMDeviceChange(k.msg, k.w, k.h), k.handled) << k.w;
    EXPECT_EQ(c.DeviceCount(), k.handled ? 1 : 0) << k.w;
  }
}

}  // namespace

namespace {

TEST(Timer, TicksOnTheLoopOnlyWhenFullySet) {
  TTestLoop loop;
  int ticks = 0;
  {
    TsrTimer t;
    t.SetInterval(10);
    loop.Pump(40);  // no OnTimer: stopped
    t.SetOnTimer([&](TObject*) {
      EXPECT_TRUE(loop.IsMainThread());
      ++ticks;
    });
    EXPECT_TRUE(loop.PumpUntil([&] { return ticks >= 3; }, 1000));
    t.SetInterval(0);
    const int before = ticks;
    loop.Pump(50);
    EXPECT_LE(ticks, before + 1);  // at most one already posted
    t.SetInterval(10);
    t.SetEnabled(false);
    const int stopped = ticks;
    loop.Pump(50);
    EXPECT_EQ(ticks, stopped);
    t.SetEnabled(true);
  }
  const int gone = ticks;
  loop.Pump(50);  // a tick posted before destruction finds nobody
  EXPECT_EQ(ticks, gone);
}

}  // namespace
