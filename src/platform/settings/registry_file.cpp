// The registry kept in files: one hive per root key (registry_hive.h), parsed once and again only
// when the file has been replaced since, and rewritten as a whole (atomically) at every write. A
// hive that is no small regular file reads as empty; a regular file that is too large or damaged
// is first renamed aside under a dated name, and never overwritten while that fails.
#include <memory>
#include <optional>
#include <sstream>

#include "platform/files/aside_name.h"
#include "platform/files/atomic_file.h"
#include "platform/files/regular_file.h"
#include "platform/settings/registry.h"
#include "platform/settings/registry_hive.h"

namespace fs = std::filesystem;

namespace {

// Settings and a few port configurations take some kilobytes; anything near this is not ours.
constexpr std::size_t kMaxHiveSize = 1 << 20;

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
    if (!Exists(Hive(), path)) {
      if (!canCreate) return false;
      try {
        THive hive = Hive();
        AddKey(hive, path);
        Save(std::move(hive));
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
    if (Exists(Hive(), path)) return true;
    try {
      THive hive = Hive();
      AddKey(hive, path);
      Save(std::move(hive));
      return true;
    } catch (const std::exception&) {
      return false;
    }
  }

  bool KeyExists(const std::string& key) override { return Exists(Hive(), Resolve(key)); }

  fs::path DamagedStoreKeptAs() const override { return kept_as_; }

  void CloseKey() override {
    current_.clear();
    open_ = false;
  }

  bool ValueExists(const std::string& name) override { return Find(name) != nullptr; }

  TRegDataType GetDataType(const std::string& name) override {
    const auto v = Find(name);
    return v ? v->Type : TRegDataType::rdUnknown;
  }

  int GetDataSize(const std::string& name) override {
    const auto v = Find(name);
    return v ? static_cast<int>(v->Data.size()) : -1;
  }

  std::int32_t ReadInteger(const std::string& name) override {
    const TRegValue& v = Read(name, TRegDataType::rdInteger);
    if (v.Data.size() != 4) Mistyped(name);
    return static_cast<std::int32_t>(v.Data[0] | v.Data[1] << 8 | v.Data[2] << 16 |
                                     static_cast<std::uint32_t>(v.Data[3]) << 24);
  }

  std::string ReadString(const std::string& name) override {
    const auto v = Find(name);
    if (!v) return {};  // a missing string reads empty, as the registry's accessor does
    if (v->Type != TRegDataType::rdString && v->Type != TRegDataType::rdExpandString)
      Mistyped(name);
    return std::string(v->Data.begin(), v->Data.end());
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
  // The hive of the root key as it stands now.
  const THive& Hive() {
    if (memory_) return (*memory_)[root_];
    const fs::path file = HiveFile();
    if (!cache_ || cache_->File != file || cache_->Identity != FileIdentityAt(file)) {
      const auto read = ReadSmallRegularFile(file, kMaxHiveSize);
      auto hive = read ? ParseHive(read->Data) : std::nullopt;
      std::error_code ec;
      const bool damaged = !hive && (read || fs::is_regular_file(file, ec));
      const TFileIdentity identity = read ? read->Identity : FileIdentityAt(file);
      cache_ = TCache{file, identity, hive ? std::move(*hive) : THive{}, damaged};
      // Unless another accessor replaced it meanwhile: kept for the user to look into.
      if (damaged && FileIdentityAt(file) == identity) {
        const fs::path aside = DamagedAsideName(file);
        fs::rename(file, aside, ec);
        if (!ec) {
          kept_as_ = aside;
          cache_->Identity = FileIdentityAt(file);
          cache_->Damaged = false;
        }
      }
    }
    return cache_->Hive;
  }

  // Replaces the hive as a whole; on failure the store and what it reads stay as they were.
  void Save(THive hive) {
    if (memory_) {
      (*memory_)[root_] = std::move(hive);
      return;
    }
    const std::string text = HiveText(hive);
    // Bigger would read back as damaged and take every other value with it.
    if (text.size() > kMaxHiveSize) throw ERegistryException("The settings store is full");
    const fs::path file = HiveFile();
    Hive();
    if (cache_->Damaged)
      throw ERegistryException("The settings store is damaged and cannot be moved aside");
    std::error_code ec;
    fs::create_directories(file.parent_path(), ec);
    TAtomicFile f(file);
    f.Write(text);
    f.Commit();
    cache_ = TCache{file, FileIdentityAt(file), std::move(hive), false};
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
    return hive.count(LowerName(path)) > 0;
  }

  static void AddKey(THive& hive, const std::string& path) {
    std::string prefix;
    std::istringstream in(path);
    std::string part;
    while (std::getline(in, part, '\\')) {
      prefix += (prefix.empty() ? "" : "\\") + part;
      TRegKey& k = hive[LowerName(prefix)];
      if (k.Path.empty()) k.Path = prefix;
    }
  }

  const TRegValue* Find(const std::string& name) {
    if (!open_) return nullptr;
    const THive& hive = Hive();
    const auto key = hive.find(LowerName(current_));
    if (key == hive.end()) return nullptr;
    const auto v = key->second.Values.find(LowerName(name));
    return v == key->second.Values.end() ? nullptr : &v->second;
  }

  const TRegValue& Read(const std::string& name, TRegDataType type) {
    const TRegValue* v = Find(name);
    if (!v) throw ERegistryException("Invalid data type for '" + name + "'");
    if (v->Type != type) Mistyped(name);
    return *v;
  }

  [[noreturn]] static void Mistyped(const std::string& name) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }

  void Write(const std::string& name, TRegDataType type, std::vector<std::uint8_t> data) {
    if (!open_) throw ERegistryException("Failed to set data for '" + name + "'");
    THive hive = Hive();
    AddKey(hive, current_);
    hive[LowerName(current_)].Values[LowerName(name)] = TRegValue{name, type, std::move(data)};
    try {
      Save(std::move(hive));
    } catch (const std::exception& e) {
      throw ERegistryException("Failed to set data for '" + name + "'. " + e.what());
    }
  }

  struct TCache {
    fs::path File;
    TFileIdentity Identity;
    THive Hive;
    bool Damaged = false;  // a damaged file still stands there
  };

  fs::path folder_;
  std::shared_ptr<TMemoryHives> memory_;
  std::optional<TCache> cache_;
  fs::path kept_as_;
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
