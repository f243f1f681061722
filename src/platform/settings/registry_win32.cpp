// The Windows registry (advapi32) behind TRegistry. Paths are resolved as the file store does:
// a leading backslash starts at the root, anything else continues from the open key.
#include <windows.h>

#include <cstring>
#include <sstream>

#include "platform/language/utf16_win32.h"
#include "platform/settings/registry.h"

namespace {

TRegDataType TypeOf(DWORD type) {
  switch (type) {
    case REG_SZ:
      return TRegDataType::rdString;
    case REG_EXPAND_SZ:
      return TRegDataType::rdExpandString;
    case REG_DWORD:
      return TRegDataType::rdInteger;
    case REG_BINARY:
      return TRegDataType::rdBinary;
    default:
      return TRegDataType::rdUnknown;
  }
}

class TWin32Registry : public TRegistry {
 public:
  ~TWin32Registry() override { CloseKey(); }

  void SetRootKey(TRootKey root) override {
    root_ = root;
    CloseKey();
  }

  bool OpenKey(const std::string& key, bool canCreate) override {
    return Open(key, canCreate, KEY_ALL_ACCESS);
  }
  bool OpenKeyReadOnly(const std::string& key) override { return Open(key, false, KEY_READ); }

  bool CreateKey(const std::string& key) override {
    HKEY k = nullptr;
    if (RegCreateKeyExW(Root(), Widen(Resolve(key)).c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr,
                        &k, nullptr) != ERROR_SUCCESS)
      return false;
    RegCloseKey(k);
    return true;
  }

  bool KeyExists(const std::string& key) override {
    const std::string path = Resolve(key);
    if (path.empty()) return true;
    HKEY k = nullptr;
    if (RegOpenKeyExW(Root(), Widen(path).c_str(), 0, KEY_QUERY_VALUE | KEY_ENUMERATE_SUB_KEYS,
                      &k) != ERROR_SUCCESS)
      return false;
    RegCloseKey(k);
    return true;
  }

  void CloseKey() override {
    if (key_) RegCloseKey(key_);
    key_ = nullptr;
    current_.clear();
  }

  bool ValueExists(const std::string& name) override { return Query(name, nullptr, nullptr); }

  TRegDataType GetDataType(const std::string& name) override {
    DWORD type = REG_NONE;
    return Query(name, &type, nullptr) ? TypeOf(type) : TRegDataType::rdUnknown;
  }

  int GetDataSize(const std::string& name) override {
    DWORD size = 0;
    return Query(name, nullptr, &size) ? static_cast<int>(size) : -1;
  }

  std::int32_t ReadInteger(const std::string& name) override {
    DWORD type = REG_NONE, value = 0, size = sizeof value;
    if (!key_ ||
        RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &type, reinterpret_cast<BYTE*>(&value),
                         &size) != ERROR_SUCCESS ||
        type != REG_DWORD || size != sizeof value)
      Mistyped(name);
    return static_cast<std::int32_t>(value);
  }

  std::string ReadString(const std::string& name) override {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    if (!Read(name, type, data)) return {};  // a missing string reads empty
    if (type != REG_SZ && type != REG_EXPAND_SZ) Mistyped(name);
    std::wstring text(data.size() / sizeof(wchar_t), L'\0');
    std::memcpy(text.data(), data.data(), text.size() * sizeof(wchar_t));
    // Stored with its terminating zero, usually; what follows a zero is not part of the text.
    if (const auto zero = text.find(L'\0'); zero != std::wstring::npos) text.resize(zero);
    return Narrow(text);
  }

  std::vector<std::uint8_t> ReadBinaryData(const std::string& name) override {
    DWORD type = REG_NONE;
    std::vector<std::uint8_t> data;
    if (!Read(name, type, data) || type != REG_BINARY) Mistyped(name);
    return data;
  }

  void WriteInteger(const std::string& name, std::int32_t value) override {
    const auto v = static_cast<DWORD>(value);
    Write(name, REG_DWORD, &v, sizeof v);
  }

  void WriteString(const std::string& name, const std::string& value) override {
    const std::wstring w = Widen(value);
    Write(name, REG_SZ, w.c_str(), static_cast<DWORD>((w.size() + 1) * sizeof(wchar_t)));
  }

  void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data) override {
    Write(name, REG_BINARY, data.data(), static_cast<DWORD>(data.size()));
  }

 private:
  HKEY Root() const {
    return root_ == TRootKey::CurrentUser ? HKEY_CURRENT_USER : HKEY_LOCAL_MACHINE;
  }

  std::string Resolve(const std::string& key) const {
    if (!key.empty() && key[0] == '\\') return NormalizeKeyPath(key);
    return NormalizeKeyPath(current_ + "\\" + key);
  }

  bool Open(const std::string& key, bool canCreate, REGSAM access) {
    const std::string path = Resolve(key);
    const std::wstring wpath = Widen(path);
    HKEY k = nullptr;
    const LONG r = canCreate ? RegCreateKeyExW(Root(), wpath.c_str(), 0, nullptr, 0, access,
                                               nullptr, &k, nullptr)
                             : RegOpenKeyExW(Root(), wpath.c_str(), 0, access, &k);
    if (r != ERROR_SUCCESS) return false;
    if (key_) RegCloseKey(key_);
    key_ = k;
    current_ = path;
    return true;
  }

  bool Query(const std::string& name, DWORD* type, DWORD* size) {
    DWORD t = REG_NONE, s = 0;
    if (!key_ ||
        RegQueryValueExW(key_, Widen(name).c_str(), nullptr, &t, nullptr, &s) != ERROR_SUCCESS)
      return false;
    if (type) *type = t;
    if (size) *size = s;
    return true;
  }

  bool Read(const std::string& name, DWORD& type, std::vector<std::uint8_t>& data) {
    if (!key_) return false;
    const std::wstring wname = Widen(name);
    for (;;) {  // the value may grow between asking its size and reading it
      DWORD size = 0;
      if (RegQueryValueExW(key_, wname.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
        return false;
      data.resize(size);
      const LONG r = RegQueryValueExW(key_, wname.c_str(), nullptr, &type, data.data(), &size);
      if (r == ERROR_MORE_DATA) continue;
      if (r != ERROR_SUCCESS) return false;
      data.resize(size);
      return true;
    }
  }

  void Write(const std::string& name, DWORD type, const void* data, DWORD size) {
    const LONG r = key_ ? RegSetValueExW(key_, Widen(name).c_str(), 0, type,
                                         static_cast<const BYTE*>(data), size)
                        : ERROR_INVALID_HANDLE;
    if (r != ERROR_SUCCESS)
      throw ERegistryException("Failed to set data for '" + name + "'. " +
                               Win32ErrorText(static_cast<unsigned long>(r)));
  }

  [[noreturn]] static void Mistyped(const std::string& name) {
    throw ERegistryException("Invalid data type for '" + name + "'");
  }

  TRootKey root_ = TRootKey::CurrentUser;
  HKEY key_ = nullptr;
  std::string current_;
};

}  // namespace

std::unique_ptr<TRegistry> CreateRegistry() {
  return std::make_unique<TWin32Registry>();
}
