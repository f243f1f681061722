// The store's tables, created new or brought up from an older version (user_version), and the
// columns a record's bytes give.
#pragma once

#include <cstdint>
#include <string>

#include "mainwindow/archive.h"

class TSqliteDb;
class TStatement;

// Creates the current tables in an empty file, or migrates one of an older version, in one
// transaction. Returns the version found; one newer than the program's is left untouched.
int PrepareSchema(TSqliteDb& db);

// The records' lookup key: a 64-bit digest of the 128 bytes (FNV-1a).
std::int64_t RecordDigest(const ArchiveSlot& slot);

// The insert of one record whose places BindRecord fills.
const char* InsertRecordSql();

// Binds digest, raw bytes, measured_at, material, article, r and q at places 1..7 of an insert
// into records. time holds the measured_at text until the statement has run.
void BindRecord(TStatement& insert, const ArchiveSlot& slot, std::string& time);
