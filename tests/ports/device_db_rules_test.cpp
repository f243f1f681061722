// The text rules of the Windows device database, on every system.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/device_db_win32.h"

namespace {

struct MapValue {
  const char* name;
  std::string data;
  bool added;
};

TEST(PortMapRules, ValuesAreCheckedTrimmedAndOrderedByNumber) {
  const MapValue values[] = {
      {"\\Device\\Serial9", "COM10", true}, {"\\Device\\Serial1", " com2\t", true},
      {"\\Device\\VCP0", "COM2", false},  // the map has COM2 already
      {"\\Device\\Odd", "COMx", false},     {"\\Device\\Bare", "COM", false},
      {"\\Device\\Printer", "LPT1", false}, {"\\Device\\Zeroed", std::string("COM3\0\0", 6), true},
      {"\\Device\\Big", "COM256", true},    {"\\Device\\Neg", "COM-1", true},
  };
  std::vector<TsrPortMapEntry> map;
  for (const auto& v : values) {
    SCOPED_TRACE(v.name);
    EXPECT_EQ(AddSerialCommValue(map, v.name, v.data), v.added);
  }
  const std::vector<std::pair<std::string, std::int32_t>> expected = {
      {"COM-1", -1}, {"COM2", 2}, {"COM3", 3}, {"COM10", 10}, {"COM256", 256}};
  ASSERT_EQ(map.size(), expected.size());
  for (std::size_t i = 0; i < map.size(); ++i) {
    EXPECT_EQ(map[i].Port, expected[i].first);
    EXPECT_EQ(map[i].Number, expected[i].second);
  }
  EXPECT_EQ(map[1].Value, "\\Device\\Serial1");
}

TEST(PortMapRules, WideNames) {
  EXPECT_EQ(WideName("SetupDiGetClassDevsA"), "SetupDiGetClassDevsW");
  EXPECT_EQ(WideName("CM_Get_Device_ID_ListA"), "CM_Get_Device_ID_ListW");
  EXPECT_EQ(WideName(""), "");
}

struct KeyCase {
  const char* kernel;
  TKeyRoot root;
  const char* path;
};

TEST(PortMapRules, KernelKeyPathsSplitIntoRootAndPath) {
  const KeyCase cases[] = {
      {"\\REGISTRY\\MACHINE\\SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\A\\0000\\Device Parameters",
       TKeyRoot::LocalMachine, "SYSTEM\\ControlSet001\\Enum\\FTDIBUS\\A\\0000\\Device Parameters"},
      {"\\Registry\\Machine\\HARDWARE", TKeyRoot::LocalMachine, "HARDWARE"},
      {"\\REGISTRY\\USER\\S-1-5-21-7-1001\\Software\\VORNEX", TKeyRoot::CurrentUser,
       "Software\\VORNEX"},
      {"\\REGISTRY\\USER\\S-1-5-21-7-1001", TKeyRoot::CurrentUser, ""},
      {"\\Device\\Serial0", TKeyRoot::None, "\\Device\\Serial0"},
      {"", TKeyRoot::None, ""},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.kernel);
    const TKeyPath p = SplitKernelKeyPath(c.kernel);
    EXPECT_EQ(p.Root, c.root);
    EXPECT_EQ(p.Path, c.path);
  }
}

struct MultiSzCase {
  std::string buffer;
  const char* joined;
};

TEST(PortMapRules, MultiStringsJoin) {
  const MultiSzCase cases[] = {
      {std::string("USB\\A\0USB\\B\0\0", 13), "USB\\A;USB\\B"},
      {std::string("ONE\0\0", 5), "ONE"},
      {std::string("\0", 1), ""},
      {std::string("A\0\0B\0\0", 6), "A;;B"},  // an empty string in the middle keeps its place
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.joined);
    EXPECT_EQ(JoinMultiSz<char>(c.buffer.data(), c.buffer.size(), ";"), c.joined);
  }
  const char16_t wide[] = u"X\0Y\0";  // with the literal's own zero: two ends
  EXPECT_EQ(JoinMultiSz<char16_t>(wide, 5, u" | "), u"X | Y");
}

TEST(PortMapRules, GuidsAreWrittenAsTheRegistryWritesThem) {
  const std::uint8_t ports[8] = {0xBF, 0xC1, 0x08, 0x00, 0x2B, 0xE1, 0x03, 0x18};
  EXPECT_EQ(GuidText(0x4D36E978, 0xE325, 0x11CE, ports), "{4D36E978-E325-11CE-BFC1-08002BE10318}");
  const std::uint8_t low[8] = {0, 1, 2, 3, 4, 5, 6, 7};
  EXPECT_EQ(GuidText(0xA, 0xB, 0xC, low), "{0000000A-000B-000C-0001-020304050607}");
}

}  // namespace
