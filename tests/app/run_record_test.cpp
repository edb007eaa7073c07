// The run record: what is written reads back as written, no byte of an instrument's reply
// breaks the file, and the file is replaced whole.
#include "app/run_record.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "support/temp_folder.h"

namespace {

using nlohmann::json;

stRunRecord SampleRecord() {
  stRunRecord record;
  record.szVersion = "2.1.0";
  record.startedMs = 1796761938941;  // 2026-12-08T20:32:18.941Z
  record.endedMs = record.startedMs + 20000;
  record.szPortName = "COM1";
  record.szPortDevice = "/dev/ttyUSB0";
  record.baud = 57600;
  record.before = {true, "HALVEX", "VSR\xB0\xFF", "123456", "2.0.3", {"2.0.3", "1.0.0", ""}};
  record.szPackage = "packages/VSR450_release_2_1_5.pkg";
  record.images.push_back({"MAIN", "main_020105.bin", 65547, std::string(64, 'e'), 2, "installed"});
  record.portsLost = 1;
  record.secondsAway = 1.5;
  record.phases.connect = 0.25;
  record.phases.transfer = 6.5;
  record.exitStatus = 0;
  record.szReason = "done";
  record.szMessage = " Done!\r\n";
  return record;
}

TEST(RunRecord, ReadsBackAsWrittenWithNullsAndReplacedBytes) {
  std::string text;
  ASSERT_TRUE(FormatRunRecord(SampleRecord(), text));
  const json parsed = json::parse(text);
  EXPECT_EQ(parsed["program"], "halvex-installer");
  EXPECT_EQ(parsed["started"], "2026-12-08T20:32:18.941Z");
  EXPECT_EQ(parsed["ended"], "2026-12-08T20:32:38.941Z");
  EXPECT_EQ(parsed["port"]["device"], "/dev/ttyUSB0");
  EXPECT_EQ(parsed["baud"], 57600);
  EXPECT_EQ(parsed["instrument_before"]["model"], "VSR\xEF\xBF\xBD\xEF\xBF\xBD");  // U+FFFD each
  EXPECT_EQ(parsed["instrument_before"]["versions"]["MAIN"], "2.0.3");
  EXPECT_TRUE(parsed["instrument_before"]["versions"]["FPGA"].is_null());
  EXPECT_TRUE(parsed["instrument_after"].is_null());
  EXPECT_EQ(parsed["images"][0]["size"], 65547);
  EXPECT_EQ(parsed["images"][0]["passes"], 2);
  EXPECT_EQ(parsed["ports_lost"]["seconds_away"], 1.5);
  EXPECT_EQ(parsed["phases"]["connect"], 0.25);
  EXPECT_TRUE(parsed["phases"]["return"].is_null());
  EXPECT_EQ(parsed["message"], " Done!");
  // Every key, in the documented order.
  const std::vector<std::string> kKeys = {
      "program",           "version",          "started", "ended",  "port",       "baud",
      "instrument_before", "instrument_after", "package", "images", "ports_lost", "phases",
      "exit_status",       "reason",           "message"};
  std::vector<std::string> keys;
  const nlohmann::ordered_json ordered = nlohmann::ordered_json::parse(text);
  for (const auto& item : ordered.items()) keys.push_back(item.key());
  EXPECT_EQ(keys, kKeys);
  EXPECT_EQ(FormatUtcTime(0), "1970-01-01T00:00:00.000Z");
  EXPECT_EQ(FormatUtcTime(951782400000), "2000-02-29T00:00:00.000Z");
}

TEST(RunRecord, ReplacesTheFileWholeAndChecksTheNameFirst) {
  cTempFolder folder;
  const std::string path = folder.WriteFile("run.json", "old");
  std::string why;
  ASSERT_TRUE(WriteRunRecord(SampleRecord(), path, why)) << why;
  EXPECT_EQ(json::parse(ReadWholeFile(path))["reason"], "done");
  size_t entries = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder.GetPath())) {
    (void)entry;
    ++entries;
  }
  EXPECT_EQ(entries, 1u) << "no temporary file is left";
  EXPECT_FALSE(WriteRunRecord(SampleRecord(), folder.PathOf("none/run.json"), why));

  EXPECT_EQ(CheckReportFile(path), "");
  EXPECT_EQ(CheckReportFile(folder.PathOf("new.json")), "");
  EXPECT_FALSE(std::filesystem::exists(folder.PathOf("new.json")));
  EXPECT_NE(CheckReportFile(""), "");
  EXPECT_NE(CheckReportFile(folder.GetPath()).find("is a folder"), std::string::npos);
  EXPECT_NE(CheckReportFile(folder.PathOf("none/run.json")).find("does not exist"),
            std::string::npos);
}

}  // namespace
