// Automatic installations in which the "A" of a data packet that the instrument stored is lost:
// the program cannot tell whether the packet it sends again is stored twice, so it sends the
// whole file again. The simulator plays a naive installer (stores the repeat) and records each
// file it stores. Built for the Linux program and for the Windows program under Wine.
#include <gtest/gtest.h>

#include <memory>
#include <nlohmann/json.hpp>
#include <string>

#include "support/packets.h"
#include "support/text.h"
#include "tests/e2e/install_run.h"

namespace {

const std::string IMAGE = "main_020105.bin";
constexpr size_t IMAGE_SIZE = 40000;  // three data packets

std::string AgainLine(int pass) {
  return "An answer was lost during the transfer: the instrument may hold a packet twice.  "
         "Sending the file again (pass " +
         std::to_string(pass) + " of 3) ...\r\n";
}

class UncertainTransferTest : public cOneImageTest {
 protected:
  UncertainTransferTest() : cOneImageTest(IMAGE, IMAGE_SIZE, 21) {}

  bool StartSimulator(const sim::sSimFaults& faults) {
    sim::sSimOptions options = QuickInstrument();
    options.faults = faults;
    options.faults.bStoreRepeats = true;
    return run->StartSimulator(options);
  }

  // The run record of the image (-REPORT=run.json): its passes and result, and the run's reason.
  std::string Recorded() const {
    const nlohmann::json record =
        nlohmann::json::parse(ReadWholeFile(run->FolderPath("run.json")), nullptr, false);
    if (record.is_discarded() || record["images"].size() != 1) return "<no record>";
    return std::to_string(record["images"][0]["passes"].get<int>()) + " " +
           record["images"][0]["result"].get<std::string>() + " " +
           record["reason"].get<std::string>();
  }
};

TEST_F(UncertainTransferTest, ALostAnswerSendsTheFileAgainWholeAndTheSecondPassCounts) {
  sim::sSimFaults lost;
  lost.loseAckAfterStore = 2;
  sim::sSimFaults unplugged;
  unplugged.unplugBeforeAck = 2;
  unplugged.replugAfterMs = 800;
  for (const sim::sSimFaults& faults : {lost, unplugged}) {
    SCOPED_TRACE(faults.unplugBeforeAck > 0 ? "unplugged before the answer" : "answer lost");
    ASSERT_TRUE(StartSimulator(faults));
    const stProcessResult result = run->Run({"-AUTO", run->PortArgument(), "-REPORT=run.json"});
    EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
    EXPECT_EQ(Recorded(), "2 sent done");
    // The second pass follows the first's end at once, its progress from 0.
    EXPECT_NE(result.out.find(" Transfer 100.00%\r\n" + AgainLine(2) + " Transfer 0.00%\r\n"),
              std::string::npos)
        << result.out;
    EXPECT_EQ(Count(result.out, "Sending the file again"), 1u) << result.out;
    EXPECT_NE(result.out.find("Verified: the instrument runs MAIN version 2.1.5 of " + IMAGE +
                              " (sent 2 times: an answer was lost in the first).\r\n Done!"),
              std::string::npos)
        << result.out;
    // The first copy held the packet twice; the second, stored under the same name, is whole.
    const sim::cSimRecorder& records = run->Simulator().GetRecords();
    ASSERT_EQ(records.GetFiles().size(), 2u);
    EXPECT_GT(records.GetFiles()[0].size, IMAGE_SIZE);
    EXPECT_EQ(records.GetFiles()[1].size, IMAGE_SIZE);
    EXPECT_EQ(records.GetCounts().faultRepeatsStored, 1);
    EXPECT_EQ(run->StoredBytes(IMAGE), run->ImageBytes(IMAGE)) << "the image arrived altered";
    EXPECT_EQ(run->Violations(), "");
  }
}

TEST_F(UncertainTransferTest, AnAnswerLostInEveryPassEndsAfterTheThirdAsACutWithStatus9) {
  sim::sSimFaults faults;
  faults.loseAckAfterStore = 1;
  faults.bLoseAckEveryTransfer = true;
  ASSERT_TRUE(StartSimulator(faults));
  // The instrument is to be switched off and on: with no exit word it never comes back here,
  // and the short limits end the wait.
  const stProcessResult result = run->Run({"-AUTO", run->PortArgument(), "-REPORT=run.json"},
                                          {{"HALVEX_TEST_TIME_LIMIT_MS", "3000"}});
  EXPECT_EQ(result.exitStatus, 9) << result.out << result.err;
  EXPECT_EQ(Recorded(), "3 uncertain uncertain");
  EXPECT_EQ(result.out.find("Done!"), std::string::npos) << result.out;
  EXPECT_EQ(result.out.find("Verified"), std::string::npos) << result.out;
  EXPECT_EQ(Count(result.out, AgainLine(2)), 1u) << result.out;
  EXPECT_EQ(Count(result.out, AgainLine(3)), 1u) << result.out;
  EXPECT_NE(result.out.find(" Transfer 100.00%\r\nAn answer was lost in every pass: the image on "
                            "the instrument may hold a packet twice.  Switch the instrument off "
                            "and on: waiting up to 3 s for it to answer ...\r\n"),
            std::string::npos)
      << result.out;
  EXPECT_NE(result.out.find("Aborting ...\r\n Installation failed!\r\n"), std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find(" Rebooting instrument ..."), std::string::npos) << result.out;
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  EXPECT_EQ(records.GetFiles().size(), 3u) << "at most three passes";
  // (The reconnection handshake then meets the installer, which refuses it as packets.)
  EXPECT_EQ(records.GetCounts().reboots, 0) << "no exit word";
}

}  // namespace
