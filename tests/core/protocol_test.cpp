// The PDF protocol and the CSV table as other programs read them: poppler's pdftotext, pdfinfo
// and pdffonts, qpdf's check, and the table parsed back field by field. And which of the files
// the save dialog's answer asks for.
#include <gtest/gtest.h>

#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <memory>
#include <sstream>

#include "base/exceptions.h"
#include "mainwindow/csv_table.h"
#include "mainwindow/pdf_protocol.h"
#include "mainwindow/presentation.h"
#include "mainwindow/save_format.h"
#include "test_record.h"

namespace fs = std::filesystem;

namespace {

// The standard output of a command, and whether it ended with status 0.
std::pair<std::string, bool> Command(const std::string& command) {
  std::string out;
  FILE* p = popen((command + " 2>/dev/null").c_str(), "r");
  if (!p) return {out, false};
  char buf[4096];
  for (std::size_t n; (n = fread(buf, 1, sizeof buf, p)) > 0;) out.append(buf, n);
  return {out, pclose(p) == 0};
}

std::vector<std::string> Split(const std::string& s, char by) {
  std::vector<std::string> parts;
  std::istringstream in(s);
  for (std::string part; std::getline(in, part, by);) parts.push_back(part);
  return parts;
}

std::string Trim(const std::string& s) {
  return s.substr(s.find_first_not_of(' '));
}

std::vector<std::string> Tokens(const std::string& line) {
  std::vector<std::string> t;
  std::istringstream in(line);
  for (std::string w; in >> w;) t.push_back(w);
  return t;
}

// RFC 4180 rows: fields split at sep outside quotes, "" inside quotes a quote, rows end in CR LF.
std::vector<std::vector<std::string>> ParseCsv(const std::string& text, char sep) {
  std::vector<std::vector<std::string>> rows(1, std::vector<std::string>(1));
  bool quoted = false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (quoted) {
      if (c == '"' && i + 1 < text.size() && text[i + 1] == '"') {
        rows.back().back() += '"';
        ++i;
      } else if (c == '"') {
        quoted = false;
      } else {
        rows.back().back() += c;
      }
    } else if (c == '"') {
      quoted = true;
    } else if (c == sep) {
      rows.back().emplace_back();
    } else if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      rows.emplace_back(1);
      ++i;
    } else {
      rows.back().back() += c;
    }
  }
  rows.pop_back();  // after the last line end
  return rows;
}

struct Case {
  const char* language;
  char decimal;
  int unit;
  bool singles;
  unsigned records;
};

TEST(Protocol, OtherProgramsReadEveryRecordInTheUsersLanguageAndNotation) {
  const Case cases[] = {
      {"en", '.', 0, true, 70}, {"ru", ',', 1, false, 30}, {"pl", ',', 3, true, 5}};
  const fs::path dir = fs::temp_directory_path() / ("q2e_protocol_" + std::to_string(getpid()));
  fs::create_directories(dir);
  for (const Case& c : cases) {
    SCOPED_TRACE(c.language);
    const auto owned = TStringTable::ForLanguage(c.language);
    const TStringTable& tr = owned ? *owned : TStringTable::English();
    FormatSettings fs;
    fs.DecimalSeparator = c.decimal;
    TArchive archive;
    archive.Resize(c.records);
    for (unsigned n = 1; n <= c.records; ++n) {
      const auto r = TestRecord(n, n % 50);
      archive.StoreRecord(r.data(), r.size());
    }
    const fs::path pdf = dir / (std::string(c.language) + " протокол.pdf");
    const fs::path csv = dir / (std::string(c.language) + ".csv");
    WritePdfProtocol({.Archive = archive,
                      .Unit = c.unit,
                      .Singles = c.singles,
                      .Format = fs,
                      .Tr = tr,
                      .ReadAt = EncodeDateTime(2026, 12, 9, 10, 30, 0, 0),
                      .TesterDate = EncodeDateTime(2026, 12, 1, 0, 0, 0, 0),
                      .Now = EncodeDateTime(2026, 12, 9, 10, 31, 0, 0)},
                     pdf.string());
    WriteCsvTable(archive, c.unit, c.singles, fs, csv.string(), {}, tr);
    const std::string q = "'" + pdf.string() + "'";

    EXPECT_TRUE(Command("qpdf --check " + q).second);
    const auto [fonts, fontsRan] = Command("pdffonts " + q);
    ASSERT_TRUE(fontsRan) << "pdffonts (poppler-utils) is needed";
    const auto fontLines = Split(fonts, '\n');
    ASSERT_EQ(fontLines.size(), 3u) << fonts;  // two lines of titles, one font
    const auto font = Tokens(fontLines[2]);
    ASSERT_GE(font.size(), 5u);
    EXPECT_NE(font[0].find("DejaVuSans"), std::string::npos);
    EXPECT_EQ(font[font.size() - 5], "yes") << "embedded";

    const auto [info, infoRan] = Command("pdfinfo " + q);
    ASSERT_TRUE(infoRan);
    EXPECT_NE(info.find(tr.Text(TS::ProtocolTitle) + " \u2013 " + tr.Text(TS::Caption)),
              std::string::npos);
    const std::size_t creator = info.find("Creator:"), created = info.find("CreationDate:");
    ASSERT_NE(creator, std::string::npos);
    ASSERT_NE(created, std::string::npos);
    EXPECT_EQ(Tokens(info.substr(creator, info.find('\n', creator) - creator))[1], "Quarrow2Excel");
    const std::string date = info.substr(created, info.find('\n', created) - created);
    EXPECT_NE(date.find(":31:00 2026"), std::string::npos) << date;  // hours as the zone has them
    const std::size_t pagesAt = info.find("Pages:");
    ASSERT_NE(pagesAt, std::string::npos);
    const int pages = std::atoi(info.c_str() + pagesAt + 6);

    const auto [text, textRan] = Command("pdftotext -layout " + q + " -");
    ASSERT_TRUE(textRan);
    EXPECT_NE(text.find(tr.Text(TS::ProtocolTitle)), std::string::npos);
    EXPECT_NE(text.find(ColumnTitle(2, tr)), std::string::npos);
    EXPECT_NE(text.find(MaterialLabel(1, tr)), std::string::npos);
    for (int p = 1; p <= pages; ++p)
      EXPECT_NE(text.find(FormatText(tr.Text(TS::ProtocolPage),
                                     {std::to_string(p), std::to_string(pages)})),
                std::string::npos)
          << p;
    if (c.records > 40) {
      EXPECT_GT(pages, 2);
    }
    // Every record on a line of its own: its number first, its R among the words.
    std::vector<bool> seen(c.records + 1, false);
    for (const auto& line : Split(text, '\n')) {
      const auto words = Tokens(line);
      if (words.empty()) continue;
      const unsigned n = static_cast<unsigned>(std::atoi(words[0].c_str()));
      if (n < 1 || n > c.records || words[0] != std::to_string(n)) continue;
      const std::string r = Trim(StrengthText(20.0 + n, c.unit, fs));
      if (std::find(words.begin(), words.end(), r) != words.end()) seen[n] = true;
    }
    for (unsigned n = 1; n <= c.records; ++n) EXPECT_TRUE(seen[n]) << "record " << n;

    std::ifstream in(csv, std::ios::binary);
    std::stringstream bytes;
    bytes << in.rdbuf();
    const std::string table = bytes.str();
    ASSERT_EQ(table.rfind("\xEF\xBB\xBF", 0), 0u);
    const auto rows = ParseCsv(table.substr(3), c.decimal == ',' ? ';' : ',');
    ASSERT_EQ(rows.size(), c.records + 1u);
    const std::size_t columns = 14 + (c.singles ? 49 : 0);
    EXPECT_EQ(rows[0][5], ColumnTitle(ColR, tr) + UnitReportText(c.unit, tr));
    for (unsigned n = 1; n <= c.records; ++n) {
      const auto& row = rows[n];
      ASSERT_EQ(row.size(), columns) << n;
      EXPECT_EQ(row[0], std::to_string(n));
      EXPECT_EQ(row[5], Trim(StrengthText(20.0 + n, c.unit, fs)));
      EXPECT_EQ(row[7], "4" + std::string(1, c.decimal) + "2");
      EXPECT_EQ(row[12], "1" + std::string(1, c.decimal) + "00");
      if (!c.singles) continue;
      const unsigned q = n % 50;
      for (unsigned k = 0; k < 49; ++k) EXPECT_EQ(row[14 + k].empty(), k >= q) << n << ":" << k;
      if (q > 0) {
        EXPECT_EQ(row[14 + q - 1], Trim(StrengthText((200 + 10 * n + q - 1) / 10.0, c.unit, fs)));
      }
    }
  }
  // Without its font the protocol is not written, and the message names the font.
  TArchive one;
  one.Resize(1);
  const auto r = TestRecord(1, 3);
  one.StoreRecord(r.data(), r.size());
  const fs::path target = dir / "nofont.pdf";
  try {
    WritePdfProtocol({.Archive = one, .Tr = TStringTable::English()}, target.string(), {},
                     dir / "missing" / "DejaVuSans.ttf");
    ADD_FAILURE() << "written without a font";
  } catch (const Exception& e) {
    EXPECT_NE(std::string(e.what()).find("DejaVuSans.ttf"), std::string::npos) << e.what();
  }
  EXPECT_FALSE(fs::exists(target));
  fs::remove_all(dir);
}

TEST(Protocol, TheTypedExtensionOrElseTheChosenTypeDecides) {
  const struct {
    const char* name;
    int filter;
    TSaveFormat format;
  } cases[] = {
      {"r.txt", FilterPdf, TSaveFormat::Text},    {"r.PDF", FilterText, TSaveFormat::Pdf},
      {"r.Csv", FilterAll, TSaveFormat::Csv},     {"r", FilterPdf, TSaveFormat::Pdf},
      {"r.dat", FilterCsv, TSaveFormat::Csv},     {"r.dat", FilterAll, TSaveFormat::Text},
      {"x.pdf/r", FilterText, TSaveFormat::Text}, {"r", 0, TSaveFormat::Text},
  };
  for (const auto& c : cases)
    EXPECT_EQ(SaveFormatOf(c.name, c.filter), c.format) << c.name << " " << c.filter;
  EXPECT_EQ(NormalizeFilterIndex(7), FilterText);
  EXPECT_EQ(NormalizeFilterIndex(FilterAll), FilterAll);
}

}  // namespace
