#include "store_schema.h"

#include <algorithm>

#include "history/reading_store.h"
#include "history/sqlite_db.h"

namespace {

// Version 2: the adapter, the count of new records, the records' decoded fields and a digest
// in place of the unique index over the raw bytes.
constexpr const char* kTables = R"(
CREATE TABLE readings(
  id INTEGER PRIMARY KEY,
  read_at TEXT NOT NULL,
  port TEXT NOT NULL,
  device_date TEXT NOT NULL,
  device_value5 INTEGER NOT NULL,
  device_value7 INTEGER NOT NULL,
  record_count INTEGER NOT NULL,
  usb_serial TEXT NOT NULL DEFAULT '',
  vendor TEXT NOT NULL DEFAULT '',
  product TEXT NOT NULL DEFAULT '',
  new_records INTEGER NOT NULL DEFAULT 0);
CREATE TABLE reading_records(
  reading_id INTEGER NOT NULL REFERENCES readings(id),
  position INTEGER NOT NULL,
  record_id INTEGER NOT NULL REFERENCES records(id),
  PRIMARY KEY(reading_id, position)) WITHOUT ROWID;
)";

constexpr const char* kRecords = R"(
CREATE TABLE records(
  id INTEGER PRIMARY KEY,
  digest INTEGER NOT NULL,
  raw BLOB NOT NULL CHECK(length(raw) = 128),
  measured_at TEXT NOT NULL,
  material INTEGER NOT NULL,
  article INTEGER NOT NULL,
  r REAL NOT NULL,
  q INTEGER NOT NULL);
)";

constexpr const char* kIndexes = R"(
CREATE INDEX records_digest ON records(digest);
CREATE INDEX records_measured_at ON records(measured_at);
CREATE INDEX reading_records_record ON reading_records(record_id);
)";

constexpr const char* kInsertRecord =
    "INSERT INTO records(digest, raw, measured_at, material, article, r, q) "
    "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7)";

// Version 1 kept the raw bytes alone (unique) and the reading without its adapter.
void MigrateFrom1(TSqliteDb& db) {
  db.Exec(R"(
ALTER TABLE readings ADD COLUMN usb_serial TEXT NOT NULL DEFAULT '';
ALTER TABLE readings ADD COLUMN vendor TEXT NOT NULL DEFAULT '';
ALTER TABLE readings ADD COLUMN product TEXT NOT NULL DEFAULT '';
ALTER TABLE readings ADD COLUMN new_records INTEGER NOT NULL DEFAULT 0;
ALTER TABLE records RENAME TO records_1;
)");
  db.Exec(kRecords);
  {
    TStatement old(db.Handle(), "SELECT id, raw FROM records_1 ORDER BY id");
    TStatement insert(db.Handle(),
                      "INSERT INTO records(id, digest, raw, measured_at, material, article, r, q) "
                      "VALUES(?8, ?1, ?2, ?3, ?4, ?5, ?6, ?7)");
    std::string time;
    while (old.Step()) {
      std::size_t size = 0;
      const std::uint8_t* raw = old.Blob(1, size);
      ArchiveSlot slot{};
      std::copy_n(raw, std::min(size, slot.size()), slot.begin());
      BindRecord(insert, slot, time);
      insert.Bind(8, old.Int(0));
      insert.Step();
      insert.Reset();
    }
  }
  db.Exec("DROP TABLE records_1");
  db.Exec(kIndexes);
  // A record is new in the first reading that holds it.
  db.Exec(R"(
UPDATE readings SET new_records = (
  SELECT count(*) FROM reading_records rr WHERE rr.reading_id = readings.id AND NOT EXISTS (
    SELECT 1 FROM reading_records o WHERE o.record_id = rr.record_id AND o.reading_id < rr.reading_id));
)");
}

}  // namespace

int PrepareSchema(TSqliteDb& db) {
  const int found = static_cast<int>(db.QueryInt("PRAGMA user_version"));
  if (found >= TReadingStore::SchemaVersion) return found;
  TTransaction t(db);
  // Asked again under the write lock: another program may have prepared the file meanwhile.
  const int version = static_cast<int>(db.QueryInt("PRAGMA user_version"));
  if (version >= TReadingStore::SchemaVersion) return version;
  if (version == 0) {
    db.Exec(kTables);
    db.Exec(kRecords);
    db.Exec(kIndexes);
  } else {
    MigrateFrom1(db);
  }
  db.Exec("PRAGMA user_version = " + std::to_string(TReadingStore::SchemaVersion));
  t.Commit();
  return version;
}

std::int64_t RecordDigest(const ArchiveSlot& slot) {
  std::uint64_t h = 14695981039346656037ull;
  for (const std::uint8_t b : slot) h = (h ^ b) * 1099511628211ull;
  return static_cast<std::int64_t>(h);
}

void BindRecord(TStatement& insert, const ArchiveSlot& slot, std::string& time) {
  time = StoreTimeText(RecordDateTime(slot));
  insert.Bind(1, RecordDigest(slot))
      .BindBlob(2, slot.data(), slot.size())
      .Bind(3, std::string_view(time))
      .Bind(4, std::int64_t{Material(slot)})
      .Bind(5, std::int64_t{Article(slot)})
      .Bind(6, R(slot))
      .Bind(7, std::int64_t{Q(slot)});
}

const char* InsertRecordSql() {
  return kInsertRecord;
}
