#include "replay.h"

#include <algorithm>
#include <memory>

#include "base/utf16.h"
#include "mainwindow/link.h"

namespace {

// Passes on what the window's status line would show.
class TSayLabel : public TLabel {
 public:
  explicit TSayLabel(const std::function<void(const std::string&)>& say) : say_(say) {}
  void SetCaption(const std::string& text) override {
    text_ = text;
    if (say_) say_(text);
  }
  std::string Caption() const override { return text_; }
  void SetVisible(bool) override {}
  bool Visible() const override { return true; }
  void SetEnabled(bool) override {}
  bool Enabled() const override { return true; }
  TBounds Bounds() const override { return {}; }
  void SetBounds(const TBounds&) override {}
  void Repaint() override {}
  // A terminal: one column a character, one row a line.
  int TextWidth(const std::string& line) const override {
    return static_cast<int>(Utf16Length(line));
  }
  int LineHeight() const override { return 1; }

 private:
  const std::function<void(const std::string&)>& say_;
  std::string text_;
};

class TDecoder : public TMainLink {
 public:
  TDecoder(TLabel* label, const std::function<void(const std::string&)>& say) : say_(say) {
    L_State = label;
    Pending = ChHeader;  // the tester has answered the probe and been asked for its header
    SessionPhase = phReading;
  }
  bool Complete = false, Failed = false;

 protected:
  // The answers went to the tester when the stream was captured.
  void SendCommand(char) override {}
  void SetStateWait() override {
    Failed = true;
    ClearCom();
    ClearDev();
    Pending = ChIdle;
  }
  void SetStateDataReady() override { Complete = true; }
  // A capture is decoded, not kept.
  void KeepReading() override {}
  void ShowInfo(const std::string& text, const std::string& wcaption, const std::string&) override {
    if (say_) say_(wcaption + ": " + text);
  }
  std::string LinkPort() override { return "capture"; }

 private:
  const std::function<void(const std::string&)>& say_;
};

}  // namespace

TReplay ReplayCapture(const std::uint8_t* data, std::size_t size,
                      const std::function<void(const std::string&)>& say) {
  TSayLabel label(say);
  // Holds the 64 KB receive buffer: not for the stack.
  auto decoder = std::make_unique<TDecoder>(&label, say);
  // The tester sends each frame only after the answer to the previous one, and the line hands
  // bytes over in chunks: replay frame by frame, each in chunks.
  constexpr std::size_t kChunk = 64;
  std::size_t begin = 0;
  while (begin < size && !decoder->Complete && !decoder->Failed) {
    const std::uint8_t* p = std::find(data + begin, data + size, std::uint8_t{'P'});
    const std::size_t end = p == data + size ? size : static_cast<std::size_t>(p - data) + 1;
    for (std::size_t pos = begin; pos < end; pos += kChunk)
      decoder->srComm1AfterReceive(nullptr, data + pos,
                                   static_cast<std::uint32_t>(std::min(kChunk, end - pos)));
    begin = end;
  }
  return {std::move(decoder->Archive), decoder->Complete};
}
