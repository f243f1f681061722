// The main window on the headless binding with a manual clock, a settings store and a port list
// of its own in a temporary folder, and testers on real pseudo-terminals announced as virtual
// ports, so the window finds them through its real discovery.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include "../core/test_link.h"
#include "../core/test_record.h"
#include "../sheetexport/fake_desktop.h"
#include "mainwindow/main_form.h"
#include "platform/desktop/virtual_ports.h"
#include "serial/device_db_sysfs.h"
#include "ui/headless/headless.h"

namespace fs = std::filesystem;

// The tester's side of the link on a pseudo-terminal: "Z" back for "Z" while the line runs at
// its own rate, the header for "V", record 1 for "n", the next record for every "O".
class TPtyTester {
 public:
  TPtyTester(std::vector<std::vector<std::uint8_t>> records, speed_t baud = B115200)
      : records_(std::move(records)), baud_(baud) {
    char name[256] = {};
    if (openpty(&master_, &slave_, name, nullptr, nullptr) != 0) throw std::runtime_error("pty");
    path_ = name;
    termios t{};
    tcgetattr(master_, &t);
    cfmakeraw(&t);
    tcsetattr(master_, TCSANOW, &t);
    thread_ = std::thread([this] { Run(); });
  }
  ~TPtyTester() { Stop(); }

  const std::string& Path() const { return path_; }
  // Stops answering from record k on (1-based); 0: never.
  std::atomic<unsigned> SilentFrom{0};
  // Instead of record k the line chatters, a nibble character every 5 ms; 0: never.
  std::atomic<unsigned> ChatterFrom{0};
  std::string Received() const {
    std::lock_guard lock(mutex_);
    return received_;
  }
  // The line goes dead, as when the cable is pulled.
  void HangUp() {
    Stop();
    if (slave_ >= 0) ::close(slave_);
    slave_ = -1;
  }

 private:
  void Stop() {
    stop_ = true;
    if (thread_.joinable()) thread_.join();
    if (master_ >= 0) ::close(master_);
    master_ = -1;
  }
  bool AtOwnRate() const {
    termios t{};
    return tcgetattr(master_, &t) == 0 && cfgetospeed(&t) == baud_;
  }
  void Send(const std::string& s) { (void)!::write(master_, s.data(), s.size()); }
  void Run() {
    while (!stop_) {
      pollfd p{master_, POLLIN, 0};
      if (::poll(&p, 1, chattering_ ? 5 : 20) <= 0) {
        if (chattering_) Send(std::string(1, static_cast<char>('0' + chatter_++ % 16)));
        continue;
      }
      char buf[256];
      const ssize_t n = ::read(master_, buf, sizeof buf);
      if (n <= 0) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
        continue;
      }
      for (ssize_t i = 0; i < n; ++i) Answer(buf[i]);
    }
  }
  void Answer(char c) {
    {
      std::lock_guard lock(mutex_);
      received_ += c;
    }
    if (!AtOwnRate()) return;
    if (c == 'Z') Send("Z");
    if (c == 'V') Send(EncodeFrame(HeaderPayload(static_cast<std::uint16_t>(records_.size()))));
    if (c == 'n') next_ = 0;
    if (c != 'n' && c != 'O') return;
    if (next_ >= records_.size()) return;
    if (SilentFrom != 0 && next_ + 1 >= SilentFrom) return;
    if (ChatterFrom != 0 && next_ + 1 >= ChatterFrom) {
      chattering_ = true;
      return;
    }
    Send(EncodeFrame(records_[next_++]));
  }

  std::vector<std::vector<std::uint8_t>> records_;
  speed_t baud_;
  int master_ = -1, slave_ = -1;
  std::string path_;
  std::size_t next_ = 0;
  bool chattering_ = false;
  unsigned chatter_ = 0;
  std::atomic<bool> stop_{false};
  mutable std::mutex mutex_;
  std::string received_;
  std::thread thread_;
};

// Counts the scans of the port list.
class TCountingDevices : public TsrDeviceDatabase {
 public:
  explicit TCountingDevices(std::shared_ptr<TsrDeviceDatabase> inner) : inner_(std::move(inner)) {}
  std::vector<TsrPortMapEntry> PortMap() override { return inner_->PortMap(); }
  std::vector<TsrDevice> EnumerationRecords(bool presentOnly) override {
    ++Scans;
    return inner_->EnumerationRecords(presentOnly);
  }
  int Scans = 0;

 private:
  std::shared_ptr<TsrDeviceDatabase> inner_;
};

class FormFixture {
 public:
  FormFixture()
      : root_(fs::temp_directory_path() /
              ("q2e_form_" + std::to_string(getpid()) + "_" + std::to_string(++counter_))) {
    fs::remove_all(root_);
    fs::create_directories(root_ / "sys");
    readings = root_ / "readings.sqlite3";
    fs::create_directories(Docs());
    devices = std::make_shared<TCountingDevices>(
        std::make_shared<TsrSysfsDeviceDatabase>(root_ / "sys", root_ / "dev", Ports()));
  }
  ~FormFixture() {
    form.reset();
    std::error_code ec;
    fs::remove_all(root_, ec);
  }

  bool keepReadings = true;

  fs::path Root() const { return root_; }
  fs::path Ports() const { return root_ / "ports"; }
  fs::path Docs() const { return root_ / "Documents"; }
  fs::path Store() const { return root_ / "config"; }
  std::unique_ptr<TRegistry> OpenStore() const { return CreateFileRegistry(Store()); }

  void Announce(const std::string& name, const std::string& device,
                const std::string& service = "FTSER2K", const std::string& manufacturer = "FTDI") {
    AnnounceVirtualPort(Ports(), {name, {}, device, service, manufacturer, "test tester"});
  }

  TMainServices Services() {
    TMainServices s;
    s.Registry = [this]() -> std::unique_ptr<TRegistry> {
      if (registry) return registry();
      return CreateFileRegistry(Store());
    };
    s.Devices = devices;
    s.Sheets = sheets;
    s.Format = std::make_shared<FormatSettings>(format);
    s.Sound = [this](const std::string& alias) {
      sounds.push_back(alias);
      return true;
    };
    s.SpecialPath = [this](int) { return Docs().string(); };
    s.Now = [] { return EncodeDateTime(2026, 12, 9, 10, 30, 0, 0); };
    s.ReadingsFile = readings.string();
    s.KeepReadings = keepReadings;
    return s;
  }

  // A desktop that opens nothing, with its documents folder in the test's folder.
  std::shared_ptr<FakeDesktop> NoDesktop() {
    auto d = std::make_shared<FakeDesktop>(root_ / "handed");
    d->Opens = false;
    return d;
  }

  TForm_Main& Start() {
    form = std::make_unique<TForm_Main>(factory, Services());
    return *form;
  }

  // The window in DataReady over an archive of records with the given impact counts, without
  // any serial line: what the reading leaves behind.
  TForm_Main& Loaded(const std::vector<unsigned>& q) {
    TForm_Main& f = form ? *form : Start();
    f.Archive.Resize(static_cast<std::uint32_t>(q.size()));
    for (std::size_t i = 0; i < q.size(); ++i) {
      const auto r = TestRecord(static_cast<unsigned>(i + 1), q[i]);
      f.Archive.StoreRecord(r.data(), r.size());
    }
    f.SessionPhase = phComplete;
    f.SetStateDataReady();
    return f;
  }

  template <class T>
  T& Element(const std::string& name) {
    auto* e = static_cast<headless::TForm&>(*form->Form).Find<T>(name);
    if (!e) throw std::runtime_error("no element " + name);
    return *e;
  }
  headless::TForm& InfoForm() { return static_cast<headless::TForm&>(*form->Form_Info->Form); }

  // Runs the loop on real time until pred holds (the port's threads deliver meanwhile).
  bool PumpUntil(const std::function<bool()>& pred, int ms = 3000) {
    const auto end = std::chrono::steady_clock::now() + std::chrono::milliseconds(ms);
    while (std::chrono::steady_clock::now() < end) {
      app.ProcessMessages();
      if (pred()) return true;
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    app.ProcessMessages();
    return pred();
  }
  // One tick of the probe timer from now.
  void Tick(std::uint64_t ms = 1000) { app.Advance(ms); }

  // Reads the archive of a tester found at the first walk step (115200).
  bool ReadFirstCandidate() {
    Tick(2500);
    if (!PumpUntil([&] { return form->SeenIdle; })) return false;
    Tick(1000);
    return PumpUntil([&] { return form->SessionPhase != phReading; }, 10000);
  }

  headless::TManualClock clock;
  headless::TApp app{clock};
  headless::TFactory factory{app};
  std::shared_ptr<TCountingDevices> devices;
  std::shared_ptr<TSheetSystem> sheets;
  std::function<std::unique_ptr<TRegistry>()> registry;
  FormatSettings format;
  std::vector<std::string> sounds;
  fs::path readings;  // the store of earlier readings
  std::unique_ptr<TForm_Main> form;

 private:
  static inline int counter_ = 0;
  fs::path root_;
};
