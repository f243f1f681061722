#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "serial/srportmap.h"
#include "serial/srwin32di.h"

namespace {

class FakeDatabase : public TsrDeviceDatabase {
 public:
  std::vector<TsrPortMapEntry> map;
  std::vector<TsrDevice> records;
  int recordCalls = 0;
  bool lastPresentOnly = false;

  std::vector<TsrPortMapEntry> PortMap() override { return map; }
  std::vector<TsrDevice> EnumerationRecords(bool presentOnly) override {
    ++recordCalls;
    lastPresentOnly = presentOnly;
    return records;
  }
};

TsrDevice Record(const std::string& port, const std::string& description,
                 const std::string& service = "", const std::string& manufacturer = "") {
  TsrDevice r;
  r.PortName = port;
  r.Description = description;
  r.Service = service;
  r.Manufacturer = manufacturer;
  r.Driver = "{4d36e978}\\0001";
  r.RegKey = "SYSTEM\\Enum\\" + port;
  return r;
}

struct Row {
  std::int32_t data;
  std::string friendly, portName, service;
};

std::vector<Row> Rows(const TsrDeviceList& list) {
  std::vector<Row> rows;
  for (int i = 0; i < list.Count(); ++i) {
    const TsrDevice* d = list.Item(i);
    rows.push_back({d->Data, d->NameFriendly, d->PortName, d->Service});
  }
  return rows;
}

void ExpectConsistent(const TsrDeviceList& list, TsrBaseIO* parent) {
  for (int i = 0; i < list.Count(); ++i) {
    EXPECT_EQ(list.Item(i)->Index(), i);
    EXPECT_EQ(list.Item(i)->Parent(), parent);
    EXPECT_EQ(list.String(i), list.Item(i)->NameFriendly);
    if (i > 0) {
      EXPECT_LT(list.Item(i - 1)->Data, list.Item(i)->Data);
    }
  }
}

TsrBaseIO* const kParent = reinterpret_cast<TsrBaseIO*>(0x1000);

}  // namespace

TEST(DeviceList, LoadCases) {
  struct Case {
    const char* name;
    TsrEnumPorts mode;
    std::vector<TsrPortMapEntry> map;
    std::vector<TsrDevice> records;
    std::vector<Row> expected;
  };
  const std::vector<Case> cases = {
      {"COM10 after COM2",
       epQuickAll,
       {{"COM10", "\\Device\\VCP1", 10}, {"COM2", "\\Device\\Serial1", 2}},
       {},
       {{2, "COM2", "COM2", ""}, {10, "COM10", "COM10", ""}}},
      {"quick listing has no device information",
       epQuickAll,
       {{"COM3", "\\Device\\VCP0", 3}},
       {Record("COM3", "USB Serial Port", "FTSER2K", "FTDI")},
       {{3, "COM3", "COM3", ""}}},
      {"matched by port name without regard to case, and by description",
       epFullInfo,
       {{"COM3", "\\Device\\VCP0", 3}, {"COM5", "\\Device\\Modem0", 5}},
       {Record("", "Bluetooth link (COM5)", "BTHMODEM"),
        Record("com3", "USB Serial Port", "FTSER2K", "FTDI")},
       {{3, "COM3 (USB Serial Port)", "com3", "FTSER2K"},
        {5, "COM5 (Bluetooth link (COM5))", "COM5", "BTHMODEM"}}},
      {"names without COM get 4097, 4098; leftover COMn its number; LPT and nameless skipped",
       epFullInfo,
       {{"COM1", "\\Device\\Serial0", 1}},
       {Record("CNCA0", "com0com pair"), Record("LPT1", "Printer port"), Record("", "Nothing"),
        Record("COM7", "Unplugged adapter", "silabser"), Record(" CNCB0 ", "")},
       {{1, "COM1", "COM1", ""},
        {7, "COM7 (Unplugged adapter)", "COM7", "silabser"},
        {4097, "CNCA0 (com0com pair)", "CNCA0", ""},
        {4098, " CNCB0 ", "CNCB0", ""}}},
      {"duplicates dropped: the first port with a number stays",
       epFullInfo,
       {{"COM3", "\\Device\\A", 3},
        {"COM3", "\\Device\\A", 3},
        {"COM4", "\\Device\\B", 4},
        {"COM4", "\\Device\\C", 4}},
       {Record("COM3", "First"), Record("COM3", "Second")},
       {{3, "COM3 (First)", "COM3", ""}, {4, "COM4", "COM4", ""}}},
      {"present only: an unmatched port of the map is dropped",
       epFullPresent,
       {{"COM1", "\\Device\\Serial0", 1}, {"COM3", "\\Device\\VCP0", 3}, {"COM9", "", 9}},
       {Record("COM3", "USB Serial Port", "FTSER2K")},
       {{3, "COM3 (USB Serial Port)", "COM3", "FTSER2K"}}},
      {"present only, earlier ports used up the records: later unmatched ones still dropped",
       epFullPresent,
       {{"COM3", "\\Device\\VCP0", 3}, {"COM4", "\\Device\\Serial0", 4}},
       {Record("COM3", "USB Serial Port", "FTSER2K")},
       {{3, "COM3 (USB Serial Port)", "COM3", "FTSER2K"}}},
      {"present only: a COM port missing from the map is an adapter no longer plugged in",
       epFullPresent,
       {{"COM3", "\\Device\\VCP0", 3}},
       {Record("COM3", "USB Serial Port", "FTSER2K"), Record("COM7", "Ghost", "FTSER2K"),
        Record("CNCA0", "com0com pair")},
       {{3, "COM3 (USB Serial Port)", "COM3", "FTSER2K"},
        {4097, "CNCA0 (com0com pair)", "CNCA0", ""}}},
      {"present only without any map: a named COM port stands for itself",
       epFullPresent,
       {},
       {Record("COM20", "port given on the command line", "FTSER2K")},
       {{20, "COM20 (port given on the command line)", "COM20", "FTSER2K"}}},
      {"present only without any record keeps the map's ports bare",
       epFullPresent,
       {{"COM1", "\\Device\\Serial0", 1}, {"COM3", "\\Device\\VCP0", 3}},
       {},
       {{1, "COM1", "COM1", ""}, {3, "COM3", "COM3", ""}}},
      {"full info keeps unmatched ports",
       epFullInfo,
       {{"COM1", "\\Device\\Serial0", 1}, {"COM3", "\\Device\\VCP0", 3}},
       {Record("COM3", "USB Serial Port", "FTSER2K")},
       {{1, "COM1", "COM1", ""}, {3, "COM3 (USB Serial Port)", "COM3", "FTSER2K"}}},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    FakeDatabase db;
    db.map = c.map;
    db.records = c.records;
    TsrDeviceList list;
    DeviceListLoad(list, c.mode, db, kParent);
    EXPECT_EQ(db.recordCalls, c.mode == epQuickAll ? 0 : 1);
    if (db.recordCalls) {
      EXPECT_EQ(db.lastPresentOnly, c.mode == epFullPresent);
    }
    const std::vector<Row> rows = Rows(list);
    ASSERT_EQ(rows.size(), c.expected.size());
    for (std::size_t i = 0; i < rows.size(); ++i) {
      SCOPED_TRACE(i);
      EXPECT_EQ(rows[i].data, c.expected[i].data);
      EXPECT_EQ(rows[i].friendly, c.expected[i].friendly);
      EXPECT_EQ(rows[i].portName, c.expected[i].portName);
      EXPECT_EQ(rows[i].service, c.expected[i].service);
    }
    ExpectConsistent(list, kParent);
  }
}

TEST(DeviceList, MatchedDeviceCarriesRecordFields) {
  FakeDatabase db;
  db.map = {{"COM3", "\\Device\\VCP0", 3}};
  TsrDevice r = Record("COM3", "USB Serial Port", "FTSER2K", "FTDI");
  r.InstanceId = "FTDIBUS\\VID_0403+PID_6001+A1\\0000";
  r.NameSymbolic = "\\??\\FTDIBUS#VID_0403";
  db.records = {r};
  TsrDeviceList list;
  DeviceListLoad(list, epFullInfo, db, kParent);
  ASSERT_EQ(list.Count(), 1);
  const TsrDevice& d = *list.Item(0);
  EXPECT_EQ(d.NameDeviceDos, "COM3");
  EXPECT_EQ(d.NamePDO, "\\Device\\VCP0");
  EXPECT_EQ(d.PortName, "COM3");
  EXPECT_EQ(d.Manufacturer, "FTDI");
  EXPECT_EQ(d.Driver, r.Driver);
  EXPECT_EQ(d.RegKey, r.RegKey);
  // Enumeration-only fields stay behind.
  EXPECT_TRUE(d.InstanceId.empty());
  EXPECT_TRUE(d.NameSymbolic.empty());
}

TEST(DeviceList, InsertKeepsOrderAndPositions) {
  TsrDeviceList list;
  auto make = [](std::int32_t data) {
    auto d = std::make_unique<TsrDevice>();
    d->Data = data;
    d->NameFriendly = "COM" + std::to_string(data);
    return d;
  };
  EXPECT_EQ(list.DeviceInsert(make(5), kParent), 0);
  EXPECT_EQ(list.DeviceInsert(make(9), kParent), 1);
  EXPECT_EQ(list.DeviceInsert(make(1), kParent), 0);
  EXPECT_EQ(list.DeviceInsert(make(7), kParent), 2);
  EXPECT_EQ(list.DeviceInsert(make(7), kParent), -1);
  EXPECT_EQ(list.DeviceInsert(make(9), kParent), -1);
  ASSERT_EQ(list.Count(), 4);
  ExpectConsistent(list, kParent);
  EXPECT_EQ(list.IndexOfPortNo(7), 2);
  EXPECT_EQ(list.IndexOfPortNo(8), -1);
  EXPECT_EQ(list.IndexOfDevice(list.Item(3)), 3);
  TsrDevice stranger;
  EXPECT_EQ(list.IndexOfDevice(&stranger), -1);
  EXPECT_EQ(list.Item(-1), nullptr);
  EXPECT_EQ(list.Item(4), nullptr);
  list.Clear();
  EXPECT_EQ(list.Count(), 0);
}

TEST(DeviceList, AddByPortNumber) {
  std::vector<TsrPortMapEntry> map;
  EXPECT_TRUE(AddByPortNumber(map, {"COM4", "a", 4}));
  EXPECT_TRUE(AddByPortNumber(map, {"COM10", "b", 10}));
  EXPECT_TRUE(AddByPortNumber(map, {"COM2", "c", 2}));
  EXPECT_FALSE(AddByPortNumber(map, {"COM2", "c", 2}));    // the same entry
  EXPECT_FALSE(AddByPortNumber(map, {"COM10", "d", 10}));  // the last number again
  ASSERT_EQ(map.size(), 3u);
  EXPECT_EQ(map[0].Port, "COM2");
  EXPECT_EQ(map[1].Port, "COM4");
  EXPECT_EQ(map[2].Port, "COM10");
}
