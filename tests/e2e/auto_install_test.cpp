// Automatic installations end to end: halvex-installer and the simulated instrument as separate
// processes over a real pty. Built twice: for the Linux program and for the Windows program
// under Wine (HALVEX_E2E_WINE).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>
#include <thread>

#include "support/packets.h"
#include "support/wait.h"
#include "tests/e2e/install_run.h"

namespace {

const std::string NEWEST = "main_020105.bin";  // version 2.1.5, in VSR450_B.pkg
const size_t NEWEST_SIZE = 40000;              // two full chunks and one of 7232 bytes

class AutoInstallTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = std::make_unique<cInstallRun>(E2E_WINE);
    if (!run->IsAvailable()) GTEST_SKIP() << run->GetUnavailableReason();
    run->AddImage("main_020003.bin", RandomBytes(30000, 1));
    run->AddImage(NEWEST, RandomBytes(NEWEST_SIZE, 2));
    run->AddPackage("VSR450_A.pkg", "main_020003.bin");
    // The newest carries its image's checksum (in upper case); the older one has none.
    run->AddPackage("VSR450_B.pkg", NEWEST, run->ChecksumSection(NEWEST));
  }

  std::string Port() const { return "COM" + std::to_string(run->GetPort()); }

  // The report lines from " Sending file ..." to the end of a clean transfer of NEWEST.
  std::string CleanTransferLines() const {
    return " Sending file ...\r\n"
           " Transfer 0.00%\r\n"
           " Transfer 0.00%\r\n"
           " Transfer 0.00%\r\n"
           " Transfer 40.96%\r\n"
           " Transfer 81.92%\r\n"
           " Transfer 100.00%\r\n"
           " Transfer 100.00%\r\n";
  }

  void ExpectInstalled(const stProcessResult& result, const std::string& image) {
    ::ExpectInstalled(*run, result, image);
  }

  // The output holds lines and the run ended with status.
  static void ExpectEnd(const stProcessResult& result, const std::string& lines, int status) {
    EXPECT_NE(result.out.find(lines), std::string::npos) << result.out;
    EXPECT_EQ(result.exitStatus, status);
  }

  std::unique_ptr<cInstallRun> run;
};

TEST_F(AutoInstallTest, SuccessfulRunReportsEveryStepInOrderAndTheImageArrivesIntact) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
  EXPECT_EQ(run->AfterFirstLine(result.out),
            "Arg1: -AUTO\r\n"
            "Arg2: " +
                run->PortArgument() +
                "\r\n"
                "\r\n"
                "Package not specified.  Will use latest version available ...\r\n"
                " Connecting ...\r\n"
                "Connected to " +
                Port() +
                " baud 57600 successfully ...\r\n"
                " Getting package ...\r\n"
                " Waiting for installer to connect ...\r\n"
                " Getting file ...\r\n"
                "Last Package:" +
                run->PackagePath("VSR450_B.pkg") +
                "\r\n"
                "Using latest file : " +
                run->ImagePath(NEWEST) + "\r\n" + CleanTransferLines() +
                " Getting next file ...\r\n"
                " Rebooting instrument ...\r\n"
                " Reconnecting ...\r\n"
                "Verified: the instrument runs MAIN version 2.1.5 of " +
                NEWEST +
                ".\r\n"
                " Done!Exiting program ...");
  ExpectInstalled(result, NEWEST);
  EXPECT_EQ(run->Simulator().GetRecords().GetMainVersion(), "2.1.5");
  EXPECT_EQ(run->Simulator().GetRecords().GetCounts().reboots, 1);
}

// A package that cannot be installed is refused while the instrument is still in its command
// interpreter: one line naming the file and the reason, status 4, and no "INSTALL".
TEST_F(AutoInstallTest, APackageThatFailsItsCheckNeverStartsTheInstaller) {
  const std::string image = "main_030000.bin";
  const std::string zeros = "[sha256]\r\nmain=" + std::string(64, '0') + "\r\n";
  struct sCase {
    const char* szName;
    std::string main;   // the package's MAIN image
    std::string extra;  // what follows its "files" section
    uint64_t size;      // the image's size; 0: there is none
    std::string line;   // the refusal
  };
  std::vector<sCase> cases = {
      {"missing", image, "", 0,
       run->ImagePath(image) + " is missing: the package cannot be installed without it."},
      {"checksum mismatch", image, zeros, 1000,
       run->ImagePath(image) + " does not match the checksum in the package: the file is damaged "
                               "or not the one the package was made for."},
      {"outside files", "../packages/VSR450_A.pkg", "", 0,
       run->PackagePath("VSR450_C.pkg") +
           " names the MAIN image \"../packages/VSR450_A.pkg\", which is not inside the files "
           "folder: the package cannot be installed."},
  };
  cases.push_back({"over 4 GiB, sparse", image, "", 0x100000000ull,
                   run->ImagePath(image) + " holds 4294967296 bytes, more than the 4294967295 "
                                           "an installation can announce."});
  // The simulator heard the identification and the versions, nothing of the installer.
  const auto expectUntouched = [this] {
    const sim::cSimRecorder& records = run->Simulator().GetRecords();
    EXPECT_FALSE(records.GetCommands().empty());
    for (const sim::sSimCommandRecord& command : records.GetCommands()) {
      EXPECT_EQ(command.szLine.find("INSTALL"), std::string::npos) << command.szLine;
    }
    EXPECT_EQ(records.GetCounts().packetsReceived, 0);
    EXPECT_EQ(run->Violations(), "");
  };
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  for (const sCase& test : cases) {
    SCOPED_TRACE(test.szName);
    std::filesystem::remove(run->FolderPath("files/" + image));
    if (test.size > 0) {
      run->AddImage(image, RandomBytes(1000, 5));
      ASSERT_TRUE(ResizeFile(run->FolderPath("files/" + image), test.size));
    }
    run->AddPackage("VSR450_C.pkg", test.main, test.extra);  // the newest
    const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
    ExpectEnd(result, " successfully ...\r\n" + test.line + "\r\nExiting program ...", 4);
  }
  expectUntouched();

  // No package for the model at all is refused the same way.
  sim::sSimOptions options = QuickInstrument();
  options.szModel = "VSR900";
  ASSERT_TRUE(run->StartSimulator(options));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
  ExpectEnd(result,
            " successfully ...\r\nUnable to find valid package file!  Aborting "
            "...\r\nExiting program ...",
            4);
  expectUntouched();
}

TEST_F(AutoInstallTest, RecoverableLineFaultsStillEndWithTheImageIntact) {
  sim::sSimOptions options = QuickInstrument();
  options.faults.nakEvery = 4;
  options.faults.dropAckEvery = 7;
  options.faults.bGarbageBeforeAck = true;
  options.faults.ackDelayMs = 150;
  ASSERT_TRUE(run->StartSimulator(options));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
  ExpectInstalled(result, NEWEST);
  const sim::sSimCounts counts = run->Simulator().GetRecords().GetCounts();
  EXPECT_GT(counts.faultNaks, 0);
  EXPECT_GT(counts.faultAcksDropped, 0);
}

TEST_F(AutoInstallTest, OnlyTheConnectedModelsPackagesAreCandidates) {
  // Another model's package sorts last; it must not be installed on this instrument.
  run->AddImage("main_090000.bin", RandomBytes(1000, 3));
  run->AddPackage("VSR900_Z.pkg", "main_090000.bin");
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
  EXPECT_NE(result.out.find("Last Package:" + run->PackagePath("VSR450_B.pkg") + "\r\n"),
            std::string::npos)
      << result.out;
  ExpectInstalled(result, NEWEST);
  EXPECT_EQ(run->Simulator().GetRecords().GetFiles().size(), 1u);
}

TEST_F(AutoInstallTest, TheInterpreterRunsAtTheChosenRateAndTheInstallerAt115200) {
  sim::sSimOptions options = QuickInstrument();
  options.interpreterBaud = 9600;
  ASSERT_TRUE(run->StartSimulator(options));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument(), "-BAUD=9600"});
  EXPECT_NE(result.out.find("Connected to " + Port() + " baud 9600 successfully ...\r\n"),
            std::string::npos)
      << result.out;
  ExpectInstalled(result, NEWEST);
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  ASSERT_FALSE(records.GetCommands().empty());
  for (const sim::sSimCommandRecord& command : records.GetCommands()) {
    EXPECT_EQ(command.settings.baud, 9600u) << command.szLine;
  }
  ASSERT_FALSE(records.GetPackets().empty());
  for (const sim::sSimPacketRecord& packet : records.GetPackets()) {
    EXPECT_EQ(packet.settings.baud, 115200u);
  }
}

TEST_F(AutoInstallTest, WithAConsoleTheProgramStaysAfterTheRunWithoutBurningAProcessor) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  // The run takes about 4 s (under Wine up to 9 s on a loaded machine); the program is stopped
  // well after that.
  const stProcessResult result = run->Run(
      {"-AUTO", "-CONSOLE", run->PortArgument(), "-REPORT=run.json"}, {}, E2E_WINE ? 15000 : 9000);
  EXPECT_TRUE(result.bTimedOut) << "the program must still be running";
  EXPECT_TRUE(result.out.size() > 6 && result.out.substr(result.out.size() - 6) == " Done!")
      << result.out;
  EXPECT_EQ(run->StoredBytes(NEWEST), run->ImageBytes(NEWEST));
  // The record is written when the run is over, not when the program ends.
  const std::string record = ReadWholeFile(run->FolderPath("run.json"));
  EXPECT_NE(record.find("\"exit_status\": 0,"), std::string::npos) << record;
  EXPECT_NE(record.find("\"reason\": \"done\","), std::string::npos) << record;
  // Busy waiting would show as seconds of processor time; idle passes sleep.
  EXPECT_LT(result.cpuMs, 1500) << "processor time of the whole run";
}

#ifndef HALVEX_E2E_WINE

TEST_F(AutoInstallTest, ANamedPackageIsUsedAsNamedOrTheRunEndsAtOnce) {
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  stProcessResult result = run->Run({"-AUTO", run->PortArgument(), "-PKG=VSR450_A"});
  EXPECT_NE(result.out.find("Found package \"" + run->PackagePath("VSR450_A.pkg") + "\" ...\r\n"),
            std::string::npos);
  EXPECT_NE(result.out.find("Using file as specified : " + run->ImagePath("main_020003.bin")),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Last Package:"), std::string::npos);
  ExpectInstalled(result, "main_020003.bin");

  const size_t linesBefore = run->Simulator().GetRecords().GetCommands().size();
  result = run->Run({"-AUTO", run->PortArgument(), "-PKG=VSR450_missing"});
  EXPECT_EQ(run->AfterFirstLine(result.out),
            "Arg1: -AUTO\r\nArg2: " + run->PortArgument() +
                "\r\nArg3: -PKG=VSR450_missing\r\n\r\n"
                "Package \"" +
                run->PackagePath("VSR450_missing.pkg") +
                "\" not found!  Aborting ...\r\nExiting program ...");
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_EQ(run->Simulator().GetRecords().GetCommands().size(), linesBefore)
      << "nothing was said to the instrument";
}

TEST_F(AutoInstallTest, WithoutAPortNothingIsTried) {
  const stProcessResult result = run->Run({"-AUTO", "-PORT=COM17"});
  EXPECT_EQ(run->AfterFirstLine(result.out),
            "Arg1: -AUTO\r\nArg2: -PORT=COM17\r\n\r\n"
            "Package not specified.  Will use latest version available ...\r\n"
            " Connecting ...\r\n"
            "Please set COM Port argument and try again ...Exiting program ...");
  EXPECT_EQ(result.exitStatus, 2);
}

TEST_F(AutoInstallTest, AnInstrumentThatDoesNotAnswerOrDoesNotIdentifyIsNoConnection) {
  // A port with nothing behind it: a pty whose far end stays silent.
  {
    sim::sSimOptions options = QuickInstrument();
    options.faults.hangupAfterBytes = 0;
    ASSERT_TRUE(run->StartSimulator(options));
    const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
    ExpectEnd(result,
              " Connecting ...\r\nUnable to connect to COM1 baud 57600!  Aborting "
              "...\r\nExiting program ...",
              3);
    EXPECT_LT(result.elapsedMs, 15000);
  }
  // An identification that answers the handshake but does not parse.
  sim::sSimOptions options = QuickInstrument();
  options.szId = "HALVEX,VSR450";
  ASSERT_TRUE(run->StartSimulator(options));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
  ExpectEnd(result, "Unable to connect to COM1 baud 57600!  Aborting ...", 3);
  EXPECT_EQ(run->Simulator().GetRecords().GetCounts().packetsReceived, 0);
}

TEST_F(AutoInstallTest, AnImageThatShrinksDuringTheTransferEndsAsFailed) {
  const std::string big = "main_020200.bin";
  run->AddImage(big, RandomBytes(200000, 4));
  run->AddPackage("VSR450_D.pkg", big);
  sim::sSimOptions options = QuickInstrument();
  options.lineRate = 115200;  // about 17 s for the whole image: time to cut it short
  ASSERT_TRUE(run->StartSimulator(options));
  std::thread cutter([&] {
    const auto& records = run->Simulator().GetRecords();
    if (WaitFor([&] { return records.GetPackets().size() >= 6; }, 60000)) {
      std::filesystem::resize_file(run->FolderPath("files/" + big), 50000);
    }
  });
  // The installer still waits for the rest of the file: the run says so at once, sends it
  // nothing more (no exit word: it would only be taken as data) and waits for the instrument
  // within its limit.
  const stProcessResult result =
      run->Run({"-AUTO", run->PortArgument()}, {{"HALVEX_TEST_TIME_LIMIT_MS", "3000"}});
  cutter.join();
  EXPECT_NE(result.out.find("Transfer of " + run->ImagePath(big) +
                            " failed!  The file changed or could not be read.\r\n"
                            "The transfer was cut short: the instrument may still be in its "
                            "installer with an incomplete image.  Switch the instrument off and "
                            "on: waiting up to 3 s for it to answer ...\r\n"
                            " Reconnecting ...\r\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Aborting ...\r\n Installation failed!\r\nExiting program ..."),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Done!"), std::string::npos);
  EXPECT_EQ(result.exitStatus, 5);
  EXPECT_TRUE(run->Simulator().GetRecords().GetFiles().empty()) << "nothing may be stored";
  const std::vector<sim::sSimPacketRecord> packets = run->Simulator().GetRecords().GetPackets();
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets.back().length, 16384) << "the last packet is a chunk: no marker, no exit word";
}

TEST_F(AutoInstallTest, AnImageRewrittenWithTheSameSizeAfterItsCheckIsNotInstalled) {
  if (E2E_WINE) GTEST_SKIP() << "the engine's comparison is the same code under Wine";
  const std::string image = "main_020200.bin";
  run->AddImage(image, RandomBytes(NEWEST_SIZE, 5));
  run->AddPackage("VSR450_D.pkg", image);  // no sha256 section: the check's own hash counts
  sim::sSimOptions options = QuickInstrument();
  options.installerStartMs = 1500;
  ASSERT_TRUE(run->StartSimulator(options));
  std::string trace;
  std::vector<sim::sSimPacketRecord> packets;
  size_t filesStored = 1;
  std::thread instrument([&] {
    const auto traced = [&](const char* szText) {
      return WaitFor(
          [&] {
            trace = ReadWholeFile(run->FolderPath("trace.txt"));
            return trace.find(szText) != std::string::npos;
          },
          30000);
    };
    // Checked before "INSTALL"; rewritten in place while the installer starts.
    if (!traced("\"INSTALL\\r\\n\"")) return;
    const std::string rewritten = RandomBytes(NEWEST_SIZE, 6);
    std::fstream(run->FolderPath("files/" + image), std::ios::binary | std::ios::in | std::ios::out)
        .write(rewritten.data(), static_cast<std::streamsize>(rewritten.size()));
    if (!traced("Switch the instrument")) return;
    const auto& records = run->Simulator().GetRecords();
    packets = records.GetPackets();
    filesStored = records.GetFiles().size();
    // Switched off and on: the instrument answers again, and the run ends with the failure.
    run->StartSimulator(QuickInstrument());
  });
  const stProcessResult result =
      run->Run({"-AUTO", run->PortArgument(), "-PKG=VSR450_D", "-TRACE=trace.txt"});
  instrument.join();
  EXPECT_NE(result.out.find("Transfer of " + run->ImagePath(image) +
                            " failed!  The file changed or could not be read.\r\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.exitStatus, 4) << result.out;
  EXPECT_NE(trace.find(" as checked: the file changed, no end-of-file marker"), std::string::npos)
      << trace;
  EXPECT_EQ(filesStored, 0u) << "nothing may be stored";
  ASSERT_FALSE(packets.empty());
  EXPECT_EQ(packets.back().length, 40000 - 2 * 16384) << "the last chunk; no marker after it";
}

TEST_F(AutoInstallTest, EachRecoverableFaultOnItsOwn) {
  for (int fault = 0; fault < 4; fault++) {
    SCOPED_TRACE(fault);
    std::filesystem::remove(run->StoredPath(NEWEST));
    sim::sSimOptions options = QuickInstrument();
    if (fault == 0) options.faults.nakEvery = 3;
    // A lost packet costs a pass: the 8th packet is the first pass's last chunk, the 16th the
    // exit word after a clean second pass.
    if (fault == 1) options.faults.dropAckEvery = 8;
    if (fault == 2) options.faults.bGarbageBeforeAck = true;
    if (fault == 3) options.faults.ackDelayMs = 400;
    ASSERT_TRUE(run->StartSimulator(options));
    ExpectInstalled(run->Run({"-AUTO", run->PortArgument()}), NEWEST);
  }
}

TEST_F(AutoInstallTest, TimeLimitsEndRunsThatCannotFinish) {
  const std::vector<std::pair<std::string, std::string>> shortLimits = {
      {"HALVEX_TEST_TIME_LIMIT_MS", "3000"}};
  // The installer never starts.
  sim::sSimOptions options = QuickInstrument();
  options.faults.bNeverStartInstaller = true;
  ASSERT_TRUE(run->StartSimulator(options));
  stProcessResult result = run->Run({"-AUTO", run->PortArgument()}, shortLimits);
  EXPECT_NE(result.out.find("Time limit: the installer did not answer within 3 s!  Aborting ...\r\n"
                            " Rebooting instrument ...\r\n Reconnecting ...\r\n"),
            std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Done!"), std::string::npos);
  EXPECT_EQ(result.exitStatus, 5);
  EXPECT_LT(result.elapsedMs, 40000);

  // The instrument never comes back.
  options = QuickInstrument();
  options.faults.bNeverReboot = true;
  ASSERT_TRUE(run->StartSimulator(options));
  result = run->Run({"-AUTO", run->PortArgument()}, shortLimits);
  ExpectEnd(result,
            " Reconnecting ...\r\nTime limit: the instrument did not come back "
            "within 3 s!  Aborting ...\r\nExiting program ...",
            5);
  EXPECT_EQ(run->StoredBytes(NEWEST), run->ImageBytes(NEWEST)) << "the image itself arrived";
}

#endif

}  // namespace

TEST_F(AutoInstallTest, TheReturnedInstrumentsMainVersionIsCheckedAgainstTheImageName) {
  // An instrument that keeps reporting another version: the installation failed.
  sim::sSimOptions options = QuickInstrument();
  options.faults.replies["VERSIONS?"] = "MAIN:2.0.3,GPIB:1.0.0,FPGA:1.0.0";
  ASSERT_TRUE(run->StartSimulator(options));
  stProcessResult result = run->Run({"-AUTO", run->PortArgument()});
  ExpectEnd(result,
            " Reconnecting ...\r\nThe instrument reports MAIN version 2.0.3, not "
            "2.1.5 of " +
                NEWEST + "!\r\n Installation failed!\r\n",
            6);

  // An image name without a version: installed, but not checked.
  run->AddImage("main.bin", RandomBytes(1000, 3));
  run->AddPackage("VSR450_Z.pkg", "main.bin");
  ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  result = run->Run({"-AUTO", run->PortArgument(), "-PKG=VSR450_Z"});
  ExpectEnd(result,
            " Reconnecting ...\r\nThe image name main.bin carries no version: the "
            "instrument's MAIN version (2.0.3) could not be checked.\r\n Done!",
            0);
  EXPECT_EQ(run->StoredBytes("main.bin"), run->ImageBytes("main.bin"));
}

namespace {

// The X server a Windows program under Wine shows its windows on: the test's own DISPLAY, or
// an Xvfb on display HALVEX_TEST_DISPLAY (97 when unset) for as long as the object lives.
class cXDisplay {
 public:
  cXDisplay() {
    if (const char* szDisplay = std::getenv("DISPLAY")) name = szDisplay;
    if (!name.empty()) return;
    const char* szNumber = std::getenv("HALVEX_TEST_DISPLAY");
    const std::string number = szNumber != nullptr && szNumber[0] != '\0' ? szNumber : "97";
    // A server that already runs there is used as it is.
    const std::string socket = "/tmp/.X11-unix/X" + number;
    if (!std::filesystem::exists(socket)) {
      server.Start(
          {"/usr/bin/Xvfb", ":" + number, "-screen", "0", "1024x768x24", "-nolisten", "tcp"}, {},
          "/dev/null");
    }
    if (WaitFor([&] { return std::filesystem::exists(socket); }, 10000)) name = ":" + number;
  }
  const std::string& Name() const { return name; }

 private:
  cBackgroundProcess server;
  std::string name;
};

}  // namespace

TEST_F(AutoInstallTest, ADamagedReplyIsALineOnStandardErrorAndNeverAWindowThatWaits) {
  // Under Wine a message box would stand on the display until the run is killed.
  std::unique_ptr<cXDisplay> display;
  std::vector<std::pair<std::string, std::string>> environment;
  if (E2E_WINE) {
    display = std::make_unique<cXDisplay>();
    if (display->Name().empty()) GTEST_SKIP() << "no X server for the Windows program";
    environment.push_back({"DISPLAY", display->Name()});
  }
  sim::sSimOptions options = QuickInstrument();
  options.faults.bBadReplyChecksum = true;
  ASSERT_TRUE(run->StartSimulator(options));
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument()}, environment, 60000);
  ASSERT_FALSE(result.bTimedOut) << "the run waited for a user";
  ExpectInstalled(result, NEWEST);
  const std::string line =
      "Damaged reply: A reply from the instrument arrived with a wrong checksum; it is asked for "
      "again.\r\n";
  if (E2E_WINE) {
    EXPECT_NE(result.err.find(line), std::string::npos) << result.err;
  } else {
    EXPECT_EQ(result.err, line);
  }
  EXPECT_EQ(result.out.find("checksum"), std::string::npos) << result.out;
}
