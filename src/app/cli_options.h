// The command line of quarrow2excel-cli. Thread-safe.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

// The --help text, in the language the program speaks.
std::string CliUsage();

struct TCliOptions {
  std::string Port;  // empty: discover the tester among the machine's ports
  int Unit = 0;      // 0 MPa, 1 kg/cm², 2 N/mm², 3 PSI
  bool Singles = true;
  std::string Text;  // the text report goes here; empty: none
  std::string Xlsx;  // the workbook goes here; empty: none
  std::string Pdf;   // the PDF protocol goes here; empty: none
  std::string Csv;   // the CSV table goes here; empty: none
  unsigned TimeoutSeconds = 60;
  std::string Language;                 // --lang: the language to speak; empty: the user's
  bool ListReadings = false;            // print the earlier readings and end
  std::optional<std::int64_t> Reading;  // export this earlier reading instead of reading a tester
  std::string ReadingsFile;             // the store of earlier readings; empty: the user's own
  bool NoStore = false;                 // keep nothing
  bool Help = false;
  bool Version = false;
};

// Throws Exception with the reason on bad usage.
TCliOptions ParseCliOptions(const std::vector<std::string>& args);

// The unit index of "MPa", "kg/cm2", "N/mm2", "PSI" (any case, "²" for "2" too); none if unknown.
std::optional<int> ParseUnit(const std::string& text);
