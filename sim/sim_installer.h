// The instrument's resident installer: binary packets, each answered "A" (accepted) or "N"
// (refused, expected again). It reports versions, stores files, runs scripts and exits, which
// restarts the instrument.
#ifndef HALVEX_SIM_SIM_INSTALLER_H
#define HALVEX_SIM_SIM_INSTALLER_H

#include <cstdint>
#include <string>
#include <vector>

#include "sim/sim_line.h"
#include "sim/sim_options.h"
#include "sim/sim_recorder.h"
#include "sim/sim_state.h"
#include "sim/sim_store.h"

namespace sim {

class cSimInstaller {
 public:
  cSimInstaller(const sSimOptions& options, cSimRecorder& recorder, cSimLine& line,
                cSimStore& store, sSimInstrumentState& state);

  // Serves packets from a fresh start until the exit word, a hang-up or the simulator's stop.
  // Returns the next face.
  eSimFace Run();

 private:
  enum eStep {
    STEP_COMMAND,       // a command word
    STEP_VERSION_NAME,  // the name of the component whose versions are asked
    STEP_FILE_NAME,     // the remote name of a file
    STEP_FILE_SIZE,     // its size, 4 bytes
    STEP_FILE_DATA,     // data packets until the end-of-file marker
    STEP_SCRIPT_NAME,   // the name of a script to run
  };
  enum eReceived { GOT_PACKET, GOT_END_OF_FILE, GOT_NOTHING, GOT_STOP, GOT_HANG_UP };
  struct sPacket {
    int32_t length = 0;
    uint32_t checksum = 0;
    std::vector<uint8_t> data;
    sSimLineSettings settings;
  };

  eReceived ReceivePacket(sPacket& packet);
  eReceived ReceiveRest(uint8_t* dest, size_t n, size_t done, const std::string& szExpected,
                        sSimLineSettings& settings);
  eSimFace Dispatch(const sPacket& packet);
  eSimFace HandleCommandWord(const sPacket& packet);
  void HandleName(const sPacket& packet);
  void HandleSize(const sPacket& packet);
  void HandleData(const sPacket& packet);
  bool IsRepeatOfLostAck(const sPacket& packet);
  bool LoseAck(const sPacket& packet);
  void HandleEndOfFile();
  void ClaimImage(const std::string& szScript);
  void SendReplies(const std::string& szName);
  void Answer(uint8_t answer);
  void AbortFile();
  std::string Describe(const sPacket& packet) const;

  const sSimOptions& options;
  cSimRecorder& recorder;
  cSimLine& line;
  cSimStore& store;
  sSimInstrumentState& state;
  eStep step;
  int packetCount;  // packets with data, for the faults
  int transfers;    // file transfers whose size was taken, for the lost-"A" faults
  int dataPackets;  // data packets stored in the current transfer
  // The packet stored last lost its "A": the next one, when it is the same, is its repeat.
  bool bAwaitingRepeat;
  sPacket lostAckPacket;
  std::string szFileName;
  uint32_t fileSize;
  uint64_t fileReceived;  // bytes of the announced file received (repeats not counted)
  uint64_t repeatBytes;   // bytes of repeats stored beyond it (bStoreRepeats)
  // The image stored last and the pending MAIN version before it, until a script says whether
  // it was the FPGA or GPIB image.
  bool bImageUnclaimed;
  std::string szMainBeforeImage;
  bool bFileDropped;  // the file broke a rule and will not be stored
  // Unplugs counted when the last packet stored a file; -1 after any other packet.
  int storedAtUnplugs;
  bool bBadReplySent = false;  // the reply with the wrong checksum went out (its fault)
};

}  // namespace sim

#endif
