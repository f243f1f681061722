// What the programs take from the system: a sheet system exactly where the built-in workbook is.
#include "app/program.h"

#include <gtest/gtest.h>

namespace {

TEST(Program, SheetSystemOnlyWithTheBuiltInWorkbook) {
  const TMainServices services = SystemServices([](const std::string&) {});
  EXPECT_EQ(services.Sheets != nullptr, Q2E_EXPECT_SHEETS != 0);
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
