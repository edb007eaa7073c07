#include "sim/sim_session.h"

#include <cstdint>

namespace sim {

namespace {

// A silent period ends only once the line has been quiet this long, so the next face never
// starts in the middle of a line or packet the program was sending.
constexpr int kBoundaryQuietMs = 50;

// A version received for an image becomes the one reported; false when none was received.
bool TakePending(std::string& szPending, std::string& szVersion) {
  if (szPending.empty()) return false;
  szVersion = szPending;
  szPending.clear();
  return true;
}

}  // namespace

cSimSession::cSimSession(const sSimOptions& optionsIn, cSimRecorder& recorderIn, cSimLine& lineIn,
                         cSimStore& store)
    : options(optionsIn),
      recorder(recorderIn),
      line(lineIn),
      state(optionsIn),
      interpreter(optionsIn, recorderIn, lineIn, state),
      installer(optionsIn, recorderIn, lineIn, store, state) {}

bool cSimSession::Silence(int ms) {
  const int64_t deadline = SimNowNs() + static_cast<int64_t>(ms) * 1000000;
  while (ms < 0 || SimNowNs() < deadline) {
    const int64_t left = (deadline - SimNowNs()) / 1000000;
    const int waitMs = ms < 0 || left > 200 ? 200 : static_cast<int>(left) + 1;
    uint8_t byte;
    const eSimRx result = line.Receive(byte, waitMs);
    if (result == RX_STOPPED) return false;
    if (result == RX_HUNG_UP && !line.Wait(waitMs)) return false;
  }
  line.DiscardUntilQuiet(kBoundaryQuietMs);
  return !line.IsStopRequested();
}

void cSimSession::Run() {
  recorder.SetMainVersion(state.szMainVersion);
  eSimFace face = FACE_INTERPRETER;
  while (!line.IsStopRequested()) {
    recorder.SetFace(face);
    switch (face) {
      case FACE_INTERPRETER:
        face = interpreter.Run();
        break;
      case FACE_STARTING:
        if (options.faults.bNeverStartInstaller) {
          recorder.Add(&sSimCounts::faultInstallerNeverStarted);
          recorder.Log("#", "fault: the resident installer never starts");
          face = FACE_SILENT;
          break;
        }
        if (Silence(options.installerStartMs)) face = FACE_INSTALLER;
        break;
      case FACE_INSTALLER:
        face = installer.Run();
        break;
      case FACE_BOOTING:
        if (!Silence(options.bootMs)) break;
        TakePending(state.szPendingGpibVersion, state.szGpibVersion);
        TakePending(state.szPendingFpgaVersion, state.szFpgaVersion);
        if (TakePending(state.szPendingMainVersion, state.szMainVersion)) {
          recorder.SetMainVersion(state.szMainVersion);
        }
        face = FACE_INTERPRETER;
        break;
      case FACE_SILENT:
        Silence(-1);
        break;
    }
  }
}

}  // namespace sim
