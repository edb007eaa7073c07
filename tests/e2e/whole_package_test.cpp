// "-ALL": an automatic run that installs every image the package names, from the highest file
// type down (FPGA, GPIB, MAIN), each script after its image, against the simulated instrument.
// Built for the Linux program and for the Windows program under Wine (HALVEX_E2E_WINE).
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <sstream>

#include "platform/sha256.h"
#include "support/packets.h"
#include "tests/e2e/install_run.h"

namespace {

const std::string MAIN = "main_020105.bin";  // 2.1.5
const std::string GPIB = "gpib_010203.bin";  // 1.2.3
const std::string FPGA = "fpga_030201.bin";  // 3.2.1

class WholePackageTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = std::make_unique<cInstallRun>(E2E_WINE);
    if (!run->IsAvailable()) GTEST_SKIP() << run->GetUnavailableReason();
    run->AddImage(MAIN, RandomBytes(40000, 11));
    run->AddImage(GPIB, RandomBytes(20000, 12));
    run->AddImage(FPGA, RandomBytes(16384, 13));  // a full chunk, then the marker alone
  }

  // The package's "files" section names MAIN and these.
  void AddPackage(const std::string& others) { run->AddPackage("VSR450_A.pkg", MAIN, others); }

  bool StartSimulator(const sim::sSimFaults& faults = sim::sSimFaults()) {
    sim::sSimOptions options;
    options.installerStartMs = 200;
    options.bootMs = 300;
    options.szMainVersion = "2.0.3";
    options.faults = faults;
    return run->StartSimulator(options);
  }

  stProcessResult RunAll(const tEnvironment& environment = {}) {
    return run->Run({"-AUTO", run->PortArgument(), "-ALL", "-REPORT=run.json"}, environment);
  }

  // The state lines (those that begin with a blank), without the progress lines.
  static std::string StateLines(const std::string& out) {
    std::istringstream lines(out);
    std::string line;
    std::string states;
    while (std::getline(lines, line)) {
      if (line.rfind(" ", 0) == 0 && line.rfind(" Transfer", 0) != 0) states += line + "\n";
    }
    return states;
  }

  // The state lines of sending one image, and of one with its script.
  static std::string Sent() { return " Getting file ...\r\n Sending file ...\r\n"; }
  static std::string SentWithScript() {
    return Sent() + " Preparing to execute ...\r\n Executing ...\r\n Getting next file ...\r\n";
  }

  std::vector<std::string> StoredNames() const {
    std::vector<std::string> names;
    for (const sim::sSimReceivedFile& file : run->Simulator().GetRecords().GetFiles()) {
      names.push_back(file.szName);
    }
    return names;
  }

  void ExpectStoredIntact(const std::vector<std::string>& images) {
    for (const std::string& image : images) {
      EXPECT_EQ(run->StoredBytes(image), run->ImageBytes(image)) << image;
    }
    EXPECT_EQ(run->Violations(), "");
  }

  std::unique_ptr<cInstallRun> run;
};

TEST_F(WholePackageTest, EveryImageIsSentFromFpgaDownWithItsScriptAndVerified) {
  AddPackage("gpib=" + GPIB + "\r\nfpga=" + FPGA + "\r\n");
  ASSERT_TRUE(StartSimulator());
  const stProcessResult result = RunAll();
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_EQ(StateLines(result.out),
            " Connecting ...\r\n Getting package ...\r\n"
            " Waiting for installer to connect ...\r\n" +
                SentWithScript() + SentWithScript() + Sent() +
                " Getting next file ...\r\n"
                " Rebooting instrument ...\r\n Reconnecting ...\r\n"
                " Done!Exiting program ...\n");
  EXPECT_NE(result.out.find("Verified: the instrument runs FPGA version 3.2.1 of " + FPGA +
                            ".\r\n"
                            "Verified: the instrument runs GPIB version 1.2.3 of " +
                            GPIB +
                            ".\r\n"
                            "Verified: the instrument runs MAIN version 2.1.5 of " +
                            MAIN + ".\r\n Done!"),
            std::string::npos)
      << result.out;
  // Each script names the image stored just before it (the simulator then reports that image's
  // version after its restart), and the exit word came once, after the MAIN image.
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{FPGA, GPIB, MAIN}));
  EXPECT_EQ(records.GetScripts(), (std::vector<std::string>{"ainst.fpga", "ainst.gpib"}));
  EXPECT_EQ(records.GetCounts().reboots, 1);
  ExpectStoredIntact({FPGA, GPIB, MAIN});

  const nlohmann::json record =
      nlohmann::json::parse(ReadWholeFile(run->FolderPath("run.json")), nullptr, false);
  ASSERT_FALSE(record.is_discarded());
  EXPECT_EQ(record["reason"], "done");
  EXPECT_EQ(record["instrument_after"]["versions"],
            nlohmann::json({{"MAIN", "2.1.5"}, {"GPIB", "1.2.3"}, {"FPGA", "3.2.1"}}));
  ASSERT_EQ(record["images"].size(), 3u);
  const std::pair<std::string, std::string> images[] = {
      {"FPGA", FPGA}, {"GPIB", GPIB}, {"MAIN", MAIN}};
  for (size_t i = 0; i < 3; i++) {
    const nlohmann::json& image = record["images"][i];
    const std::string bytes = run->StoredBytes(images[i].second);
    std::string sha256;
    ASSERT_TRUE(platform::Sha256Hex(bytes.data(), bytes.size(), sha256));
    EXPECT_EQ(image["type"], images[i].first);
    EXPECT_EQ(image["name"], images[i].second);
    EXPECT_EQ(image["size"], bytes.size());
    EXPECT_EQ(image["sha256"], sha256);
    EXPECT_EQ(image["passes"], 1);
    EXPECT_EQ(image["result"], "sent");
  }
}

// No GPIB image: FPGA, then straight to MAIN after asking the installer once. The extra passes
// hold for every image: the FPGA transfer that lost an answer is sent again before its script.
TEST_F(WholePackageTest, ATypeNotNamedIsSkippedAndAnUncertainImageIsSentAgainBeforeItsScript) {
  AddPackage("fpga=" + FPGA + "\r\n");
  sim::sSimFaults faults;
  faults.loseAckAfterStore = 1;
  ASSERT_TRUE(StartSimulator(faults));
  const stProcessResult result = RunAll();
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_NE(StateLines(result.out)
                .find(SentWithScript() + Sent() + " Getting next file ...\r\n" +
                      " Rebooting instrument ...\r\n"),
            std::string::npos)
      << result.out;
  const size_t again = result.out.find("Sending the file again (pass 2 of 3)");
  EXPECT_LT(again, result.out.find(" Preparing to execute ...")) << result.out;
  EXPECT_NE(result.out.find("runs FPGA version 3.2.1 of " + FPGA +
                            " (sent 2 times: an answer was lost in the first).\r\n"
                            "Verified: the instrument runs MAIN version 2.1.5 of " +
                            MAIN + ".\r\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{FPGA, FPGA, MAIN}));
  EXPECT_EQ(run->Simulator().GetRecords().GetScripts(), std::vector<std::string>{"ainst.fpga"});
  ExpectStoredIntact({FPGA, MAIN});
}

// After a cut (here the FPGA image uncertain in every pass) the installer is sent nothing more:
// no script, no question before a next image, no further image, no exit word.
TEST_F(WholePackageTest, AnImageCutShortEndsTheSending) {
  AddPackage("gpib=" + GPIB + "\r\nfpga=" + FPGA + "\r\n");
  sim::sSimFaults faults;
  faults.loseAckAfterStore = 1;
  faults.bLoseAckEveryTransfer = true;
  ASSERT_TRUE(StartSimulator(faults));
  const stProcessResult result = RunAll({{"HALVEX_TEST_TIME_LIMIT_MS", "3000"}});
  EXPECT_EQ(result.exitStatus, 9) << result.out << result.err;
  EXPECT_EQ(StoredNames(), (std::vector<std::string>{FPGA, FPGA, FPGA}));
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  EXPECT_TRUE(records.GetScripts().empty());
  EXPECT_EQ(records.GetCounts().reboots, 0) << "no exit word";
  EXPECT_EQ(result.out.find("Using latest file : " + run->ImagePath(GPIB)), std::string::npos)
      << result.out;
}

// The version lines keep the order the images were sent in; the record's message is the line
// that failed the run, though one that verified follows it.
TEST_F(WholePackageTest, TheRecordsMessageIsTheVersionThatDiffersNotTheLastLine) {
  AddPackage("gpib=" + GPIB + "\r\nfpga=" + FPGA + "\r\n");
  sim::sSimFaults faults;
  faults.replies["VERSIONS?"] = "MAIN:2.1.5,GPIB:1.0.0,FPGA:3.2.1";
  ASSERT_TRUE(StartSimulator(faults));
  const stProcessResult result = RunAll();
  EXPECT_EQ(result.exitStatus, 6) << result.out << result.err;
  const std::string differs =
      "The instrument reports GPIB version 1.0.0, not 1.2.3 of " + GPIB + "!";
  EXPECT_NE(result.out.find(differs + "\r\nVerified: the instrument runs MAIN version 2.1.5"),
            std::string::npos)
      << result.out;
  const nlohmann::json record =
      nlohmann::json::parse(ReadWholeFile(run->FolderPath("run.json")), nullptr, false);
  ASSERT_FALSE(record.is_discarded());
  EXPECT_EQ(record["reason"], "version-mismatch");
  EXPECT_EQ(record["message"], differs);
}

// Every image the package names is checked before "INSTALL": one that fails keeps the installer
// from starting, and its line names it.
TEST_F(WholePackageTest, ARefusedGpibImageStopsTheRunBeforeInstall) {
  AddPackage("gpib=gpib_010300.bin\r\nfpga=" + FPGA + "\r\n");
  ASSERT_TRUE(StartSimulator());
  const stProcessResult result = RunAll();
  EXPECT_EQ(result.exitStatus, 4) << result.out << result.err;
  EXPECT_NE(result.out.find("Connected to COM" + std::to_string(run->GetPort()) +
                            " baud 57600 successfully ...\r\n" + run->ImagePath("gpib_010300.bin") +
                            " is missing: the package cannot be installed without it.\r\n"
                            "Exiting program ..."),
            std::string::npos)
      << result.out;
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  for (const sim::sSimCommandRecord& command : records.GetCommands()) {
    EXPECT_EQ(command.szLine.find("INSTALL"), std::string::npos) << command.szLine;
  }
  EXPECT_EQ(records.GetCounts().packetsReceived, 0);
  const nlohmann::json record =
      nlohmann::json::parse(ReadWholeFile(run->FolderPath("run.json")), nullptr, false);
  ASSERT_FALSE(record.is_discarded());
  EXPECT_EQ(record["reason"], "preflight");
  EXPECT_EQ(record["images"].size(), 3u);
}

}  // namespace
