// The field tools of the program as a user runs them: the trace of an installation, the port
// listing, the help and version texts, and the options that cannot be used.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <memory>

#include "platform/sha256.h"
#include "tests/e2e/install_run.h"

namespace {

class FieldToolsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    run = std::make_unique<cInstallRun>(E2E_WINE);
    if (!run->IsAvailable()) GTEST_SKIP() << run->GetUnavailableReason();
    // Two packets of a known content: 16384 and 3616 bytes of 0x5a.
    run->AddImage("main_020105.bin", std::string(20000, '\x5a'));
    run->AddPackage("VSR450_B.pkg", "main_020105.bin");
    ASSERT_TRUE(run->StartSimulator(QuickInstrument()));
  }

  std::string Port() const { return "COM" + std::to_string(run->GetPort()); }

  // The trace's lines without their timestamps.
  std::vector<std::string> TraceEvents(const std::string& name) const {
    std::ifstream file(run->FolderPath(name));
    std::vector<std::string> events;
    for (std::string line; std::getline(file, line);) {
      if (!line.empty() && line.back() == '\r') line.pop_back();
      EXPECT_TRUE(line.size() > 24 && line[4] == '-' && line[10] == ' ' && line[19] == '.')
          << "timestamp: " << line;
      events.push_back(line.substr(24));
    }
    return events;
  }

  // Nothing reached the instrument: no command, no packet, no file.
  void ExpectInstrumentUntouched() {
    EXPECT_TRUE(run->Simulator().GetRecords().GetCommands().empty());
    EXPECT_TRUE(run->Simulator().GetRecords().GetPackets().empty());
    EXPECT_TRUE(run->Simulator().GetRecords().GetFiles().empty());
  }

  std::unique_ptr<cInstallRun> run;
};

TEST_F(FieldToolsTest, TheTraceOfAShortInstallationLineByLine) {
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument(), "-TRACE=trace.txt"});
  ASSERT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_NE(result.out.find("Arg3: -TRACE=trace.txt\r\n"), std::string::npos)
      << "in the start-up log like every argument";

  // When they happen depends on the machine's pace: time-outs, and the installer check sent
  // while the installer still starts (it goes unanswered).
  const std::string check = "TX PKT  length 4 sum 0x00000004 data 04 00 00 00";
  std::vector<std::string> events;
  const std::vector<std::string> all = TraceEvents("trace.txt");
  for (size_t i = 0; i < all.size(); ++i) {
    if (all[i].rfind("TIMEOUT ", 0) == 0) continue;
    if (all[i] == check && i + 1 < all.size() && all[i + 1].rfind("TIMEOUT ", 0) == 0) continue;
    events.push_back(all[i]);
  }
  const std::string port = Port();
  const std::string device = E2E_WINE ? "\\\\.\\" + port : run->FolderPath("ttyHALVEX");
  const std::string opened = "OPEN    " + port + " " + device + " ";
  const std::string sep = E2E_WINE ? "\\\\" : "/";
  const std::string image = run->ImageBytes("main_020105.bin");
  std::string sha256;
  ASSERT_TRUE(platform::Sha256Hex(image.data(), image.size(), sha256));
  // A line ending in '*' is matched up to there.
  const std::vector<std::string> expected = {
      "START   halvex-installer *",
      "REPORT  \"Program Entry @ *",
      "REPORT  \"Arg1: -AUTO\\r\\n\"",
      "REPORT  \"Arg2: -PORT=" + port + "\\r\\n\"",
      "REPORT  \"Arg3: -TRACE=trace.txt\\r\\n\"",
      "REPORT  \"\\r\\n\"",
      "REPORT  \"Package not specified.  Will use latest version available ...\\r\\n\"",
      "REPORT  \" Connecting ...\\r\\n\"",
      opened + "57600 bit/s 8N1, no flow control",
      "TX LINE " + port + " \"\\n\\n\\r\\n\"",
      "TX LINE " + port + " \"CMDSET HALVEX\\r\\n\"",
      "TX LINE " + port + " \"CERR\\r\\n\"",
      "TX LINE " + port + " \"ID?\\r\\n\"",
      "RX LINE " + port + " \"HALVEX,VSR450,123456,2.0.3\\r\\n\"",
      "TX LINE " + port + " \"CERR\\r\\n\"",
      "TX LINE " + port + " \"ID?\\r\\n\"",
      "RX LINE " + port + " \"HALVEX,VSR450,123456,2.0.3\\r\\n\"",
      "TX LINE " + port + " \"VERSIONS?\\r\\n\"",
      "RX LINE " + port + " \"MAIN:2.0.3,GPIB:1.0.0,FPGA:1.0.0\\r\\n\"",
      "REPORT  \"Connected to " + port + " baud 57600 successfully ...\\r\\n\"",
      "TX LINE " + port + " \"VERSIONS?\\r\\n\"",
      "RX LINE " + port + " \"MAIN:2.0.3,GPIB:1.0.0,FPGA:1.0.0\\r\\n\"",
      "REPORT  \" Getting package ...\\r\\n\"",
      "TX LINE " + port + " \"CERR\\r\\n\"",
      "TX LINE " + port + " \"INSTALL\\r\\n\"",
      "TX LINE " + port + " \"VENT\\r\\n\"",
      "CLOSE   " + port,
      "REPORT  \" Waiting for installer to connect ...\\r\\n\"",
      opened + "115200 bit/s 8N1, no flow control",
      check,
      "RX ANS  \"A\"",
      "TX PKT  length 9 sum 0x000003ce data 69 6e 73 74 61 6c 6c 65 72",
      "RX ANS  \"A\"",
      "RX PKT  length 9 sum 0x000003ce matched data 69 6e 73 74 61 6c 6c 65 72",
      "TX ANS  \"A\"",
      "RX PKT  length * matched data *",
      "TX ANS  \"A\"",
      "RX PKT  length * matched data *",
      "TX ANS  \"A\"",
      "RX PKT  length * matched data *",
      "TX ANS  \"A\"",
      "RX PKT  length * matched data *",
      "TX ANS  \"A\"",
      "REPORT  \" Getting file ...\\r\\n\"",
      "REPORT  \"Last Package:packages" + sep + "VSR450_B.pkg\\r\\n\"",
      "REPORT  \"Using latest file : files" + sep + "main_020105.bin\\r\\n\"",
      "REPORT  \" Sending file ...\\r\\n\"",
      "IMAGE   " + run->ImagePath("main_020105.bin") + ", 20000 bytes, sha256 " + sha256,
      "TX PKT  length 4 sum 0x00000002 data 02 00 00 00",
      "RX ANS  \"A\"",
      "REPORT  \" Transfer 0.00%\\r\\n\"",
      "TX PKT  length 15 sum 0x00000493 data 6d 61 69 6e 5f 30 32 30 31 30 35 2e 62 69 6e",
      "RX ANS  \"A\"",
      "REPORT  \" Transfer 0.00%\\r\\n\"",
      "TX PKT  length 4 sum 0x0000006e data 20 4e 00 00",
      "RX ANS  \"A\"",
      "REPORT  \" Transfer 0.00%\\r\\n\"",
      "TX PKT  length 16384 sum 0x00168000 data 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
      " ... (+16368 bytes)",
      "RX ANS  \"A\"",
      "REPORT  \" Transfer 81.92%\\r\\n\"",
      "TX PKT  length 3616 sum 0x0004f740 data 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a 5a"
      " ... (+3600 bytes)",
      "RX ANS  \"A\"",
      "REPORT  \" Transfer 100.00%\\r\\n\"",
      "SENT    " + run->ImagePath("main_020105.bin") + ", 20000 bytes, sha256 " + sha256,
      "TX PKT  length 0 (end of file marker)",
      "REPORT  \" Transfer 100.00%\\r\\n\"",
      "REPORT  \" Getting next file ...\\r\\n\"",
      "REPORT  \" Rebooting instrument ...\\r\\n\"",
      "TX PKT  length 4 sum 0x00000000 data 00 00 00 00",
      "RX ANS  \"A\"",
      "CLOSE   " + port,
      "REPORT  \" Reconnecting ...\\r\\n\"",
      opened + "57600 bit/s 8N1, no flow control",
      "TX LINE " + port + " \"\\n\\n\\r\\n\"",
      "TX LINE " + port + " \"CMDSET HALVEX\\r\\n\"",
      "TX LINE " + port + " \"CERR\\r\\n\"",
      "TX LINE " + port + " \"ID?\\r\\n\"",
      "RX LINE " + port + " \"HALVEX,VSR450,123456,2.1.5\\r\\n\"",
      "TX LINE " + port + " \"VERSIONS?\\r\\n\"",
      "RX LINE " + port + " \"MAIN:2.1.5,GPIB:1.0.0,FPGA:1.0.0\\r\\n\"",
      "REPORT  \"Verified: the instrument runs MAIN version 2.1.5 of main_020105.bin.\\r\\n\"",
      "REPORT  \" Done!\"",
      "REPORT  \"Exiting program ...\"",
      "END     exit status 0",
  };
  for (size_t i = 0; i < expected.size() && i < events.size(); ++i) {
    const std::string& want = expected[i];
    const size_t star = want.find('*');
    if (star == std::string::npos) {
      EXPECT_EQ(events[i], want) << "line " << i;
    } else {
      EXPECT_EQ(events[i].substr(0, star), want.substr(0, star)) << "line " << i;
    }
  }
  EXPECT_EQ(events.size(), expected.size());
}

TEST_F(FieldToolsTest, AnUnusableTraceNameStopsTheRunBeforeAnythingHappens) {
  std::filesystem::create_directory(run->FolderPath("logs"));
  const std::string missing = E2E_WINE ? "nowhere\\t.txt" : "nowhere/t.txt";
  const std::string folder = E2E_WINE ? "logs\\" : "logs/";
  const struct {
    std::string argument;
    std::string line;
  } cases[] = {
      {"-TRACE=", "-TRACE= names no file!  Aborting ...\r\n"},
      {"-TRACE=logs", "Trace file \"logs\" is a folder!  Aborting ...\r\n"},
      {"-TRACE=" + folder, "Trace file \"" + folder + "\" is a folder!  Aborting ...\r\n"},
      {"-TRACE=" + missing,
       "Trace file \"" + missing + "\": the folder \"nowhere\" does not exist!  Aborting ...\r\n"},
  };
  for (const auto& bad : cases) {
    const stProcessResult result = run->Run({"-AUTO", run->PortArgument(), bad.argument});
    EXPECT_EQ(result.exitStatus, 7) << bad.argument;
    EXPECT_NE(result.out.find("Arg2: " + run->PortArgument() + "\r\nArg3: " + bad.argument +
                              "\r\n\r\n" + bad.line + "Exiting program ..."),
              std::string::npos)
        << result.out;
  }
  EXPECT_FALSE(std::filesystem::exists(run->FolderPath("nowhere")));
  ExpectInstrumentUntouched();
}

#ifndef HALVEX_E2E_WINE
TEST_F(FieldToolsTest, ATraceThatCannotBeWrittenIsReportedOnceAndTheInstallationGoesOn) {
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument(), "-TRACE=/dev/full"});
  const std::string line =
      "Trace: cannot write \"/dev/full\" (No space left on device); the installation goes on"
      " without the trace.\r\n";
  const size_t at = result.out.find(line);
  ASSERT_NE(at, std::string::npos) << result.out;
  EXPECT_EQ(result.out.find(line, at + 1), std::string::npos) << "reported once";
  EXPECT_EQ(result.exitStatus, 0) << result.out;
  EXPECT_EQ(run->StoredBytes("main_020105.bin"), std::string(20000, '\x5a'));
}

// The Windows program's --version is run under Wine by the package check (scripts/test.sh).
TEST_F(FieldToolsTest, VersionAndHelpAnswerAndEndAndRunAloneOnly) {
  stProcessResult result = run->Run({"--version"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(result.out.rfind("halvex-installer ", 0), 0u) << result.out;
  EXPECT_EQ(result.out.find("Program Entry"), std::string::npos) << "no start-up log";

  for (const char* help : {"-HELP", "--help", "-?"}) {
    result = run->Run({help, "-AUTO"});
    EXPECT_EQ(result.exitStatus, 0) << help << ": the help wins over everything else";
    EXPECT_EQ(result.out.rfind("Usage: halvex-installer", 0), 0u) << result.out;
  }

  result = run->Run({"-AUTO", run->PortArgument(), "--version"});
  EXPECT_EQ(result.exitStatus, 8);
  EXPECT_EQ(result.out.rfind("halvex-installer ", 0), 0u) << result.out;
  EXPECT_NE(result.err.find("--version runs alone; not acted on: -AUTO " + run->PortArgument() +
                            ". Nothing was installed."),
            std::string::npos)
      << result.err;
  ExpectInstrumentUntouched();
}

// The adapters' part of the listing is checked against fake device links where the listing is
// made (tests/comm/port_tools_test.cpp): the program lists the machine's own.
TEST_F(FieldToolsTest, PortsListsWithoutTouchingAnyPortAndRunsAlone) {
  stProcessResult result = run->Run({"-PORTS"});
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(
      result.out.rfind("COM1  " + run->FolderPath("ttyHALVEX") + " (HALVEX_COM1): exists\n", 0), 0u)
      << result.out;

  result = run->Run({"-PORTS", "-AUTO", run->PortArgument()});
  EXPECT_EQ(result.exitStatus, 8);
  EXPECT_EQ(result.out.rfind("COM1  ", 0), 0u) << "it lists";
  EXPECT_NE(result.err.find("-PORTS runs alone; not acted on: -AUTO " + run->PortArgument()),
            std::string::npos)
      << result.err;
  ExpectInstrumentUntouched();
}

TEST_F(FieldToolsTest, ListShowsTheStoreAndWhatAutomaticRunsTakeWithoutOpeningAPort) {
  run->AddPackage("VSR450_C.pkg", "main_020105.bin", run->ChecksumSection("main_020105.bin"));
  run->AddPackage("VSR900_A.pkg", "main_030000.bin");
  run->AddImage("main_030100.bin", "abc");
  run->AddPackage("VSR900_B.pkg", "main_030100.bin",
                  "gpib=gpib_010000.bin\r\n[sha256]\r\nmain=" + std::string(64, 'F') + "\r\n");
  run->AddPackage("VSR700_A.pkg", "../main_010000.bin");
  stProcessResult result = run->Run({"-LIST"});
  EXPECT_EQ(result.out,
            "VSR450_B.pkg: MAIN main_020105.bin 2.1.5 (20000 bytes)\n"
            "VSR450_C.pkg: MAIN main_020105.bin 2.1.5 (20000 bytes, sha256 matches)\n"
            "VSR700_A.pkg: MAIN ../main_010000.bin 1.0.0 (outside files)\n"
            "VSR900_A.pkg: MAIN main_030000.bin 3.0.0 (missing)\n"
            "VSR900_B.pkg: MAIN main_030100.bin 3.1.0 (3 bytes, sha256 differs), GPIB "
            "gpib_010000.bin 1.0.0 (missing)\n"
            "An automatic run takes, for the model:\n"
            "  VSR450: VSR450_C.pkg\n"
            "  VSR700: VSR700_A.pkg (refused: MAIN image outside files)\n"
            "  VSR900: VSR900_B.pkg (refused: MAIN image 3 bytes, sha256 differs)\n");
  EXPECT_EQ(result.exitStatus, 0) << result.err;

  std::filesystem::remove_all(run->FolderPath("packages"));
  result = run->Run({"-LIST"});
  EXPECT_EQ(result.exitStatus, 2);
  EXPECT_NE(result.err.find("no package store to list"), std::string::npos) << result.err;
  ExpectInstrumentUntouched();
}

TEST_F(FieldToolsTest, InfoShowsTheInstrumentAndWhatWouldBeInstalledWithoutInstalling) {
  run->AddImage("main_020003.bin", "same");
  run->AddImage("gpib_000100.bin", "newer");
  run->AddImage("main_010000.bin", "older");
  run->AddPackage("VSR450_C.pkg", "main_020003.bin",
                  "gpib=gpib_000100.bin\r\nfpga=fpga_000000.bin\r\n");  // the newest
  run->AddPackage("VSR450_A.pkg", "main_010000.bin");
  sim::sSimOptions options;
  options.szMainVersion = "2.0.3";
  options.faults.replies["VERSIONS?"] = "MAIN:2.0.3,GPIB:0.0.0,FPGA:0.0.0";
  ASSERT_TRUE(run->StartSimulator(options));
  const std::string instrument =
      "Manufacturer: HALVEX\nModel: VSR450\nSerial number: 123456\nVersion: 2.0.3\n"
      "MAIN: 2.0.3\nGPIB: 0.0.0\nFPGA: 0.0.0\n";
  stProcessResult result = run->Run({"-INFO", run->PortArgument()});
  EXPECT_EQ(result.out, instrument + "Package: " + run->PackagePath("VSR450_C.pkg") +
                            "\n"
                            "MAIN image: main_020003.bin 2.0.3 same\n"
                            "GPIB image: gpib_000100.bin 0.1.0 newer\n"
                            "FPGA image: fpga_000000.bin 0.0.0 missing\n");
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  result = run->Run({"-INFO", run->PortArgument(), "-PKG=VSR450_A"});
  EXPECT_NE(result.out.find("MAIN image: main_010000.bin 1.0.0 older\n"), std::string::npos)
      << result.out;
  // The handshake, the identification and the versions: nothing that starts the installer.
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  ASSERT_FALSE(records.GetCommands().empty());
  for (const sim::sSimCommandRecord& command : records.GetCommands()) {
    EXPECT_TRUE(command.szLine == "CMDSET HALVEX" || command.szLine == "CERR" ||
                command.szLine == "ID?" || command.szLine == "VERSIONS?")
        << command.szLine;
  }
  EXPECT_EQ(records.GetCounts().packetsReceived, 0);

  // Another model: the instrument, and that nothing fits it.
  options.szModel = "VSR900";
  ASSERT_TRUE(run->StartSimulator(options));
  result = run->Run({"-INFO", run->PortArgument()});
  EXPECT_NE(result.out.find("Model: VSR900\n"), std::string::npos) << result.out;
  EXPECT_NE(result.out.find("Package: none for model VSR900\n"), std::string::npos) << result.out;
  EXPECT_EQ(result.exitStatus, 0);

  // Nothing answers.
  options.faults.hangupAfterBytes = 0;
  ASSERT_TRUE(run->StartSimulator(options));
  result = run->Run({"-INFO", run->PortArgument()});
  EXPECT_EQ(result.out, "");
  EXPECT_NE(result.err.find("Unable to connect to " + Port() + " baud 57600!"), std::string::npos)
      << result.err;
  EXPECT_EQ(result.exitStatus, 3);
}
#endif

}  // namespace
