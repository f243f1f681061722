#include "sim_options.h"

#include <charconv>

#include "base/exceptions.h"

namespace {

uint64_t Number(const std::string& option, const std::string& text, uint64_t lo, uint64_t hi) {
  uint64_t v = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc() || end != text.data() + text.size() || v < lo || v > hi)
    throw Exception(option + " wants a number from " + std::to_string(lo) + " to " +
                    std::to_string(hi) + ", not \"" + text + "\"");
  return v;
}

unsigned RecordNumber(const std::string& option, const std::string& text) {
  return static_cast<unsigned>(Number(option, text, 1, 65535));
}

const std::vector<TSimOption> kOptions = {
    {{"--records"},
     "N",
     false,
     "Generates an archive of N records (0 to 65535, default 10) with realistic content.",
     "quarrow-sim --records 120",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Records = Number(n, v, 0, 65535);
     }},
    {{"--seed"},
     "S",
     false,
     "Seeds the generated archive and the noise: the same seed gives the same bytes (default 1).",
     "quarrow-sim --records 120 --seed 7",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Seed = Number(n, v, 0, UINT64_MAX);
     }},
    {{"--singles"},
     "Q",
     false,
     "Gives every generated record Q single impact values (1 to 49; default 5 to 15 each).",
     "quarrow-sim --records 3 --singles 49",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Singles = static_cast<unsigned>(Number(n, v, 1, 49));
     }},
    {{"--archive"},
     "FILE",
     false,
     "Sends the records of FILE, whole 128-byte records as the tester stores them, instead of "
     "generated ones.",
     "quarrow-sim --archive lab.bin",
     [](TSimOptions& o, const std::string&, const std::string& v) {
       if (v.empty()) throw Exception("--archive wants a file name");
       o.Archive = v;
     }},
    {{"--baud"},
     "9600|115200",
     false,
     "Answers only at this baud rate (default 115200); probes at the other rate get no answer.",
     "quarrow-sim --baud 9600",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Baud = static_cast<unsigned>(Number(n, v, 0, UINT32_MAX));
       if (o.Baud != 9600 && o.Baud != 115200) throw Exception("--baud is 9600 or 115200");
     }},
    {{"--name"},
     "NAME",
     false,
     "Announces the port under NAME (default quarrow-sim), so that several testers can run side "
     "by side.",
     "quarrow-sim --name lab-2",
     [](TSimOptions& o, const std::string&, const std::string& v) {
       if (v.empty() || v[0] == '.' || v.find('/') != std::string::npos)
         throw Exception("--name wants a plain name without '/' that does not start with '.'");
       o.Name = v;
     }},
    {{"--once", "--exit-after-reading"},
     "",
     false,
     "Ends the simulator after one complete reading instead of waiting for the next one.",
     "quarrow-sim --records 5 --once",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Once = true; }},
    {{"--capture"},
     "FILE",
     false,
     "Writes the bytes of one whole reading to FILE and ends, without a port; quarrow-decode "
     "replays such a file.",
     "quarrow-sim --records 3 --capture reading.bin",
     [](TSimOptions& o, const std::string&, const std::string& v) {
       if (v.empty()) throw Exception("--capture wants a file name");
       o.Capture = v;
     }},
    {{"--spoil-record"},
     "K",
     true,
     "Sends record K once with a wrong checksum, so that the reader reports bad data.",
     "quarrow-sim --records 10 --spoil-record 4",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.SpoilRecord = RecordNumber(n, v);
     }},
    {{"--silent-before"},
     "K",
     true,
     "Falls silent for good instead of sending record K, like a tester that hangs mid-reading.",
     "quarrow-sim --records 10 --silent-before 6",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.SilentBefore = RecordNumber(n, v);
     }},
    {{"--hang-up-before"},
     "K",
     true,
     "Closes the line instead of sending record K, like a cable pulled out mid-reading.",
     "quarrow-sim --records 10 --hang-up-before 6",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.HangUpBefore = RecordNumber(n, v);
     }},
    {{"--empty"},
     "",
     true,
     "Announces an empty archive, as a tester with no stored measurements does.",
     "quarrow-sim --empty",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Faults.Empty = true; }},
    {{"--empty-first"},
     "",
     true,
     "Announces an empty archive at the first request only, as a tester that measures after "
     "being plugged in.",
     "quarrow-sim --records 5 --empty-first",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Faults.EmptyFirst = true; }},
    {{"--long-record"},
     "K",
     true,
     "Sends record K once with a byte too many in front (checksum right), a frame of the wrong "
     "length that the reader reports as bad data.",
     "quarrow-sim --records 10 --long-record 4",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.LongRecord = RecordNumber(n, v);
     }},
    {{"--reject-header"},
     "",
     true,
     "Marks the archive header as one the reader must refuse (its second byte is 1).",
     "quarrow-sim --reject-header",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Faults.RejectHeader = true; }},
    {{"--noise"},
     "",
     true,
     "Sends a few stray bytes before every frame, as a noisy line does; the reading still "
     "succeeds.",
     "quarrow-sim --records 20 --noise",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Faults.Noise = true; }},
    {{"--slow-line"},
     "MICROSECONDS",
     true,
     "Waits this long after every byte it sends (1 to 1000000), like a slow or congested line.",
     "quarrow-sim --records 20 --slow-line 250",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.SlowLineMicros = static_cast<unsigned>(Number(n, v, 1, 1000000));
     }},
    {{"--repeat-header"},
     "",
     true,
     "Answers the first \"n\" with the header once more, then goes on as if that \"n\" had been "
     "the first: a tester out of step, which the reader must report as bad data.",
     "quarrow-sim --records 12 --repeat-header",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Faults.RepeatHeader = true; }},
    {{"--repeat-record"},
     "K",
     true,
     "Sends record K a second time, once, in place of record K + 1 (K below the record count).",
     "quarrow-sim --records 12 --repeat-record 5",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.RepeatRecord = static_cast<unsigned>(Number(n, v, 1, 65534));
     }},
    {{"--join-records"},
     "K",
     true,
     "Sends records K and K + 1 together, once, in answer to one command.",
     "quarrow-sim --records 12 --join-records 5",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.JoinRecords = static_cast<unsigned>(Number(n, v, 1, 65534));
     }},
    {{"--chatter-before"},
     "K",
     true,
     "Instead of record K sends a byte every 5 ms and never ends a frame, until the reader probes "
     "again with \"Z\"; then it answers as it should.",
     "quarrow-sim --records 20 --chatter-before 5",
     [](TSimOptions& o, const std::string& n, const std::string& v) {
       o.Faults.ChatterBefore = RecordNumber(n, v);
     }},
    {{"--help", "-h"},
     "",
     false,
     "Shows this help and ends.",
     "quarrow-sim --help",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Help = true; }},
    {{"--version"},
     "",
     false,
     "Shows the simulator's version and ends.",
     "quarrow-sim --version",
     [](TSimOptions& o, const std::string&, const std::string&) { o.Version = true; }},
};

const TSimOption* Find(const std::string& name) {
  for (const auto& option : kOptions)
    for (const auto& n : option.Names)
      if (n == name) return &option;
  return nullptr;
}

std::string Synopsis(const TSimOption& option) {
  std::string s;
  for (const auto& n : option.Names) s += (s.empty() ? "" : ", ") + n;
  if (!option.Value.empty()) s += " " + option.Value;
  return s;
}

void AppendOption(std::string& out, const TSimOption& option) {
  out += "  " + Synopsis(option) + "\n";
  out += "      " + option.Help + "\n";
  out += "      Example: " + option.Example + "\n";
}

}  // namespace

const std::vector<TSimOption>& SimOptionTable() {
  return kOptions;
}

std::string SimUsage() {
  std::string out =
      "usage: quarrow-sim [OPTION]...\n"
      "A simulated Quarrow tester on a pseudo-terminal. It announces itself as a USB serial\n"
      "port in $XDG_RUNTIME_DIR/quarrow2excel/ports/, where quarrow2excel and\n"
      "quarrow2excel-cli find it as they find a real tester, and logs the exchange to stderr.\n"
      "It runs until it is stopped (Ctrl+C) unless --once or --capture is given.\n"
      "\nOptions:\n";
  for (const auto& option : kOptions)
    if (!option.FaultMode) AppendOption(out, option);
  out += "\nFault modes (at most one at a time):\n";
  for (const auto& option : kOptions)
    if (option.FaultMode) AppendOption(out, option);
  return out;
}

TSimOptions ParseSimOptions(const std::vector<std::string>& args) {
  TSimOptions o;
  bool generated_given = false;
  unsigned faults = 0;
  for (size_t i = 0; i < args.size(); ++i) {
    const std::string& a = args[i];
    const TSimOption* option = Find(a);
    if (!option) throw Exception("unknown option \"" + a + "\"");
    std::string value;
    if (!option->Value.empty()) {
      if (i + 1 >= args.size()) throw Exception(a + " wants a value");
      value = args[++i];
    }
    option->Apply(o, a, value);
    if (option->FaultMode) ++faults;
    if (a == "--records" || a == "--singles") generated_given = true;
  }
  if (faults > 1) throw Exception("only one fault mode at a time");
  if (generated_given && !o.Archive.empty())
    throw Exception("--records and --singles do not go with --archive");
  return o;
}
