#include "sqlite_db.h"

#include <sqlite3.h>

#include "base/utf8_path.h"

namespace {

[[noreturn]] void Fail(sqlite3* db, int code) {
  const int extended = db ? sqlite3_extended_errcode(db) : code;
  throw ESqlite(extended ? extended : code, db ? sqlite3_errmsg(db) : sqlite3_errstr(code));
}

}  // namespace

TStatement::TStatement(sqlite3* db, std::string_view sql) : db_(db) {
  const int rc = sqlite3_prepare_v2(db, sql.data(), static_cast<int>(sql.size()), &stmt_, nullptr);
  if (rc != SQLITE_OK) Fail(db_, rc);
}

TStatement::~TStatement() {
  sqlite3_finalize(stmt_);
}

TStatement& TStatement::Bind(int place, std::int64_t value) {
  if (const int rc = sqlite3_bind_int64(stmt_, place, value); rc != SQLITE_OK) Fail(db_, rc);
  return *this;
}

TStatement& TStatement::Bind(int place, double value) {
  if (const int rc = sqlite3_bind_double(stmt_, place, value); rc != SQLITE_OK) Fail(db_, rc);
  return *this;
}

TStatement& TStatement::Bind(int place, std::string_view text) {
  const int rc =
      sqlite3_bind_text(stmt_, place, text.data(), static_cast<int>(text.size()), SQLITE_STATIC);
  if (rc != SQLITE_OK) Fail(db_, rc);
  return *this;
}

TStatement& TStatement::BindBlob(int place, const void* data, std::size_t size) {
  const int rc = sqlite3_bind_blob(stmt_, place, data, static_cast<int>(size), SQLITE_STATIC);
  if (rc != SQLITE_OK) Fail(db_, rc);
  return *this;
}

bool TStatement::Step() {
  const int rc = sqlite3_step(stmt_);
  if (rc == SQLITE_ROW) return true;
  if (rc == SQLITE_DONE) return false;
  sqlite3_reset(stmt_);
  Fail(db_, rc);
}

void TStatement::Reset() {
  sqlite3_reset(stmt_);
}

std::int64_t TStatement::Int(int column) const {
  return sqlite3_column_int64(stmt_, column);
}

double TStatement::Real(int column) const {
  return sqlite3_column_double(stmt_, column);
}

std::string TStatement::Text(int column) const {
  const auto* p = sqlite3_column_text(stmt_, column);
  return p ? std::string(reinterpret_cast<const char*>(p),
                         static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column)))
           : std::string();
}

const std::uint8_t* TStatement::Blob(int column, std::size_t& size) const {
  const void* p = sqlite3_column_blob(stmt_, column);
  size = static_cast<std::size_t>(sqlite3_column_bytes(stmt_, column));
  return static_cast<const std::uint8_t*>(p);
}

TSqliteDb::TSqliteDb(const std::filesystem::path& file, bool create) {
  // SQLite takes UTF-8 names everywhere; its Windows layer widens them for the system.
  const int flags = SQLITE_OPEN_READWRITE | (create ? SQLITE_OPEN_CREATE : 0) |
                    SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_EXRESCODE;
  const int rc = sqlite3_open_v2(PathUtf8(file).c_str(), &db_, flags, nullptr);
  if (rc != SQLITE_OK) {
    const ESqlite error(db_ ? sqlite3_extended_errcode(db_) : rc,
                        db_ ? sqlite3_errmsg(db_) : sqlite3_errstr(rc));
    sqlite3_close(db_);
    db_ = nullptr;
    throw error;
  }
}

TSqliteDb::~TSqliteDb() {
  sqlite3_close(db_);
}

void TSqliteDb::Exec(std::string_view sql) {
  const std::string text(sql);
  if (const int rc = sqlite3_exec(db_, text.c_str(), nullptr, nullptr, nullptr); rc != SQLITE_OK)
    Fail(db_, rc);
}

std::int64_t TSqliteDb::QueryInt(std::string_view sql) {
  TStatement s(db_, sql);
  return s.Step() ? s.Int(0) : 0;
}

std::int64_t TSqliteDb::LastInsertId() const {
  return sqlite3_last_insert_rowid(db_);
}

int TSqliteDb::Changes() const {
  return sqlite3_changes(db_);
}

TTransaction::TTransaction(TSqliteDb& db) : db_(db) {
  // The write lock at once: a reading is never half-way when another writer comes.
  db_.Exec("BEGIN IMMEDIATE");
}

TTransaction::~TTransaction() {
  if (open_) sqlite3_exec(db_.Handle(), "ROLLBACK", nullptr, nullptr, nullptr);
}

void TTransaction::Commit() {
  db_.Exec("COMMIT");
  open_ = false;
}
