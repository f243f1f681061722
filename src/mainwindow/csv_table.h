// The archive as a flat table for other programs: RFC 4180 with CR LF, UTF-8 with a byte-order
// mark, a title row, then one row per record with the report's columns and, when single values
// are included, their values in further columns. Numbers are written as the text report shows
// them, in the user's decimal notation, so the separator is ';' where the decimal separator is a
// comma and ',' elsewhere. Main thread only.
#pragma once

#include <cstddef>
#include <functional>
#include <string>

#include "base/format_settings.h"
#include "mainwindow/archive.h"
#include "text/string_table.h"

char CsvSeparator(const FormatSettings& fs);

// Writes the archive's first RecTotal records to fileName (UTF-8), replacing it as a whole;
// progress(records done) after each. EOSError as TAtomicFile's.
void WriteCsvTable(const TArchive& archive, int unit, bool singles, const FormatSettings& fs,
                   const std::string& fileName,
                   const std::function<void(std::size_t)>& progress = {},
                   const TStringTable& tr = Strings());
