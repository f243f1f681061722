// Loading and design states, the data processor's async timer and notices, and the worker
// thread of a component that sets isThreaded.
#include <gtest/gtest.h>

#include <atomic>

#include "fake_serial_api.h"
#include "serial/srcomm.h"
#include "serial/srtimer.h"
#include "test_support.h"

namespace {

struct FakeState : ::testing::Test {
  TTestLoop loop;
  std::shared_ptr<TFakeSerialApi> api = std::make_shared<TFakeSerialApi>();
  std::vector<std::pair<std::string, std::string>> boxes;
  TsrComm com;
  void SetUp() override {
    SetSerialMessageBox(
        [this](const std::string& t, const std::string& c) { boxes.emplace_back(t, c); });
    com.SetDeviceDatabase(nullptr);
    com.SetSerialApi(api);
    com.SetComPortNo(4);
  }
  void TearDown() override {
    SetSerialMessageBox(nullptr);
    com.SetActive(false);
  }
  int Opens() {
    int n = 0;
    for (const auto& c : api->Calls()) n += c.rfind("CreateFileW", 0) == 0;
    return n;
  }
};

TEST_F(FakeState, ActiveStoredWhileLoadingOpensWhenLoadingEnds) {
  com.BeginLoading();
  com.SetActive(true);
  com.SetComPortNo(6);  // closes and reopens only what is stored
  EXPECT_TRUE(com.Active());
  EXPECT_FALSE(com.IsOpened());
  EXPECT_EQ(Opens(), 0);
  com.Loaded();
  EXPECT_TRUE(com.IsOpened());
  EXPECT_TRUE(com.Active());
  EXPECT_EQ(Opens(), 1);
  EXPECT_TRUE(api->Called("CreateFileW \\\\?\\COM6"));
  EXPECT_TRUE(boxes.empty());
}

TEST_F(FakeState, StoredInactiveStaysClosedAndFatalErrorsDoNotRaiseWhileLoading) {
  com.BeginLoading();
  com.SetActive(false);
  bool told = false;
  com.OnFatalError = [&](TObject*, std::uint32_t, std::uint32_t, const std::string&, bool&) {
    told = true;
  };
  EXPECT_NO_THROW(com.DoFatalError(1, 0, "while loading", false));
  EXPECT_TRUE(told);
  com.Loaded();
  EXPECT_FALSE(com.Active());
  EXPECT_EQ(Opens(), 0);
  EXPECT_THROW(com.DoFatalError(1, 0, "after loading", false), ESerialError);
}

TEST_F(FakeState, AtDesignTimeActiveTriesThePortAndClosesIt) {
  com.SetDesigning(true);
  com.SetActive(true);
  EXPECT_EQ(Opens(), 1);
  EXPECT_FALSE(com.IsOpened());
  EXPECT_TRUE(com.Active());  // the port works: stored as true
  com.SetActive(true);        // tried again, even though the value is the same
  EXPECT_EQ(Opens(), 2);
  com.SetActive(false);
  EXPECT_FALSE(com.Active());
}

TEST(LoadingState, AStoredActivePortThatCannotOpenShowsTheErrorBox) {
  std::vector<std::pair<std::string, std::string>> boxes;
  SetSerialMessageBox(
      [&](const std::string& t, const std::string& c) { boxes.emplace_back(t, c); });
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  auto d = std::make_unique<TsrDevice>();
  d->Data = 7;
  d->PortName = "/nonexistent/ttyQ7";
  com.DeviceAdd(std::move(d));
  com.BeginLoading();
  com.SetComPortNo(7);
  com.SetActive(true);
  EXPECT_NO_THROW(com.Loaded());
  SetSerialMessageBox(nullptr);
  ASSERT_EQ(boxes.size(), 1u);
  EXPECT_EQ(boxes[0], (std::pair<std::string, std::string>{"error", "Error"}));
  EXPECT_FALSE(com.Active());
}

// ---- data processor ----

struct TCountingProcessor : TsrCustomDataProcessor {
  int completes = 0;
  void DoAfterSendComplete(bool&) override { ++completes; }
};

TEST(DataProcessor, AsyncTimerReportsOneSendCompleteAndStops) {
  TTestLoop loop;
  TCountingProcessor p;
  EXPECT_FALSE(p.TimerAsync().Enabled());
  p.StartAsyncTimer(0);
  loop.Pump(60);
  EXPECT_EQ(p.completes, 0);
  p.StartAsyncTimer(15);
  EXPECT_TRUE(p.TimerAsync().Enabled());
  ASSERT_TRUE(loop.PumpUntil([&] { return p.completes > 0; }, 1000));
  loop.Pump(60);
  EXPECT_EQ(p.completes, 1);
  EXPECT_FALSE(p.TimerAsync().Enabled());
}

TEST(DataProcessor, SendsHandledElsewhereCompleteByTheTimer) {
  TTestLoop loop;
  auto api = std::make_shared<TFakeSerialApi>();
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  com.SetSerialApi(api);
  TCountingProcessor p;
  com.SetDataProcessor(&p);
  com.SetActive(true);
  p.TimerAsync().SetInterval(15);
  bool handle = true;
  std::vector<bool> synchro;
  p.OnDataSend = [&](TObject*, const std::uint8_t*, std::uint32_t, bool s, bool& handled) {
    synchro.push_back(s);
    handled = handle;
  };
  const std::uint8_t data[] = {1, 2, 3};
  p.DoDataSend(data, 3);
  EXPECT_EQ(api->Written(), "");
  ASSERT_TRUE(loop.PumpUntil([&] { return p.completes > 0; }, 1000));
  handle = false;
  p.DoDataSend(data, 3);
  p.DoStringSend("ok");
  p.DoDataSend(nullptr, 3);  // nothing at all
  EXPECT_EQ(api->Written(), std::string("\x01\x02\x03ok", 5));
  EXPECT_EQ(synchro, (std::vector<bool>{false, false, true}));
  loop.Pump(60);
  EXPECT_EQ(p.completes, 1);
  com.SetActive(false);
  com.SetDataProcessor(nullptr);
}

TEST(DataProcessor, DestructionNoticesCutEveryReference) {
  TTestLog log;
  auto com = std::make_unique<TsrComm>();
  com->SetDeviceDatabase(nullptr);
  auto first = std::make_unique<TCountingProcessor>();
  auto next = std::make_unique<TCountingProcessor>();
  com->SetDataProcessor(first.get());
  first->ChainProcessor(next.get());
  first->AssignLog(&log);
  EXPECT_EQ(next->Device(), com.get());
  next.reset();
  EXPECT_EQ(first->Next(), nullptr);
  first.reset();
  EXPECT_EQ(com->DataProcessor(), nullptr);
  EXPECT_FALSE(com->HasReceivers());

  auto p = std::make_unique<TCountingProcessor>();
  com->SetDataProcessor(p.get());
  com->SetLog(&log);
  com.reset();
  EXPECT_EQ(p->Device(), nullptr);
  TsrComm keeper;
  keeper.SetDeviceDatabase(nullptr);
  {
    TTestLog shortLived;
    p->AssignLog(&shortLived);
    keeper.SetLog(&shortLived);
  }
  EXPECT_EQ(p->Log(), nullptr);
  EXPECT_EQ(keeper.Log(), nullptr);
}

// ---- worker thread ----

// Delivers each scripted chunk from its worker thread.
class TThreadedComm : public TsrComm {
 public:
  TThreadedComm() { isThreaded = true; }
  ~TThreadedComm() override {
    SetActive(false);
    DetachThreads();
  }
  std::mutex m;
  std::vector<std::string> chunks;
  std::atomic<bool> running{false}, ended{false};
  void ThreadIOExecute(TsrThreadIO* thread) override {
    running = true;
    while (!thread->Terminated()) {
      std::string next;
      {
        std::lock_guard lock(m);
        if (!chunks.empty()) {
          next = chunks.front();
          chunks.erase(chunks.begin());
        }
      }
      if (!next.empty())
        DoReceived(reinterpret_cast<const std::uint8_t*>(next.data()),
                   static_cast<std::uint32_t>(next.size()));
      else
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    ended = true;
  }
  void Push(const std::string& s) {
    std::lock_guard lock(m);
    chunks.push_back(s);
  }
};

struct ThreadIO : ::testing::Test {
  TTestLoop loop;
  std::shared_ptr<TFakeSerialApi> api = std::make_shared<TFakeSerialApi>();
  std::string received;
  std::atomic<int> offMain{0};
  TThreadedComm com;
  void SetUp() override {
    com.SetDeviceDatabase(nullptr);
    com.SetSerialApi(api);
    com.OnAfterReceive = [this](TObject*, const std::uint8_t* b, std::uint32_t n) {
      if (!loop.IsMainThread()) ++offMain;
      received.append(reinterpret_cast<const char*>(b), n);
    };
  }
};

TEST_F(ThreadIO, RunsWhileOpenAndHandsChunksToTheMainThread) {
  com.SetActive(true);
  ASSERT_TRUE(com.IsOpened());
  ASSERT_TRUE(loop.PumpUntil([&] { return com.running.load(); }));
  com.Push("one");
  com.Push("two");
  ASSERT_TRUE(loop.PumpUntil([&] { return received == "onetwo"; }));
  EXPECT_EQ(offMain.load(), 0);
  com.SetActive(false);
  EXPECT_TRUE(com.ended.load());  // stopped and waited for
}

TEST_F(ThreadIO, WithoutTheMainThreadChunksArriveOnTheWorker) {
  com.SetUseMainThread(false);
  com.SetActive(true);
  com.Push("w");
  std::this_thread::sleep_for(std::chrono::milliseconds(50));
  com.SetActive(false);
  EXPECT_EQ(received, "w");
  EXPECT_EQ(offMain.load(), 1);
}

TEST_F(ThreadIO, ClosingWhileAChunkWaitsForTheMainThreadDropsIt) {
  com.SetActive(true);
  ASSERT_TRUE(loop.PumpUntil([&] { return com.running.load(); }));
  com.Push("late");
  std::this_thread::sleep_for(std::chrono::milliseconds(30));  // the main thread is busy
  com.SetActive(false);                                        // must not wait for it forever
  EXPECT_TRUE(com.ended.load());
  loop.Pump(30);
  EXPECT_EQ(received, "");
}

}  // namespace
