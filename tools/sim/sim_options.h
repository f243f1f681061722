// The command line of quarrow-sim. Thread-safe.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "sim_tester.h"

extern const char* const kSimUsage;

struct TSimOptions {
  std::filesystem::path Archive;  // empty: generate
  size_t Records = 10;
  uint64_t Seed = 1;
  unsigned Singles = 0;  // single values per generated record; 0: 5 to 15
  unsigned Baud = 115200;
  std::string Name = "quarrow-sim";
  TSimFaults Faults;
  unsigned SlowLineMicros = 0;  // delay per sent byte
  bool Once = false;            // end after one complete reading
  std::filesystem::path Capture;  // set: write one whole reading's bytes here, no line
  bool Help = false;
  bool Version = false;
};

// Throws Exception with the reason on bad usage.
TSimOptions ParseSimOptions(const std::vector<std::string>& args);
