// The run record ("-REPORT=") of automatic runs and of -INFO, read back as a script would: what
// it says of the image against what the simulated instrument stored, its exit status against
// the program's. The good run is also run for the Windows program under Wine.
#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <nlohmann/json.hpp>

#include "platform/sha256.h"
#include "support/packets.h"
#include "tests/e2e/install_run.h"

namespace {

using nlohmann::json;

const std::string IMAGE = "main_020105.bin";  // version 2.1.5
constexpr size_t IMAGE_SIZE = 40000;

class RunReportTest : public cOneImageTest {
 protected:
  RunReportTest() : cOneImageTest(IMAGE, IMAGE_SIZE, 7, true) {}

  std::string Sha256Of(const std::string& bytes) const {
    std::string hex;
    EXPECT_TRUE(platform::Sha256Hex(bytes.data(), bytes.size(), hex));
    return hex;
  }

  // Runs the program with "-REPORT=run.json" and reads the record back; the keys every record
  // has are checked against the run.
  json RunWithReport(std::vector<std::string> arguments, const tEnvironment& environment = {}) {
    std::filesystem::remove(run->FolderPath("run.json"));
    arguments.push_back("-REPORT=run.json");
    result = run->Run(arguments, environment);
    const std::string text = ReadWholeFile(run->FolderPath("run.json"));
    const json record = json::parse(text, nullptr, false);
    EXPECT_FALSE(record.is_discarded()) << text << result.out;
    if (record.is_discarded()) return json::object();
    EXPECT_EQ(record["program"], "halvex-installer");
    EXPECT_EQ(record["exit_status"], result.exitStatus);
    const std::string started = record["started"];
    const std::string ended = record["ended"];
    EXPECT_EQ(started.size(), 24u) << started;
    EXPECT_LE(started, ended);
    EXPECT_EQ(record["port"]["name"], "COM" + std::to_string(run->GetPort()));
    EXPECT_EQ(record["port"]["device"], E2E_WINE ? "\\\\.\\COM" + std::to_string(run->GetPort())
                                                 : run->FolderPath("ttyHALVEX"));
    EXPECT_EQ(record["baud"], 57600);
    return record;
  }

  stProcessResult result;
};

TEST_F(RunReportTest, AGoodRunRecordsTheImageAsStoredAndTheInstrumentBeforeAndAfter) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  const json record = RunWithReport({"-AUTO", run->PortArgument()});
  EXPECT_EQ(result.exitStatus, 0) << result.out;
  EXPECT_EQ(record["reason"], "done");
  EXPECT_EQ(record["message"],
            "Verified: the instrument runs MAIN version 2.1.5 of " + IMAGE + ".");
  EXPECT_EQ(record["package"], run->PackagePath("VSR450_B.pkg"));
  ASSERT_EQ(record["images"].size(), 1u);
  const json& image = record["images"][0];
  const std::string stored = run->StoredBytes(IMAGE);
  EXPECT_EQ(image["size"], stored.size());
  EXPECT_EQ(image["sha256"], Sha256Of(stored));
  EXPECT_EQ(image["passes"], 1);
  EXPECT_EQ(image["result"], "sent");
  EXPECT_EQ(record["instrument_before"]["versions"]["MAIN"], "2.0.3");
  // The instrument as it came back: its identification now names the new version too.
  EXPECT_EQ(record["instrument_after"]["version"], "2.1.5");
  EXPECT_EQ(record["instrument_after"]["versions"]["MAIN"], "2.1.5");
  for (const char* phase : {"connect", "installer_start", "transfer", "return"}) {
    EXPECT_TRUE(record["phases"][phase].is_number()) << phase;
  }
}

#ifndef HALVEX_E2E_WINE

TEST_F(RunReportTest, FailedRunsSayWhyAndWhatReachedTheInstrument) {
  // Refused before the installer's start: the image was checked, never sent.
  run->AddPackage("VSR450_C.pkg", IMAGE, "[sha256]\r\nmain=" + std::string(64, '0') + "\r\n");
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  json record = RunWithReport({"-AUTO", run->PortArgument(), "-PKG=VSR450_C"});
  EXPECT_EQ(result.exitStatus, 4);
  EXPECT_EQ(record["reason"], "checksum");
  EXPECT_NE(record["message"].get<std::string>().find("does not match the checksum"),
            std::string::npos);
  EXPECT_EQ(record["images"][0]["sha256"], Sha256Of(run->ImageBytes(IMAGE)));
  EXPECT_EQ(record["images"][0]["passes"], 0);
  EXPECT_EQ(record["images"][0]["result"], "not-sent");
  EXPECT_TRUE(record["instrument_after"].is_null());
  EXPECT_TRUE(record["phases"]["installer_start"].is_null());

  // Nothing answers.
  sim::sSimOptions options = QuickInstrument();
  options.faults.hangupAfterBytes = 0;
  ASSERT_TRUE(run->StartSimulator(options));
  record = RunWithReport({"-AUTO", run->PortArgument()});
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_EQ(record["reason"], "no-connection");
  EXPECT_EQ(record["message"], "Unable to connect to COM1 baud 57600!  Aborting ...");
  EXPECT_TRUE(record["instrument_before"].is_null());
  EXPECT_TRUE(record["images"].empty());

  // The adapter vanishes mid-image for good: a cut pass, and the time the port was away.
  options = QuickInstrument();
  options.faults.unplugAfterBytes = 20000;
  ASSERT_TRUE(run->StartSimulator(options));
  record = RunWithReport({"-AUTO", run->PortArgument(), "-PKG=VSR450_B"},
                         {{"HALVEX_TEST_TIME_LIMIT_MS", "3000"}});
  EXPECT_EQ(result.exitStatus, 5);
  EXPECT_EQ(record["reason"], "time-limit");
  EXPECT_EQ(record["images"][0]["passes"], 1);
  EXPECT_EQ(record["images"][0]["result"], "cut");
  EXPECT_EQ(record["ports_lost"]["count"], 1);
  EXPECT_GE(record["ports_lost"]["seconds_away"].get<double>(), 2.5);
  EXPECT_TRUE(record["instrument_after"].is_null());
}

TEST_F(RunReportTest, InfoRecordsTheInstrumentAndThePackageItWouldTake) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  const json record = RunWithReport({"-INFO", run->PortArgument()});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_EQ(record["reason"], "done");
  EXPECT_EQ(record["message"], "MAIN image: " + IMAGE + " 2.1.5 newer (sha256 matches)");
  EXPECT_EQ(record["instrument_before"]["versions"]["GPIB"], "1.0.0");
  EXPECT_TRUE(record["instrument_after"].is_null());
  EXPECT_EQ(record["package"], run->PackagePath("VSR450_B.pkg"));
  EXPECT_EQ(record["images"][0]["size"], IMAGE_SIZE);
  EXPECT_EQ(record["images"][0]["result"], "not-sent");
  EXPECT_TRUE(record["phases"]["connect"].is_number());
  EXPECT_TRUE(record["phases"]["transfer"].is_null());
}

TEST_F(RunReportTest, AReportFileThatCannotBeWrittenIsRefusedBeforeAnythingHappens) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  std::filesystem::create_directory(run->FolderPath("logs"));
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"-AUTO", run->PortArgument(), "-REPORT=nowhere/run.json"},
        std::vector<std::string>{"-AUTO", run->PortArgument(), "-REPORT=logs"},
        std::vector<std::string>{"-INFO", run->PortArgument(), "-REPORT="}}) {
    const stProcessResult refused = run->Run(arguments);
    EXPECT_EQ(refused.exitStatus, 7) << arguments.back();
    EXPECT_NE((refused.out + refused.err).find("!  Aborting ...\r\n"), std::string::npos)
        << refused.out << refused.err;
  }
  EXPECT_FALSE(std::filesystem::exists(run->FolderPath("nowhere")));
  EXPECT_TRUE(std::filesystem::is_empty(run->FolderPath("logs")));
  EXPECT_TRUE(run->Simulator().GetRecords().GetCommands().empty());
}

TEST_F(RunReportTest, RefusalsBeforeTheConnectionWriteTheirRecordToo) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  // -LIST runs alone: the record says what was not acted on, in place of an earlier one.
  json record = RunWithReport({"-LIST", run->PortArgument()});
  EXPECT_EQ(result.exitStatus, 8);
  EXPECT_EQ(record["reason"], "options-conflict");
  EXPECT_EQ(record["message"], "-LIST runs alone; not acted on: " + run->PortArgument() +
                                   " -REPORT=run.json. Nothing was installed.");
  EXPECT_TRUE(record["instrument_before"].is_null());
  // -INFO with a trace that cannot be written, as an automatic run.
  record = RunWithReport({"-INFO", run->PortArgument(), "-TRACE=nowhere/t.txt"});
  EXPECT_EQ(result.exitStatus, 7);
  EXPECT_EQ(record["reason"], "trace-file");
  EXPECT_NE(record["message"].get<std::string>().find("nowhere"), std::string::npos);
  EXPECT_TRUE(run->Simulator().GetRecords().GetCommands().empty());
}

#endif

}  // namespace
