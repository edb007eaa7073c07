// The instrument simulator for a test.
//
// Natively cTestSimulator runs it with a fresh folder for its store, and the
// code under test reaches it as COM<port> (HALVEX_COM<port> leads to its pty):
//   cTestSimulator sim;               // COM1; cTestSimulator sim(8) for COM8
//   ASSERT_TRUE(sim.Start(options));  // the engine in this process (what it saw: Records())
//   ASSERT_TRUE(sim.StartTool(HALVEX_SIM_TOOL, {"--serial=777"}));  // halvex-sim as a process
//   cPtyPeer client;                  // the program's side of the line
//   ASSERT_TRUE(sim.EnterInstaller(client));
// Tests of the simulator itself derive from cSimulatorTest (below).
//
// The Windows suites cannot run it: the test run starts one for them (run_wine_suites.sh)
// and FindRunSimulator() tells where it is.
#ifndef HALVEX_TESTS_SUPPORT_SIMULATOR_H
#define HALVEX_TESTS_SUPPORT_SIMULATOR_H

#include <memory>
#include <string>
#include <vector>

// The simulator the test run started: HALVEX_TEST_SIM_COM names the COM number linked to it,
// HALVEX_TEST_SIM_STORE the folder (a Windows path under Wine) where it stores files.
struct sRunSimulator {
  int port = 0;
  std::string store;
  std::string szSkipReason;  // empty when both are set
  // The stored file, once it has reached size bytes (or after 10 s).
  std::string Stored(const std::string& name, size_t size) const;
};
sRunSimulator FindRunSimulator();

#ifndef _WIN32

#include <gtest/gtest.h>

#include "sim/sim_engine.h"
#include "sim/sim_options.h"
#include "support/process.h"
#include "support/pty_peer.h"
#include "support/temp_folder.h"
#include "util/no_copy.h"

class cTestSimulator : private cNoCopy {
 public:
  explicit cTestSimulator(int port = 1);
  ~cTestSimulator();

  // The engine in this process, storing into StoreDir(). Starting again stops what ran
  // before; the store stays.
  bool Start(sim::sSimOptions options = sim::sSimOptions());
  // The same, serving at link (a path) instead of a port of this process (a Wine prefix's
  // port link, for a program run under Wine).
  bool StartAt(const std::string& link, sim::sSimOptions options);
  // The halvex-sim program at a link in the folder, with the arguments after --pty and --store.
  bool StartTool(const std::string& program, const std::vector<std::string>& arguments);
  // Stops whatever runs; the tool's exit status (-1 when it had to be killed, 0 for the engine).
  int Stop();

  bool IsUp() const;
  // The line's path: the pty slave or the link.
  const std::string& GetPath() const { return szPath; }
  const std::string& GetFolder() const { return folder.GetPath(); }
  std::string StoreDir() const { return folder.PathOf("store"); }

  // What the engine recorded (Start and StartAt only).
  sim::cSimEngine& Engine() { return *engine; }
  const sim::cSimRecorder& Records() const { return engine->GetRecords(); }
  // Every violation, one a line; empty when none. The tool's are known once it has stopped.
  std::string Violations() const;
  // The command lines received from index first on.
  std::vector<std::string> Lines(size_t first = 0) const;
  size_t LineCount() const { return Lines().size(); }
  // The lines from index first on, once the line received last is last (or after 3 s).
  std::vector<std::string> LinesThrough(size_t first, const std::string& last) const;
  bool WaitForFace(sim::eSimFace face, int timeoutMs) const;
  // The stored file, once it has reached size bytes (or after 10 s): nothing answers the
  // end-of-file marker, so the simulator may still be taking it when a transfer has ended.
  std::string Stored(const std::string& name, size_t size) const;

  // Opens client on the line at the interpreter's rate.
  bool Connect(cPtyPeer& client) const;
  // Connects client, says "INSTALL", waits for the installer and sets the line to 115200.
  bool EnterInstaller(cPtyPeer& client);

 private:
  bool Serve(const std::string& link, sim::sSimOptions options);

  int port;
  cTempFolder folder;
  std::unique_ptr<sim::cSimEngine> engine;
  cBackgroundProcess tool;
  std::string szPath;
  uint32_t interpreterBaud = 57600;
};

// A test of the simulator itself: the simulator on COM1 and a client on its line.
//   using SimInterpreter = cSimulatorTest;
//   TEST_F(SimInterpreter, X) { ASSERT_TRUE(Start(options)); client.WriteLine("ID?"); ... }
class cSimulatorTest : public ::testing::Test {
 protected:
  // Starts the simulator (again) and connects the client.
  bool Start(const sim::sSimOptions& options = sim::sSimOptions()) {
    return sim.Start(options) && sim.Connect(client);
  }
  // The same, and the client enters the resident installer.
  bool StartInstaller(const sim::sSimOptions& options) {
    return sim.Start(options) && sim.EnterInstaller(client);
  }

  cTestSimulator sim;
  cPtyPeer client;
};

// The program's side of the installer conversation, for tests of the simulator.
// The whole transfer: word 2, name, size, chunks of 16384 bytes, end-of-file marker.
bool SendFile(cPtyPeer& client, const std::string& name, const std::string& data);
// Word 4 and the name, then the five reply packets, each answered. True when all came.
bool AskVersions(cPtyPeer& client, const std::string& name);

#endif
#endif
