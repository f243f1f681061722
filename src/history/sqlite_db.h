// A thin hold on SQLite's C interface: a connection and its prepared statements, closed with
// their holders, and every failure an ESqlite with SQLite's code and message. One thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "base/exceptions.h"

struct sqlite3;
struct sqlite3_stmt;

class ESqlite : public Exception {
 public:
  ESqlite(int code, const std::string& message) : Exception(message), Code(code) {}
  int Code;  // SQLite's extended result code
  int Primary() const { return Code & 0xff; }
};

class TStatement {
 public:
  TStatement(sqlite3* db, std::string_view sql);
  ~TStatement();
  TStatement(const TStatement&) = delete;
  TStatement& operator=(const TStatement&) = delete;

  // Places count from 1. Blobs and texts are not copied: they must outlive the next Step.
  TStatement& Bind(int place, std::int64_t value);
  TStatement& Bind(int place, double value);
  TStatement& Bind(int place, std::string_view text);
  TStatement& BindBlob(int place, const void* data, std::size_t size);
  // True while a row is there; false when done.
  bool Step();
  // Ready for new values (bindings kept until rebound).
  void Reset();

  std::int64_t Int(int column) const;
  double Real(int column) const;
  std::string Text(int column) const;
  const std::uint8_t* Blob(int column, std::size_t& size) const;

 private:
  sqlite3* db_;
  sqlite3_stmt* stmt_ = nullptr;
};

class TSqliteDb {
 public:
  // Opens (creating when asked) the database file; WAL and the busy timeout are the caller's.
  TSqliteDb(const std::filesystem::path& file, bool create);
  ~TSqliteDb();
  TSqliteDb(const TSqliteDb&) = delete;
  TSqliteDb& operator=(const TSqliteDb&) = delete;

  void Exec(std::string_view sql);
  // The first column of the first row of a query that yields one.
  std::int64_t QueryInt(std::string_view sql);
  std::int64_t LastInsertId() const;
  int Changes() const;
  sqlite3* Handle() const { return db_; }

 private:
  sqlite3* db_ = nullptr;
};

// Runs its statements as one transaction: committed by Commit, rolled back when left without.
class TTransaction {
 public:
  explicit TTransaction(TSqliteDb& db);
  ~TTransaction();
  TTransaction(const TTransaction&) = delete;
  TTransaction& operator=(const TTransaction&) = delete;
  void Commit();

 private:
  TSqliteDb& db_;
  bool open_ = true;
};
