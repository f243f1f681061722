// The store of earlier readings: one SQLite file per user in which every complete reading is
// kept with its records, a record (its 128 raw bytes) only once however many readings hold it.
// The window and the command-line reader may use one file at the same time (WAL, a busy
// timeout). One thread per store object.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "base/datetime.h"
#include "base/exceptions.h"
#include "mainwindow/archive.h"

class TSqliteDb;

// What is known of a reading beside its records.
struct TReadingInfo {
  TDateTime ReadAt{};  // local time of the reading, to the second
  std::string Port;
  std::string UsbSerial, Vendor, Product;  // of the adapter, where known
  TDateTime DeviceDate{};                  // the header's date
  std::uint16_t DeviceValue5 = 0, DeviceValue7 = 0;
};

// One reading as the list shows it.
struct TReadingRow {
  std::int64_t Id = 0;
  TReadingInfo Info;
  std::uint32_t Records = 0;
  std::uint32_t NewRecords = 0;  // records no reading before it held
};

enum class TStoreFault { DiskFull, ReadOnly, Locked, Damaged, Newer, Other };

// A store operation that failed; nothing of it was kept. Message() says why, for the user.
class EStoreError : public Exception {
 public:
  EStoreError(TStoreFault fault, const std::string& reason) : Exception(reason), Fault(fault) {}
  TStoreFault Fault;
};

class TReadingStore {
 public:
  static constexpr int SchemaVersion = 2;

  // Opens the file, creating it (for the user alone) or bringing an older one up to date. A
  // damaged file is moved aside under a dated name and a new one started (MovedAside tells
  // where). Throws EStoreError.
  explicit TReadingStore(const std::filesystem::path& file);
  ~TReadingStore();
  TReadingStore(const TReadingStore&) = delete;
  TReadingStore& operator=(const TReadingStore&) = delete;

  // The dated name a damaged file was moved to since the last call, once.
  std::optional<std::filesystem::path> TakeMovedAside();

  struct TStored {
    std::int64_t Id = 0;
    std::uint32_t NewRecords = 0;
  };
  // Keeps the archive's received records as one reading, wholly or (throwing) not at all.
  TStored Store(const TReadingInfo& info, const TArchive& archive);
  // Every reading, newest first.
  std::vector<TReadingRow> List();
  // Fills the archive with the reading's records as they were received; none if there is no
  // such reading (the archive is then untouched).
  std::optional<TReadingInfo> Load(std::int64_t id, TArchive& into);
  // Removes the reading and the records no other reading holds; false if there was none.
  bool Delete(std::int64_t id);

  const std::filesystem::path& File() const { return file_; }

 private:
  void Open();
  void MoveAside();
  template <class F>
  auto Guarded(F&& operation) -> decltype(operation());

  std::filesystem::path file_;
  std::unique_ptr<TSqliteDb> db_;
  std::optional<std::filesystem::path> movedAside_;
};

// The user's own store: readings.sqlite3 in UserDataFolder(). Throws EOSError.
std::filesystem::path UserReadingsFile();

// Times as the store writes them: "2026-12-10 11:36:40" (local time), and back.
std::string StoreTimeText(TDateTime value);
std::optional<TDateTime> StoreTimeValue(const std::string& text);
