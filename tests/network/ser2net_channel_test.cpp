// The network channel against the real serial device server, ser2net, in front of the
// instrument simulator: the program's two connections one after the other, as an
// installation uses them (natively; under Wine against the test run's ser2net and simulator).
#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "comm/network_channel.h"
#include "instrument/halvex_instrument.h"
#include "support/packets.h"
#include "support/ser2net.h"
#include "support/simulator.h"
#include "support/temp_folder.h"
#include "support/wait.h"
#include "util/trace.h"

namespace {

const size_t CHUNK = 16384;

// The program's side of the packet framing over a channel: the packet, then its "A" within
// 2 s (other bytes skipped), again when it does not come.
bool SendPacket(cComm& channel, const std::string& data, int tries = 10) {
  const std::string packet = Packet(data);
  for (int i = 0; i < tries; ++i) {
    if (!channel.WriteN(packet.data(), static_cast<int>(packet.size()))) return false;
    const int64_t ctDeadline = platform::GetMonotonicMs() + 2000;
    char byte = 0;
    while (platform::GetMonotonicMs() < ctDeadline) {
      if (channel.ReadN(&byte, 1, 0.5f) && byte == 'A') return true;
    }
  }
  return false;
}

bool ReadPacket(cComm& channel, std::string& data) {
  char header[8];
  if (!channel.ReadN(header, 8, 1.0f)) return false;
  const uint32_t length = static_cast<unsigned char>(header[0]) |
                          static_cast<unsigned char>(header[1]) << 8 |
                          static_cast<unsigned char>(header[2]) << 16 |
                          static_cast<uint32_t>(static_cast<unsigned char>(header[3])) << 24;
  if (length > CHUNK) return false;
  data.assign(length, '\0');
  if (length > 0 && !channel.ReadN(&data[0], static_cast<int>(length), 1.0f)) return false;
  return channel.WriteN("A", 1);
}

std::string Identify(cComm& channel) {
  channel.Write("ID?");
  return channel.ReadStripTerm();
}

// What an installation does on the line, through two channels on one server: the
// identification at the command rate, "INSTALL", the installer at 115200 (its version
// question, a file of every byte value, the exit), then the command rate again until the
// restarted instrument answers. Returns the seconds the file's data packets took.
double Install(const std::string& host, unsigned port, eNetworkMode mode, eBaud commandBaud,
               const std::string& name, const std::string& file) {
  cNetworkChannel instrument;
  EXPECT_TRUE(instrument.Initialize(host.c_str(), port, mode, commandBaud, false))
      << instrument.GetOpenFailure();
  EXPECT_EQ(Identify(instrument).substr(0, 7), "HALVEX,");
  instrument.Write("INSTALL");
  instrument.Flush();
  EXPECT_TRUE(instrument.Disconnect());

  cNetworkChannel installer;
  EXPECT_TRUE(installer.Initialize(host.c_str(), port, mode, BAUD_115200, false))
      << installer.GetOpenFailure();
  EXPECT_TRUE(SendPacket(installer, Field(4)));
  EXPECT_TRUE(SendPacket(installer, "installer"));
  std::string reply;
  for (int i = 0; i < 5; ++i) EXPECT_TRUE(ReadPacket(installer, reply)) << "reply " << i;
  EXPECT_TRUE(installer.PurgeRx());
  EXPECT_TRUE(SendPacket(installer, Field(2)));
  EXPECT_TRUE(SendPacket(installer, name));
  EXPECT_TRUE(SendPacket(installer, Field(static_cast<uint32_t>(file.size()))));
  const double seconds = SecondsOf([&] {
    for (size_t offset = 0; offset < file.size(); offset += CHUNK) {
      EXPECT_TRUE(SendPacket(installer, file.substr(offset, CHUNK), 1)) << "at " << offset;
    }
  });
  EXPECT_TRUE(installer.WriteN(Field(0).data(), 4));
  EXPECT_TRUE(SendPacket(installer, Field(0)));
  // The exit word was answered: closing does not wait for the line time of the whole file.
  EXPECT_LT(SecondsOf([&] { EXPECT_TRUE(installer.Disconnect()); }), 2.0);

  EXPECT_TRUE(WaitFor(
      [&] { return instrument.Reconnect() && Identify(instrument).substr(0, 7) == "HALVEX,"; },
      30000));
  instrument.Disconnect();
  EXPECT_FALSE(instrument.IsLost());
  return seconds;
}

#ifndef _WIN32

class Ser2net : public ::testing::Test {
 protected:
  // The simulator's interpreter at baud. An rfc2217 accepter opens the line at 9600, which no
  // connection asks for, so every speed the simulator sees was set by the channel; the others
  // keep the line at baud.
  bool Start(eSer2netAccepter accepter, uint32_t baud = 57600) {
    sim::sSimOptions options;
    options.installerStartMs = 200;
    options.bootMs = 500;
    options.interpreterBaud = baud;
    const uint32_t configured = accepter == SER2NET_RFC2217 ? 9600 : baud;
    return sim.Start(options) && server.Start(sim.GetPath(), accepter, configured);
  }
  std::string Name(const char* scheme) const {
    return std::string(scheme) + "127.0.0.1:" + std::to_string(server.Port());
  }

  cTestSimulator sim;
  cSer2net server;
};

TEST_F(Ser2net, Rfc2217SetsEachRateTheConnectionsAskFor) {
  ASSERT_TRUE(Start(SER2NET_RFC2217));
  const std::string file = RandomBytes(256 * 1024 + 77, 2217);
  const double seconds =
      Install("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, "main_020105.bin", file);
  EXPECT_EQ(sim.Stored("main_020105.bin", file.size()), file);
  // The simulator checks the rate of its line for every command and packet.
  EXPECT_EQ(sim.Violations(), "");
  std::printf("through ser2net (rfc2217, unpaced pty): %.0f KiB/s\n",
              file.size() / 1024.0 / seconds);
}

TEST_F(Ser2net, SocketPassesTheBytesAsTheyAreAtTheServersRate) {
  ASSERT_TRUE(Start(SER2NET_RAW, 115200));
  cTempFolder folder;
  ASSERT_TRUE(trace.Open(folder.PathOf("trace.txt"), "socket"));
  cNetworkChannel channel;
  ASSERT_TRUE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_SOCKET, BAUD_57600, false));
  EXPECT_FALSE(channel.CanSetBaud());
  channel.Disconnect();
  trace.Close("");
  const std::string port = std::to_string(server.Port());
  EXPECT_NE(ReadWholeFile(folder.PathOf("trace.txt"))
                .find("socket://127.0.0.1:" + port + " 127.0.0.1:" + port +
                      " raw, the server's line settings"),
            std::string::npos);
  const std::string file = RandomBytes(40000, 4001);
  Install("127.0.0.1", server.Port(), NETWORK_SOCKET, BAUD_115200, "main_020105.bin", file);
  EXPECT_EQ(sim.Stored("main_020105.bin", file.size()), file);
  EXPECT_EQ(sim.Violations(), "");
}

TEST_F(Ser2net, AServerThatCannotSetTheLineIsToldClearly) {
  ASSERT_TRUE(Start(SER2NET_TELNET));
  cNetworkChannel channel;
  EXPECT_FALSE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false));
  EXPECT_EQ(std::string(channel.GetOpenFailure()),
            Name("rfc2217://") +
                ": the server did not accept the speed 57600: it refuses the com port option (RFC "
                "2217). Enable RFC 2217 on the server (ser2net: accepter telnet(rfc2217),tcp,...), "
                "or set its line to 115200 bit/s and use " +
                Name("socket://") + " with -BAUD=115200.");
  EXPECT_EQ(channel.GetErrorString(), "Could not set up the line:" + Name("rfc2217://"));
  EXPECT_TRUE(channel.SettingsRefused());

  // A plain TCP port does not negotiate at all.
  ASSERT_TRUE(server.Start(sim.GetPath(), SER2NET_RAW));
  EXPECT_FALSE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false));
  EXPECT_EQ(std::string(channel.GetOpenFailure()),
            Name("rfc2217://") +
                ": no answer to the telnet negotiation within 3 s: no RFC 2217 server listens "
                "there (a plain TCP port is " +
                Name("socket://") + ").");
  EXPECT_FALSE(channel.SettingsRefused()) << "it refused nothing";

  server.Stop();
  EXPECT_FALSE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false));
  EXPECT_EQ(std::string(channel.GetOpenFailure())
                .find(Name("rfc2217://") + ": the server refused the connection ("),
            0u);
  EXPECT_EQ(channel.GetErrorString(),
            "Could not connect to server:127.0.0.1 port:" + std::to_string(server.Port()));
  EXPECT_FALSE(channel.SettingsRefused());
}

// What the instrument connection's network port leads to: the address reached, else its name.
TEST_F(Ser2net, TheInstrumentConnectionNamesTheAddressItReached) {
  ASSERT_TRUE(Start(SER2NET_RFC2217));
  stNetworkPort port;
  ASSERT_TRUE(ParseNetworkPort(Name("rfc2217://").c_str(), &port));
  cHalvexInstrument instrument;
  ASSERT_TRUE(instrument.Connect(NetworkPortName(port), BAUD_57600, false));
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_EQ(instrument.GetPortDevice(), "127.0.0.1:" + std::to_string(server.Port()));
  instrument.Disconnect();
  server.Stop();
  EXPECT_FALSE(instrument.Connect(NetworkPortName(port), BAUD_57600, false));
  EXPECT_EQ(instrument.GetPortDevice(), Name("rfc2217://"));
}

TEST_F(Ser2net, AServerThatGoesIsALostPortUntilItIsBack) {
  ASSERT_TRUE(Start(SER2NET_RFC2217));
  cNetworkChannel channel;
  ASSERT_TRUE(channel.Initialize("127.0.0.1", server.Port(), NETWORK_RFC2217, BAUD_57600, false));
  EXPECT_EQ(Identify(channel).substr(0, 7), "HALVEX,");

  server.Stop();
  EXPECT_EQ(Identify(channel), "Error: connection lost:" + Name("rfc2217://"));
  EXPECT_TRUE(channel.IsLost());
  EXPECT_FALSE(channel.IsConnected());
  // Quiet attempts, paced: a step returns within a slice.
  for (int i = 0; i < 5; ++i) {
    EXPECT_LT(SecondsOf([&] { EXPECT_FALSE(channel.Recover()); }), 1.0);
  }

  ASSERT_TRUE(server.Start());
  const int64_t ctBack = platform::GetMonotonicMs();
  EXPECT_TRUE(WaitFor([&] { return channel.Recover(); }, 15000));
  EXPECT_LT(SecondsSince(ctBack), 3.0);
  EXPECT_FALSE(channel.IsLost());
  EXPECT_EQ(Identify(channel).substr(0, 7), "HALVEX,");
  EXPECT_EQ(sim.Violations(), "");
}

#endif

// The Windows build through Winsock, against the ser2net that the test run put in front of
// its simulator.
TEST(Ser2netRun, InstallsThroughTheRunsServer) {
  const unsigned port = FindRunSer2net();
  const sRunSimulator run = FindRunSimulator();
  if (port == 0 || !run.szSkipReason.empty()) {
    GTEST_SKIP() << "HALVEX_TEST_SER2NET_PORT and the run's simulator are not set";
  }
  const std::string file = RandomBytes(70000, 1143);
  Install("localhost", port, NETWORK_RFC2217, BAUD_57600, "main_020106.bin", file);
  EXPECT_EQ(run.Stored("main_020106.bin", file.size()), file);
}

}  // namespace
