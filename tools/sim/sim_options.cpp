#include "sim_options.h"

#include <charconv>

#include "base/exceptions.h"

const char* const kSimUsage =
    "usage: quarrow-sim [--help | --version]\n"
    "       quarrow-sim [--records N] [--seed S] [--singles Q] [--archive FILE]\n"
    "                   [--baud 9600|115200]\n"
    "                   [--name NAME] [--once|--exit-after-reading] [--capture FILE]\n"
    "                   [--spoil-record K | --silent-before K | --hang-up-before K |\n"
    "                    --empty | --reject-header | --noise | --slow-line MICROSECONDS]\n";

namespace {

uint64_t Number(const std::string& option, const std::string& text, uint64_t lo, uint64_t hi) {
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
    throw Exception(option + " wants a number from " + std::to_string(lo) + " to " +
                    std::to_string(hi) + ", not \"" + text + "\"");
  return v;
}

}  // namespace

TSimOptions ParseSimOptions(const std::vector<std::string>& args) {
  TSimOptions o;
  bool generated_given = false;
  unsigned faults = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    auto value = [&]() -> const std::string& {
      if (i + 1 >= args.size()) throw Exception(a + " wants a value");
      return args[++i];
    };
    if (a == "--help" || a == "-h") {
      o.Help = true;
    } else if (a == "--version") {
      o.Version = true;
    } else if (a == "--records") {
      o.Records = Number(a, value(), 0, 65535);
      generated_given = true;
    } else if (a == "--seed") {
      o.Seed = Number(a, value(), 0, UINT64_MAX);
    } else if (a == "--singles") {
      o.Singles = static_cast<unsigned>(Number(a, value(), 1, 49));
      generated_given = true;
    } else if (a == "--archive") {
      o.Archive = value();
      if (o.Archive.empty()) throw Exception("--archive wants a file name");
    } else if (a == "--baud") {
      o.Baud = static_cast<unsigned>(Number(a, value(), 0, UINT32_MAX));
      if (o.Baud != 9600 && o.Baud != 115200) throw Exception("--baud is 9600 or 115200");
    } else if (a == "--name") {
      o.Name = value();
      if (o.Name.empty() || o.Name[0] == '.' || o.Name.find('/') != std::string::npos)
        throw Exception("--name wants a plain name without '/' that does not start with '.'");
    } else if (a == "--capture") {
      o.Capture = value();
      if (o.Capture.empty()) throw Exception("--capture wants a file name");
    } else if (a == "--once" || a == "--exit-after-reading") {
      o.Once = true;
    } else if (a == "--spoil-record") {
      o.Faults.SpoilRecord = static_cast<unsigned>(Number(a, value(), 1, 65535));
      ++faults;
    } else if (a == "--silent-before") {
      o.Faults.SilentBefore = static_cast<unsigned>(Number(a, value(), 1, 65535));
      ++faults;
    } else if (a == "--hang-up-before") {
      o.Faults.HangUpBefore = static_cast<unsigned>(Number(a, value(), 1, 65535));
      ++faults;
    } else if (a == "--empty") {
      o.Faults.Empty = true;
      ++faults;
    } else if (a == "--reject-header") {
      o.Faults.RejectHeader = true;
      ++faults;
    } else if (a == "--noise") {
      o.Faults.Noise = true;
      ++faults;
    } else if (a == "--slow-line") {
      o.SlowLineMicros = static_cast<unsigned>(Number(a, value(), 1, 1000000));
      ++faults;
    } else {
      throw Exception("unknown option \"" + a + "\"");
    }
  }
  if (faults > 1) throw Exception("only one fault mode at a time");
  if (generated_given && !o.Archive.empty())
    throw Exception("--records and --singles do not go with --archive");
  return o;
}
