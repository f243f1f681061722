#include "reading_store.h"

#include <sqlite3.h>

#include <cstdio>

#include "base/utf8_path.h"
#include "history/sqlite_db.h"
#include "history/store_schema.h"
#include "platform/files/aside_name.h"
#include "platform/files/user_data.h"
#include "text/string_table.h"

namespace fs = std::filesystem;

namespace {

// Long enough for the other program's reading to be stored; short enough not to seem hung.
constexpr int kBusyTimeoutMs = 10000;

TStoreFault FaultOf(int code) {
  switch (code & 0xff) {
    case SQLITE_FULL:
      return TStoreFault::DiskFull;
    case SQLITE_READONLY:
    case SQLITE_PERM:
    case SQLITE_CANTOPEN:
      return TStoreFault::ReadOnly;
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
      return TStoreFault::Locked;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return TStoreFault::Damaged;
    default:
      return TStoreFault::Other;
  }
}

EStoreError StoreErrorOf(const ESqlite& e) {
  const TStoreFault fault = FaultOf(e.Code);
  switch (fault) {
    case TStoreFault::DiskFull:
      return {fault, Str(TS::StoreDiskFull)};
    case TStoreFault::ReadOnly:
      return {fault, Str(TS::StoreReadOnly)};
    case TStoreFault::Locked:
      return {fault, Str(TS::StoreLocked)};
    case TStoreFault::Damaged:
      return {fault, Str(TS::StoreDamaged)};
    default:
      return {fault, e.Message()};
  }
}

std::string DateText(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  char text[16];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d", p.Year, p.Month, p.Day);
  return text;
}

TReadingInfo InfoOf(const TStatement& s, int first) {
  TReadingInfo info;
  info.ReadAt = StoreTimeValue(s.Text(first)).value_or(TDateTime{});
  info.Port = s.Text(first + 1);
  info.UsbSerial = s.Text(first + 2);
  info.Vendor = s.Text(first + 3);
  info.Product = s.Text(first + 4);
  info.DeviceDate = StoreTimeValue(s.Text(first + 5) + " 00:00:00").value_or(TDateTime{});
  info.DeviceValue5 = static_cast<std::uint16_t>(s.Int(first + 6));
  info.DeviceValue7 = static_cast<std::uint16_t>(s.Int(first + 7));
  return info;
}

constexpr const char* kInfoColumns =
    "read_at, port, usb_serial, vendor, product, device_date, device_value5, device_value7";

}  // namespace

fs::path UserReadingsFile() {
  return UserDataFolder() / "readings.sqlite3";
}

std::string StoreTimeText(TDateTime value) {
  const TDateParts p = DecodeDateTime(value);
  char text[32];
  std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", p.Year, p.Month, p.Day, p.Hour,
                p.Minute, p.Second);
  return text;
}

std::optional<TDateTime> StoreTimeValue(const std::string& text) {
  int y = 0, mo = 0, d = 0, h = 0, mi = 0, s = 0;
  char tail = 0;
  if (std::sscanf(text.c_str(), "%4d-%2d-%2d %2d:%2d:%2d%c", &y, &mo, &d, &h, &mi, &s, &tail) !=
          6 ||
      !IsValidDate(y, mo, d) || h > 23 || mi > 59 || s > 59 || h < 0 || mi < 0 || s < 0)
    return std::nullopt;
  return EncodeDateTime(y, mo, d, h, mi, s, 0);
}

TReadingStore::TReadingStore(const fs::path& file) : file_(file) {
  Guarded([] {});
}

TReadingStore::~TReadingStore() = default;

void TReadingStore::Open() {
  db_.reset();
  if (std::error_code ec; !fs::exists(file_, ec)) CreatePrivateFile(file_);
  db_ = std::make_unique<TSqliteDb>(file_, false);
  sqlite3_busy_timeout(db_->Handle(), kBusyTimeoutMs);
  // A read-only file stays in the mode it has; it can still be listed.
  try {
    db_->Exec("PRAGMA journal_mode = WAL");
  } catch (const ESqlite& e) {
    if (FaultOf(e.Code) != TStoreFault::ReadOnly) throw;
  }
  // Each reading reaches the disk before the window says it is there.
  db_->Exec("PRAGMA synchronous = FULL");
  if (PrepareSchema(*db_) > SchemaVersion) {
    db_.reset();
    throw EStoreError(TStoreFault::Newer, Str(TS::StoreNewer));
  }
}

void TReadingStore::MoveAside() {
  db_.reset();
  const fs::path aside = DamagedAsideName(file_);
  fs::rename(file_, aside);
  // The journal files belong to the damaged file; they go with it.
  for (const char* suffix : {"-wal", "-shm"}) {
    fs::path from = file_, to = aside;
    from += suffix;
    to += suffix;
    std::error_code ec;
    if (fs::exists(from, ec)) fs::rename(from, to, ec);
  }
  movedAside_ = aside;
}

// Runs an operation; SQLite's failures become EStoreError. A damaged file is moved aside and
// the operation tried once more on a new one.
template <class F>
auto TReadingStore::Guarded(F&& operation) -> decltype(operation()) {
  for (int attempt = 0;; ++attempt) {
    try {
      if (!db_) Open();
      return operation();
    } catch (const ESqlite& e) {
      if (FaultOf(e.Code) != TStoreFault::Damaged || attempt > 0) throw StoreErrorOf(e);
    } catch (const EOSError& e) {
      throw EStoreError(TStoreFault::ReadOnly, e.Message());
    }
    try {
      MoveAside();
    } catch (const fs::filesystem_error&) {
      throw EStoreError(TStoreFault::Damaged, Str(TS::StoreDamaged));
    }
  }
}

std::optional<fs::path> TReadingStore::TakeMovedAside() {
  auto moved = std::move(movedAside_);
  movedAside_.reset();
  return moved;
}

TReadingStore::TStored TReadingStore::Store(const TReadingInfo& info, const TArchive& archive) {
  return Guarded([&] {
    TStored stored;
    const std::uint32_t count = archive.RecCount();
    TTransaction t(*db_);
    const std::string readAt = StoreTimeText(info.ReadAt), deviceDate = DateText(info.DeviceDate);
    TStatement reading(db_->Handle(),
                       "INSERT INTO readings(read_at, port, usb_serial, vendor, product, "
                       "device_date, device_value5, device_value7, record_count) "
                       "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9)");
    reading.Bind(1, std::string_view(readAt))
        .Bind(2, std::string_view(info.Port))
        .Bind(3, std::string_view(info.UsbSerial))
        .Bind(4, std::string_view(info.Vendor))
        .Bind(5, std::string_view(info.Product))
        .Bind(6, std::string_view(deviceDate))
        .Bind(7, std::int64_t{info.DeviceValue5})
        .Bind(8, std::int64_t{info.DeviceValue7})
        .Bind(9, std::int64_t{count});
    reading.Step();
    stored.Id = db_->LastInsertId();
    TStatement find(db_->Handle(), "SELECT id FROM records WHERE digest = ?1 AND raw = ?2");
    TStatement insert(db_->Handle(), InsertRecordSql());
    TStatement link(db_->Handle(),
                    "INSERT INTO reading_records(reading_id, position, record_id) "
                    "VALUES(?1, ?2, ?3)");
    link.Bind(1, stored.Id);
    std::string time;
    for (std::uint32_t i = 0; i < count; ++i) {
      const ArchiveSlot& slot = archive.Slot(i);
      find.Bind(1, RecordDigest(slot)).BindBlob(2, slot.data(), slot.size());
      std::int64_t recordId = 0;
      if (find.Step()) {
        recordId = find.Int(0);
      } else {
        BindRecord(insert, slot, time);
        insert.Step();
        insert.Reset();
        recordId = db_->LastInsertId();
        ++stored.NewRecords;
      }
      find.Reset();
      link.Bind(2, std::int64_t{i + 1}).Bind(3, recordId);
      link.Step();
      link.Reset();
    }
    TStatement news(db_->Handle(), "UPDATE readings SET new_records = ?1 WHERE id = ?2");
    news.Bind(1, std::int64_t{stored.NewRecords}).Bind(2, stored.Id);
    news.Step();
    t.Commit();
    return stored;
  });
}

std::vector<TReadingRow> TReadingStore::List() {
  return Guarded([&] {
    std::vector<TReadingRow> rows;
    TStatement s(db_->Handle(), std::string("SELECT id, record_count, new_records, ") +
                                    kInfoColumns + " FROM readings ORDER BY read_at DESC, id DESC");
    while (s.Step()) {
      TReadingRow row;
      row.Id = s.Int(0);
      row.Records = static_cast<std::uint32_t>(s.Int(1));
      row.NewRecords = static_cast<std::uint32_t>(s.Int(2));
      row.Info = InfoOf(s, 3);
      rows.push_back(std::move(row));
    }
    return rows;
  });
}

std::optional<TReadingInfo> TReadingStore::Load(std::int64_t id, TArchive& into) {
  return Guarded([&]() -> std::optional<TReadingInfo> {
    // One read transaction: the reading and its records as one version of the file.
    db_->Exec("BEGIN");
    struct TEnd {
      TSqliteDb& db;
      ~TEnd() { sqlite3_exec(db.Handle(), "COMMIT", nullptr, nullptr, nullptr); }
    } end{*db_};
    TStatement head(db_->Handle(), std::string("SELECT record_count, ") + kInfoColumns +
                                       " FROM readings WHERE id = ?1");
    head.Bind(1, id);
    if (!head.Step()) return std::nullopt;
    const auto count = static_cast<std::uint32_t>(head.Int(0));
    TReadingInfo info = InfoOf(head, 1);
    TStatement records(db_->Handle(),
                       "SELECT r.raw FROM reading_records rr JOIN records r ON r.id = rr.record_id "
                       "WHERE rr.reading_id = ?1 ORDER BY rr.position");
    records.Bind(1, id);
    TArchive loaded;
    loaded.Resize(count);
    while (records.Step()) {
      std::size_t size = 0;
      const std::uint8_t* raw = records.Blob(0, size);
      if (!loaded.StoreRecord(raw, size)) break;
    }
    if (loaded.RecCount() != count)
      throw ESqlite(SQLITE_CORRUPT, "reading " + std::to_string(id) + " lacks records");
    into = std::move(loaded);
    return info;
  });
}

bool TReadingStore::Delete(std::int64_t id) {
  return Guarded([&] {
    TTransaction t(*db_);
    db_->Exec("CREATE TEMP TABLE IF NOT EXISTS gone(id INTEGER PRIMARY KEY)");
    db_->Exec("DELETE FROM temp.gone");
    TStatement collect(db_->Handle(),
                       "INSERT OR IGNORE INTO temp.gone SELECT record_id FROM reading_records "
                       "WHERE reading_id = ?1");
    collect.Bind(1, id).Step();
    TStatement links(db_->Handle(), "DELETE FROM reading_records WHERE reading_id = ?1");
    links.Bind(1, id).Step();
    TStatement reading(db_->Handle(), "DELETE FROM readings WHERE id = ?1");
    reading.Bind(1, id).Step();
    if (db_->Changes() == 0) return false;
    db_->Exec(
        "DELETE FROM records WHERE id IN (SELECT id FROM temp.gone) AND NOT EXISTS "
        "(SELECT 1 FROM reading_records rr WHERE rr.record_id = records.id)");
    t.Commit();
    return true;
  });
}
