// Automatic installations through a serial device server: ser2net in front of the simulated
// instrument's pty, the program given an rfc2217:// or socket:// port. The simulator checks the
// rate its line is set to for every command and packet (115200 for the installer, the command
// rate for the interpreter). Built for the Linux program and for the Windows program under
// Wine (HALVEX_E2E_WINE), which runs the whole installation only.
#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <nlohmann/json.hpp>
#include <string>
#include <thread>

#include "support/packets.h"
#include "support/ser2net.h"
#include "support/speed_relay.h"
#include "support/text.h"
#include "support/wait.h"
#include "tests/e2e/install_run.h"

namespace {

const std::string IMAGE = "main_020105.bin";
constexpr size_t IMAGE_SIZE = 40000;  // two full chunks and one of 7232 bytes

class DeviceServerTest : public cOneImageTest {
 protected:
  DeviceServerTest() : cOneImageTest(IMAGE, IMAGE_SIZE, 19) {}

  // The simulator at commandBaud (paced at lineRate), ser2net serving its line. An rfc2217
  // accepter opens the line at 9600, a speed no connection asks for: every speed the simulator
  // sees was set by the program. The others keep the line at commandBaud.
  bool Start(eSer2netAccepter accepter, uint32_t commandBaud, uint32_t lineRate = 0,
             int installerStartMs = 200) {
    sim::sSimOptions options = QuickInstrument();
    options.installerStartMs = installerStartMs;
    options.interpreterBaud = commandBaud;
    options.lineRate = lineRate;
    const uint32_t configured = accepter == SER2NET_RFC2217 ? 9600 : commandBaud;
    return run->StartSimulator(options) && server.Start(run->LinePath(), accepter, configured);
  }

  std::string Port(const char* scheme) const {
    return scheme + std::string("127.0.0.1:") + std::to_string(server.Port());
  }

  void ExpectInstalled(const stProcessResult& result) { ::ExpectInstalled(*run, result, IMAGE); }

  // An installation through ser2net, which is stopped once the simulator has reached a point
  // and started again 2 s later. It is stopped and started from this thread: it ends with the
  // thread that started it.
  stProcessResult RunWithRestart(const std::string& port, const std::function<bool()>& stopPoint) {
    stProcessResult result;
    std::thread installation([&] { result = run->Run({"-AUTO", "-PORT=" + port}); });
    const bool bReached = WaitFor(stopPoint, 60000);
    server.Stop();
    platform::SleepMs(2000);  // the outage itself
    const bool bRestarted = server.Start();
    installation.join();
    EXPECT_TRUE(bReached && bRestarted);
    return result;
  }

  // One line for the loss, one for the return, nothing on standard error.
  static void ExpectOneLossAndReturn(const stProcessResult& result, const std::string& port) {
    EXPECT_EQ(Count(result.out, "Lost " + port + "!  Waiting for the port to return ...\r\n"), 1u)
        << result.out;
    EXPECT_EQ(Count(result.out, port + " is back.  Going on ...\r\n"), 1u) << result.out;
    EXPECT_EQ(result.err, "") << "nothing per attempt on standard error";
  }

  cSer2net server;
};

// The line is set at the command rate (ser2net opens it at 9600), at 115200 for the installer
// and at the command rate again for the instrument's return.
TEST_F(DeviceServerTest, Rfc2217InstallsAtEachRateTheConnectionsAskFor) {
  ASSERT_TRUE(Start(SER2NET_RFC2217, 19200));
  const std::string port = Port("rfc2217://");
  const stProcessResult result =
      run->Run({"-AUTO", "-PORT=" + port, "-BAUD=19200", "-REPORT=run.json"});
  ExpectInstalled(result);
  // The record names the port as given and the address it reached.
  const nlohmann::json record =
      nlohmann::json::parse(ReadWholeFile(run->FolderPath("run.json")), nullptr, false);
  ASSERT_TRUE(record.is_object());
  EXPECT_EQ(record.value("/port/name"_json_pointer, ""), port);
  EXPECT_EQ(record.value("/port/device"_json_pointer, ""),
            "127.0.0.1:" + std::to_string(server.Port()));
  EXPECT_NE(result.out.find("Connected to " + port + " baud 19200 successfully ...\r\n"),
            std::string::npos)
      << result.out;
  if (!E2E_WINE) {
    EXPECT_EQ(result.err, "");
  }
}

#ifndef HALVEX_E2E_WINE

TEST_F(DeviceServerTest, InfoTakesANetworkPort) {
  ASSERT_TRUE(Start(SER2NET_RFC2217, 57600));
  const stProcessResult result = run->Run({"-INFO", "-PORT=" + Port("rfc2217://")});
  EXPECT_EQ(result.exitStatus, 0) << result.err;
  EXPECT_NE(result.out.find("MAIN image: " + IMAGE + " 2.1.5 newer\n"), std::string::npos);
}

// Stopped once the installer connection's first question has reached the starting instrument.
TEST_F(DeviceServerTest, AServerRestartedWhileTheInstallerStartsIsALostPortThatReturns) {
  ASSERT_TRUE(Start(SER2NET_RFC2217, 57600, 0, 4000));
  const std::string port = Port("rfc2217://");
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  int64_t atStart = -1;  // bytes received when the instrument was seen starting its installer
  const stProcessResult result = RunWithRestart(port, [&] {
    if (records.GetFace() != sim::FACE_STARTING) return false;
    const int64_t received = records.GetCounts().bytesReceived;
    if (atStart < 0) atStart = received;
    return received >= atStart + 12;  // "VENT" and its line end, or a whole packet of 4 bytes
  });
  ExpectInstalled(result);
  ExpectOneLossAndReturn(result, port);
}

// Mid-image ser2net has the packet in flight written to the instrument's line whole (it drains
// what it took before it ends) while the "A" is lost with the connection: the instrument stored
// it and the program cannot know, so the image is sent again whole once. The simulator finds
// the first copy too long.
TEST_F(DeviceServerTest, AServerRestartedMidImageIsALostPortThatReturns) {
  ASSERT_TRUE(Start(SER2NET_RFC2217, 57600, 115200));
  const std::string port = Port("rfc2217://");
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  const stProcessResult result =
      RunWithRestart(port, [&] { return records.GetCounts().bytesReceived > 20000; });
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_NE(result.out.find(" Done!Exiting program ..."), std::string::npos) << result.out;
  EXPECT_TRUE(run->StoredBytes(IMAGE) == run->ImageBytes(IMAGE)) << "the image arrived altered";
  EXPECT_LE(Count(result.out, "Sending the file again"), 1u) << result.out;
  const std::string tooLong = "data beyond the announced size of 40000 bytes of \"" + IMAGE +
                              "\"; the file is not stored\n";
  EXPECT_TRUE(run->Violations() == "" || run->Violations() == tooLong) << run->Violations();
  ExpectOneLossAndReturn(result, port);
}

TEST_F(DeviceServerTest, AServerThatCannotSetTheSpeedIsNoConnection) {
  ASSERT_TRUE(Start(SER2NET_TELNET, 57600));
  const std::string port = Port("rfc2217://");
  const stProcessResult result = run->Run({"-AUTO", "-PORT=" + port});
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(
      result.out.find("Unable to connect to " + port + " baud 57600!  Aborting ...\r\n" + port +
                      ": the server did not accept the speed 57600: it refuses the com port "
                      "option (RFC 2217)."),
      std::string::npos)
      << result.out;
  EXPECT_EQ(run->Simulator().GetRecords().GetCounts().reboots, 0);
}

// A server that is there but does not take a speed (a relay turns the request into one for
// 9600) is no lost port: the run ends at once with the reason instead of waiting out its limits.
TEST_F(DeviceServerTest, AServerThatRefusesASpeedEndsTheRunAtOnce) {
  ASSERT_TRUE(Start(SER2NET_RFC2217, 57600));
  cSpeedRelay relay;
  ASSERT_TRUE(relay.Start(server.Port(), 115200, 9600));
  std::string port = "rfc2217://127.0.0.1:" + std::to_string(relay.Port());
  // The installer's 115200, after "INSTALL": nothing more goes to the instrument.
  stProcessResult result = run->Run({"-AUTO", "-PORT=" + port});
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(result.out.find(" Waiting for installer to connect ...\r\nUnable to connect to " +
                            port + " baud 115200 for the installer!  Aborting ...\r\n" + port +
                            ": the server did not accept the speed 115200 (it set 9600).\r\n"
                            "The instrument may be waiting in its installer.  Switch the "
                            "instrument off and on.\r\n Installation failed!\r\nExiting program"),
            std::string::npos)
      << result.out;
  EXPECT_LT(result.elapsedMs, 15000);
  EXPECT_EQ(run->Simulator().GetRecords().GetCounts().packetsReceived, 0);

  // The command speed at the instrument's return, refused from the first packet on.
  ASSERT_TRUE(Start(SER2NET_RFC2217, 57600));
  ASSERT_TRUE(relay.Start(server.Port(), 1, 1));
  port = "rfc2217://127.0.0.1:" + std::to_string(relay.Port());
  const sim::cSimRecorder& records = run->Simulator().GetRecords();
  std::thread refuser([&] {
    if (WaitFor([&] { return !records.GetPackets().empty(); }, 60000)) relay.Refuse(57600, 9600);
  });
  result = run->Run({"-AUTO", "-PORT=" + port});
  refuser.join();
  EXPECT_EQ(result.exitStatus, 3);
  EXPECT_NE(
      result.out.find(" Reconnecting ...\r\nUnable to connect to " + port +
                      " baud 57600!  Aborting ...\r\n" + port +
                      ": the server did not accept the speed 57600 (it set 9600).\r\nExiting"),
      std::string::npos)
      << result.out;
  EXPECT_EQ(result.out.find("Lost"), std::string::npos) << result.out;
}

// socket:// cannot change the speed: the whole installation runs at the server's 115200, which
// -BAUD=115200 must name; with another speed the run is refused before anything is sent.
TEST_F(DeviceServerTest, SocketNeedsTheInstallersSpeedThroughout) {
  ASSERT_TRUE(Start(SER2NET_RAW, 115200));
  const std::string port = Port("socket://");
  const std::string line = port +
                           " passes the bytes as they are and cannot change the speed: the "
                           "server's line must run at the installer's 115200 bit/s, with "
                           "-BAUD=115200";

  const stProcessResult refused = run->Run({"-AUTO", "-PORT=" + port});
  EXPECT_EQ(refused.exitStatus, 2);
  EXPECT_EQ(Count(refused.out, line + "!  Aborting ...\r\n"), 1u) << refused.out;
  EXPECT_EQ(run->Simulator().GetRecords().GetCounts().bytesReceived, 0);

  const stProcessResult result = run->Run({"-AUTO", "-PORT=" + port, "-BAUD=115200"});
  ExpectInstalled(result);
  EXPECT_EQ(Count(result.out, line + ".\r\n"), 1u) << result.out;

  // -INFO says it too, on standard error: its standard output holds the items alone.
  const stProcessResult info = run->Run({"-INFO", "-PORT=" + port, "-BAUD=115200"});
  EXPECT_EQ(info.exitStatus, 0) << info.err;
  EXPECT_EQ(info.err, line + ".\n");
  EXPECT_EQ(info.out.find(line), std::string::npos) << info.out;
}

#endif

}  // namespace
