// The notice sink: a line on standard error until a front end sets another sink, and every
// notice in the trace whichever sink shows it.
#include "util/notice.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>

#include "support/temp_folder.h"
#include "util/trace.h"

namespace {

std::string shown;
void Keep(const char* szText, const char* szCaption, eNoticeIcon) {
  shown = std::string(szCaption) + "|" + szText;
}

TEST(Notice, IsOneLineOnStandardErrorUnlessASinkIsSetAndAlwaysInTheTrace) {
  cTempFolder folder(cTempFolder::ENTER);
  ASSERT_TRUE(trace.Open("trace.txt", "notices"));
  const char* szText = "Could not open:COM1 serial port\n/dev/ttyUSB0 (COM1): gone.";

  testing::internal::CaptureStderr();
  Notify(szText, "Error", NOTICE_WARNING);
  EXPECT_EQ(testing::internal::GetCapturedStderr(),
            "Error: Could not open:COM1 serial port - /dev/ttyUSB0 (COM1): gone.\r\n");

  const NoticeSink previous = SetNoticeSink(Keep);
  EXPECT_EQ(previous, WriteNoticeLine);
  testing::internal::CaptureStderr();
  Notify(szText, "Error", NOTICE_WARNING);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
  EXPECT_EQ(shown, std::string("Error|") + szText) << "a box gets the text as it is";
  EXPECT_EQ(SetNoticeSink(nullptr), Keep);
  trace.Close("");

  std::ifstream file("trace.txt");
  int noticeLines = 0;
  for (std::string line; std::getline(file, line);) {
    if (line.find(" NOTICE  \"Error: Could not open:COM1 serial port - /dev/ttyUSB0 (COM1): "
                  "gone.\\r\\n\"") != std::string::npos) {
      ++noticeLines;
    }
  }
  EXPECT_EQ(noticeLines, 2);
}

}  // namespace
