// The program's file writers - the text report, the PDF protocol, the CSV table, the workbook,
// its CSV form and the settings store's atomic file - against what a real file system does to them:
// links, permissions, long names, a file-size limit and a full disk. Each writer must replace its
// target whole or leave the old file as it was, with no temporary file behind, and say which file
// failed.
#include <fcntl.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>

#include "../sheetexport/xlsx_reader.h"
#include "base/exceptions.h"
#include "mainwindow/csv_table.h"
#include "mainwindow/pdf_protocol.h"
#include "mainwindow/textreport.h"
#include "platform/files/atomic_file.h"
#include "sheetexport/builtin_book.h"
#include "sheetexport/builtin_files.h"
#include "sheetexport/sheet_app.h"
#include "small_disk.h"

namespace fs = std::filesystem;

namespace {

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}

TArchive Records(std::uint32_t count) {
  TArchive a;
  a.Resize(count);
  std::mt19937 rng(count);
  std::vector<std::uint8_t> r(128, 0);
  for (std::uint32_t i = 0; i < count; ++i) {
    r[0] = 1 + rng() % 28, r[1] = 1 + rng() % 12, r[8] = 24, r[3] = 49;
    for (std::size_t k = 9; k < 128; ++k) r[k] = static_cast<std::uint8_t>(rng());
    r[3] = 49;
    a.StoreRecord(r.data(), r.size());
  }
  return a;
}

// One way of writing a file: a small or a large content, and whether a file holds it.
struct TWriter {
  const char* name;
  const char* extension;
  std::function<void(const std::string& path, bool large)> write;
  std::function<bool(const fs::path& file, bool large)> holds;
};

void PrintTo(const TWriter& writer, std::ostream* os) {
  *os << writer.name;
}

std::shared_ptr<builtin::TBook> Book(bool large) {
  auto book = std::make_shared<builtin::TBook>();
  book->Sheets.push_back(std::make_unique<builtin::TSheet>(*book, "Quarrow VORNEX"));
  builtin::TSheet& sheet = *book->Sheets.front();
  sheet.SetValue(0, 0, TVariant(std::string(large ? "large" : "small")));
  std::mt19937 rng(5);
  // Numbers that do not repeat compress poorly: the large book is several hundred kilobytes.
  for (int r = 1; large && r < 1500; ++r)
    for (int c = 0; c < 15; ++c) sheet.SetValue(r, c, TVariant(rng() / 7.0));
  return book;
}

const std::vector<TWriter>& Writers() {
  static const TTextReport smallReport =
      BuildTextReport(Records(2), 0, true, {}, TDateTime{45000.5});
  static const TTextReport largeReport =
      BuildTextReport(Records(300), 0, true, {}, TDateTime{45000.5});
  static const auto smallBook = Book(false), largeBook = Book(true);
  static const std::string smallBytes(10, 's'), largeBytes(3 << 20, 'L');
  static const std::vector<TWriter> writers = {
      {"report", ".txt",
       [](const std::string& path, bool large) {
         (large ? largeReport : smallReport).SaveToFile(path);
       },
       [](const fs::path& file, bool large) {
         return ReadAll(file) == (large ? largeReport : smallReport).Text();
       }},
      {"protocol", ".pdf",
       [](const std::string& path, bool large) {
         static const TArchive small = Records(2), big = Records(300);
         WritePdfProtocol({.Archive = large ? big : small,
                           .Format = {},
                           .Tr = TStringTable::English(),
                           .Now = TDateTime{45000.5}},
                          path);
       },
       [](const fs::path& file, bool large) {
         // Whole: the header, the end marker, and the large one's many pages.
         const std::string pdf = ReadAll(file);
         const std::size_t count = pdf.find("/Count ");
         return pdf.rfind("%PDF-", 0) == 0 && pdf.size() > 8 &&
                pdf.find("%%EOF", pdf.size() - 8) != pdf.npos && count != pdf.npos &&
                (std::atoi(pdf.c_str() + count + 7) > 10) == large;
       }},
      {"table", ".csv",
       [](const std::string& path, bool large) {
         static const TArchive small = Records(2), big = Records(3000);
         WriteCsvTable(large ? big : small, 0, true, {}, path);
       },
       [](const fs::path& file, bool large) {
         const std::string csv = ReadAll(file);
         const std::string last = large ? "\r\n3000," : "\r\n2,";
         return csv.rfind("\xEF\xBB\xBFN,", 0) == 0 && csv.find(last) != csv.npos;
       }},
      {"workbook", ".xlsx",
       [](const std::string& path, bool large) {
         builtin::WriteXlsx(large ? *largeBook : *smallBook, path);
       },
       [](const fs::path& file, bool large) {
         // Whole: its text (shared or inline), and the large one down to its last cell.
         const XlsxFile xlsx(file.string());
         const std::string sheet = xlsx.Part("xl/worksheets/sheet1.xml");
         const std::string texts = xlsx.Part("xl/sharedStrings.xml") + sheet;
         return xlsx.Ok() && texts.find(large ? ">large<" : ">small<") != std::string::npos &&
                (!large || sheet.find("<c r=\"O1500\"") != std::string::npos);
       }},
      {"csv", ".csv",
       [](const std::string& path, bool large) {
         builtin::WriteCsv(*(large ? largeBook : smallBook)->Sheets.front(), path);
       },
       [](const fs::path& file, bool large) {
         return ReadAll(file).rfind(large ? "large," : "small\r\n", 0) == 0;
       }},
      {"atomic file", ".dat",
       [](const std::string& path, bool large) {
         TAtomicFile f(path);
         f.Write(large ? largeBytes : smallBytes);
         f.Commit();
       },
       [](const fs::path& file, bool large) {
         return ReadAll(file) == (large ? largeBytes : smallBytes);
       }},
  };
  return writers;
}

std::vector<std::string> Entries(const fs::path& dir) {
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

// The message of the failure of write, or "" when it did not fail.
std::string FailureOf(const std::function<void()>& write) {
  try {
    write();
  } catch (const std::exception& e) {
    return e.what();
  }
  return "";
}

class FileWriters : public ::testing::TestWithParam<TWriter> {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() / ("q2e_writers_" + std::to_string(getpid()));
    fs::remove_all(dir_);
    fs::create_directories(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }

  fs::path File(const std::string& stem) const { return dir_ / (stem + GetParam().extension); }
  void Write(const fs::path& file, bool large) const { GetParam().write(file.string(), large); }
  bool Holds(const fs::path& file, bool large) const { return GetParam().holds(file, large); }

  fs::path dir_;
};

TEST_P(FileWriters, ReplaceWholeAndLeaveNoTemporaryFile) {
  const fs::path target = File("old");
  Write(target, false);
  ASSERT_TRUE(Holds(target, false));
  Write(target, true);
  EXPECT_TRUE(Holds(target, true));
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{target.filename().string()});
}

TEST_P(FileWriters, LinksAreWrittenThroughAndStay) {
  fs::create_directories(dir_ / "real");
  struct Case {
    const char* link;
    std::string pointsTo;
    bool targetExists;
  } cases[] = {
      {"relative", std::string("real/a") + GetParam().extension, true},
      {"absolute", (dir_ / "real" / (std::string("b") + GetParam().extension)).string(), true},
      {"dangling", std::string("real/c") + GetParam().extension, false},
      {"chain", "relative", true},  // a link to a link
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.link);
    const fs::path link = dir_ / c.link;
    const fs::path real =
        fs::path(c.pointsTo).is_absolute() ? fs::path(c.pointsTo) : dir_ / c.pointsTo;
    if (c.targetExists && !fs::is_symlink(real)) Write(real, false);
    fs::create_symlink(c.pointsTo, link);
    Write(link, true);
    ASSERT_TRUE(fs::is_symlink(link));
    EXPECT_EQ(fs::read_symlink(link).string(), c.pointsTo);
    EXPECT_TRUE(Holds(fs::canonical(link), true));
  }
  // Only the real files and the links: no temporary file in either folder.
  EXPECT_EQ(Entries(dir_),
            (std::vector<std::string>{"absolute", "chain", "dangling", "real", "relative"}));
  EXPECT_EQ(Entries(dir_ / "real").size(), 3u);
}

TEST_P(FileWriters, AReplacedFileKeepsItsPermissionsAndANewOneFollowsTheMask) {
  struct Case {
    mode_t mode;
  } cases[] = {{0640}, {0600}, {0664}, {0755}};
  for (const Case& c : cases) {
    const fs::path target = File("kept");
    Write(target, false);
    ASSERT_EQ(chmod(target.c_str(), c.mode), 0);
    Write(target, true);
    struct stat st {};
    ASSERT_EQ(stat(target.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, c.mode) << std::oct << c.mode;
  }
  const mode_t mask = umask(027);
  const fs::path fresh = File("fresh");
  Write(fresh, false);
  umask(mask);
  struct stat st {};
  ASSERT_EQ(stat(fresh.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 07777, 0640u);
}

TEST_P(FileWriters, NamesAsLongAsTheFileSystemAllows) {
  const std::string extension = GetParam().extension;
  for (const std::size_t length : {std::size_t{250}, std::size_t{255}}) {
    SCOPED_TRACE(length);
    const fs::path target = dir_ / (std::string(length - extension.size(), 'n') + extension);
    Write(target, false);
    Write(target, true);
    EXPECT_TRUE(Holds(target, true));
    fs::remove(target);
  }
  EXPECT_TRUE(Entries(dir_).empty());
}

TEST_P(FileWriters, AMissingFolderIsNamedInTheMessage) {
  const fs::path target = dir_ / "missing" / (std::string("r") + GetParam().extension);
  const std::string message = FailureOf([&] { Write(target, false); });
  EXPECT_EQ(message, "Cannot create file \"" + target.string() + "\". " + std::strerror(ENOENT));
}

// In a child process, as a program would meet it: the signal of the file-size limit at its
// default, which kills, unless the writer turned it into an error.
TEST_P(FileWriters, AFileSizeLimitIsAnErrorNotAKilledProcess) {
  const fs::path target = File("limited");
  Write(target, false);
  const std::string old = ReadAll(target);
  int pipe_fds[2];
  ASSERT_EQ(pipe(pipe_fds), 0);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    close(pipe_fds[0]);
    signal(SIGXFSZ, SIG_DFL);
    rlimit limit{};
    getrlimit(RLIMIT_FSIZE, &limit);
    limit.rlim_cur = 64 * 1024;
    setrlimit(RLIMIT_FSIZE, &limit);
    const std::string message = FailureOf([&] { Write(target, true); });
    if (write(pipe_fds[1], message.data(), message.size()) < 0) _exit(3);
    _exit(message.empty() ? 1 : 0);
  }
  close(pipe_fds[1]);
  std::string message;
  char buffer[512];
  for (ssize_t n; (n = read(pipe_fds[0], buffer, sizeof buffer)) > 0;) message.append(buffer, n);
  close(pipe_fds[0]);
  int status = 0;
  ASSERT_EQ(waitpid(child, &status, 0), child);
  ASSERT_TRUE(WIFEXITED(status)) << "killed by signal " << WTERMSIG(status);
  EXPECT_EQ(WEXITSTATUS(status), 0) << "the write did not fail";
  EXPECT_NE(message.find("\"" + target.string() + "\""), std::string::npos) << message;
  EXPECT_NE(message.find(std::strerror(EFBIG)), std::string::npos) << message;
  EXPECT_EQ(ReadAll(target), old);
  EXPECT_EQ(Entries(dir_), std::vector<std::string>{target.filename().string()});
}

TEST_P(FileWriters, AFullDiskKeepsTheOldFileAndNamesTheNewOne) {
  const fs::path disk = dir_ / "disk";
  TSmallDisk small(disk, "256k");
  if (!small.Mounted()) GTEST_SKIP() << "no file system of our own can be mounted here";
  const fs::path target = disk / (std::string("old") + GetParam().extension);
  Write(target, false);
  const std::string old = ReadAll(target);
  const std::string message = FailureOf([&] { Write(target, true); });
  EXPECT_NE(message.find("\"" + target.string() + "\""), std::string::npos) << message;
  EXPECT_NE(message.find(std::strerror(ENOSPC)), std::string::npos) << message;
  EXPECT_EQ(ReadAll(target), old);
  EXPECT_EQ(Entries(disk), std::vector<std::string>{target.filename().string()});
}

INSTANTIATE_TEST_SUITE_P(Each, FileWriters, ::testing::ValuesIn(Writers()),
                         [](const ::testing::TestParamInfo<TWriter>& info) {
                           std::string name = info.param.name;
                           std::replace(name.begin(), name.end(), ' ', '_');
                           return name;
                         });

}  // namespace
