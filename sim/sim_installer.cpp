#include "sim/sim_installer.h"

#include <cstdlib>

#include "sim/sim_packet.h"
#include "sim/sim_version.h"

namespace sim {

namespace {

constexpr int kStallMs = 1000;       // a packet that stops this long is dropped
constexpr int kIdleWaitMs = 200;     // waits between packets
constexpr int kQuietMs = 100;        // the line is taken as quiet after a bad length
constexpr int kAnswerWaitMs = 2000;  // wait for the program's answer to a reply packet
constexpr int kReplySends = 4;       // a refused reply packet goes out this often at most
const uint8_t kGarbage[] = {0x00, 0xFF, 0x3F};

bool IsCommandWord(uint32_t word) {
  return word == WORD_EXIT || word == WORD_TRANSFER_FILE || word == WORD_GET_VERSION ||
         word == WORD_EXECUTE_FILE;
}

std::string Hex32(uint32_t value) {
  char szText[16];
  snprintf(szText, sizeof(szText), "0x%08X", value);
  return szText;
}

// The three numbers of a dotted version, read like atoi.
void SplitVersion(const std::string& szVersion, uint32_t numbers[3]) {
  size_t start = 0;
  for (int i = 0; i < 3; ++i) {
    numbers[i] = static_cast<uint32_t>(std::atoi(szVersion.c_str() + start));
    const size_t point = szVersion.find('.', start);
    start = point == std::string::npos ? szVersion.size() : point + 1;
  }
}

}  // namespace

cSimInstaller::cSimInstaller(const sSimOptions& optionsIn, cSimRecorder& recorderIn,
                             cSimLine& lineIn, cSimStore& storeIn, sSimInstrumentState& stateIn)
    : options(optionsIn),
      recorder(recorderIn),
      line(lineIn),
      store(storeIn),
      state(stateIn),
      step(STEP_COMMAND),
      packetCount(0),
      transfers(0),
      dataPackets(0),
      bAwaitingRepeat(false),
      fileSize(0),
      fileReceived(0),
      repeatBytes(0),
      bImageUnclaimed(false),
      bFileDropped(false),
      storedAtUnplugs(-1) {}

std::string cSimInstaller::Describe(const sPacket& packet) const {
  std::string szText =
      "packet " + std::to_string(packet.length) + " bytes, sum " + Hex32(packet.checksum) + ": ";
  szText += DescribeBytes(packet.data.data(), packet.data.size(), 16);
  if (packet.length == 4) szText += " (" + std::to_string(ReadLe32(packet.data.data())) + ")";
  return szText;
}

eSimFace cSimInstaller::Run() {
  step = STEP_COMMAND;
  bAwaitingRepeat = false;
  for (;;) {
    sPacket packet;
    const eReceived received = ReceivePacket(packet);
    if (received == GOT_STOP || received == GOT_HANG_UP) {
      AbortFile();
      return received == GOT_HANG_UP ? FACE_SILENT : FACE_INSTALLER;
    }
    if (received == GOT_NOTHING) continue;

    const bool bEnd = received == GOT_END_OF_FILE;
    packet.settings = line.LastSettingsFitting(SIM_INSTALLER_BAUD);
    const bool bSumOk =
        bEnd || packet.checksum == UnsignedByteSum(packet.data.data(), packet.data.size());
    recorder.Packet({packet.length, bSumOk, packet.settings});
    recorder.Log("<", bEnd ? "end-of-file marker" : Describe(packet));
    if (!packet.settings.Fits(SIM_INSTALLER_BAUD)) {
      recorder.Violation(std::string(bEnd ? "an end-of-file marker" : "a packet") +
                         " arrived on a line set to " + packet.settings.Describe() +
                         "; the resident installer expects " + std::to_string(SIM_INSTALLER_BAUD) +
                         " 8N1 without flow control (not answered)");
      continue;
    }
    if (bEnd) {
      HandleEndOfFile();  // never answered: the program awaits nothing after it
      continue;
    }

    storedAtUnplugs = -1;
    ++packetCount;
    recorder.Add(&sSimCounts::packetsReceived);
    if (!bSumOk) {
      const bool bSigned = packet.checksum == SignedByteSum(packet.data.data(), packet.data.size());
      recorder.Violation("checksum " + Hex32(packet.checksum) + " of a " +
                         std::to_string(packet.length) + "-byte packet is not its byte sum " +
                         Hex32(UnsignedByteSum(packet.data.data(), packet.data.size())) +
                         (bSigned ? " (it is the sum of the bytes taken as signed)" : ""));
      Answer(SIM_NAK);
      continue;
    }
    const sSimFaults& faults = options.faults;
    if (faults.nakEvery > 0 && packetCount % faults.nakEvery == 0) {
      recorder.Add(&sSimCounts::faultNaks);
      recorder.Log("#", "fault: refuse packet " + std::to_string(packetCount));
      Answer(SIM_NAK);
      continue;
    }
    if (faults.dropAckEvery > 0 && packetCount % faults.dropAckEvery == 0) {
      recorder.Add(&sSimCounts::faultAcksDropped);
      recorder.Log("#", "fault: lose packet " + std::to_string(packetCount) + ", no answer");
      continue;
    }
    const eSimFace next = Dispatch(packet);
    if (next != FACE_INSTALLER) return next;
  }
}

cSimInstaller::eReceived cSimInstaller::ReceiveRest(uint8_t* dest, size_t n, size_t done,
                                                    const std::string& szExpected,
                                                    sSimLineSettings& settings) {
  for (size_t i = 0; i < n; ++i) {
    const eSimRx result = line.Receive(dest[i], kStallMs, &settings);
    if (result == RX_STOPPED) return GOT_STOP;
    if (result == RX_HUNG_UP) return GOT_HANG_UP;
    if (result == RX_UNPLUGGED) return GOT_NOTHING;  // the packet went with the pty
    if (result == RX_TIMEOUT) {
      recorder.Violation("a packet stalled for 1 s after " + std::to_string(done + i) + " bytes" +
                         szExpected + " and was dropped");
      return GOT_NOTHING;
    }
  }
  return GOT_PACKET;
}

cSimInstaller::eReceived cSimInstaller::ReceivePacket(sPacket& packet) {
  uint8_t header[8];
  for (;;) {
    const eSimRx result = line.Receive(header[0], kIdleWaitMs, &packet.settings);
    if (result == RX_STOPPED) return GOT_STOP;
    if (result == RX_HUNG_UP) return GOT_HANG_UP;
    if (result == RX_UNPLUGGED) return GOT_NOTHING;
    if (result == RX_BYTE) break;
  }
  eReceived received = ReceiveRest(header + 1, 3, 1, "", packet.settings);
  if (received != GOT_PACKET) return received;
  packet.length = static_cast<int32_t>(ReadLe32(header));
  if (packet.length == 0) return GOT_END_OF_FILE;
  if (packet.length < 0 || packet.length > SIM_MAX_PACKET_LEN) {
    recorder.Violation("packet length " + std::to_string(packet.length) +
                       " is out of range (1 to 16384); the line was drained and refused");
    line.DiscardUntilQuiet(kQuietMs);
    Answer(SIM_NAK);
    return GOT_NOTHING;
  }
  const std::string szExpected = " of " + std::to_string(8 + packet.length);
  received = ReceiveRest(header + 4, 4, 4, szExpected, packet.settings);
  if (received != GOT_PACKET) return received;
  packet.checksum = ReadLe32(header + 4);
  packet.data.resize(static_cast<size_t>(packet.length));
  return ReceiveRest(packet.data.data(), packet.data.size(), 8, szExpected, packet.settings);
}

eSimFace cSimInstaller::Dispatch(const sPacket& packet) {
  const bool bWord = packet.length == 4 && IsCommandWord(ReadLe32(packet.data.data()));
  if (step != STEP_FILE_DATA) bAwaitingRepeat = false;
  switch (step) {
    case STEP_COMMAND:
      return HandleCommandWord(packet);
    case STEP_VERSION_NAME:
    case STEP_FILE_NAME:
    case STEP_SCRIPT_NAME:
      if (bWord) {
        // A name never holds zero bytes: the program gave up on the last exchange (its packet
        // went unanswered) and starts over with a command word.
        recorder.Log("#", "a command word where a name was expected: starting over");
        AbortFile();
        step = STEP_COMMAND;
        return HandleCommandWord(packet);
      }
      HandleName(packet);
      return FACE_INSTALLER;
    case STEP_FILE_SIZE:
      HandleSize(packet);
      return FACE_INSTALLER;
    case STEP_FILE_DATA:
      HandleData(packet);
      return FACE_INSTALLER;
  }
  return FACE_INSTALLER;
}

eSimFace cSimInstaller::HandleCommandWord(const sPacket& packet) {
  if (packet.length != 4) {
    recorder.Violation("a command word was expected, not a " + std::to_string(packet.length) +
                       "-byte packet " + DescribeBytes(packet.data.data(), packet.data.size()));
    Answer(SIM_NAK);
    return FACE_INSTALLER;
  }
  const uint32_t word = ReadLe32(packet.data.data());
  switch (word) {
    case WORD_EXIT:
      Answer(SIM_ACK);
      AbortFile();
      if (options.faults.bNeverReboot) {
        recorder.Add(&sSimCounts::faultRebootsWithheld);
        recorder.Log("#", "fault: the instrument does not come back");
        return FACE_SILENT;
      }
      recorder.Add(&sSimCounts::reboots);
      return FACE_BOOTING;
    case WORD_TRANSFER_FILE:
      Answer(SIM_ACK);
      step = STEP_FILE_NAME;
      return FACE_INSTALLER;
    case WORD_GET_VERSION:
      Answer(SIM_ACK);
      step = STEP_VERSION_NAME;
      return FACE_INSTALLER;
    case WORD_EXECUTE_FILE:
      Answer(SIM_ACK);
      step = STEP_SCRIPT_NAME;
      return FACE_INSTALLER;
    default:
      recorder.Violation("unknown command word " + std::to_string(word));
      Answer(SIM_NAK);
      return FACE_INSTALLER;
  }
}

void cSimInstaller::HandleName(const sPacket& packet) {
  if (!IsPrintableText(packet.data.data(), packet.data.size())) {
    recorder.Violation("a text name was expected, not " +
                       DescribeBytes(packet.data.data(), packet.data.size()));
    Answer(SIM_NAK);
    return;
  }
  const std::string szName(packet.data.begin(), packet.data.end());
  switch (step) {
    case STEP_VERSION_NAME:
      Answer(SIM_ACK);
      step = STEP_COMMAND;
      SendReplies(szName);
      break;
    case STEP_FILE_NAME: {
      std::string szWhy;
      if (!store.Begin(szName, szWhy)) {
        recorder.Violation("remote name \"" + szName + "\" refused: " + szWhy);
        Answer(SIM_NAK);
        return;
      }
      szFileName = szName;
      bImageUnclaimed = false;  // a further file: the one before stays the MAIN image
      Answer(SIM_ACK);
      step = STEP_FILE_SIZE;
      break;
    }
    case STEP_SCRIPT_NAME:
      // On record before the answer, so whoever sees the answer finds it there.
      recorder.Script(szName);
      ClaimImage(szName);
      Answer(SIM_ACK);
      step = STEP_COMMAND;
      break;
    default:
      break;
  }
}

void cSimInstaller::HandleSize(const sPacket& packet) {
  if (packet.length != 4) {
    recorder.Violation("the 4-byte size of \"" + szFileName + "\" was expected, not a " +
                       std::to_string(packet.length) + "-byte packet");
    Answer(SIM_NAK);
    return;
  }
  fileSize = ReadLe32(packet.data.data());
  fileReceived = 0;
  repeatBytes = 0;
  bFileDropped = false;
  ++transfers;
  dataPackets = 0;
  Answer(SIM_ACK);
  step = STEP_FILE_DATA;
}

void cSimInstaller::HandleData(const sPacket& packet) {
  const bool bRepeat = IsRepeatOfLostAck(packet);
  if (bRepeat && !options.faults.bStoreRepeats) {
    recorder.Add(&sSimCounts::repeatsRecognised);
    recorder.Log("#",
                 "the same packet after its lost \"A\": taken as the repeat, not stored again");
    Answer(SIM_ACK);
    return;
  }
  const uint64_t announced = bRepeat ? 0 : packet.data.size();
  if (!bFileDropped) {
    std::string szError;
    if (fileReceived + announced > fileSize) {
      recorder.Violation("data beyond the announced size of " + std::to_string(fileSize) +
                         " bytes of \"" + szFileName + "\"; the file is not stored");
      bFileDropped = true;
      store.Abort();
    } else if (!store.Append(packet.data.data(), packet.data.size(), szError)) {
      recorder.Violation("store failure: " + szError);
      bFileDropped = true;
      store.Abort();
    }
  }
  fileReceived += announced;
  if (bRepeat) {
    // What a naive installer does: the repeat is new data to it.
    recorder.Add(&sSimCounts::faultRepeatsStored);
    recorder.AddBytes(&sSimCounts::bytesStoredTwice, static_cast<int64_t>(packet.data.size()));
    repeatBytes += packet.data.size();
    recorder.Log("#", "fault: the repeat stored as new data, " +
                          std::to_string(packet.data.size()) + " bytes beyond the file");
  }
  ++dataPackets;
  if (LoseAck(packet)) return;
  Answer(SIM_ACK);
}

bool cSimInstaller::IsRepeatOfLostAck(const sPacket& packet) {
  if (!bAwaitingRepeat) return false;
  bAwaitingRepeat = false;
  return packet.length == lostAckPacket.length && packet.checksum == lostAckPacket.checksum &&
         packet.data == lostAckPacket.data;
}

bool cSimInstaller::LoseAck(const sPacket& packet) {
  const sSimFaults& faults = options.faults;
  if (transfers != 1 && !faults.bLoseAckEveryTransfer) return false;
  const bool bUnplug = faults.unplugBeforeAck > 0 && dataPackets == faults.unplugBeforeAck;
  if (!bUnplug && !(faults.loseAckAfterStore > 0 && dataPackets == faults.loseAckAfterStore)) {
    return false;
  }
  bAwaitingRepeat = true;
  lostAckPacket = packet;
  recorder.Add(&sSimCounts::faultAcksLostAfterStore);
  const std::string szWhat = "fault: data packet " + std::to_string(dataPackets) + " of transfer " +
                             std::to_string(transfers) + " stored, ";
  if (bUnplug) {
    recorder.Add(&sSimCounts::faultUnplugsBeforeAck);
    recorder.Log("#", szWhat + "unplugged before its \"A\"");
    line.UnplugNow();
  } else {
    recorder.Log("#", szWhat + "its \"A\" lost");
  }
  return true;
}

void cSimInstaller::HandleEndOfFile() {
  if (step == STEP_COMMAND && storedAtUnplugs >= 0 && line.GetUnplugCount() > storedAtUnplugs) {
    // The marker has no answer: a program that lost its port right after it cannot know that
    // it arrived, and sends it once more. The file is stored already.
    recorder.Log("#", "the end-of-file marker again after an unplug: the file is stored already");
    storedAtUnplugs = -1;
    return;
  }
  storedAtUnplugs = -1;
  bAwaitingRepeat = false;
  if (step != STEP_FILE_DATA) {
    recorder.Violation("an end-of-file marker outside a file transfer");
    if (step == STEP_FILE_NAME || step == STEP_FILE_SIZE) {
      AbortFile();
      step = STEP_COMMAND;
    }
    return;
  }
  step = STEP_COMMAND;
  if (bFileDropped) return;
  if (fileReceived < fileSize) {
    recorder.Violation("end-of-file marker after " + std::to_string(fileReceived) + " of " +
                       std::to_string(fileSize) + " bytes of \"" + szFileName +
                       "\"; the file is not stored");
    store.Abort();
    return;
  }
  std::string szPath;
  std::string szError;
  if (!store.Commit(szPath, szError)) {
    recorder.Violation("store failure: " + szError);
    return;
  }
  recorder.File({szFileName, szPath, static_cast<uint32_t>(fileSize + repeatBytes)});
  storedAtUnplugs = line.GetUnplugCount();
  // The MAIN image unless a script says otherwise (ClaimImage).
  bImageUnclaimed = true;
  szMainBeforeImage = state.szPendingMainVersion;
  std::string szVersion;
  if (GetVersionFromImageName(szFileName, szVersion)) state.szPendingMainVersion = szVersion;
}

void cSimInstaller::ClaimImage(const std::string& szScript) {
  const bool bFpga = szScript == "ainst.fpga";
  const bool bClaimed = bImageUnclaimed && (bFpga || szScript == "ainst.gpib");
  bImageUnclaimed = false;  // after any other script the image stays the MAIN image
  if (!bClaimed) return;
  state.szPendingMainVersion = szMainBeforeImage;
  std::string szVersion;
  if (GetVersionFromImageName(szFileName, szVersion)) {
    (bFpga ? state.szPendingFpgaVersion : state.szPendingGpibVersion) = szVersion;
  }
  recorder.Log("=", "\"" + szFileName + "\" is the " + (bFpga ? "FPGA" : "GPIB") + " image");
}

void cSimInstaller::AbortFile() {
  store.Abort();
  bFileDropped = false;
}

void cSimInstaller::Answer(uint8_t answer) {
  const sSimFaults& faults = options.faults;
  if (faults.ackDelayMs > 0) {
    recorder.Add(&sSimCounts::faultAcksDelayed);
    if (!line.Wait(faults.ackDelayMs)) return;
  }
  if (faults.bGarbageBeforeAck) {
    recorder.Add(&sSimCounts::faultGarbageSent);
    recorder.Log(">", "fault: garbage " + DescribeBytes(kGarbage, sizeof(kGarbage)));
    line.Send(kGarbage, sizeof(kGarbage));
  }
  recorder.Add(answer == SIM_ACK ? &sSimCounts::acksSent : &sSimCounts::naksSent);
  recorder.Log(">", answer == SIM_ACK ? "A" : "N");
  line.Send(&answer, 1);
}

void cSimInstaller::SendReplies(const std::string& szName) {
  // Five packets: the component asked for, the MAIN version, model, serial number and a binary
  // record of the version numbers and a build stamp. The stamp has bytes of 0x80 and above, so
  // a receiver that verifies the other kind of byte sum than this instrument sends refuses it.
  uint32_t numbers[3];
  SplitVersion(state.szMainVersion, numbers);
  std::vector<uint8_t> record;
  for (uint32_t number : numbers) AppendLe32(record, number);
  AppendLe32(record, 0xA5C3E18Fu);
  const std::vector<std::string> texts = {szName, state.szMainVersion, options.szModel,
                                          options.szSerial};
  std::vector<std::vector<uint8_t>> replies;
  for (const std::string& szText : texts) replies.emplace_back(szText.begin(), szText.end());
  replies.push_back(record);

  for (const std::vector<uint8_t>& data : replies) {
    const std::vector<uint8_t> packet =
        BuildPacket(data.data(), data.size(), options.bSignedChecksums);
    if (options.faults.bBadReplyChecksum && !bBadReplySent) {
      bBadReplySent = true;
      std::vector<uint8_t> damaged = packet;
      damaged[4] ^= 0x01;  // the checksum's lowest byte
      recorder.Log(">", "fault: reply packet " + std::to_string(data.size()) +
                            " bytes with the wrong sum " + Hex32(ReadLe32(damaged.data() + 4)));
      uint8_t answer = 0;
      if (!line.Send(damaged.data(), damaged.size())) return;
      if (line.Receive(answer, kAnswerWaitMs) != RX_BYTE) return;
      if (answer != SIM_NAK) {
        recorder.Violation("the program answered a reply packet with a wrong checksum with " +
                           DescribeBytes(&answer, 1) + " instead of \"N\"");
        return;
      }
      recorder.Log("<", "N");
    }
    for (int send = 0; send < kReplySends; ++send) {
      recorder.Add(&sSimCounts::replyPacketsSent);
      recorder.Log(">", "reply packet " + std::to_string(data.size()) + " bytes, sum " +
                            Hex32(ReadLe32(packet.data() + 4)) + ": " +
                            DescribeBytes(data.data(), data.size(), 16));
      if (!line.Send(packet.data(), packet.size())) return;
      uint8_t answer = 0;
      const eSimRx result = line.Receive(answer, kAnswerWaitMs);
      if (result == RX_STOPPED || result == RX_HUNG_UP || result == RX_UNPLUGGED) return;
      if (result == RX_TIMEOUT) {
        recorder.Add(&sSimCounts::replySilences);
        recorder.Log("<", "(no answer)");
        break;
      }
      if (answer == SIM_ACK) {
        recorder.Log("<", "A");
        break;
      }
      if (answer != SIM_NAK) {
        recorder.Violation("the program sent " + DescribeBytes(&answer, 1) +
                           " where the resident installer awaited \"A\" or \"N\" for its reply "
                           "packet");
        line.Unreceive();
        return;
      }
      recorder.Add(&sSimCounts::replyNaksReceived);
      recorder.Log("<", "N");
    }
  }
}

}  // namespace sim
