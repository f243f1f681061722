// The settings store's file against what may stand in its place, and its parse-once cache.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <functional>
#include <future>

#include "platform/settings/registry.h"

namespace fs = std::filesystem;

namespace {

class FileStore : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("q2e_store_" + std::to_string(getpid()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

const char* kSettingsKey = "\\Software\\VORNEX\\Quarrow2Excel\\1.0";

}  // namespace

// What may stand where a hive belongs. None of it may hang the reader or be read without bound;
// all but a good hive read as an empty store, and a damaged file is kept aside, not overwritten.
TEST_F(FileStore, AnythingButASmallGoodHiveReadsEmptyAtOnce) {
  const fs::path hive = dir_ / "current_user.reg";
  const std::string good = "Q2EREG 1\nK 41\nV 3 556e6974 02000000\n";  // A: Unit = 2
  enum TWrite { kReplaces, kFails, kEither };
  struct Case {
    const char* name;
    std::function<void()> make;
    bool readable;
    TWrite write;
    bool keptAside = false;
  };
  const Case cases[] = {
      // A file of another kind is never replaced by a write, as no file writer here replaces one.
      {"fifo", [&] { ASSERT_EQ(mkfifo(hive.c_str(), 0600), 0); }, false, kFails},
      {"link to /dev/zero", [&] { fs::create_symlink("/dev/zero", hive); }, false, kEither},
      {"folder", [&] { fs::create_directory(hive); }, false, kFails},
      {"oversize",
       [&] {
         // Well formed, but larger than any store of ours.
         std::ofstream(hive) << good << "V 4 42 " << std::string(3 << 20, 'a') << "\n";
       },
       false, kReplaces, true},
      {"200 MB",
       [&] {
         { std::ofstream out(hive); }
         fs::resize_file(hive, 200 << 20);
       },
       false, kReplaces, true},
      {"damaged", [&] { std::ofstream(hive) << "Q2EREG 1\nV 4 556e6974 02000000\n"; }, false,
       kReplaces, true},
      {"random bytes", [&] { std::ofstream(hive) << "\x8f\x02\xd1\x7e\xff\x13"; }, false, kReplaces,
       true},
      {"good", [&] { std::ofstream(hive) << good; }, true, kReplaces},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    fs::remove_all(dir_);
    fs::create_directories(dir_);
    c.make();
    const auto before = fs::is_regular_file(hive) ? fs::file_size(hive) : 0;
    fs::path keptAs;
    auto read = std::async(std::launch::async, [&] {
      auto reg = CreateFileRegistry(dir_);
      const bool readable = reg->OpenKey("\\A", false) && reg->ReadInteger("unit") == 2;
      keptAs = reg->DamagedStoreKeptAs();
      return readable;
    });
    if (read.wait_for(std::chrono::seconds(2)) != std::future_status::ready) {
      ADD_FAILURE() << "the read still runs after 2 s";
      // Free a reader caught in the FIFO's open so the test can end.
      const int fd = open(hive.c_str(), O_WRONLY | O_NONBLOCK);
      if (fd >= 0) close(fd);
    }
    EXPECT_EQ(read.get(), c.readable);
    std::vector<fs::path> aside;
    for (const auto& e : fs::directory_iterator(dir_))
      if (e.path().filename().string().rfind("current_user.reg.damaged-", 0) == 0)
        aside.push_back(e.path());
    ASSERT_EQ(aside.size(), c.keptAside ? 1u : 0u);
    EXPECT_EQ(keptAs, c.keptAside ? aside[0] : fs::path());
    if (c.keptAside) {
      EXPECT_EQ(fs::file_size(aside[0]), before);  // whole, as it was
    }

    auto reg = CreateFileRegistry(dir_);
    const bool written = reg->OpenKey(kSettingsKey, true);
    if (written) reg->WriteInteger("Unit", 3);
    if (c.write == kEither) continue;
    EXPECT_EQ(written, c.write == kReplaces);
    if (!written) continue;
    EXPECT_TRUE(fs::is_regular_file(fs::symlink_status(hive)));
    auto again = CreateFileRegistry(dir_);
    ASSERT_TRUE(again->OpenKey(kSettingsKey, false));
    EXPECT_EQ(again->ReadInteger("Unit"), 3);
    EXPECT_EQ(again->KeyExists("\\A"), c.readable);  // what was good stays
  }
}

TEST_F(FileStore, ParsesTheHiveOnceAndAgainOnlyWhenItIsReplaced) {
  auto writer = CreateFileRegistry(dir_);
  ASSERT_TRUE(writer->OpenKey(kSettingsKey, true));
  writer->WriteInteger("Unit", 2);
  writer->WriteBinaryData("Bulk", std::vector<std::uint8_t>(400000, 0x5A));  // 800 KB of text
  auto reader = CreateFileRegistry(dir_);
  ASSERT_TRUE(reader->OpenKey(kSettingsKey, false));
  // Parsing the hive takes milliseconds: at every access these reads would take many seconds.
  const auto t0 = std::chrono::steady_clock::now();
  for (int i = 0; i < 3000; ++i) ASSERT_EQ(reader->ReadInteger("Unit"), 2);
  EXPECT_LT(std::chrono::steady_clock::now() - t0, std::chrono::seconds(1));
  // Another accessor's write replaces the file: the reader sees it.
  writer->WriteInteger("Unit", 5);
  EXPECT_EQ(reader->ReadInteger("Unit"), 5);
  // And a write of the reader keeps what the other wrote.
  writer->WriteString("DefPath", "/lab");
  reader->WriteInteger("Singles", 0);
  auto third = CreateFileRegistry(dir_);
  ASSERT_TRUE(third->OpenKey(kSettingsKey, false));
  EXPECT_EQ(third->ReadString("DefPath"), "/lab");
  EXPECT_EQ(third->ReadInteger("Singles"), 0);
  // A value that would make the hive too large to read back is refused; the rest stays.
  EXPECT_THROW(writer->WriteBinaryData("Huge", std::vector<std::uint8_t>(1 << 20)),
               ERegistryException);
  EXPECT_FALSE(third->ValueExists("Huge"));
  EXPECT_EQ(third->ReadInteger("Unit"), 5);
}
