// What the programs take from the system.
#include "app/program.h"

#include <gtest/gtest.h>

namespace {

TEST(Program, SystemServicesHoldTheSpreadsheetStoreAndLocale) {
  const TMainServices services = SystemServices([](const std::string&) {}, TDesktopUse::HandOver);
  ASSERT_NE(services.Sheets, nullptr);
  // Every machine can export: Excel where it is installed, the built-in workbook elsewhere.
  EXPECT_NE(TsxExcelExport(services.Sheets, *services.Format).ExcelVersion(), 0);
  EXPECT_TRUE(services.Registry);
  ASSERT_NE(services.Format, nullptr);
  EXPECT_NE(services.Format->DecimalSeparator, '\0');
}

TEST(Program, SinglePortListsJustThatPortAsTheTestersAdapter) {
  auto devices = SinglePortDevices("COM7");
  EXPECT_TRUE(devices->PortMap().empty());
  const auto records = devices->EnumerationRecords(true);
  ASSERT_EQ(records.size(), 1u);
  EXPECT_EQ(records[0].PortName, "COM7");
  EXPECT_EQ(records[0].Service, "FTSER2K");
}

}  // namespace
