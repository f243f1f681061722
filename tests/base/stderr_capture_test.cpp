// The capture of standard error: what a library prints there is held and handed back, and
// standard error goes where it went before once the capture ends.
#include "platform/process/stderr_capture.h"

#include <gtest/gtest.h>

#include <cstdio>

namespace {

TEST(StderrCapture, HoldsWhatIsPrintedAndGivesStandardErrorBack) {
  std::string outer;
  {
    TStderrCapture first;
    std::fprintf(stderr, "before\n");
    {
      TStderrCapture second;
      std::fprintf(stderr, "[ERROR] workbook_close(): System error = %s\n", "Disk full");
      std::fputs("more\n", stderr);
      EXPECT_EQ(second.Text(), "[ERROR] workbook_close(): System error = Disk full\nmore\n");
      EXPECT_EQ(second.Text(), "[ERROR] workbook_close(): System error = Disk full\nmore\n")
          << "reading it again changes nothing";
    }
    std::fprintf(stderr, "after\n");
    outer = first.Text();
  }
  EXPECT_EQ(outer, "before\nafter\n") << "the inner capture gave standard error back";
}

}  // namespace
