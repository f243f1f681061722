// Closing, waking, reading and failing under the component's threads: each case once hung, lost
// a close, froze the owner or ended the process.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>

#include <atomic>
#include <chrono>
#include <set>
#include <thread>

#include "delegating_serial_api.h"
#include "fake_serial_api.h"
#include "platform/serial/serial_api_posix.h"
#include "serial/srcomm.h"
#include "test_support.h"

namespace {

using namespace std::chrono_literals;
constexpr int kSoundnessPortNo = 50;

// Waits until pred holds, up to ms, without running the test loop.
bool Eventually(const std::function<bool()>& pred, int ms = 2000) {
  const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
  while (!pred()) {
    if (std::chrono::steady_clock::now() >= end) return false;
    std::this_thread::sleep_for(2ms);
  }
  return true;
}

void UsePty(TsrComm& com, const std::string& path) {
  com.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = kSoundnessPortNo;
  d->PortName = path;
  com.DeviceAdd(std::move(d));
  com.SetComPortNo(kSoundnessPortNo);
  com.SetStreamProtocol(spNone);
}

TEST(CommSoundness, TheOwnersCloseWaitsForTheEventThreadsCloseAfterAnUnplug) {
  TTestLoop loop;
  auto fake = std::make_shared<TFakeSerialApi>();
  const auto owner = std::this_thread::get_id();
  std::atomic<bool> eventThreadClosing{false};
  // The event thread's close pauses where it has stopped the threads but not yet released the
  // handle: the owner's close lands there.
  fake->OnSleep = [&](std::uint32_t ms) {
    if (ms == 25 && std::this_thread::get_id() != owner) {
      eventThreadClosing = true;
      std::this_thread::sleep_for(300ms);
    }
  };
  TTestLog log;
  TsrComm com;
  com.SetSerialApi(fake);
  com.SetLog(&log);
  std::atomic<int> closes{0};
  com.OnClose = [&](TObject*) { ++closes; };
  com.SetActive(true);
  ASSERT_TRUE(com.Active());

  fake->Remove();
  ASSERT_TRUE(Eventually([&] { return eventThreadClosing.load(); }));
  com.SetActive(false);
  EXPECT_FALSE(com.Active());
  EXPECT_EQ(closes, 1);
  const auto closedLine = std::find(log.lines.begin(), log.lines.end(),
                                    std::string("srComm: The port is closed succesfully"));
  EXPECT_EQ(closedLine, log.lines.end()) << "the owner closed nothing";

  // The next open opens.
  fake->ClearCalls();
  com.SetActive(true);
  EXPECT_TRUE(com.Active());
  EXPECT_TRUE(fake->Called("CreateFileW \\\\?\\COM1"));
  com.SetActive(false);
  EXPECT_FALSE(com.Active());
}

// The system's serial operations on a pseudo-terminal, with the event thread held between its
// WaitCommEvent and its wait, so that the owner's stop and close land in that gap.
class TSlowWaitApi : public TDelegatingSerialApi {
 public:
  TSlowWaitApi() : TDelegatingSerialApi(SystemSerialApi()) {}
  std::atomic<bool> hold{false}, held{false};
  std::set<THandle> closed;
  std::mutex m;
  std::uint32_t WaitForSingleObject(THandle h, std::uint32_t ms) override {
    if (hold.exchange(false)) {
      held = true;
      std::this_thread::sleep_for(200ms);
    }
    return to_->WaitForSingleObject(h, ms);
  }
  bool CloseHandle(THandle h) override {
    {
      std::lock_guard lock(m);
      closed.insert(h);
    }
    return to_->CloseHandle(h);
  }
  bool Closed(THandle h) {
    std::lock_guard lock(m);
    return closed.count(h) > 0;
  }
  THandle CreateEventW() override {
    const THandle h = to_->CreateEventW();
    std::lock_guard lock(m);
    events.push_back(h);
    return h;
  }
  std::vector<THandle> events;
};

TEST(CommSoundness, AStopBetweenStartingAndEnteringTheWaitStillEndsTheEventThread) {
  TTestLoop loop;
  TPty pty;
  ASSERT_FALSE(pty.path.empty());
  auto api = std::make_shared<TSlowWaitApi>();
  TsrComm com;
  com.SetSerialApi(api);
  UsePty(com, pty.path);
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  // Wake the event thread once, so that it starts a new wait and is held before waiting.
  api->hold = true;
  ASSERT_EQ(::write(pty.master, "x", 1), 1);
  ASSERT_TRUE(Eventually([&] { return api->held.load(); }));
  com.SetActive(false);
  // The event thread's own event (the last one made) is closed when the thread ends.
  THandle threadEvent;
  {
    std::lock_guard lock(api->m);
    threadEvent = api->events.back();
  }
  EXPECT_TRUE(Eventually([&] { return api->Closed(threadEvent); }))
      << "the event thread still waits on a closed port";
}

TEST(CommSoundness, WhatAHandlerThrowsOnThePortsThreadsTakesTheFatalErrorPath) {
  struct Case {
    const char* where;
    std::function<void(TsrComm&, TFakeSerialApi&)> arrange, trigger;
    std::string message;
  };
  const Case cases[] = {
      {"message thread",
       [](TsrComm& com, TFakeSerialApi&) {
         com.SetUseMainThread(false);
         com.OnAfterReceive = [](TObject*, const std::uint8_t*, std::uint32_t) {
           throw std::runtime_error("handler failed");
         };
       },
       [](TsrComm&, TFakeSerialApi& fake) { fake.Arrive("abc"); }, "handler failed"},
      {"message thread, not a std::exception",
       [](TsrComm& com, TFakeSerialApi&) {
         com.SetUseMainThread(false);
         com.OnAfterReceive = [](TObject*, const std::uint8_t*, std::uint32_t) { throw 42; };
       },
       [](TsrComm&, TFakeSerialApi& fake) { fake.Arrive("abc"); }, "Unknown error"},
      {"event thread's close",
       [](TsrComm& com, TFakeSerialApi&) {
         com.NotifyAdd({[](void*, TObject*, std::int32_t code) {
                          if (code == 1) throw std::logic_error("listener failed");
                        },
                        nullptr});
       },
       [](TsrComm&, TFakeSerialApi& fake) { fake.Remove(); }, "listener failed"},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.where);
    TTestLoop loop;
    auto fake = std::make_shared<TFakeSerialApi>();
    TsrComm com;
    com.SetSerialApi(fake);
    std::mutex m;
    std::vector<std::string> fatal, shown;
    com.OnFatalError = [&](TObject*, std::uint32_t code, std::uint32_t, const std::string& msg,
                           bool& raise) {
      std::lock_guard lock(m);
      EXPECT_EQ(code, 1u);
      EXPECT_TRUE(raise);
      fatal.push_back(msg);
    };
    SetSerialErrorBox([&](const std::string& text) {
      std::lock_guard lock(m);
      EXPECT_TRUE(loop.IsMainThread());
      shown.push_back(text);
    });
    c.arrange(com, *fake);
    com.SetActive(true);
    c.trigger(com, *fake);
    EXPECT_TRUE(loop.PumpUntil([&] {
      std::lock_guard lock(m);
      return !shown.empty();
    }));
    std::lock_guard lock(m);
    EXPECT_EQ(fatal, std::vector<std::string>{c.message});
    EXPECT_EQ(shown, std::vector<std::string>{c.message});
    SetSerialErrorBox({});
  }
}

// Another reader takes the counted bytes before the component reads them.
class TStealingApi : public TDelegatingSerialApi {
 public:
  explicit TStealingApi(int thiefFd) : TDelegatingSerialApi(SystemSerialApi()), fd_(thiefFd) {}
  std::atomic<bool> steal{true};
  bool ReadFile(THandle h, void* b, std::uint32_t n, OVERLAPPED* o) override {
    if (steal.exchange(false)) {
      char buf[256];
      while (::read(fd_, buf, sizeof buf) > 0) {
      }
    }
    return to_->ReadFile(h, b, n, o);
  }

 private:
  int fd_;
};

TEST(CommSoundness, AReceiveReadTakesOnlyWhatIsThereWhenAnotherReaderTookTheCountedBytes) {
  TTestLoop loop;
  TPty pty;
  ASSERT_FALSE(pty.path.empty());
  const int thief = ::open(pty.path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
  ASSERT_GE(thief, 0);
  auto api = std::make_shared<TStealingApi>(thief);
  TsrComm com;
  com.SetSerialApi(api);
  UsePty(com, pty.path);
  com.SetUseMainThread(false);
  std::mutex m;
  std::string received;
  com.OnAfterReceive = [&](TObject*, const std::uint8_t* b, std::uint32_t n) {
    std::lock_guard lock(m);
    received.append(reinterpret_cast<const char*>(b), n);
  };
  com.SetActive(true);
  ASSERT_EQ(::write(pty.master, "stolen", 6), 6);
  ASSERT_TRUE(Eventually([&] { return !api->steal.load(); }));
  std::this_thread::sleep_for(50ms);
  ASSERT_EQ(::write(pty.master, "OK", 2), 2);
  EXPECT_TRUE(Eventually([&] {
    std::lock_guard lock(m);
    return received == "OK";
  })) << "received \""
      << received << "\"";
  com.SetActive(false);
  ::close(thief);
}

TEST(CommSoundness, CountersAndQueueCountsAreReadByTheOwnerWhileTheMessageThreadReceives) {
  TTestLoop loop;
  TPty pty;
  ASSERT_FALSE(pty.path.empty());
  TsrComm com;
  UsePty(com, pty.path);
  com.SetUseMainThread(false);
  std::atomic<std::uint32_t> delivered{0};
  com.OnAfterReceive = [&](TObject*, const std::uint8_t*, std::uint32_t n) { delivered += n; };
  com.SetActive(true);
  std::thread far([&] {
    for (int i = 0; i < 100; ++i) {
      ASSERT_EQ(::write(pty.master, "0123456789", 10), 10);
      std::this_thread::sleep_for(1ms);
    }
  });
  std::uint32_t seen = 0;
  while (delivered < 1000 && seen < 1000) {
    seen = com.TotalReceived();
    com.ReadyForRead();
    com.NotYetSend();
  }
  far.join();
  EXPECT_TRUE(Eventually([&] { return com.TotalReceived() == 1000; }));
  EXPECT_EQ(delivered, 1000u);
  com.SetActive(false);
}

TEST(CommSoundness, CloseGivesTheTerminalItsSettingsBack) {
  TTestLoop loop;
  TPty pty;
  ASSERT_FALSE(pty.path.empty());
  termios before{};
  ASSERT_EQ(tcgetattr(pty.slave, &before), 0);
  before.c_lflag |= ICANON | ECHO | ISIG;
  before.c_iflag |= ICRNL | IXON;
  before.c_oflag |= OPOST | ONLCR;
  cfsetispeed(&before, B4800);
  cfsetospeed(&before, B4800);
  ASSERT_EQ(tcsetattr(pty.slave, TCSANOW, &before), 0);
  ASSERT_EQ(tcgetattr(pty.slave, &before), 0);

  TsrComm com;
  UsePty(com, pty.path);
  com.SetBaudRate(115200);
  com.SetParity(pEven);
  com.SetActive(true);
  ASSERT_TRUE(com.Active());
  termios during{};
  ASSERT_EQ(tcgetattr(pty.slave, &during), 0);
  EXPECT_EQ(during.c_lflag & ICANON, 0u);  // the component's raw line
  EXPECT_EQ(cfgetospeed(&during), static_cast<speed_t>(B115200));
  com.SetActive(false);

  termios after{};
  ASSERT_EQ(tcgetattr(pty.slave, &after), 0);
  EXPECT_EQ(after.c_iflag, before.c_iflag);
  EXPECT_EQ(after.c_oflag, before.c_oflag);
  EXPECT_EQ(after.c_cflag, before.c_cflag);
  EXPECT_EQ(after.c_lflag, before.c_lflag);
  EXPECT_EQ(cfgetospeed(&after), cfgetospeed(&before));
  EXPECT_EQ(std::memcmp(after.c_cc, before.c_cc, sizeof after.c_cc), 0);
}

TEST(CommSoundness, PortNamesAfterComThatAreNoNumberFailToOpenWithoutThrowingOtherwise) {
  const std::shared_ptr<TSerialApi> api = SystemSerialApi();
  for (const char* name : {"COMx", "COM", "COM1x", "COM0", "COM99999999999999999999", "COM-1"}) {
    SCOPED_TRACE(name);
    THandle h = 0;
    EXPECT_NO_THROW(h = api->CreateFileW(std::string("\\\\?\\") + name));
    EXPECT_EQ(h, INVALID_HANDLE_VALUE);
    EXPECT_EQ(api->GetLastError(), ERROR_FILE_NOT_FOUND);
  }
  // Through the component: the open error, not an exception of the library.
  TTestLoop loop;
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = kSoundnessPortNo;
  d->PortName = "COMfoo";
  com.DeviceAdd(std::move(d));
  com.SetComPortNo(kSoundnessPortNo);
  try {
    com.SetActive(true);
    ADD_FAILURE() << "no open error";
  } catch (const ESerialError& e) {
    EXPECT_EQ(std::string(e.what()).rfind("Device \"COMfoo\" Open Error !!!\r", 0), 0u) << e.what();
  }
  EXPECT_FALSE(com.Active());
}

TEST(CommSoundness, AnFtdiAdapterIsAskedForLowLatencyAndGivenItsOwnBackAtClose) {
  struct Case {
    const char* driver;
    bool alreadyOn;
    int getError, setError;
    std::vector<bool> expectedSets;  // what Set was asked, in order, over an open and a close
  };
  const Case cases[] = {
      {"ftdi_sio", false, 0, 0, {true, false}},
      {"ftdi_sio", true, 0, 0, {}},           // left as it is, and not switched off at close
      {"ftdi_sio", false, 0, EPERM, {true}},  // refused: the port opens all the same
      {"ftdi_sio", false, ENOTTY, 0, {}},     // no such switch
      {"cp210x", false, 0, 0, {}},
      {"", false, 0, 0, {}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(std::string(c.driver) + (c.alreadyOn ? " on" : "") +
                 (c.setError ? " refused" : "") + (c.getError ? " without" : ""));
    TTestLoop loop;
    TPty pty;
    ASSERT_FALSE(pty.path.empty());
    std::vector<bool> sets;
    std::set<int> fds;
    TLowLatencySwitch sw;
    sw.DriverName = [&](int fd) {
      fds.insert(fd);
      return std::string(c.driver);
    };
    sw.Get = [&](int, bool& on) {
      on = c.alreadyOn;
      return c.getError;
    };
    sw.Set = [&](int fd, bool on) {
      EXPECT_EQ(fds.count(fd), 1u);
      sets.push_back(on);
      return on ? c.setError : 0;
    };
    TsrComm com;
    com.SetSerialApi(MakePosixSerialApi(nullptr, sw));
    UsePty(com, pty.path);
    com.SetActive(true);
    EXPECT_TRUE(com.Active());
    com.SetActive(false);
    EXPECT_EQ(sets, c.expectedSets);
  }
}

}  // namespace
