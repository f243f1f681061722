// Small regular files read whole, for stores whose file anything may stand in place of: a FIFO,
// a device, a folder or a huge file is never opened for long, waited on or read without bound.
#pragma once

#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

// What identifies one version of a file: it changes when the file is replaced or rewritten.
struct TFileIdentity {
  std::uint64_t Device = 0, Index = 0, Size = 0;
  std::int64_t Modified = 0, Changed = 0;  // system time stamps, in the system's finest unit
  bool operator==(const TFileIdentity&) const = default;
};

struct TSmallFile {
  std::string Data;
  TFileIdentity Identity;
};

// The content of file when it is a regular file (links followed) of at most limit bytes;
// nothing when it is missing, anything but a regular file, larger, or unreadable. Never blocks.
std::optional<TSmallFile> ReadSmallRegularFile(const std::filesystem::path& file,
                                               std::size_t limit);
// The identity of what stands at path now (links followed); the empty identity when nothing does.
TFileIdentity FileIdentityAt(const std::filesystem::path& path);
