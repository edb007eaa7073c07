// The engine against the simulator whose pty is unplugged at one point of the installer's
// conversation and plugged in again 300 ms later, as a USB adapter that resets: the engine
// waits quietly, reopens the port and goes on where it stood, and the instrument stores the
// image byte for byte (a packet sent twice would make it refuse the file).
#ifndef _WIN32

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <memory>
#include <string>

#include "instrument/halvex_installer.h"
#include "instrument/halvex_instrument.h"
#include "platform/clock.h"
#include "sim/sim_engine.h"
#include "support/temp_folder.h"
#include "support/wait.h"
#include "util/notice.h"

namespace {

constexpr int PORT = 7;
const char* const REMOTE = "unplug.bin";  // 10 characters: its packet is 18 bytes
constexpr size_t SIZE = 40000;            // two full chunks and one of 7232 bytes

// Bytes the installer receives, counted from the first byte of the transfer's command word.
constexpr int64_t WORD = 12, NAME = 18, SIZE_PACKET = 12, CHUNK = 16392, LAST = 7240, MARKER = 4;
constexpr int64_t DATA = WORD + NAME + SIZE_PACKET;

struct sUnplugCase {
  const char* szName;
  int64_t offset;  // the unplug comes with this byte of the transfer
};

void PrintTo(const sUnplugCase& test, std::ostream* os) {
  *os << test.szName;
}

int notices = 0;
void CountNotice(const char*, const char*, eNoticeIcon) {
  ++notices;
}

class InstallerUnplug : public ::testing::TestWithParam<sUnplugCase> {
 protected:
  void TearDown() override {
    installer.Disconnect();
    if (engine) engine->Stop();
    SetNoticeSink(nullptr);
  }

  // The simulator at a link mapped to PORT; the installer started and answering.
  void Enter(sim::sSimOptions options) {
    options.szStoreDir = folder.GetPath() + "/store";
    options.installerStartMs = 100;
    engine = std::make_unique<sim::cSimEngine>(options);
    const std::string link = folder.GetPath() + "/tty";
    ASSERT_TRUE(engine->Start(link)) << engine->GetError();
    setenv(("HALVEX_COM" + std::to_string(PORT)).c_str(), link.c_str(), 1);
    cHalvexInstrument instrument;
    ASSERT_TRUE(instrument.Connect(static_cast<ePort>(PORT), BAUD_57600, false));
    ASSERT_TRUE(instrument.StartInstaller());
    instrument.Disconnect();
    ASSERT_TRUE(
        WaitFor([&] { return engine->GetRecords().GetFace() == sim::FACE_INSTALLER; }, 5000));
    installer.Connect(static_cast<ePort>(PORT), BAUD_115200);
    ASSERT_TRUE(WaitFor([&] { return installer.IsRunning(); }, 10000));
  }

  // Bytes the instrument received up to the transfer.
  int64_t BytesToTransfer() {
    Enter(sim::sSimOptions());
    const int64_t bytes = engine->GetRecords().GetCounts().bytesReceived;
    installer.Disconnect();
    engine->Stop();
    return bytes;
  }

  cTempFolder folder;
  std::unique_ptr<sim::cSimEngine> engine;
  cHalvexInstaller installer;
};

TEST_P(InstallerUnplug, TheTransferGoesOnWhereItStoodAndTheImageArrivesWhole) {
  const int64_t before = BytesToTransfer();
  sim::sSimOptions options;
  options.faults.unplugAfterBytes = before + GetParam().offset;
  options.faults.replugAfterMs = 300;
  Enter(options);
  notices = 0;
  SetNoticeSink(CountNotice);

  std::string image(SIZE, '\0');
  for (size_t i = 0; i < SIZE; ++i) image[i] = static_cast<char>((i * 131) >> 3);
  folder.WriteFile("image.bin", image);
  ASSERT_TRUE(installer.InitializeTransfer((folder.GetPath() + "/image.bin").c_str(), REMOTE));
  bool bLostSeen = false;
  const int64_t deadline = platform::GetMonotonicMs() + 20000;
  while (!installer.TransferComplete() && platform::GetMonotonicMs() < deadline) {
    installer.Update();
    bLostSeen = bLostSeen || installer.IsPortLost();
  }
  ASSERT_TRUE(installer.TransferComplete());
  // The exit word is repeated until acknowledged, as the sequencers do while the port is back.
  while (!installer.Exit() && platform::GetMonotonicMs() < deadline) {
    bLostSeen = bLostSeen || installer.IsPortLost();
  }
  EXPECT_TRUE(WaitFor([&] { return engine->GetRecords().GetFace() == sim::FACE_BOOTING; }, 5000));

  const sim::sSimCounts counts = engine->GetRecords().GetCounts();
  EXPECT_EQ(counts.faultUnplugs, 1);
  EXPECT_EQ(counts.faultReplugs, 1);
  EXPECT_TRUE(bLostSeen) << "the engine noticed the unplug";
  EXPECT_FALSE(installer.IsPortLost());
  EXPECT_EQ(notices, 0) << "no notice per attempt while the port is gone";
  std::string violations;
  for (const std::string& text : engine->GetRecords().GetViolations()) violations += text + "\n";
  EXPECT_EQ(violations, "");
  const std::vector<sim::sSimReceivedFile> files = engine->GetRecords().GetFiles();
  ASSERT_EQ(files.size(), 1u);
  std::string stored;
  ASSERT_TRUE(WaitFor(
      [&] {
        std::ifstream file(files[0].szPath, std::ios::binary);
        stored.assign(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
        return stored.size() == SIZE;
      },
      5000));
  EXPECT_TRUE(stored == image) << "the stored image differs";
}

INSTANTIATE_TEST_SUITE_P(
    Points, InstallerUnplug,
    ::testing::Values(sUnplugCase{"command_word", 6}, sUnplugCase{"name", WORD + 9},
                      sUnplugCase{"size_awaiting_its_answer", DATA},
                      sUnplugCase{"mid_chunk", DATA + 8000},
                      sUnplugCase{"chunk_awaiting_its_answer", DATA + 2 * CHUNK},
                      sUnplugCase{"end_of_file_marker", DATA + 2 * CHUNK + LAST + 2},
                      sUnplugCase{"exit_word", DATA + 2 * CHUNK + LAST + MARKER + 5}),
    [](const ::testing::TestParamInfo<sUnplugCase>& info) { return info.param.szName; });

}  // namespace

#endif
