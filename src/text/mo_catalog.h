// A compiled gettext catalog (.mo) read from memory: the translations the build embedded.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

// Maps each source text to its translation: one text, or for a counted entry its plural forms
// in the catalog's order. Contexts are kept as gettext stores them ("context\x04text"); a counted
// entry is found by its singular. The header entry (empty source text) gives PluralForms.
class TMoCatalog {
 public:
  // Parses the bytes of a .mo file; false (and nothing kept) when they are not one.
  bool Parse(const unsigned char* data, std::size_t size);
  // The translation's forms (one for an entry that counts nothing), or nullptr where the
  // catalog has none or an empty one.
  const std::vector<std::string>* Find(std::string_view source) const;
  std::size_t Size() const { return entries_.size(); }
  // The header's Plural-Forms value ("nplurals=2; plural=(n != 1);"), empty without one.
  const std::string& PluralForms() const { return pluralForms_; }

 private:
  std::unordered_map<std::string, std::vector<std::string>> entries_;
  std::string pluralForms_;
};
