// A compiled gettext catalog (.mo) read from memory: the translations the build embedded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>

// Maps each source text to its translation. Contexts are kept as gettext stores them
// ("context\x04text"); the catalog's header entry (empty source text) is left out.
class TMoCatalog {
 public:
  // Parses the bytes of a .mo file; false (and nothing kept) when they are not one.
  bool Parse(const unsigned char* data, std::size_t size);
  // The translation, or nullptr where the catalog has none or an empty one.
  const std::string* Find(std::string_view source) const;
  std::size_t Size() const { return entries_.size(); }

 private:
  std::unordered_map<std::string, std::string> entries_;
};
