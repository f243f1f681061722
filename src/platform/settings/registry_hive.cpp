#include "platform/settings/registry_hive.h"

#include <charconv>

namespace {

constexpr std::string_view kMagic = "Q2EREG 1";

std::string Hex(const std::uint8_t* p, std::size_t n) {
  static const char* digits = "0123456789abcdef";
  std::string s;
  s.reserve(n * 2 + 1);
  for (std::size_t i = 0; i < n; ++i) {
    s += digits[p[i] >> 4];
    s += digits[p[i] & 15];
  }
  return s.empty() ? "-" : s;
}

std::string Hex(const std::string& s) {
  return Hex(reinterpret_cast<const std::uint8_t*>(s.data()), s.size());
}

bool Unhex(std::string_view s, std::vector<std::uint8_t>& out) {
  out.clear();
  if (s == "-") return true;
  if (s.empty() || s.size() % 2) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
  out.reserve(s.size() / 2);
  for (std::size_t i = 0; i < s.size(); i += 2) {
    const int hi = nibble(s[i]), lo = nibble(s[i + 1]);
    if (hi < 0 || lo < 0) return false;
    out.push_back(static_cast<std::uint8_t>(hi * 16 + lo));
  }
  return true;
}

std::string AsText(const std::vector<std::uint8_t>& v) {
  return std::string(v.begin(), v.end());
}

bool IsSpace(char c) {
  return c == ' ' || c == '\t' || c == '\r' || c == '\v' || c == '\f';
}

// The line's fields, split at white space.
std::vector<std::string_view> Fields(std::string_view line) {
  std::vector<std::string_view> out;
  std::size_t i = 0;
  while (i < line.size()) {
    while (i < line.size() && IsSpace(line[i])) ++i;
    const std::size_t start = i;
    while (i < line.size() && !IsSpace(line[i])) ++i;
    if (i > start) out.push_back(line.substr(start, i - start));
  }
  return out;
}

}  // namespace

std::string LowerName(std::string s) {
  // Bytes of other letters stay as they are, whatever the C library's locale says.
  for (char& c : s)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return s;
}

std::optional<THive> ParseHive(std::string_view text) {
  std::size_t pos = text.find('\n');
  if (text.substr(0, pos) != kMagic) return std::nullopt;
  THive hive;
  TRegKey* key = nullptr;
  std::vector<std::uint8_t> a, b;
  while (pos != std::string_view::npos && pos + 1 < text.size()) {
    const std::size_t start = pos + 1;
    pos = text.find('\n', start);
    const auto f = Fields(text.substr(start, pos == std::string_view::npos ? pos : pos - start));
    if (f.size() >= 2 && f[0] == "K" && Unhex(f[1], a)) {
      const std::string path = AsText(a);
      key = &hive[LowerName(path)];
      key->Path = path;
      continue;
    }
    int type = 0;
    if (f.size() < 4 || f[0] != "V" || !key) return std::nullopt;
    const auto [end, ec] = std::from_chars(f[1].data(), f[1].data() + f[1].size(), type);
    if (ec != std::errc{} || end != f[1].data() + f[1].size() || type < 1 || type > 4)
      return std::nullopt;
    if (!Unhex(f[2], a) || !Unhex(f[3], b)) return std::nullopt;
    TRegValue v{AsText(a), static_cast<TRegDataType>(type), b};
    key->Values[LowerName(v.Name)] = std::move(v);
  }
  return hive;
}

std::string HiveText(const THive& hive) {
  std::string out = std::string(kMagic) + "\n";
  for (const auto& [_, key] : hive) {
    out += "K " + Hex(key.Path) + "\n";
    for (const auto& [__, v] : key.Values)
      out += "V " + std::to_string(static_cast<int>(v.Type)) + " " + Hex(v.Name) + " " +
             Hex(v.Data.data(), v.Data.size()) + "\n";
  }
  return out;
}
