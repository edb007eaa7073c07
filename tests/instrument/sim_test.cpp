// The Windows build against the instrument simulator on the COM port named by
// HALVEX_TEST_SIM_COM (the test run links that port to the simulator's pseudo-terminal).
#ifdef _WIN32

#include <gtest/gtest.h>

#include "instrument/halvex_instrument.h"
#include "platform/clock.h"
#include "support/simulator.h"

namespace {

// The simulator's defaults.
const char* const SIM_MODEL = "VSR450";
const int SIM_SERIAL = 123456;
const char* const SIM_MAIN_VERSION = "1.0.0";

TEST(Simulator, ConnectIdentifyAndReconnect) {
  const sRunSimulator sim = FindRunSimulator();
  const int port = sim.port;
  if (!IsValidPort(port)) GTEST_SKIP() << "HALVEX_TEST_SIM_COM is not set";
  cHalvexInstrument instrument;
  ASSERT_TRUE(instrument.Connect(ePort(port), BAUD_57600, false));
  EXPECT_TRUE(instrument.IsConnected());
  EXPECT_STREQ(instrument.GetManufacturer(), "HALVEX");
  EXPECT_STREQ(instrument.GetModel(), SIM_MODEL);
  EXPECT_EQ(instrument.GetSerialNumber(), SIM_SERIAL);
  EXPECT_STREQ(instrument.GetVersion(), SIM_MAIN_VERSION);
  EXPECT_STREQ(instrument.GetMainVersion(), SIM_MAIN_VERSION);
  EXPECT_STREQ(instrument.GetGPIBVersion(), "1.0.0");
  EXPECT_STREQ(instrument.GetFPGAVersion(), "1.0.0");
  EXPECT_TRUE(instrument.UpdateVersions());

  // Closed and reopened through Reconnect: the handshake comes back within a few seconds.
  EXPECT_TRUE(instrument.Disconnect());
  const int64_t deadline = platform::GetMonotonicMs() + 10000;
  bool bBack = false;
  while (!bBack && platform::GetMonotonicMs() < deadline) {
    bBack = instrument.Reconnect();
    platform::SleepMs(50);
  }
  EXPECT_TRUE(bBack);
  EXPECT_TRUE(instrument.Disconnect());
}

}  // namespace

#endif
