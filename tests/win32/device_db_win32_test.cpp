// The Windows device database on the system's own registry and SetupAPI.
#include <windows.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "serial/device_db_win32.h"
#include "serial/srportmap.h"

namespace {

const wchar_t kSerialComm[] = L"HARDWARE\\DEVICEMAP\\SERIALCOMM";

// Test values in the port map, removed afterwards. Writing there needs an administrator (or
// Wine); without the right the test is skipped.
class Win32PortMap : public ::testing::Test {
 protected:
  void SetUp() override {
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kSerialComm, 0, KEY_SET_VALUE, &key_) != ERROR_SUCCESS)
      GTEST_SKIP() << "the port map cannot be written here";
  }
  void TearDown() override {
    if (!key_) return;
    for (const auto& name : added_) RegDeleteValueW(key_, name.c_str());
    RegCloseKey(key_);
  }
  void Add(const std::wstring& name, const std::wstring& port) {
    ASSERT_EQ(
        RegSetValueExW(key_, name.c_str(), 0, REG_SZ, reinterpret_cast<const BYTE*>(port.c_str()),
                       static_cast<DWORD>((port.size() + 1) * sizeof(wchar_t))),
        ERROR_SUCCESS);
    added_.push_back(name);
  }

  HKEY key_ = nullptr;
  std::vector<std::wstring> added_;
};

int Find(const std::vector<TsrPortMapEntry>& map, const std::string& port) {
  for (std::size_t i = 0; i < map.size(); ++i)
    if (map[i].Port == port) return static_cast<int>(i);
  return -1;
}

TEST_F(Win32PortMap, ValuesBecomeOrderedEntries) {
  Add(L"\\Device\\Q2ETest210", L"COM210");
  Add(L"\\Device\\Q2ETest22", L" com22 ");
  Add(L"\\Device\\Q2ETestDup", L"COM22");
  Add(L"\\Device\\Q2ETestBad", L"COMX");
  Add(L"\\Device\\Q2ETestLpt", L"LPT7");

  TsrWin32DeviceDatabase db;
  const auto map = db.PortMap();
  const int at22 = Find(map, "COM22"), at210 = Find(map, "COM210");
  ASSERT_GE(at22, 0);
  ASSERT_GE(at210, 0);
  EXPECT_LT(at22, at210);  // by number, not by text
  EXPECT_EQ(map[static_cast<std::size_t>(at22)].Number, 22);
  EXPECT_EQ(map[static_cast<std::size_t>(at210)].Value, "\\Device\\Q2ETest210");
  EXPECT_EQ(std::count_if(map.begin(), map.end(), [](const auto& e) { return e.Port == "COM22"; }),
            1);
  EXPECT_EQ(Find(map, "COMX"), -1);
  EXPECT_EQ(Find(map, "LPT7"), -1);
  EXPECT_TRUE(std::is_sorted(map.begin(), map.end(),
                             [](const auto& x, const auto& y) { return x.Number < y.Number; }));

  // The quick list is the map alone: numbers and names, no device information.
  TsrDeviceList list;
  DeviceListLoad(list, epQuickAll, db, nullptr);
  const int i22 = list.IndexOfPortNo(22);
  ASSERT_GE(i22, 0);
  EXPECT_LT(i22, list.IndexOfPortNo(210));
  EXPECT_EQ(list.Item(i22)->PortName, "COM22");
  EXPECT_EQ(list.Item(i22)->NamePDO, map[static_cast<std::size_t>(at22)].Value);
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.Item(i)->Service, "");
    EXPECT_EQ(list.Item(i)->Manufacturer, "");
  }
}

// Device entries as a driver's installation writes them below the registry's device
// enumeration, for a port in the map (plugged in) and for one that is not (unplugged). The
// service and manufacturer are the test's own, so no reader running beside it takes them for a
// tester's adapter.
TEST_F(Win32PortMap, DeviceEntriesGiveTheirPortsTheDeviceInformation) {
  const std::wstring base = L"SYSTEM\\CurrentControlSet\\Enum\\Q2ETESTBUS\\VID_0403+PID_6001+" +
                            std::to_wstring(GetCurrentProcessId());
  struct Entries {
    std::wstring key;
    ~Entries() { RegDeleteTreeW(HKEY_LOCAL_MACHINE, key.c_str()); }
  } entries{base};
  const auto entry = [&](const wchar_t* instance, const wchar_t* port) {
    HKEY k = nullptr, p = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, (base + L"\\" + instance).c_str(), 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    const std::pair<const wchar_t*, std::wstring> values[] = {
        {L"Class", L"Ports"},
        {L"ClassGUID", L"{4d36e978-e325-11ce-bfc1-08002be10318}"},
        {L"Service", L"Q2ETEST"},
        {L"Mfg", L"Q2E Test"},
        {L"DeviceDesc", L"Q2E Test Port"},
        {L"Driver", std::wstring(L"{4d36e978-e325-11ce-bfc1-08002be10318}\\") + instance},
    };
    for (const auto& [name, text] : values)
      RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE*>(text.c_str()),
                     static_cast<DWORD>((text.size() + 1) * sizeof(wchar_t)));
    ASSERT_EQ(RegCreateKeyExW(k, L"Device Parameters", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &p,
                              nullptr),
              ERROR_SUCCESS);
    const std::wstring name = port;
    RegSetValueExW(p, L"PortName", 0, REG_SZ, reinterpret_cast<const BYTE*>(name.c_str()),
                   static_cast<DWORD>((name.size() + 1) * sizeof(wchar_t)));
    RegCloseKey(p);
    RegCloseKey(k);
  };
  entry(L"0000", L"COM58");
  entry(L"0001", L"COM59");
  Add(L"\\Device\\Q2ETestVCP58", L"COM58");

  TsrWin32DeviceDatabase db;
  TsrDeviceList list;
  DeviceListLoad(list, epFullInfo, db, nullptr);
  const int plugged = list.IndexOfPortNo(58), unplugged = list.IndexOfPortNo(59);
  ASSERT_GE(plugged, 0);
  const TsrDevice& d = *list.Item(plugged);
  EXPECT_EQ(d.NameFriendly, "COM58 (Q2E Test Port)");
  EXPECT_EQ(d.Service, "Q2ETEST");
  EXPECT_EQ(d.Manufacturer, "Q2E Test");
  EXPECT_EQ(d.PortName, "COM58");
  EXPECT_EQ(d.NamePDO, "\\Device\\Q2ETestVCP58");
  const std::string tail =
      "\\VID_0403+PID_6001+" + std::to_string(GetCurrentProcessId()) + "\\0000\\Device Parameters";
  ASSERT_GE(d.RegKey.size(), tail.size()) << d.RegKey;
  EXPECT_TRUE(SameTextAscii(d.RegKey.substr(d.RegKey.size() - tail.size()), tail)) << d.RegKey;
  // Installed but not plugged in: listed from its hardware key's port name alone.
  ASSERT_GE(unplugged, 0);
  EXPECT_EQ(list.Item(unplugged)->PortName, "COM59");
  EXPECT_EQ(list.Item(unplugged)->NamePDO, "");
  EXPECT_EQ(list.Item(unplugged)->Service, "Q2ETEST");
  // The window's list, which the search walks: what is plugged in only.
  TsrDeviceList present;
  DeviceListLoad(present, epFullPresent, db, nullptr);
  EXPECT_GE(present.IndexOfPortNo(58), 0);
  EXPECT_LT(present.IndexOfPortNo(59), 0);
}

TEST(Win32DeviceDatabase, SetupApiBindsAndRecordsAreWellFormed) {
  ASSERT_TRUE(TsrWin32DeviceDatabase::LoadSetupApi());
  TsrWin32DeviceDatabase db;
  const auto all = db.EnumerationRecords(false);
  const auto present = db.EnumerationRecords(true);
  EXPECT_LE(present.size(), all.size());
  for (const auto& r : all) {
    SCOPED_TRACE(r.InstanceId + " " + r.Description);
    ASSERT_EQ(r.GuidClass.size(), 38u);
    EXPECT_EQ(r.GuidClass.front(), '{');
    EXPECT_EQ(r.GuidClass.back(), '}');
    EXPECT_EQ(r.RegKey.find("\\REGISTRY\\"), std::string::npos);  // below the root
  }
  // With full information every port of the map stays listed, matched or not.
  TsrDeviceList list;
  DeviceListLoad(list, epFullInfo, db, nullptr);
  for (const auto& e : db.PortMap()) EXPECT_GE(list.IndexOfPortNo(e.Number), 0) << e.Port;
}

}  // namespace
