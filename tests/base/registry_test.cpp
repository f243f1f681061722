#include "platform/settings/registry.h"

#include <gtest/gtest.h>

#include <fstream>

namespace fs = std::filesystem;

namespace {

class FileRegistry : public ::testing::Test {
 protected:
  void SetUp() override {
    dir_ = fs::temp_directory_path() /
           ("q2e_reg_" + std::to_string(::testing::UnitTest::GetInstance()->random_seed()) + "_" +
            ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir_);
  }
  void TearDown() override { fs::remove_all(dir_); }
  fs::path dir_;
};

const char* kKey = "\\Software\\VORNEX\\Quarrow2Excel\\1.0";

}  // namespace

TEST_F(FileRegistry, KeepsTypedValuesAcrossAccessorsAndIgnoresCase) {
  {
    auto reg = CreateFileRegistry(dir_);
    reg->SetRootKey(TRootKey::CurrentUser);
    EXPECT_FALSE(reg->OpenKey(kKey, false));
    ASSERT_TRUE(reg->OpenKey(kKey, true));
    reg->WriteInteger("Unit", -2);
    reg->WriteBool("Singles", true);
    reg->WriteString("DefPath", "/home/lab/Отчёты");
    reg->WriteBinaryData("Config", std::vector<std::uint8_t>(49, 0xA5));
  }
  auto reg = CreateFileRegistry(dir_);
  reg->SetRootKey(TRootKey::CurrentUser);
  EXPECT_TRUE(reg->KeyExists("\\software\\vornex"));
  ASSERT_TRUE(reg->OpenKey("\\SOFTWARE\\vornex\\quarrow2excel\\1.0", false));
  EXPECT_EQ(reg->ReadInteger("unit"), -2);
  EXPECT_TRUE(reg->ReadBool("SINGLES"));
  EXPECT_EQ(reg->ReadString("DefPath"), "/home/lab/Отчёты");
  EXPECT_EQ(reg->GetDataType("DefPath"), TRegDataType::rdString);
  EXPECT_EQ(reg->GetDataSize("Config"), 49);
  EXPECT_EQ(reg->ReadBinaryData("Config"), std::vector<std::uint8_t>(49, 0xA5));
  EXPECT_THROW(reg->ReadInteger("DefPath"), ERegistryException);  // another type
  EXPECT_THROW(reg->ReadInteger("Missing"), ERegistryException);
  EXPECT_EQ(reg->GetDataSize("Missing"), -1);
  // The other root is a hive of its own.
  reg->SetRootKey(TRootKey::LocalMachine);
  EXPECT_FALSE(reg->KeyExists(kKey));
}

TEST_F(FileRegistry, DamagedHiveReadsEmptyAndIsReplacedByTheNextWrite) {
  fs::create_directories(dir_);
  for (const char* damage : {"garbage", "Q2EREG 1\nV 3 zz 00\n", "Q2EREG 1\nK 41\nV 9 41 00\n"}) {
    for (const auto& e : fs::directory_iterator(dir_)) std::ofstream(e.path()) << damage;
    std::ofstream(dir_ / "current_user.reg") << damage;
    auto reg = CreateFileRegistry(dir_);
    reg->SetRootKey(TRootKey::CurrentUser);
    EXPECT_FALSE(reg->KeyExists("\\A")) << damage;
    ASSERT_TRUE(reg->OpenKey(kKey, true));
    reg->WriteInteger("Unit", 3);
    EXPECT_EQ(CreateFileRegistry(dir_)->OpenKey(kKey, false), true);
    EXPECT_EQ(reg->ReadInteger("Unit"), 3);
  }
}

TEST_F(FileRegistry, RelativeKeysOpenBelowTheOpenKey) {
  auto reg = CreateFileRegistry(dir_);
  ASSERT_TRUE(reg->OpenKey("\\Software", true));
  ASSERT_TRUE(reg->OpenKey("VORNEX\\Sub", true));
  reg->WriteString("Name", "x");
  EXPECT_TRUE(reg->KeyExists("\\Software\\VORNEX\\Sub"));
  reg->CloseKey();
  EXPECT_FALSE(reg->ValueExists("Name"));
  EXPECT_THROW(reg->WriteString("Name", "y"), ERegistryException);  // no key open
}

TEST(MemoryRegistry, AccessorsShareValuesPerRootKey) {
  {
    auto reg = CreateMemoryRegistry();
    reg->SetRootKey(TRootKey::CurrentUser);
    ASSERT_TRUE(reg->OpenKey("\\Software\\Q2ETest", true));
    reg->WriteInteger("Unit", 3);
    reg->WriteString("DefPath", "/lab");
  }
  auto reg = CreateMemoryRegistry();
  reg->SetRootKey(TRootKey::LocalMachine);
  EXPECT_FALSE(reg->KeyExists("\\Software\\Q2ETest"));
  reg->SetRootKey(TRootKey::CurrentUser);
  ASSERT_TRUE(reg->OpenKey("\\software\\q2etest", false));
  EXPECT_EQ(reg->ReadInteger("unit"), 3);
  EXPECT_EQ(reg->ReadString("DefPath"), "/lab");
  EXPECT_THROW(reg->ReadInteger("DefPath"), ERegistryException);
}
