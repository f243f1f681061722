// Helpers of the device list that the per-system databases share: the ordered port map and the
// string rules of the list. Pure functions; thread-safe.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "serial/srwin32di.h"

// Inserts the entry before the first one with a greater Number (appends when the last one is
// smaller); nothing when the same port and value are there already or when no number is greater
// and the last equals it. Returns whether it was added.
bool AddByPortNumber(std::vector<TsrPortMapEntry>& list, const TsrPortMapEntry& entry);

// Leading and trailing control characters and spaces removed.
std::string TrimPortName(std::string_view s);
bool SameTextAscii(std::string_view a, std::string_view b);
