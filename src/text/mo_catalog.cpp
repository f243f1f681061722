#include "text/mo_catalog.h"

#include <algorithm>
#include <cstdint>

namespace {

constexpr std::uint32_t kMagic = 0x950412de;
constexpr std::uint32_t kMagicSwapped = 0xde120495;

struct TReader {
  const unsigned char* data;
  std::size_t size;
  bool swapped;

  bool U32(std::size_t at, std::uint32_t& v) const {
    if (at > size || size - at < 4) return false;
    const unsigned char* p = data + at;
    v = swapped ? (std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 |
                   std::uint32_t{p[2]} << 8 | p[3])
                : (std::uint32_t{p[3]} << 24 | std::uint32_t{p[2]} << 16 |
                   std::uint32_t{p[1]} << 8 | p[0]);
    return true;
  }
  // The string of the n-th entry of a descriptor table (length, offset pairs).
  bool Entry(std::uint32_t table, std::uint32_t n, std::string& out) const {
    std::uint32_t length = 0, offset = 0;
    const std::size_t at = std::size_t{table} + std::size_t{n} * 8;
    if (!U32(at, length) || !U32(at + 4, offset)) return false;
    if (offset > size || size - offset < std::size_t{length} + 1) return false;
    out.assign(reinterpret_cast<const char*>(data) + offset, length);
    return true;
  }
};

// The value of a "Name: value" line of the header, empty when it has none.
std::string HeaderField(const std::string& header, const std::string& name) {
  for (std::size_t at = 0; at < header.size();) {
    const std::size_t end = std::min(header.find('\n', at), header.size());
    if (header.compare(at, name.size(), name) == 0) {
      std::size_t from = at + name.size();
      while (from < end && header[from] == ' ') ++from;
      return header.substr(from, end - from);
    }
    at = end + 1;
  }
  return {};
}

}  // namespace

bool TMoCatalog::Parse(const unsigned char* data, std::size_t size) {
  entries_.clear();
  std::uint32_t magic = 0;
  TReader r{data, size, false};
  if (!r.U32(0, magic)) return false;
  if (magic == kMagicSwapped) {
    r.swapped = true;
  } else if (magic != kMagic) {
    return false;
  }
  std::uint32_t count = 0, originals = 0, translations = 0;
  if (!r.U32(8, count) || !r.U32(12, originals) || !r.U32(16, translations)) return false;
  std::unordered_map<std::string, std::vector<std::string>> entries;
  std::string source, translation, pluralForms;
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!r.Entry(originals, i, source) || !r.Entry(translations, i, translation)) return false;
    if (source.empty()) {
      pluralForms = HeaderField(translation, "Plural-Forms:");
      continue;
    }
    // A counted entry holds singular and plural, and its forms, each split by NUL.
    if (const auto nul = source.find('\0'); nul != std::string::npos) source.resize(nul);
    std::vector<std::string> forms;
    for (std::size_t at = 0;;) {
      const auto nul = translation.find('\0', at);
      forms.push_back(translation.substr(at, nul == std::string::npos ? nul : nul - at));
      if (nul == std::string::npos) break;
      at = nul + 1;
    }
    entries.emplace(source, std::move(forms));
  }
  entries_ = std::move(entries);
  pluralForms_ = std::move(pluralForms);
  return true;
}

const std::vector<std::string>* TMoCatalog::Find(std::string_view source) const {
  const auto it = entries_.find(std::string(source));
  if (it == entries_.end() || it->second.front().empty()) return nullptr;
  return &it->second;
}
