// A link without a window: fake elements, every command sent and every state change recorded,
// and the tester's side of the frame encoding. Shared by the tests, the fuzz target and the
// benchmarks.
#pragma once

#include <cstdint>
#include <stdexcept>
#include <string>
#include <vector>

#include "mainwindow/link.h"
#include "ui/elements.h"

class TFakeLabel : public TLabel {
 public:
  void SetVisible(bool v) override { visible_ = v; }
  bool Visible() const override { return visible_; }
  void SetEnabled(bool v) override { enabled_ = v; }
  bool Enabled() const override { return enabled_; }
  TBounds Bounds() const override { return {}; }
  void SetBounds(const TBounds&) override {}
  void Repaint() override {}
  void SetCaption(const std::string& text) override { caption_ = text; }
  std::string Caption() const override { return caption_; }
  int TextWidth(const std::string& line) const override { return 8 * int(line.size()); }
  int LineHeight() const override { return 19; }

 private:
  bool visible_ = true, enabled_ = true;
  std::string caption_;
};

class TFakeProgressBar : public TProgressBar {
 public:
  void SetVisible(bool v) override { visible_ = v; }
  bool Visible() const override { return visible_; }
  void SetEnabled(bool v) override { enabled_ = v; }
  bool Enabled() const override { return enabled_; }
  TBounds Bounds() const override { return {}; }
  void SetBounds(const TBounds&) override {}
  void Repaint() override {}
  void SetMin(int v) override { min_ = v; }
  void SetMax(int v) override { max_ = v; }
  void SetPosition(int v) override { position_ = v; }
  int Min() const override { return min_; }
  int Max() const override { return max_; }
  int Position() const override { return position_; }

 private:
  bool visible_ = false, enabled_ = true;
  int min_ = 0, max_ = 100, position_ = 0;
};

class TFakeTimer : public TTimer {
 public:
  TFakeTimer() : TTimer(true, 1000) {}

 protected:
  void StartClock(unsigned) override {}
  void StopClock() override {}
};

class TTestLink : public TMainLink {
 public:
  TTestLink() {
    L_State = &label;
    PB_Data = &bar;
    Timer_CheckWork = &check_work;
    Timer_DeviceRefresh = &device_refresh;
  }

  // What the probe does when the tester answered: ask for the header.
  void RequestHeader() {
    ClearCom();
    Pending = ChHeader;
    SessionPhase = phReading;
  }

  void Feed(const std::string& bytes, std::size_t chunk = 64) {
    for (std::size_t i = 0; i < bytes.size(); i += chunk) {
      const std::size_t n = std::min(chunk, bytes.size() - i);
      srComm1AfterReceive(nullptr, reinterpret_cast<const std::uint8_t*>(bytes.data() + i),
                          static_cast<std::uint32_t>(n));
    }
  }

  TFakeLabel label;
  TFakeProgressBar bar;
  TFakeTimer check_work, device_refresh;
  std::string sent;
  std::vector<std::string> events;
  std::string info_text;
  bool timers_stopped_at_info = false;
  bool send_throws = false;
  bool record = true;
  std::string port = "/dev/ttyUSB0";  // the port the exchange runs on

 protected:
  void SendCommand(char ch) override {
    if (record) sent += ch;
    if (send_throws) throw std::runtime_error("port gone");
  }
  void SetStateWait() override {
    if (record) events.push_back("wait");
    ClearCom();
    ClearDev();
    Pending = ChIdle;
    SessionPhase = phSearching;
  }
  void SetStateDataReady() override {
    if (record) events.push_back("ready");
  }
  void KeepReading() override {
    if (record) events.push_back("keep");
  }
  void ShowInfo(const std::string& text, const std::string& wcaption,
                const std::string& sound) override {
    if (record) events.push_back("info " + wcaption + " " + sound);
    info_text = text;
    timers_stopped_at_info = !check_work.Enabled() && !device_refresh.Enabled();
  }
  std::string LinkPort() override { return port; }
};

// The tester's side: a frame carrying payload.
inline std::string EncodeFrame(const std::vector<std::uint8_t>& payload) {
  std::string f = "S";
  for (const std::uint8_t b : payload) {
    f += static_cast<char>('0' + (b & 15));
    f += static_cast<char>('0' + (b >> 4));
  }
  std::uint32_t sum = 0;
  for (std::size_t k = 1; k < f.size(); ++k) sum += static_cast<std::uint8_t>(f[k]) ^ k;
  for (int i = 0; i < 8; ++i) f += static_cast<char>('0' + ((sum >> (4 * i)) & 15));
  f += 'P';
  return f;
}

inline std::vector<std::uint8_t> HeaderPayload(std::uint16_t records) {
  return {0,
          0,
          24,
          5,
          17,
          0x34,
          0x12,
          0x78,
          0x56,
          0,
          static_cast<std::uint8_t>(records & 255),
          static_cast<std::uint8_t>(records >> 8)};
}
