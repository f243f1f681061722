// One hive of the file-backed settings store as a value, and its text form: a first line
// "Q2EREG 1", then "K <path>" lines each followed by its "V <type> <name> <data>" lines, every
// field but the type hex-encoded ("-" when empty).
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/settings/registry.h"

struct TRegValue {
  std::string Name;  // as first written
  TRegDataType Type = TRegDataType::rdUnknown;
  std::vector<std::uint8_t> Data;
  bool operator==(const TRegValue&) const = default;
};

struct TRegKey {
  std::string Path;                         // as first written
  std::map<std::string, TRegValue> Values;  // by lower-case name
  bool operator==(const TRegKey&) const = default;
};

using THive = std::map<std::string, TRegKey>;  // by lower-case path

// Names and paths compare in lower case (ASCII letters only, as stored).
std::string LowerName(std::string s);

// The hive written in text, or nothing when the text is damaged in any way.
std::optional<THive> ParseHive(std::string_view text);
std::string HiveText(const THive& hive);
