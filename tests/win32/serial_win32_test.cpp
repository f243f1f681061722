// The serial API and the component on real Windows serial ports: a pair of ports joined back to
// back, named by Q2E_TEST_COM_PAIR ("COM20,COM21"). scripts/test-windows.sh makes one from two
// linked pseudo-terminals that Wine serves as COM ports.
#include <gtest/gtest.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "platform/serial/serial_api.h"
#include "serial/srcomm.h"
#include "win32_probe.h"

namespace {

struct PortPair {
  std::string a, b;
  int numberA = 0;
};

bool PairFromEnvironment(PortPair& pair) {
  const char* v = std::getenv("Q2E_TEST_COM_PAIR");
  if (!v) return false;
  const std::string s = v;
  const auto comma = s.find(',');
  if (comma == std::string::npos || s.rfind("COM", 0) != 0) return false;
  pair.a = s.substr(0, comma);
  pair.b = s.substr(comma + 1);
  pair.numberA = std::atoi(pair.a.c_str() + 3);
  return pair.numberA > 0 && !pair.b.empty();
}

class Win32Serial : public ::testing::Test {
 protected:
  void SetUp() override {
    if (!PairFromEnvironment(pair_)) GTEST_SKIP() << "Q2E_TEST_COM_PAIR names no port pair";
    api_ = SystemSerialApi();
  }

  THandle Open(const std::string& name) {
    const THandle h = api_->CreateFileW("\\\\?\\" + name);
    EXPECT_NE(h, INVALID_HANDLE_VALUE)
        << name << ": " << api_->SysErrorMessage(api_->GetLastError());
    if (h == INVALID_HANDLE_VALUE) return h;
    DCB dcb;
    EXPECT_TRUE(api_->GetCommState(h, dcb));
    dcb.BaudRate = 115200;
    dcb.ByteSize = 8;
    dcb.Parity = NOPARITY;
    dcb.StopBits = ONESTOPBIT;
    dcb.Flags = fBinary;
    EXPECT_TRUE(api_->SetCommState(h, dcb));
    COMMTIMEOUTS t;
    t.ReadIntervalTimeout = 0xFFFFFFFFu;  // a read returns what is there
    EXPECT_TRUE(api_->SetCommTimeouts(h, t));
    EXPECT_TRUE(api_->PurgeComm(h, PURGE_RXCLEAR | PURGE_TXCLEAR));
    return h;
  }

  bool Write(THandle h, const std::string& s, THandle ev) {
    OVERLAPPED ovl;
    ovl.hEvent = ev;
    if (api_->WriteFile(h, s.data(), static_cast<std::uint32_t>(s.size()), &ovl)) return true;
    if (api_->GetLastError() != ERROR_IO_PENDING) return false;
    std::uint32_t n = 0;
    return api_->GetOverlappedResult(h, &ovl, &n, true) && n == s.size();
  }

  // Waits until n bytes are queued, then reads them.
  std::string ReadQueued(THandle h, std::size_t n, THandle ev) {
    COMSTAT stat;
    for (int i = 0; i < 200; ++i) {
      if (api_->ClearCommError(h, nullptr, &stat) && stat.cbInQue >= n) break;
      api_->Sleep(10);
    }
    std::string buf(n, '\0');
    OVERLAPPED ovl;
    ovl.hEvent = ev;
    std::uint32_t got = 0;
    if (!api_->ReadFile(h, buf.data(), static_cast<std::uint32_t>(n), &ovl)) {
      if (api_->GetLastError() != ERROR_IO_PENDING) return "<read failed>";
      if (!api_->GetOverlappedResult(h, &ovl, &got, true)) return "<read failed>";
    } else {
      got = static_cast<std::uint32_t>(ovl.InternalHigh);
    }
    buf.resize(got);
    return buf;
  }

  PortPair pair_;
  std::shared_ptr<TSerialApi> api_;
};

TEST_F(Win32Serial, LineSettingsBytesAndTheReceiveEvent) {
  const THandle a = Open(pair_.a), b = Open(pair_.b);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  const THandle evA = api_->CreateEventW(), evB = api_->CreateEventW(),
                evWait = api_->CreateEventW();

  DCB dcb;
  ASSERT_TRUE(api_->GetCommState(a, dcb));
  EXPECT_EQ(dcb.BaudRate, 115200u);
  EXPECT_EQ(dcb.ByteSize, 8);

  // The event thread's way: wait for EV_RXCHAR, the mask arrives with the event. A wait may
  // also end with an empty mask (Wine's does once at the start); the event thread waits again.
  ASSERT_TRUE(api_->SetCommMask(b, EV_RXCHAR));
  std::uint32_t mask = 0;
  bool written = false;
  for (int round = 0; round < 20 && mask == 0; ++round) {
    OVERLAPPED wait;
    wait.hEvent = evWait;
    if (!api_->WaitCommEvent(b, &mask, &wait)) {
      ASSERT_EQ(api_->GetLastError(), ERROR_IO_PENDING);
      if (!written) {
        written = Write(a, "ZZZ", evA);
        ASSERT_TRUE(written);
      }
      ASSERT_EQ(api_->WaitForSingleObject(evWait, 3000), WAIT_OBJECT_0);
    }
  }
  EXPECT_TRUE(written);
  EXPECT_EQ(mask, EV_RXCHAR);
  EXPECT_EQ(ReadQueued(b, 3, evB), "ZZZ");

  // And back, several frames' worth at once.
  std::string frame;
  for (int i = 0; i < 64; ++i) frame += "S0123456789ABCDEFP";
  ASSERT_TRUE(Write(b, frame, evB));
  EXPECT_EQ(ReadQueued(a, frame.size(), evA), frame);

  for (const THandle h : {a, b, evA, evB, evWait}) EXPECT_TRUE(api_->CloseHandle(h));
}

TEST_F(Win32Serial, PendingReadCompletesWhenBytesArrive) {
  const THandle a = Open(pair_.a), b = Open(pair_.b);
  ASSERT_NE(a, INVALID_HANDLE_VALUE);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  const THandle evA = api_->CreateEventW(), evB = api_->CreateEventW();
  COMMTIMEOUTS t;
  t.ReadTotalTimeoutConstant = 3000;  // wait for the whole count
  ASSERT_TRUE(api_->SetCommTimeouts(b, t));

  char buf[5] = {};
  OVERLAPPED ovl;
  ovl.hEvent = evB;
  const bool atOnce = api_->ReadFile(b, buf, 5, &ovl);
  ASSERT_FALSE(atOnce);
  ASSERT_EQ(api_->GetLastError(), ERROR_IO_PENDING);
  std::uint32_t n = 0;
  EXPECT_FALSE(api_->GetOverlappedResult(b, &ovl, &n, false));
  EXPECT_EQ(api_->GetLastError(), ERROR_IO_INCOMPLETE);
  ASSERT_TRUE(Write(a, "V1234", evA));
  ASSERT_TRUE(api_->GetOverlappedResult(b, &ovl, &n, true));
  EXPECT_EQ(n, 5u);
  EXPECT_EQ(ovl.InternalHigh, 5u);
  EXPECT_EQ(std::string(buf, 5), "V1234");

  for (const THandle h : {a, b, evA, evB}) EXPECT_TRUE(api_->CloseHandle(h));
}

TEST_F(Win32Serial, ClosingThePortEndsAPendingWait) {
  const THandle b = Open(pair_.b);
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  const THandle ev = api_->CreateEventW();
  ASSERT_TRUE(api_->SetCommMask(b, EV_RXCHAR));
  std::uint32_t mask = 0xDEAD;
  {
    OVERLAPPED wait;  // gone before the wait ends, as in the event thread's loop
    wait.hEvent = ev;
    ASSERT_FALSE(api_->WaitCommEvent(b, &mask, &wait));
    ASSERT_EQ(api_->GetLastError(), ERROR_IO_PENDING);
  }
  const auto start = std::chrono::steady_clock::now();
  EXPECT_TRUE(api_->CloseHandle(b));
  EXPECT_EQ(api_->WaitForSingleObject(ev, 3000), WAIT_OBJECT_0);
  EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::seconds(3));
  EXPECT_NE(mask & EV_RXCHAR, EV_RXCHAR);  // nothing arrived
  EXPECT_TRUE(api_->CloseHandle(ev));
  // The closed handle is refused from now on.
  EXPECT_FALSE(api_->SetCommMask(b, EV_RXCHAR));
  EXPECT_EQ(api_->GetLastError(), ERROR_INVALID_HANDLE);
}

TEST_F(Win32Serial, MissingPortFailsWithTheSystemsCodeAndText) {
  const THandle h = api_->CreateFileW("\\\\?\\COM219");
  EXPECT_EQ(h, INVALID_HANDLE_VALUE);
  const std::uint32_t err = api_->GetLastError();
  EXPECT_TRUE(err == ERROR_FILE_NOT_FOUND || err == 3) << err;  // 3: path not found
  EXPECT_FALSE(api_->SysErrorMessage(err).empty());
}

// The component itself: the port list from the registry's port map, the threads and the
// receive event, on the system's API.
TEST_F(Win32Serial, ComponentFindsThePortAndReceives) {
  std::mutex m;
  std::condition_variable cv;
  std::string received;
  TsrComm com;
  com.SetEnumPorts(epQuickAll);
  com.Update();
  const int index = com.IndexOfPortNo(pair_.numberA);
  ASSERT_GE(index, 0) << pair_.a << " is not in the port map";
  com.SetDeviceIndex(index);
  EXPECT_EQ(com.ComName(), pair_.a);
  com.SetBaudRate(9600);
  com.OnAfterReceive = [&](TObject*, const std::uint8_t* p, std::uint32_t n) {
    std::lock_guard lock(m);
    received.append(reinterpret_cast<const char*>(p), n);
    cv.notify_all();
  };
  com.SetActive(true);
  ASSERT_TRUE(com.Active()) << com.LastError();

  const THandle b = Open(pair_.b), ev = api_->CreateEventW();
  ASSERT_NE(b, INVALID_HANDLE_VALUE);
  DCB dcb;
  api_->GetCommState(b, dcb);
  dcb.BaudRate = 9600;
  api_->SetCommState(b, dcb);
  ASSERT_TRUE(Write(b, "Z", ev));
  {
    std::unique_lock lock(m);
    EXPECT_TRUE(cv.wait_for(lock, std::chrono::seconds(3), [&] { return received == "Z"; }))
        << "received \"" << received << "\"";
  }
  com.SendString("ZZZ");
  EXPECT_EQ(ReadQueued(b, 3, ev), "ZZZ");
  com.SetActive(false);
  EXPECT_FALSE(com.Active());
  EXPECT_TRUE(api_->CloseHandle(b));
  EXPECT_TRUE(api_->CloseHandle(ev));
}

// The component's ConfigDialog shows the system's port configuration dialog (serialui) with the
// port's settings; the test answers it as a user would, from another thread. What is accepted
// reaches the open port; a cancelled dialog changes nothing.
TEST(Win32PortDialog, ConfigDialogShowsTheSystemsDialogAndTakesItsAnswer) {
  PortPair pair;
  const bool havePort = PairFromEnvironment(pair);
  TsrComm com;
  com.SetDeviceDatabase(nullptr);
  com.SetComPortNo(static_cast<std::uint16_t>(havePort ? pair.numberA : 1));
  com.SetBaudRate(4800);
  com.SetStreamProtocol(spNone);
  if (havePort) {
    com.SetActive(true);
    ASSERT_TRUE(com.Active());
  }
  const unsigned thread = probe::ThreadId();
  for (const bool ok : {false, true}) {
    SCOPED_TRACE(ok ? "OK" : "Cancel");
    std::optional<std::string> title;
    std::thread user([&] { title = probe::AnswerComboDialog(thread, "4800", "57600", ok); });
    const bool accepted = com.ConfigDialog();
    user.join();
    ASSERT_TRUE(title) << "no port configuration dialog showing 4800 came";
    EXPECT_NE(title->find(com.ComName()), std::string::npos) << *title;
    EXPECT_EQ(accepted, ok);
    EXPECT_EQ(com.BaudRate(), ok ? 57600u : 4800u);
    EXPECT_EQ(com.StreamProtocol(), spNone);
    if (havePort) {
      DCB dcb;
      ASSERT_TRUE(SystemSerialApi()->GetCommState(com.Handle(), dcb));
      EXPECT_EQ(dcb.BaudRate, ok ? 57600u : 4800u);
    }
  }
  com.SetActive(false);
}

}  // namespace
