// The command line of quarrow-sim: one table of options drives both the parser and the help, so
// that every option the program accepts is explained. Thread-safe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sim_tester.h"

struct TSimOptions {
  std::filesystem::path Archive;  // empty: generate
  size_t Records = 10;
  uint64_t Seed = 1;
  unsigned Singles = 0;  // single values per generated record; 0: 5 to 15
  unsigned Baud = 115200;
  std::string Name = "quarrow-sim";
  TSimFaults Faults;
  unsigned SlowLineMicros = 0;    // delay per sent byte
  bool Once = false;              // end after one complete reading
  std::filesystem::path Capture;  // set: write one whole reading's bytes here, no line
  bool Help = false;
};

// One option: its names, the name of its value (empty for a switch), one sentence of help, an
// example command line, and what it does to the options. A fault mode excludes the others.
struct TSimOption {
  std::vector<std::string> Names;
  std::string Value;
  bool FaultMode = false;
  std::string Help;
  std::string Example;
  void (*Apply)(TSimOptions& options, const std::string& name, const std::string& value);
};

const std::vector<TSimOption>& SimOptionTable();

// The text of --help: what the program is, then every option with its sentence and example.
std::string SimUsage();

// Throws Exception with the reason on bad usage.
TSimOptions ParseSimOptions(const std::vector<std::string>& args);
