#include "sim_options.h"

#include <charconv>

#include "base/exceptions.h"

const char* const kSimUsage =
    "usage: quarrow-sim [options]\n"
    "A simulated Quarrow tester on a pseudo-terminal, announced as a USB serial port so that\n"
    "quarrow2excel and quarrow2excel-cli find it as they find a real one.\n"
    "\n"
    "The archive:\n"
    "  --records N        generate N records (0 to 65535, default 10)\n"
    "  --seed S           the generated records depend on S (default 1)\n"
    "  --singles Q        each generated record holds Q single values (1 to 49; default 5 to 15)\n"
    "  --archive FILE     send the 128-byte records of FILE instead of generated ones\n"
    "The line:\n"
    "  --baud 9600|115200 answer only at this rate (default 115200)\n"
    "  --name NAME        the port's name in the announcement (default quarrow-sim)\n"
    "  --once, --exit-after-reading   end after one complete reading\n"
    "  --capture FILE     write what one whole reading sends to FILE instead of opening a line\n"
    "Fault modes (one at a time; record numbers count from 1):\n"
    "  --spoil-record K   record K goes out once with a wrong checksum\n"
    "  --silent-before K  instead of record K the tester falls silent for good\n"
    "  --hang-up-before K instead of record K the line is closed, as when the cable is pulled\n"
    "  --empty            the header announces no records\n"
    "  --reject-header    the header carries a mark the reader must refuse\n"
    "  --noise            a few stray bytes go before every frame\n"
    "  --slow-line US     a pause of US microseconds after every byte sent\n"
    "  --repeat-header    the first \"n\" is answered with the header again, then all goes on\n"
    "                     as if that \"n\" had been the first\n"
    "  --repeat-record K  record K goes out a second time, once, in place of record K + 1\n"
    "  --join-records K   records K and K + 1 go out together, once, for one command\n"
    "  --chatter-before K instead of record K the line sends a byte every 5 ms and never ends a\n"
    "                     frame, until the reader probes again; then the tester reads normally\n"
    "\n"
    "Example: quarrow-sim --records 120 --join-records 7 --once\n";

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
    } else if (a == "--repeat-header") {
      o.Faults.RepeatHeader = true;
      ++faults;
    } else if (a == "--repeat-record") {
      o.Faults.RepeatRecord = static_cast<unsigned>(Number(a, value(), 1, 65534));
      ++faults;
    } else if (a == "--join-records") {
      o.Faults.JoinRecords = static_cast<unsigned>(Number(a, value(), 1, 65534));
      ++faults;
    } else if (a == "--chatter-before") {
      o.Faults.ChatterBefore = static_cast<unsigned>(Number(a, value(), 1, 65535));
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
