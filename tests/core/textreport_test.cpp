#include "mainwindow/textreport.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>
#include <filesystem>
#include <fstream>
#include <sstream>

#include "base/exceptions.h"
#include "base/utf16.h"
#include "platform/language/text_codec.h"

namespace fs = std::filesystem;

namespace {

std::vector<std::string> SplitCrLf(const std::string& text) {
  std::vector<std::string> lines;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t end = text.find("\r\n", pos);
    if (end == std::string::npos) {
      lines.push_back("<no CR LF>" + text.substr(pos));
      break;
    }
    lines.push_back(text.substr(pos, end - pos));
    pos = end + 2;
  }
  return lines;
}

TArchive ThreeRecords() {
  TArchive a;
  a.Resize(3);
  std::vector<std::uint8_t> r(128, 0);
  r[0] = 15, r[1] = 6, r[2] = 0x25, r[3] = 3, r[4] = 0x12, r[5] = 30, r[6] = 45, r[7] = 14;
  r[8] = 13, r[9] = 20, r[11] = 123, r[17] = 100, r[18] = 0x5E, r[19] = 1, r[21] = 10;
  r[30] = 0xF4, r[31] = 1, r[32] = 0xE8, r[33] = 3, r[34] = 0xFF, r[35] = 0xFF;
  a.StoreRecord(r.data(), r.size());
  r[3] = 0;     // no single values
  r[4] = 0x60;  // direction code 6
  a.StoreRecord(r.data(), r.size());
  r[3] = 200;  // more than a slot holds
  a.StoreRecord(r.data(), r.size());
  return a;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

fs::path TempDir(const char* name) {
  const fs::path d =
      fs::temp_directory_path() / (std::string("q2e_") + name + "_" + std::to_string(getpid()));
  fs::remove_all(d);
  fs::create_directories(d);
  return d;
}

const TDateTime kNow = EncodeDateTime(2024, 1, 2, 3, 4, 5, 0);

}  // namespace

TEST(TextReport, LinesAndAlignmentWithSingles) {
  const auto lines = SplitCrLf(BuildTextReport(ThreeRecords(), 1, true, {}, kNow).Text());
  ASSERT_EQ(lines.size(), 6u + 1 + 3 + 1 + 1 + 49);
  EXPECT_EQ(lines[0], " ");
  EXPECT_EQ(lines[1], "Quarrow VORNEX");
  EXPECT_EQ(lines[3], "02/01/2024 03:04:05");
  const std::string& title = lines[5];
  EXPECT_EQ(title.size(), 257u + 28u);
  EXPECT_EQ(title.substr(0, 7), " N   | ");
  EXPECT_NE(title.find(" | R, kg/cm2  | S, kg/cm2  | "), std::string::npos);
  EXPECT_EQ(title.substr(257), "      Single Values       | ");
  const std::string& rec = lines[6];
  EXPECT_EQ(rec.size(), 285u);
  EXPECT_EQ(rec.substr(0, 38), "   1 |    15/06/2013 14:45:30    | Hea");
  EXPECT_NE(rec.find(" |        357 |         20 |  12.3 | "), std::string::npos);
  EXPECT_NE(rec.find("|  1.00 |        3         | "), std::string::npos);
  EXPECT_EQ(rec.substr(257), std::string(25, ' ') + " | ");
  for (int k = 0; k < 3; ++k) EXPECT_EQ(lines[7 + k].size(), 285u);
  EXPECT_EQ(lines[7].substr(257), std::string(22, ' ') + "509 | ");
  EXPECT_EQ(lines[8].substr(257), std::string(21, ' ') + "1019 | ");
  EXPECT_EQ(lines[9].substr(257), std::string(20, ' ') + "66780 | ");
  EXPECT_NE(lines[10].find("|        Error         | "), std::string::npos);  // Dir 6
  EXPECT_EQ(lines[11].substr(0, 5), "   3 ");  // record 2 had no single values
}

TEST(TextReport, WithoutSinglesAndLongCells) {
  TArchive a;
  a.Resize(10000);
  const std::vector<std::uint8_t> r(128, 0);
  for (int i = 0; i < 10000; ++i) a.StoreRecord(r.data(), r.size());
  FormatSettings fs;
  fs.ShortDateFormat = "yyyy yyyy yyyy yyyy yyyy yyyy";  // longer than the date cell
  const auto lines = SplitCrLf(BuildTextReport(a, 0, false, fs, kNow).Text());
  EXPECT_EQ(lines[5].size(), 257u);
  EXPECT_EQ(lines[6].size(), 257u - 25u);  // the date cell is dropped, not cut
  EXPECT_EQ(lines[6].substr(0, 10), "   1 |  | ");
  EXPECT_EQ(lines.back().size(), 257u - 25u + 1u);  // record 10000 pushes its line
  EXPECT_EQ(lines.back().substr(0, 8), "10000 | ");
}

TEST(TextReport, EncodesIntoTheCodePageWithoutByteOrderMark) {
  TAnsiEncoder latin1("ISO-8859-1");
  std::string out;
  latin1.Encode("kg/cm\u00B2 \u2191 \xFF!", out);
  EXPECT_EQ(out, "kg/cm\xB2 ? ?!");
  EXPECT_TRUE(TAnsiEncoder("UTF-8").Identity());

  const fs::path dir = TempDir("report");
  const fs::path file = dir / "r.txt";
  BuildTextReport(ThreeRecords(), 0, false, {}, kNow).SaveToFile(file.string());
  const std::string text = ReadAll(file);
  EXPECT_EQ(text.substr(0, 3), " \r\n");
  EXPECT_EQ(text.substr(text.size() - 2), "\r\n");
  EXPECT_EQ(SplitCrLf(text).size(), 9u);
  fs::remove_all(dir);
}

TEST(TextReport, FailedWritesLeaveTheOldFile) {
  const fs::path dir = TempDir("fail");
  const fs::path file = dir / "r.txt";
  std::ofstream(file) << "old";
  const TTextReport report = BuildTextReport(ThreeRecords(), 0, true, {}, kNow);
  try {
    report.SaveToFile((dir / "missing" / "r.txt").string());
    ADD_FAILURE() << "no exception";
  } catch (const Exception& e) {
    EXPECT_EQ(e.Message().rfind(
                  "Cannot create file \"" + (dir / "missing" / "r.txt").string() + "\". ", 0),
              0u);
  }
  // A write that fails halfway: the file size limit cuts it off.
  std::signal(SIGXFSZ, SIG_IGN);
  rlimit old{};
  getrlimit(RLIMIT_FSIZE, &old);
  rlimit small = old;
  small.rlim_cur = 1000;
  setrlimit(RLIMIT_FSIZE, &small);
  EXPECT_THROW(report.SaveToFile(file.string()), EOSError);
  setrlimit(RLIMIT_FSIZE, &old);
  EXPECT_EQ(ReadAll(file), "old");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  fs::remove_all(dir);
}

// A report is written in the program's language only where the code page holds its letters; a
// Russian report on a Western code page would be question marks, so it falls back to English.
TEST(TextReport, SpeaksTheLanguageTheCodePageCanHold) {
  struct Case {
    const char* charset;
    const char* language;
    const char* written;
  } cases[] = {
      // KOI8-R lacks the number sign of the Russian "N" column.
      {"UTF-8", "ru", "ru"},      {"ISO-8859-1", "de", "de"}, {"ISO-8859-1", "es", "es"},
      {"ISO-8859-1", "ru", "en"}, {"ISO-8859-1", "pl", "en"}, {"ISO-8859-2", "pl", "pl"},
      {"KOI8-R", "ru", "en"},     {"CP1251", "ru", "ru"},     {"CP1251", "de", "en"},
      {"ASCII", "de", "en"},
  };
  for (const Case& c : cases) {
    const auto table = TStringTable::ForLanguage(c.language);
    ASSERT_NE(table, nullptr) << c.language;
    TAnsiEncoder encoder(c.charset);
    EXPECT_EQ(ReportStrings(*table, encoder).Language(), c.written)
        << c.language << " in " << c.charset;
  }
  TAnsiEncoder ascii("ASCII");
  EXPECT_EQ(&ReportStrings(TStringTable::English(), ascii), &TStringTable::English());
}

TEST(TextReport, HoldsTellsWhatTheCodePageLacks) {
  struct Case {
    const char* charset;
    const char* text;
    bool held;
  } cases[] = {
      {"ISO-8859-1", "Schlagrichtung \u00E4", true},
      {"ISO-8859-1", "\u041C\u041F\u0430", false},
      {"ISO-8859-1", "\u0142", false},
      {"ISO-8859-2", "\u0142", true},
      {"CP1251", "\u041C\u041F\u0430 \u2116", true},
      {"ASCII", "kg/cm2", true},
      {"ASCII", "kg/cm\u00B2", false},
      {"ISO-8859-1", "", true},
  };
  for (const Case& c : cases) {
    TAnsiEncoder encoder(c.charset);
    EXPECT_EQ(encoder.Holds(c.text), c.held) << c.charset << ": " << c.text;
    // Holds must leave the converter as it found it.
    std::string out;
    encoder.Encode("N", out);
    EXPECT_EQ(out, "N") << c.charset;
  }
}

// A translated report keeps the English layout: every line as wide, the titles centred in the
// same columns.
TEST(TextReport, TranslatedReportsKeepTheLayout) {
  const std::string english =
      BuildTextReport(ThreeRecords(), 1, true, {}, kNow, {}, TStringTable::English()).Text();
  const auto english_lines = SplitCrLf(english);
  for (const std::string& lang : TStringTable::Languages()) {
    const auto table = TStringTable::ForLanguage(lang);
    const auto lines =
        SplitCrLf(BuildTextReport(ThreeRecords(), 1, true, {}, kNow, {}, *table).Text());
    ASSERT_EQ(lines.size(), english_lines.size()) << lang;
    EXPECT_EQ(lines[1], table->Text(TS::Caption)) << lang;
    for (std::size_t i = 5; i < lines.size(); ++i)
      EXPECT_EQ(Utf16Length(lines[i]), Utf16Length(english_lines[i])) << lang << " line " << i;
    EXPECT_NE(lines[5].find(table->Text(TS::TitleDateTime)), std::string::npos) << lang;
  }
}

TEST(TextReport, PlainAsciiSkipsTheConversionOnlyWhereItIsExact) {
  TAnsiEncoder latin1("ISO-8859-1");
  EXPECT_TRUE(latin1.PassesUnchanged("N | 35.0 | \r\n"));
  EXPECT_FALSE(latin1.PassesUnchanged("kg/cm\u00B2"));
  TAnsiEncoder utf16("UTF-16LE");
  EXPECT_FALSE(utf16.PassesUnchanged("N"));
}

// Reports of several megabytes go out in chunks: every setting gives the same bytes in the file
// as in memory, as many as Size says, every line whole.
TEST(TextReport, LargeReportsWriteWhatTheyHold) {
  TArchive a;
  a.Resize(600);
  for (std::uint32_t i = 0; i < 600; ++i) {
    std::vector<std::uint8_t> r(128);
    for (std::size_t b = 0; b < r.size(); ++b) r[b] = static_cast<std::uint8_t>(i * 7 + b * 3);
    r[0] = 1 + i % 28, r[1] = 1 + i % 12, r[3] = static_cast<std::uint8_t>(i % 60);
    a.StoreRecord(r.data(), r.size());
  }
  FormatSettings fs;
  fs.ShortDateFormat = "dd.mm.yyyy '\xD0\xB3.'";  // not ASCII: the encoder's path
  const fs::path dir = TempDir("large");
  for (const int unit : {0, 1}) {
    for (const bool singles : {true, false}) {
      SCOPED_TRACE(std::to_string(unit) + (singles ? " singles" : ""));
      const TTextReport report = BuildTextReport(a, unit, singles, fs, kNow);
      const std::string text = report.Text();
      EXPECT_EQ(text.size(), report.Size());
      const auto lines = SplitCrLf(text);
      ASSERT_EQ(lines.size(), report.LineCount());
      std::size_t singles_seen = 0;
      for (const auto& line : lines)
        if (line.rfind(std::string(4, ' ') + " | ", 0) == 0) ++singles_seen;  // no N
      std::size_t expected = 0;
      for (std::uint32_t i = 0; singles && i < 600; ++i) expected += RprCount(a.Slot(i));
      EXPECT_EQ(singles_seen, expected);
      EXPECT_GT(text.size(), singles ? 2u << 20 : 100000u);
      report.SaveToFile((dir / "r.txt").string());
      std::string encoded;
      TAnsiEncoder().Encode(text, encoded);
      EXPECT_EQ(ReadAll(dir / "r.txt"), encoded);
    }
  }
  fs::remove_all(dir);
}
