// Feeds arbitrary text to the settings store's hive parser. What it accepts must come back the
// same through its text form: nothing accepted is lost or changed by the next write.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/settings/registry_hive.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const auto hive = ParseHive(std::string_view(reinterpret_cast<const char*>(data), size));
  if (!hive) return 0;
  const std::string text = HiveText(*hive);
  const auto again = ParseHive(text);
  if (!again || *again != *hive || HiveText(*again) != text) std::abort();
  return 0;
}
