// The store of earlier readings on real files.
#include <signal.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <map>
#include <optional>
#include <random>
#include <sstream>
#include <thread>

#include "../core/test_record.h"
#include "../files/small_disk.h"
#include "history/reading_store.h"
#include "history/sqlite_db.h"

namespace fs = std::filesystem;

namespace {

TArchive ArchiveOf(const std::vector<unsigned>& numbers) {
  TArchive a;
  a.Resize(static_cast<std::uint32_t>(numbers.size()));
  for (const unsigned n : numbers) {
    const auto r = TestRecord(n, n % 50);
    a.StoreRecord(r.data(), r.size());
  }
  return a;
}

std::vector<unsigned> Range(unsigned first, unsigned count) {
  std::vector<unsigned> v(count);
  for (unsigned i = 0; i < count; ++i) v[i] = first + i;
  return v;
}

TReadingInfo InfoAt(int minute) {
  TReadingInfo info;
  info.ReadAt = EncodeDateTime(2026, 12, 10, 9, minute % 60, 7, 0);
  info.Port = "/dev/ttyUSB0";
  info.UsbSerial = "A10K3Q";
  info.Vendor = "FTDI";
  info.Product = "FT232R USB UART";
  info.DeviceDate = EncodeDateTime(2026, 12, 9, 0, 0, 0, 0);
  info.DeviceValue5 = 7;
  info.DeviceValue7 = 9;
  return info;
}

std::string IntegrityOf(const fs::path& file) {
  TSqliteDb db(file, false);
  TStatement s(db.Handle(), "PRAGMA integrity_check");
  return s.Step() ? s.Text(0) : "";
}

std::int64_t Count(const fs::path& file, const std::string& sql) {
  TSqliteDb db(file, false);
  return db.QueryInt(sql);
}

bool SameRecords(const TArchive& a, const TArchive& b) {
  if (a.RecCount() != b.RecCount()) return false;
  for (std::uint32_t i = 0; i < a.RecCount(); ++i)
    if (a.Slot(i) != b.Slot(i)) return false;
  return true;
}

class StoreTest : public ::testing::Test {
 protected:
  void SetUp() override {
    root_ = fs::temp_directory_path() /
            ("q2e_store_" + std::to_string(getpid()) + "_" +
             ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(root_);
    fs::create_directories(root_);
  }
  void TearDown() override { fs::remove_all(root_); }
  fs::path root_;
};

enum class TStart { Empty, Earlier, Version1, Garbage, ReadOnly, FullDisk };

TEST_F(StoreTest, KeepsReadingsWholeOrNotAtAll) {
  struct Case {
    const char* name;
    TStart start;
    std::vector<unsigned> records;  // the reading stored
    std::optional<TStoreFault> fault;
    std::uint32_t newRecords;
    std::vector<std::uint32_t> sizes;  // the readings' record counts afterwards, newest first
    std::int64_t recordRows;
    bool deleteAfter = false;  // the reading stored is deleted again
    std::function<void(TReadingStore&, const fs::path&)> check = nullptr;
  } cases[] = {
      {"new file, for the user alone",
       TStart::Empty,
       {1, 2, 3},
       {},
       3,
       {3},
       3,
       false,
       [](TReadingStore&, const fs::path& file) {
         struct stat st {};
         ASSERT_EQ(::stat(file.c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 0777, 0600u);
         ASSERT_EQ(::stat(file.parent_path().c_str(), &st), 0);
         EXPECT_EQ(st.st_mode & 0777, 0700u);
         EXPECT_EQ(Count(file, "PRAGMA user_version"), TReadingStore::SchemaVersion);
         EXPECT_EQ(Count(file, "SELECT count(*) FROM pragma_journal_mode WHERE journal_mode='wal'"),
                   1);
       }},
      {"the same tester again keeps no record twice", TStart::Earlier, {1, 2, 3}, {}, 0, {3, 3}, 3},
      {"only records not kept before are new", TStart::Earlier, {3, 4, 3}, {}, 1, {3, 3}, 4},
      {"deleting takes the records no other reading holds",
       TStart::Earlier,
       {3, 4},
       {},
       1,
       {3},
       3,
       true},
      {"a store of the first layout is brought up to date",
       TStart::Version1,
       {1},
       {},
       1,
       {1, 2, 2},
       4,
       false,
       [](TReadingStore& store, const fs::path& file) {
         const auto rows = store.List();
         ASSERT_EQ(rows.size(), 3u);
         EXPECT_EQ(rows[1].Id, 2);  // 3 November: record B was kept by reading 1 already
         EXPECT_EQ(rows[1].NewRecords, 1u);
         EXPECT_EQ(rows[2].NewRecords, 2u);
         EXPECT_EQ(rows[2].Info.Port, "/dev/ttyUSB0");
         EXPECT_EQ(StoreTimeText(rows[2].Info.ReadAt), "2026-11-02 08:15:00");
         TSqliteDb db(file, false);
         TStatement a(db.Handle(),
                      "SELECT measured_at, material, article, r, q FROM records WHERE id = 1");
         ASSERT_TRUE(a.Step());
         EXPECT_EQ(a.Text(0), "2013-06-15 14:45:30");
         EXPECT_EQ(a.Int(1), 2);
         EXPECT_EQ(a.Int(2), 5);
         EXPECT_DOUBLE_EQ(a.Real(3), 35.0);
         EXPECT_EQ(a.Int(4), 3);
         TStatement c(db.Handle(), "SELECT measured_at FROM records WHERE id = 3");
         ASSERT_TRUE(c.Step());
         EXPECT_EQ(c.Text(0), "2005-01-01 00:00:00");
         TArchive second;
         ASSERT_TRUE(store.Load(2, second));
         ASSERT_EQ(second.RecCount(), 2u);
         EXPECT_EQ(second.Slot(0)[0], 16);  // B, then C
         EXPECT_EQ(second.Slot(1)[0], 31);
       }},
      {"a damaged file is moved aside and a new one started",
       TStart::Garbage,
       {1},
       {},
       1,
       {1},
       1,
       false,
       [](TReadingStore& store, const fs::path& file) {
         const auto aside = store.TakeMovedAside();
         ASSERT_TRUE(aside);
         EXPECT_EQ(aside->parent_path(), file.parent_path());
         EXPECT_NE(aside->filename().string().find("readings.sqlite3.damaged-"), std::string::npos);
         std::ifstream in(*aside);
         std::string text;
         std::getline(in, text);
         EXPECT_EQ(text, "not a database");
         EXPECT_FALSE(store.TakeMovedAside());  // told once
       }},
      {"a read-only file keeps what it had",
       TStart::ReadOnly,
       {4},
       TStoreFault::ReadOnly,
       0,
       {3},
       3},
      {"a full disk keeps what it had",
       TStart::FullDisk,
       Range(1, 65535),
       TStoreFault::DiskFull,
       0,
       {3},
       3},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    const fs::path folder = root_ / "data";
    fs::remove_all(folder);
    std::optional<TSmallDisk> disk;
    if (c.start == TStart::ReadOnly || c.start == TStart::FullDisk) {
      disk.emplace(folder, "1M");
      if (!disk->Mounted()) {
        std::cout << "skipped \"" << c.name << "\": no file system of our own can be mounted\n";
        continue;
      }
    }
    fs::create_directories(folder);
    ::chmod(folder.c_str(), 0700);
    const fs::path file = folder / "readings.sqlite3";
    std::map<std::int64_t, TArchive> kept;
    if (c.start == TStart::Version1) {
      std::ifstream in(fs::path(Q2E_FIXTURES) / "readings_v1.sql");
      std::stringstream sql;
      sql << in.rdbuf();
      TSqliteDb(file, true).Exec(sql.str());
    }
    if (c.start == TStart::Garbage)
      std::ofstream(file) << "not a database\n" << std::string(5000, 'x');
    if (c.start == TStart::Earlier || c.start == TStart::ReadOnly || c.start == TStart::FullDisk) {
      TReadingStore before(file);
      kept[before.Store(InfoAt(0), ArchiveOf({1, 2, 3})).Id] = ArchiveOf({1, 2, 3});
    }
    if (c.start == TStart::ReadOnly) {
      ASSERT_TRUE(disk->SetReadOnly(true));
    }

    const TArchive archive = ArchiveOf(c.records);
    try {
      TReadingStore store(file);
      const auto stored = store.Store(InfoAt(30), archive);
      EXPECT_FALSE(c.fault) << "stored";
      EXPECT_EQ(stored.NewRecords, c.newRecords);
      kept[stored.Id] = archive;
      if (c.deleteAfter) {
        EXPECT_TRUE(store.Delete(stored.Id));
        EXPECT_FALSE(store.Delete(stored.Id));
        kept.erase(stored.Id);
      }
      if (c.check) c.check(store, file);
    } catch (const EStoreError& e) {
      ASSERT_TRUE(c.fault) << e.what();
      EXPECT_EQ(static_cast<int>(e.Fault), static_cast<int>(*c.fault)) << e.what();
    }

    if (disk) {
      ASSERT_TRUE(disk->SetReadOnly(false));
    }
    EXPECT_EQ(IntegrityOf(file), "ok");
    EXPECT_EQ(Count(file, "SELECT count(*) FROM records"), c.recordRows);
    TReadingStore after(file);
    std::vector<std::uint32_t> sizes;
    for (const TReadingRow& row : after.List()) sizes.push_back(row.Records);
    EXPECT_EQ(sizes, c.sizes);
    for (const auto& [id, records] : kept) {
      TArchive loaded;
      const auto info = after.Load(id, loaded);
      ASSERT_TRUE(info) << id;
      EXPECT_TRUE(SameRecords(loaded, records)) << id;
      EXPECT_EQ(info->Vendor, "FTDI");
      EXPECT_EQ(info->DeviceValue7, 9);
    }
    TArchive untouched = ArchiveOf({9});
    EXPECT_FALSE(after.Load(999, untouched));
    EXPECT_EQ(untouched.RecCount(), 1u);
  }
}

// A reading of its own records and a share of the earlier ones, so that some are new and some
// are not.
TArchive CrashArchive(std::mt19937& rng, unsigned reading) {
  std::vector<unsigned> numbers;
  const unsigned count = 200 + rng() % 3000;
  for (unsigned i = 0; i < count; ++i)
    numbers.push_back(rng() % 2 ? 1 + rng() % 5000 : 10000 + reading * 4000 + i);
  return ArchiveOf(numbers);
}

TEST_F(StoreTest, KilledWhileStoringLeavesEveryReadingWholeOrAbsent) {
  const fs::path file = root_ / "readings.sqlite3";
  std::mt19937 rng(2026);
  std::int64_t before = 0;
  TReadingStore{file};  // the tables exist: every round can count
  for (int round = 0; round < 50; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const unsigned seed = rng();
    // The child says when it has stored a reading: every other round is killed only after one,
    // however slowly this build stores, and then at any moment of the next.
    int stored[2];
    ASSERT_EQ(pipe(stored), 0);
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      close(stored[0]);
      std::mt19937 own(seed);
      TReadingStore store(file);
      for (unsigned n = 0;; ++n) {
        store.Store(InfoAt(static_cast<int>(n)), CrashArchive(own, n));
        if (write(stored[1], "s", 1) != 1) _exit(1);
      }
    }
    close(stored[1]);
    char told = 0;
    const bool waited = round % 2 == 0 || read(stored[0], &told, 1) == 1;
    std::this_thread::sleep_for(std::chrono::milliseconds(rng() % 120));
    kill(child, SIGKILL);
    close(stored[0]);
    int status = 0;
    waitpid(child, &status, 0);
    ASSERT_TRUE(WIFSIGNALED(status)) << "the child ended on its own";
    ASSERT_TRUE(waited) << "the child stored nothing";
    ASSERT_EQ(IntegrityOf(file), "ok");
    // Every reading holds exactly its records, in positions 1..n.
    EXPECT_EQ(Count(file,
                    "SELECT count(*) FROM readings r WHERE record_count != (SELECT count(*) FROM "
                    "reading_records rr WHERE rr.reading_id = r.id) OR record_count != "
                    "coalesce((SELECT max(position) FROM reading_records rr WHERE "
                    "rr.reading_id = r.id), 0) OR new_records > record_count"),
              0);
    EXPECT_EQ(Count(file,
                    "SELECT count(*) FROM reading_records rr WHERE NOT EXISTS (SELECT 1 FROM "
                    "records r WHERE r.id = rr.record_id) OR NOT EXISTS (SELECT 1 FROM readings "
                    "g WHERE g.id = rr.reading_id)"),
              0);
    const std::int64_t now = Count(file, "SELECT count(*) FROM readings");
    EXPECT_GE(now, before);  // nothing kept is lost
    before = now;
  }
  EXPECT_GT(before, 0);
}

TEST_F(StoreTest, TwoProgramsStoreIntoOneFileAtOnce) {
  const fs::path file = root_ / "readings.sqlite3";
  TReadingStore parent(file);
  const pid_t child = fork();
  ASSERT_GE(child, 0);
  if (child == 0) {
    int code = 0;
    try {
      TReadingStore store(file);
      for (unsigned n = 0; n < 10; ++n) store.Store(InfoAt(1), ArchiveOf(Range(1 + n * 100, 3000)));
    } catch (...) {
      code = 1;
    }
    _exit(code);
  }
  for (unsigned n = 0; n < 10; ++n) {
    parent.Store(InfoAt(2), ArchiveOf(Range(50 + n * 100, 3000)));
    parent.List();
  }
  int status = 0;
  waitpid(child, &status, 0);
  ASSERT_TRUE(WIFEXITED(status));
  EXPECT_EQ(WEXITSTATUS(status), 0);
  const auto rows = parent.List();
  ASSERT_EQ(rows.size(), 20u);
  for (const TReadingRow& row : rows) {
    TArchive loaded;
    ASSERT_TRUE(parent.Load(row.Id, loaded));
    EXPECT_EQ(loaded.RecCount(), 3000u);
  }
  // Records 1..3049 and 50..3949 by tens of steps: each kept once.
  EXPECT_EQ(Count(file, "SELECT count(*) FROM records"), 3000 + 900 + 49);
}

}  // namespace
