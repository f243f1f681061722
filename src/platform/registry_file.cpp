// The registry kept in files: one hive per root key, a text file of hex-encoded records, read at
// every key opening and rewritten as a whole (atomically) at every write. A hive that cannot be
// read, or is damaged, reads as empty; the next write replaces it.
#include <algorithm>
#include <cctype>
#include <fstream>
#include <map>
#include <memory>
#include <optional>
#include <sstream>

#include "atomic_file.h"
#include "registry.h"

namespace fs = std::filesystem;

namespace {

constexpr const char* kMagic = "Q2EREG 1";

struct TValue {
  std::string Name;
  TRegDataType Type = TRegDataType::rdUnknown;
  std::vector<std::uint8_t> Data;
};

struct TKey {
  std::string Path;                      // as first written
  std::map<std::string, TValue> Values;  // by lower-case name
};

using THive = std::map<std::string, TKey>;  // by lower-case path

std::string Lower(std::string s) {
  std::transform(s.begin(), s.end(), s.begin(),
                 [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
  return s;
}

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

bool Unhex(const std::string& s, std::vector<std::uint8_t>& out) {
  out.clear();
  if (s == "-") return true;
  if (s.size() % 2) return false;
  auto nibble = [](char c) -> int {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
  };
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

THive LoadHive(const fs::path& file) {
  THive hive;
  std::ifstream in(file, std::ios::binary);
  std::string line;
  if (!std::getline(in, line) || line != kMagic) return hive;
  TKey* key = nullptr;
  std::vector<std::uint8_t> a, b;
  while (std::getline(in, line)) {
    std::istringstream ls(line);
    std::string tag, f1, f2, f3;
    ls >> tag >> f1;
    if (tag == "K" && Unhex(f1, a)) {
      const std::string path = AsText(a);
      key = &hive[Lower(path)];
      key->Path = path;
    } else if (tag == "V" && key && (ls >> f2 >> f3) && Unhex(f2, a) && Unhex(f3, b)) {
      const int type = std::atoi(f1.c_str());
      if (type < 1 || type > 4) return {};
      TValue v{AsText(a), static_cast<TRegDataType>(type), b};
      key->Values[Lower(v.Name)] = std::move(v);
    } else {
      return {};  // damaged: start afresh rather than guess
    }
  }
  return hive;
}

void SaveHive(const fs::path& file, const THive& hive) {
  std::error_code ec;
  fs::create_directories(file.parent_path(), ec);
  std::string out = std::string(kMagic) + "\n";
  for (const auto& [_, key] : hive) {
    out += "K " + Hex(key.Path) + "\n";
    for (const auto& [__, v] : key.Values)
      out += "V " + std::to_string(static_cast<int>(v.Type)) + " " + Hex(v.Name) + " " +
             Hex(v.Data.data(), v.Data.size()) + "\n";
  }
  TAtomicFile f(file);
  f.Write(out);
  f.Commit();
}

// The hives of a store kept in memory only, shared by its accessors.
using TMemoryHives = std::map<TRootKey, THive>;

class TFileRegistry : public TRegistry {
 public:
  explicit TFileRegistry(fs::path folder) : folder_(std::move(folder)) {}
  explicit TFileRegistry(std::shared_ptr<TMemoryHives> memory) : memory_(std::move(memory)) {}

  void SetRootKey(TRootKey root) override {
    root_ = root;
    CloseKey();
  }

  bool OpenKey(const std::string& key, bool canCreate) override {
    const std::string path = Resolve(key);
    THive hive = Load();
    if (!Exists(hive, path)) {
      if (!canCreate) return false;
      try {
        AddKey(hive, path);
        Save(hive);
      } catch (const std::exception&) {
        return false;
      }
    }
    current_ = path;
    open_ = true;
    return true;
  }

  bool OpenKeyReadOnly(const std::string& key) override { return OpenKey(key, false); }

  bool CreateKey(const std::string& key) override {
    const std::string path = Resolve(key);
    THive hive = Load();
    if (Exists(hive, path)) return true;
    try {
      AddKey(hive, path);
      Save(hive);
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }

  bool KeyExists(const std::string& key) override { return Exists(Load(), Resolve(key)); }

  void CloseKey() override {
    current_.clear();
    open_ = false;
  }

  bool ValueExists(const std::string& name) override { return Find(name).has_value(); }

  TRegDataType GetDataType(const std::string& name) override {
    const auto v = Find(name);
    return v ? v->Type : TRegDataType::rdUnknown;
  }

  int GetDataSize(const std::string& name) override {
    const auto v = Find(name);
    return v ? static_cast<int>(v->Data.size()) : -1;
  }

  std::int32_t ReadInteger(const std::string& name) override {
    const TValue v = Read(name, TRegDataType::rdInteger);
    if (v.Data.size() != 4) Mistyped(name);
    return static_cast<std::int32_t>(v.Data[0] | v.Data[1] << 8 | v.Data[2] << 16 |
                                     static_cast<std::uint32_t>(v.Data[3]) << 24);
  }

  std::string ReadString(const std::string& name) override {
    const auto v = Find(name);
    if (!v) return {};  // a missing string reads empty, as the registry's accessor does
    if (v->Type != TRegDataType::rdString && v->Type != TRegDataType::rdExpandString)
      Mistyped(name);
    return AsText(v->Data);
  }

  std::vector<std::uint8_t> ReadBinaryData(const std::string& name) override {
    return Read(name, TRegDataType::rdBinary).Data;
  }

  void WriteInteger(const std::string& name, std::int32_t value) override {
    const auto u = static_cast<std::uint32_t>(value);
    Write(name, TRegDataType::rdInteger,
          {static_cast<std::uint8_t>(u), static_cast<std::uint8_t>(u >> 8),
           static_cast<std::uint8_t>(u >> 16), static_cast<std::uint8_t>(u >> 24)});
  }

  void WriteString(const std::string& name, const std::string& value) override {
    Write(name, TRegDataType::rdString, std::vector<std::uint8_t>(value.begin(), value.end()));
  }

  void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data) override {
    Write(name, TRegDataType::rdBinary, data);
  }

 private:
  THive Load() const { return memory_ ? (*memory_)[root_] : LoadHive(HiveFile()); }
  void Save(const THive& hive) {
    if (memory_)
      (*memory_)[root_] = hive;
    else
      SaveHive(HiveFile(), hive);
  }
  fs::path HiveFile() const {
    return folder_ / (root_ == TRootKey::CurrentUser ? "current_user.reg" : "local_machine.reg");
  }

  std::string Resolve(const std::string& key) const {
    if (!key.empty() && key[0] == '\\') return NormalizeKeyPath(key);
    return NormalizeKeyPath(current_ + "\\" + key);
  }

  static bool Exists(const THive& hive, const std::string& path) {
    if (path.empty()) return true;
    return hive.count(Lower(path)) > 0;
  }

  static void AddKey(THive& hive, const std::string& path) {
    std::string prefix;
    std::istringstream in(path);
    std::string part;
    while (std::getline(in, part, '\\')) {
      prefix += (prefix.empty() ? "" : "\\") + part;
      TKey& k = hive[Lower(prefix)];
      if (k.Path.empty()) k.Path = prefix;
    }
  }

  std::optional<TValue> Find(const std::string& name) {
    if (!open_) return std::nullopt;
    const THive hive = Load();
    const auto key = hive.find(Lower(current_));
    if (key == hive.end()) return std::nullopt;
    const auto v = key->second.Values.find(Lower(name));
    if (v == key->second.Values.end()) return std::nullopt;
    return v->second;
  }

  TValue Read(const std::string& name, TRegDataType type) {
    const auto v = Find(name);
    if (!v) throw ERegistryException("Invalid data type for '" + name + "'");
    if (v->Type != type) Mistyped(name);
    return *v;
  }

  [[noreturn]] static void Mistyped(const std::string& name) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }

  void Write(const std::string& name, TRegDataType type, std::vector<std::uint8_t> data) {
    if (!open_) throw ERegistryException("Failed to set data for '" + name + "'");
    THive hive = Load();
    AddKey(hive, current_);
    hive[Lower(current_)].Values[Lower(name)] = TValue{name, type, std::move(data)};
    try {
      Save(hive);
    } catch (const std::exception& e) {
      throw ERegistryException("Failed to set data for '" + name + "'. " + e.what());
    }
  }

  fs::path folder_;
  std::shared_ptr<TMemoryHives> memory_;
  TRootKey root_ = TRootKey::CurrentUser;
  std::string current_;
  bool open_ = false;
};

}  // namespace

std::unique_ptr<TRegistry> CreateFileRegistry(const fs::path& folder) {
  return std::make_unique<TFileRegistry>(folder);
}

std::unique_ptr<TRegistry> CreateMemoryRegistry() {
  static const auto hives = std::make_shared<TMemoryHives>();
  return std::make_unique<TFileRegistry>(hives);
}
