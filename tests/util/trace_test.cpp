// The trace writer: its text forms, appending, and a file that cannot be written.
#include "util/trace.h"

#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

std::vector<std::string> failures;

void RecordFailure(const std::string& text) {
  failures.push_back(text);
}

// The lines of the file without their timestamps (the first 24 characters).
std::vector<std::string> Events(const std::string& path) {
  std::ifstream file(path);
  std::vector<std::string> events;
  for (std::string line; std::getline(file, line);) {
    events.push_back(line.size() > 24 && line[4] == '-' && line[23] == ' ' ? line.substr(24)
                                                                           : "?" + line);
  }
  return events;
}

TEST(TraceText, ControlBytesAreEscapedAndPacketsShowTheirFirstBytes) {
  const char line[] = "ID?\r\n\t\"a\\b\"\x01\xff";
  EXPECT_EQ(EscapeTraceText(line, sizeof(line) - 1), "ID?\\r\\n\\t\\\"a\\\\b\\\"\\x01\\xff");
  EXPECT_EQ(EscapeTraceText(std::string("a\0b", 3).data(), 3), "a\\x00b");
  const char data[] = {0x02, 0x00, static_cast<char>(0xab), 0x7f, 0x10};
  EXPECT_EQ(FormatTraceBytes(data, 5, 16), "02 00 ab 7f 10");
  EXPECT_EQ(FormatTraceBytes(data, 5, 2), "02 00 ... (+3 bytes)");
}

TEST(TraceFile, EventsAreAppendedOneALineAndAnotherRunAddsToTheFile) {
  cTempFolder folder(cTempFolder::ENTER);
  cTrace writer;
  ASSERT_TRUE(writer.Open("trace.txt", "run 1"));
  writer.LineSent("COM1", "ID?\r\n", 5);
  const char packet[] = {0x02, 0x00, 0x00, 0x00};
  writer.PacketSent(packet, 4, 2);
  writer.AnswerReceived('A');
  writer.Report("Arg1: -AUTO\r\n\r\n");
  writer.Close("exit status 0");
  ASSERT_TRUE(writer.Open("trace.txt", "run 2"));
  writer.Close("");
  writer.LineSent("COM1", "not traced", 10);

  EXPECT_EQ(Events("trace.txt"), (std::vector<std::string>{
                                     "START   run 1",
                                     "TX LINE COM1 \"ID?\\r\\n\"",
                                     "TX PKT  length 4 sum 0x00000002 data 02 00 00 00",
                                     "RX ANS  \"A\"",
                                     "REPORT  \"Arg1: -AUTO\\r\\n\"",
                                     "REPORT  \"\\r\\n\"",
                                     "END     exit status 0",
                                     "START   run 2",
                                 }));
}

TEST(TraceFile, AFileThatCannotBeOpenedOrWrittenIsReportedOnceAndTracingStops) {
  cTempFolder folder(cTempFolder::ENTER);
  cTrace writer;
  writer.SetFailureHandler(RecordFailure);
  failures.clear();
  EXPECT_FALSE(writer.Open("no-such-folder/trace.txt", "x"));
  writer.LineSent("COM1", "ID?\r\n", 5);
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].rfind("Trace: cannot open \"no-such-folder/trace.txt\" (", 0), 0u)
      << failures[0];
  EXPECT_NE(failures[0].find("); the installation goes on without the trace.\r\n"),
            std::string::npos);

#ifndef _WIN32
  failures.clear();
  EXPECT_FALSE(writer.Open("/dev/full", "x"));  // every write: no space left on the device
  writer.LineSent("COM1", "ID?\r\n", 5);
  writer.Close("end");
  ASSERT_EQ(failures.size(), 1u);
  EXPECT_EQ(failures[0].rfind("Trace: cannot write \"/dev/full\" (No space left on device)", 0), 0u)
      << failures[0];
  EXPECT_FALSE(writer.IsOn());
#endif
}

}  // namespace
