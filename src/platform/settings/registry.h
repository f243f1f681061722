// A hierarchical store of typed values under root keys: the Windows registry on Windows, a small
// file-backed store of our own elsewhere. Settings and port configurations live here.
//
//   auto reg = CreateRegistry();
//   reg->SetRootKey(TRootKey::CurrentUser);
//   if (reg->OpenKey("\\Software\\VORNEX\\Quarrow2Excel\\1.0", true)) reg->WriteInteger("Unit", 2);
//
// Key paths use backslashes; a leading backslash means "from the root". Names compare without
// regard to case, as the registry does. Not thread-safe: one accessor per thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "base/exceptions.h"

enum class TRootKey { CurrentUser, LocalMachine };
enum class TRegDataType { rdUnknown, rdString, rdExpandString, rdInteger, rdBinary };

// Raised by reads of missing or mistyped values and by failed writes.
class ERegistryException : public Exception {
 public:
  using Exception::Exception;
};

class TRegistry {
 public:
  virtual ~TRegistry() = default;

  virtual void SetRootKey(TRootKey root) = 0;
  // Opens the key (relative to the open key unless it starts with "\"); creates it when asked.
  virtual bool OpenKey(const std::string& key, bool canCreate) = 0;
  virtual bool OpenKeyReadOnly(const std::string& key) = 0;
  virtual bool CreateKey(const std::string& key) = 0;
  virtual bool KeyExists(const std::string& key) = 0;
  virtual void CloseKey() = 0;

  virtual bool ValueExists(const std::string& name) = 0;
  virtual TRegDataType GetDataType(const std::string& name) = 0;
  // Size in bytes of the value's data, -1 when it does not exist.
  virtual int GetDataSize(const std::string& name) = 0;

  virtual std::int32_t ReadInteger(const std::string& name) = 0;
  virtual std::string ReadString(const std::string& name) = 0;
  virtual std::vector<std::uint8_t> ReadBinaryData(const std::string& name) = 0;
  virtual void WriteInteger(const std::string& name, std::int32_t value) = 0;
  virtual void WriteString(const std::string& name, const std::string& value) = 0;
  virtual void WriteBinaryData(const std::string& name, const std::vector<std::uint8_t>& data) = 0;

  // Where this accessor moved a damaged store it found (a file store of our own keeps it under
  // a dated name); empty when it found none.
  virtual std::filesystem::path DamagedStoreKeptAs() const { return {}; }

  // A boolean is a 32-bit integer, non-zero meaning true.
  bool ReadBool(const std::string& name) { return ReadInteger(name) != 0; }
  void WriteBool(const std::string& name, bool value) { WriteInteger(name, value ? 1 : 0); }
};

// A key path without leading, trailing or doubled backslashes: \A\\B\ becomes A\B.
std::string NormalizeKeyPath(const std::string& path);

// The system's registry (on Linux the file store under $XDG_CONFIG_HOME/quarrow2excel).
std::unique_ptr<TRegistry> CreateRegistry();
// The file store kept in the given folder: one hive file per root key, rewritten atomically.
std::unique_ptr<TRegistry> CreateFileRegistry(const std::filesystem::path& folder);
// A store that lives as long as the process and is never written anywhere; all accessors of the
// process share it (the command-line reader, whose settings are its options).
std::unique_ptr<TRegistry> CreateMemoryRegistry();
