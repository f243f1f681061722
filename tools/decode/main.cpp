// quarrow-decode: replays a captured byte stream of a tester's reading (what the tester sent,
// header frame and record frames) through the program's link protocol and writes the text report,
// so that a reading can be checked or recovered without the line.
#include <cctype>
#include <fstream>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/exceptions.h"
#include "base/utf8_path.h"
#include "base/version.h"
#include "mainwindow/presentation.h"
#include "mainwindow/textreport.h"
#include "platform/language/locale_settings.h"
#include "platform/process/program_args.h"
#include "replay.h"

namespace {

const char* const kUsage =
    "usage: quarrow-decode --version\n"
    "       quarrow-decode [--unit MPa|kg/cm2|N/mm2|PSI] [--singles|--no-singles] CAPTURE REPORT\n";

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
  const std::vector<std::string> args = ProgramArguments(argc, argv);
  for (std::size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    if (a == "--version") {
      std::cout << "quarrow-decode " << kProgramVersion << "\n";
      return 0;
    }
    if (a == "--unit" && i + 1 < args.size()) {
      unit = UnitIndex(args[++i]);
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
  std::ifstream in(Utf8Path(files[0]), std::ios::binary);
  if (!in) {
    std::cerr << "quarrow-decode: cannot read \"" << files[0] << "\"\n";
    return 3;
  }
  const std::vector<char> stream{std::istreambuf_iterator<char>(in), {}};

  const TReplay replay = ReplayCapture(
      reinterpret_cast<const std::uint8_t*>(stream.data()), stream.size(),
      [](const std::string& text) { std::cerr << "quarrow-decode: " << text << "\n"; });
  if (!replay.Complete) {
    std::cerr << "quarrow-decode: the capture holds no complete reading\n";
    return 3;
  }
  try {
    const FormatSettings fs = LoadSystemFormatSettings();
    BuildTextReport(replay.Archive, unit, singles, fs, Now()).SaveToFile(files[1]);
  } catch (const std::exception& e) {
    std::cerr << "quarrow-decode: " << e.what() << "\n";
    return 6;
  }
  std::cerr << "quarrow-decode: " << replay.Archive.RecCount() << " records written to " << files[1]
            << "\n";
  return 0;
}
