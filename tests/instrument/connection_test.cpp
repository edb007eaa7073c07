// The instrument connection over a real pseudo-terminal: handshake, identification, versions,
// start of the installer and reconnection.
#ifndef _WIN32

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdio>
#include <string>
#include <vector>

#include "instrument/halvex_instrument.h"
#include "platform/clock.h"
#include "platform/serial_device.h"
#include "support/notices.h"
#include "support/pty_peer.h"
#include "support/temp_folder.h"

namespace {

const int PORT = 7;

class ConnectionTest : public ::testing::Test {
 protected:
  ConnectionTest() {
    peer.StartLines();
    peer.Answer("ID?", "HALVEX,VSR450,123456,1.02");
    peer.Answer("VERSIONS?", "MAIN:1.2.3,GPIB:4.5.6");
  }

  // Times at which the handshake's "CMDSET HALVEX" arrived.
  std::vector<int64_t> Handshakes() {
    std::vector<int64_t> times;
    for (const sPeerLine& line : peer.Lines()) {
      if (line.text == "CMDSET HALVEX") times.push_back(line.ctReceived);
    }
    return times;
  }

  cNoticeRecorder notices;
  cPtyPeer peer{PORT};
  cHalvexInstrument instrument;
};

TEST_F(ConnectionTest, HandshakeAndIdentification) {
  ASSERT_TRUE(peer.IsOpen()) << peer.GetSkipReason();
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_EQ(peer.Received(),
            "\n\n\r\nCMDSET HALVEX\r\nCERR\r\nID?\r\nCERR\r\nID?\r\nVERSIONS?\r\n");
  EXPECT_STREQ(instrument.GetManufacturer(), "HALVEX");
  EXPECT_STREQ(instrument.GetModel(), "VSR450");
  EXPECT_STREQ(instrument.GetSerialNumberString(), "123456");
  EXPECT_EQ(instrument.GetSerialNumber(), 123456);
  EXPECT_STREQ(instrument.GetVersion(), "1.02");
  EXPECT_STREQ(instrument.GetMainVersion(), "1.2.3");
  EXPECT_STREQ(instrument.GetGPIBVersion(), "4.5.6");
  EXPECT_STREQ(instrument.GetFPGAVersion(), "0.0.0") << "absent";
  EXPECT_EQ(instrument.GetConnectPort(), PORT);
  EXPECT_EQ(instrument.GetPortDevice(), platform::SerialPortPath(PORT));
  EXPECT_STREQ(instrument.GetID(), "HALVEX,VSR450,123456,1.02");

  EXPECT_TRUE(instrument.Disconnect());
  EXPECT_FALSE(instrument.IsConnected());
  EXPECT_FALSE(instrument.Disconnect());
}

TEST_F(ConnectionTest, IdentificationVariants) {
  peer.Answer("ID?", "DREV, VSR450,42,2.0.1,extra");
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_STREQ(instrument.GetManufacturer(), "DREV");
  EXPECT_STREQ(instrument.GetModel(), "VSR450");
  EXPECT_EQ(instrument.GetSerialNumber(), 42);
  EXPECT_STREQ(instrument.GetVersion(), "2.0.1");

  // The maker's name anywhere passes; every field is cut to its width.
  peer.Answer("ID?", "x HALVEX,MODEL12345,123456789,1.2.3.4.5.6");
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_STREQ(instrument.GetManufacturer(), "x HALVE");
  EXPECT_STREQ(instrument.GetModel(), "MODEL12");
  EXPECT_STREQ(instrument.GetSerialNumberString(), "1234567");
  EXPECT_EQ(instrument.GetSerialNumber(), 1234567);
  EXPECT_STREQ(instrument.GetVersion(), "1.2.3.4");

  // Too few fields: the instrument answered the handshake but is not usable.
  peer.Answer("ID?", "HALVEX,VSR450");
  EXPECT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  EXPECT_FALSE(instrument.IsConnected());
  EXPECT_STREQ(instrument.GetManufacturer(), "HALVEX");
  EXPECT_STREQ(instrument.GetModel(), "???");
  EXPECT_EQ(instrument.GetSerialNumber(), 0);
  EXPECT_STREQ(instrument.GetVersion(), "0.0.0");
}

TEST_F(ConnectionTest, VersionReplies) {
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  // Each field is read on its own, up to the next comma, in any order and letter case.
  const struct {
    const char* reply;
    bool bFound;
    const char* main;
    const char* gpib;
    const char* fpga;
  } cases[] = {
      {"inst:2.0.7", true, "2.0.7", "0.0.0", "0.0.0"},
      {"MAIN:0.0.0", true, "NOT REQ.", "0.0.0", "0.0.0"},
      {"MAIN:12.345.678", true, "12.345.6", "0.0.0", "0.0.0"},
      {"MAIN:5,GPIB:1.2.3", true, "5.0.0", "1.2.3", "0.0.0"},
      {"MAIN:1.-1.0", true, "1.-1.0", "0.0.0", "0.0.0"},
      {"fpga:12.345.678,MAIN:1.0.0,gpib:7", true, "1.0.0", "7.0.0", "12.345.6"},
      {"MAIN:2.0.0,GPIB:,FPGA:x.1", true, "2.0.0", "0.0.0", "0.1.0"},
      {"GPIB:1.2.3,FPGA:4.5.6", false, "NOT REQ.", "NOT REQ.", "NOT REQ."},
  };
  for (const auto& each : cases) {
    peer.Answer("VERSIONS?", each.reply);
    EXPECT_EQ(instrument.UpdateVersions(), each.bFound) << each.reply;
    EXPECT_STREQ(instrument.GetMainVersion(), each.main) << each.reply;
    EXPECT_STREQ(instrument.GetGPIBVersion(), each.gpib) << each.reply;
    EXPECT_STREQ(instrument.GetFPGAVersion(), each.fpga) << each.reply;
  }
  // Nothing of an earlier reply survives in the next one.
  peer.Answer("VERSIONS?", "MAIN:1.2.3,GPIB:4.5.6");
  EXPECT_TRUE(instrument.UpdateVersions());
  peer.Answer("VERSIONS?", "MAIN:3");
  EXPECT_TRUE(instrument.UpdateVersions());
  EXPECT_STREQ(instrument.GetMainVersion(), "3.0.0");
  EXPECT_STREQ(instrument.GetGPIBVersion(), "0.0.0");
}

TEST_F(ConnectionTest, ForeignMissingAndUnopenablePorts) {
  peer.Answer("ID?", "OK");
  EXPECT_FALSE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  EXPECT_FALSE(instrument.IsConnected());

  peer.SetSilent(true);
  const int64_t ctStart = platform::GetMonotonicMs();
  EXPECT_FALSE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  const int64_t elapsed = platform::GetMonotonicMs() - ctStart;
  EXPECT_GE(elapsed, 1800);
  EXPECT_LE(elapsed, 3500);

  setenv("HALVEX_COM8", "/nonexistent/halvex-port", 1);
  EXPECT_FALSE(instrument.Connect(COM8, BAUD_57600, true));
  EXPECT_EQ(instrument.GetConnectPort(), COM8);
  EXPECT_EQ(notices.Notices().size(), 1u);
}

TEST_F(ConnectionTest, StartInstaller) {
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_115200, false));
  const size_t first = peer.Lines().size();
  EXPECT_TRUE(instrument.StartInstaller());
  ASSERT_TRUE(peer.WaitForLine("VENT", 1, 2000));
  EXPECT_EQ(peer.Texts(first), (std::vector<std::string>{"CERR", "INSTALL", "VENT"}));
}

// Calls Reconnect every 50-100 ms until it returns true or `ms` have passed.
bool ReconnectFor(cHalvexInstrument& instrument, int ms, bool bStopWhenConnected) {
  const int64_t deadline = platform::GetMonotonicMs() + ms;
  int pause = 50;
  while (platform::GetMonotonicMs() < deadline) {
    if (instrument.Reconnect() && bStopWhenConnected) return true;
    platform::SleepMs(static_cast<unsigned>(pause));
    pause = pause == 50 ? 100 : 50;
  }
  return instrument.IsConnected();
}

void ExpectSpacedApart(const std::vector<int64_t>& times, int64_t ctFirstCall) {
  ASSERT_FALSE(times.empty());
  EXPECT_GE(times[0] - ctFirstCall, 1800);
  for (size_t i = 1; i < times.size(); ++i) EXPECT_GE(times[i] - times[i - 1], 1800) << i;
}

TEST_F(ConnectionTest, ReconnectRepeatsHandshakeEveryTwoSeconds) {
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  peer.Clear();
  const int64_t ctFirstCall = platform::GetMonotonicMs();
  EXPECT_TRUE(ReconnectFor(instrument, 5500, false));
  const std::vector<int64_t> times = Handshakes();
  EXPECT_EQ(times.size(), 2u);
  ExpectSpacedApart(times, ctFirstCall);
  // Only the handshake: the identification is not parsed again.
  EXPECT_EQ(peer.Texts(), (std::vector<std::string>{"", "", "", "CMDSET HALVEX", "CERR", "ID?", "",
                                                    "", "", "CMDSET HALVEX", "CERR", "ID?"}));
}

TEST_F(ConnectionTest, ReconnectAfterReboot) {
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  ASSERT_TRUE(instrument.Disconnect());
  peer.Clear();
  peer.SetSilent(true);
  const int64_t ctFirstCall = platform::GetMonotonicMs();
  EXPECT_FALSE(ReconnectFor(instrument, 3000, true));
  ASSERT_TRUE(peer.WaitForLine("ID?", 1, 3000));
  peer.SetSilent(false);
  EXPECT_TRUE(ReconnectFor(instrument, 8000, true));
  ExpectSpacedApart(Handshakes(), ctFirstCall);
  EXPECT_GE(Handshakes().size(), 2u);
  EXPECT_STREQ(instrument.GetModel(), "VSR450");
  EXPECT_TRUE(notices.Notices().empty());
}

TEST_F(ConnectionTest, MissingPortIsReopenedEveryTwoSeconds) {
  const cTempFolder folder;
  const std::string link = folder.PathOf("com");
  ASSERT_EQ(symlink(peer.GetPath().c_str(), link.c_str()), 0);
  setenv(("HALVEX_COM" + std::to_string(PORT)).c_str(), link.c_str(), 1);
  ASSERT_TRUE(instrument.Connect(ePort(PORT), BAUD_57600, false));
  ASSERT_TRUE(instrument.Disconnect());
  unlink(link.c_str());
  peer.Clear();

  // The missing port is tried quietly: its loss is the caller's to report, once.
  EXPECT_FALSE(ReconnectFor(instrument, 4500, true));
  EXPECT_TRUE(notices.Notices().empty());
  EXPECT_TRUE(instrument.IsPortLost());
  EXPECT_TRUE(peer.Lines().empty());

  ASSERT_EQ(symlink(peer.GetPath().c_str(), link.c_str()), 0);
  const int64_t ctCreated = platform::GetMonotonicMs();
  EXPECT_TRUE(ReconnectFor(instrument, 8000, true));
  const int64_t elapsed = platform::GetMonotonicMs() - ctCreated;
  EXPECT_GE(elapsed, 1800);  // the handshake waits 2 s after the reopening
  EXPECT_LE(elapsed, 6000);
  EXPECT_EQ(Handshakes().size(), 1u);
  unlink(link.c_str());
}

}  // namespace

#endif
