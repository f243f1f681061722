// TRegistry on the Windows registry itself: what it writes is checked with advapi32 directly.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "platform/settings/registry.h"

namespace {

// A key of its own below HKCU\Software\VORNEX, removed afterwards.
class Win32Registry : public ::testing::Test {
 protected:
  void SetUp() override {
    name_ = "Q2ETest" + std::to_string(GetCurrentProcessId());
    path_ = "\\Software\\VORNEX\\" + name_;
    wpath_ = L"Software\\VORNEX\\" + std::wstring(name_.begin(), name_.end());
    RegDeleteTreeW(HKEY_CURRENT_USER, wpath_.c_str());
  }
  void TearDown() override { RegDeleteTreeW(HKEY_CURRENT_USER, wpath_.c_str()); }

  // The raw value as the system holds it.
  bool Raw(const wchar_t* value, DWORD& type, std::vector<BYTE>& data) {
    DWORD size = 0;
    if (RegGetValueW(HKEY_CURRENT_USER, wpath_.c_str(), value, RRF_RT_ANY | RRF_NOEXPAND, &type,
                     nullptr, &size) != ERROR_SUCCESS)
      return false;
    data.resize(size);
    return RegGetValueW(HKEY_CURRENT_USER, wpath_.c_str(), value, RRF_RT_ANY | RRF_NOEXPAND, &type,
                        data.data(), &size) == ERROR_SUCCESS;
  }

  std::string name_, path_;
  std::wstring wpath_;
};

TEST_F(Win32Registry, WritesTheSystemsTypesAndReadsThemBack) {
  auto reg = CreateRegistry();
  reg->SetRootKey(TRootKey::CurrentUser);
  EXPECT_FALSE(reg->KeyExists(path_));
  EXPECT_FALSE(reg->OpenKey(path_, false));
  ASSERT_TRUE(reg->OpenKey(path_, true));
  EXPECT_TRUE(reg->KeyExists(path_));

  reg->WriteInteger("Unit", -2);
  reg->WriteBool("Singles", true);
  reg->WriteString("DefPath", "C:\\Users\\Prüfer\\Документы");
  reg->WriteBinaryData("Config", {0, 1, 2, 0xFE, 0xFF});

  DWORD type = 0;
  std::vector<BYTE> data;
  ASSERT_TRUE(Raw(L"Unit", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_DWORD));
  EXPECT_EQ(data, (std::vector<BYTE>{0xFE, 0xFF, 0xFF, 0xFF}));
  ASSERT_TRUE(Raw(L"DefPath", type, data));
  EXPECT_EQ(type, static_cast<DWORD>(REG_SZ));
  const std::wstring expected =
      L"C:\\Users\\Pr\u00FCfer\\\u0414\u043E\u043A\u0443\u043C\u0435\u043D\u0442\u044B";
  ASSERT_EQ(data.size(), (expected.size() + 1) * sizeof(wchar_t));  // with its zero
  EXPECT_EQ(std::wstring(reinterpret_cast<const wchar_t*>(data.data())), expected);

  // A second accessor, as the next run of the program, finds them all again.
  auto again = CreateRegistry();
  again->SetRootKey(TRootKey::CurrentUser);
  ASSERT_TRUE(again->OpenKeyReadOnly(path_));
  EXPECT_EQ(again->ReadInteger("unit"), -2);  // names ignore case
  EXPECT_TRUE(again->ReadBool("Singles"));
  EXPECT_EQ(again->ReadString("DefPath"), "C:\\Users\\Prüfer\\Документы");
  EXPECT_EQ(again->ReadBinaryData("Config"), (std::vector<std::uint8_t>{0, 1, 2, 0xFE, 0xFF}));
  EXPECT_EQ(again->GetDataSize("Config"), 5);
  EXPECT_EQ(again->GetDataSize("Missing"), -1);
  EXPECT_THROW(again->WriteInteger("Unit", 1), ERegistryException);  // opened read-only
}

struct TypeCase {
  const char* value;
  TRegDataType type;
  bool integerReads, stringReads, binaryReads;
};

TEST_F(Win32Registry, DataTypesAndMistypedReads) {
  auto reg = CreateRegistry();
  reg->SetRootKey(TRootKey::CurrentUser);
  ASSERT_TRUE(reg->OpenKey(path_, true));
  reg->WriteInteger("Int", 7);
  reg->WriteString("Str", "seven");
  reg->WriteBinaryData("Bin", {7});
  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, wpath_.c_str(), 0, KEY_SET_VALUE, &key),
            ERROR_SUCCESS);
  const wchar_t expand[] = L"%TEMP%\\q2e";
  RegSetValueExW(key, L"Exp", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE*>(expand),
                 sizeof expand);
  const ULONGLONG big = 7;
  RegSetValueExW(key, L"Q", 0, REG_QWORD, reinterpret_cast<const BYTE*>(&big), sizeof big);
  RegCloseKey(key);

  const TypeCase cases[] = {
      {"Int", TRegDataType::rdInteger, true, false, false},
      {"Str", TRegDataType::rdString, false, true, false},
      {"Exp", TRegDataType::rdExpandString, false, true, false},
      {"Bin", TRegDataType::rdBinary, false, false, true},
      {"Q", TRegDataType::rdUnknown, false, false, false},
      {"Missing", TRegDataType::rdUnknown, false, true, false},  // a missing string reads empty
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.value);
    EXPECT_EQ(reg->GetDataType(c.value), c.type);
    EXPECT_EQ(reg->ValueExists(c.value), std::string(c.value) != "Missing");
    if (c.integerReads)
      EXPECT_EQ(reg->ReadInteger(c.value), 7);
    else
      EXPECT_THROW(reg->ReadInteger(c.value), ERegistryException);
    if (c.stringReads)
      EXPECT_NO_THROW(reg->ReadString(c.value));
    else
      EXPECT_THROW(reg->ReadString(c.value), ERegistryException);
    if (c.binaryReads)
      EXPECT_EQ(reg->ReadBinaryData(c.value), std::vector<std::uint8_t>{7});
    else
      EXPECT_THROW(reg->ReadBinaryData(c.value), ERegistryException);
  }
  EXPECT_EQ(reg->ReadString("Exp"), "%TEMP%\\q2e");  // left unexpanded, as stored
  EXPECT_EQ(reg->ReadString("Missing"), "");
}

TEST_F(Win32Registry, RelativeKeysOpenBelowTheOpenKeyAndClosingForgetsIt) {
  auto reg = CreateRegistry();
  reg->SetRootKey(TRootKey::CurrentUser);
  ASSERT_TRUE(reg->OpenKey(path_, true));
  EXPECT_TRUE(reg->CreateKey("Child\\Grandchild"));
  ASSERT_TRUE(reg->OpenKey("Child", false));
  reg->WriteInteger("Depth", 1);
  EXPECT_TRUE(reg->KeyExists("Grandchild"));
  EXPECT_TRUE(reg->KeyExists(path_ + "\\child\\GRANDCHILD"));
  EXPECT_FALSE(reg->KeyExists("Nowhere"));

  HKEY key = nullptr;
  ASSERT_EQ(RegOpenKeyExW(HKEY_CURRENT_USER, (wpath_ + L"\\Child").c_str(), 0, KEY_READ, &key),
            ERROR_SUCCESS);
  DWORD depth = 0, size = sizeof depth;
  EXPECT_EQ(
      RegQueryValueExW(key, L"Depth", nullptr, nullptr, reinterpret_cast<BYTE*>(&depth), &size),
      ERROR_SUCCESS);
  RegCloseKey(key);
  EXPECT_EQ(depth, 1u);

  reg->CloseKey();
  EXPECT_FALSE(reg->ValueExists("Depth"));
  EXPECT_THROW(reg->WriteInteger("Depth", 2), ERegistryException);
}

}  // namespace
