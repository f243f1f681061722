// The workbook of a reading in MPa checked cell by cell against the archive the tester served, as
// report_check.h checks the report; shared by the end-to-end tests of every system.
#pragma once

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>
#include <regex>
#include <string>
#include <vector>

#include "../sheetexport/xlsx_reader.h"
#include "report_check.h"

// The cell's number, which must be the whole of its text.
inline void ExpectNumber(const XlsxSheet& sheet, const std::string& cell, double expected) {
  const std::string text = sheet.Text(cell);
  char* end = nullptr;
  const double value = std::strtod(text.c_str(), &end);
  ASSERT_TRUE(!text.empty() && *end == '\0') << cell << " holds \"" << text << "\"";
  EXPECT_LT(std::fabs(value - expected), 1e-9) << cell << " holds " << text;
}

// The workbook (its path in UTF-8): the title, the column titles, then each record in a row of
// its own, with single values each in column O of a row below it; nothing after the last record.
inline void ExpectWorkbookOf(const std::string& book, const std::vector<TRecord>& archive,
                             bool singles) {
  const XlsxFile file(book);
  ASSERT_TRUE(file.Ok()) << book;
  const XlsxSheet sheet = file.Sheet(1);
  EXPECT_EQ(sheet.Text("A2"), "Quarrow VORNEX");
  EXPECT_EQ(sheet.Text("F6"), "R, MPa");
  EXPECT_EQ(sheet.Text("O6"), "Single Values");  // a title even where its column stays empty
  int row = 7;
  for (std::size_t i = 0; i < archive.size(); ++i) {
    SCOPED_TRACE("record " + std::to_string(i + 1));
    const TRecord& r = archive[i];
    const std::string n = std::to_string(row++);
    EXPECT_EQ(sheet.Text("A" + n), std::to_string(i + 1));
    ExpectNumber(sheet, "F" + n, r.R() / 10.0);
    ExpectNumber(sheet, "G" + n, r.S() / 10.0);
    ExpectNumber(sheet, "H" + n, r.V() / 10.0);
    ExpectNumber(sheet, "M" + n, r.Kc() / 100.0);
    ExpectNumber(sheet, "N" + n, r.Q());
    EXPECT_EQ(sheet.Text("O" + n), "");
    if (!singles) continue;
    for (unsigned k = 0; k < r.Q(); ++k) {
      const std::string s = std::to_string(row++);
      EXPECT_EQ(sheet.Text("A" + s), "");
      ExpectNumber(sheet, "O" + s, r.Single(k) / 10.0);
    }
  }
  // Widths, margins and values in the file format's notation, whatever the locale.
  EXPECT_FALSE(std::regex_search(sheet.Xml, std::regex("=\"-?[0-9]+,[0-9]+\"")))
      << "a decimal comma in an attribute";
  for (const auto& [name, cell] : sheet.Cells) {
    const int cellRow = std::atoi(name.c_str() + name.find_first_of("0123456789"));
    EXPECT_TRUE(cellRow < row || cell.Value.empty()) << name << ": nothing follows the last record";
  }
}
