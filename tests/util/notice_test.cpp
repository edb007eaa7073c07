// The notice sink: a line on standard error until a front end sets another sink, and every
// notice in the trace.
#include "util/notice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/temp_folder.h"
#include "util/trace.h"

namespace {

TEST(Notice, IsOneLineOnStandardErrorAndInTheTrace) {
  cTempFolder folder(cTempFolder::ENTER);
  ASSERT_TRUE(trace.Open("trace.txt", "notices"));
  testing::internal::CaptureStderr();
  Notify("Could not open:COM1 serial port\n/dev/ttyUSB0 (COM1): gone.", "Error", NOTICE_WARNING);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Could not open:COM1 serial port - /dev/ttyUSB0 (COM1): gone.\r\n");
  trace.Close("");

  std::ifstream file("trace.txt");
  std::string line;
  std::getline(file, line);  // START
  std::getline(file, line);
  EXPECT_EQ(
      line.substr(24),
      "NOTICE  \"Error: Could not open:COM1 serial port - /dev/ttyUSB0 (COM1): gone.\\r\\n\"");
}

}  // namespace
