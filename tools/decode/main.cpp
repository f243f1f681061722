// quarrow-decode: replays a captured byte stream of a tester's reading (what the tester sent,
// header frame and record frames) through the program's link protocol and writes the text report,
// so that a reading can be checked or recovered without the line.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/exceptions.h"
#include "base/utf16.h"
#include "mainwindow/link.h"
#include "mainwindow/presentation.h"
#include "mainwindow/textreport.h"
#include "platform/locale_settings.h"

namespace {

const char* const kUsage =
    "usage: quarrow-decode [--unit MPa|kg/cm2|N/mm2|PSI] [--singles|--no-singles] CAPTURE REPORT\n";

// Shows what the window's status line would show.
class TStderrLabel : public TLabel {
 public:
  void SetCaption(const std::string& text) override {
    text_ = text;
    std::cerr << "quarrow-decode: " << text << "\n";
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
  std::string text_;
};

class TDecoder : public TMainLink {
 public:
  explicit TDecoder(TLabel* label) {
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
  void ShowInfo(const std::string& text, const std::string& wcaption, const std::string&) override {
    std::cerr << "quarrow-decode: " << wcaption << ": " << text << "\n";
  }
};

int UnitIndex(const std::string& name) {
  const char* names[] = {"mpa", "kg/cm2", "n/mm2", "psi"};
  std::string lower;
  for (const char c : name) lower += static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  for (int i = 0; i < 4; ++i)
    if (lower == names[i]) return i;
  return -1;
}

}  // namespace

int main(int argc, char** argv) {
  int unit = 0;
  bool singles = true;
  std::vector<std::string> files;
  for (int i = 1; i < argc; ++i) {
    const std::string a = argv[i];
    if (a == "--unit" && i + 1 < argc) {
      unit = UnitIndex(argv[++i]);
      if (unit < 0) {
        std::cerr << kUsage;
        return 2;
      }
    } else if (a == "--singles") {
      singles = true;
    } else if (a == "--no-singles") {
      singles = false;
    } else if (!a.empty() && a[0] != '-') {
      files.push_back(a);
    } else {
      std::cerr << kUsage;
      return 2;
    }
  }
  if (files.size() != 2) {
    std::cerr << kUsage;
    return 2;
  }
  std::ifstream in(files[0], std::ios::binary);
  if (!in) {
    std::cerr << "quarrow-decode: cannot read \"" << files[0] << "\"\n";
    return 3;
  }
  const std::vector<char> stream{std::istreambuf_iterator<char>(in), {}};

  TStderrLabel label;
  TDecoder decoder(&label);
  // The tester sends each frame only after the answer to the previous one, and the line hands
  // bytes over in chunks: replay frame by frame, each in chunks.
  constexpr std::size_t kChunk = 64;
  std::size_t begin = 0;
  while (begin < stream.size() && !decoder.Complete && !decoder.Failed) {
    const auto p =
        std::find(stream.begin() + static_cast<std::ptrdiff_t>(begin), stream.end(), 'P');
    const std::size_t end = p == stream.end() ? stream.size() : (p - stream.begin()) + 1;
    for (std::size_t pos = begin; pos < end; pos += kChunk) {
      const std::size_t n = std::min(kChunk, end - pos);
      decoder.srComm1AfterReceive(nullptr, reinterpret_cast<const std::uint8_t*>(&stream[pos]),
                                  static_cast<std::uint32_t>(n));
    }
    begin = end;
  }
  if (!decoder.Complete) {
    std::cerr << "quarrow-decode: the capture holds no complete reading\n";
    return 3;
  }
  try {
    const FormatSettings fs = LoadSystemFormatSettings();
    BuildTextReport(decoder.Archive, unit, singles, fs, Now()).SaveToFile(files[1]);
  } catch (const std::exception& e) {
    std::cerr << "quarrow-decode: " << e.what() << "\n";
    return 6;
  }
  std::cerr << "quarrow-decode: " << decoder.Archive.RecCount() << " records written to "
            << files[1] << "\n";
  return 0;
}
