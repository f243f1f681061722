#include "platform/files/atomic_file.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>

#include "base/exceptions.h"

namespace fs = std::filesystem;

namespace {
std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::stringstream ss;
  ss << in.rdbuf();
  return ss.str();
}
}  // namespace

TEST(AtomicFile, ReplacesOnlyOnCommitAndLeavesNoTemporaryBehind) {
  const fs::path dir =
      fs::temp_directory_path() /
      ("q2e_atomic_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()));
  fs::remove_all(dir);
  fs::create_directories(dir);
  const fs::path target = dir / "report.txt";
  std::ofstream(target) << "old";
  {
    TAtomicFile f(target);
    f.Write(std::string(3 << 20, 'x'));  // larger than the internal buffer
    EXPECT_EQ(ReadAll(target), "old");
  }  // abandoned
  EXPECT_EQ(ReadAll(target), "old");
  {
    TAtomicFile f(target);
    f.Write("new\r\n");
    f.Commit();
  }
  EXPECT_EQ(ReadAll(target), "new\r\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(dir), fs::directory_iterator()), 1);
  EXPECT_THROW(TAtomicFile(dir / "missing" / "x.txt"), EOSError);
  fs::remove_all(dir);
}
