// The transfer engine of the resident installer: connection, commands, and the file transfer
// that the sequencers advance one packet per Update() call.
#include "instrument/halvex_installer.h"

#include <cctype>
#include <cstring>

#include "platform/clock.h"
#include "platform/files.h"
#include "util/trace.h"

cHalvexInstaller::cHalvexInstaller()
    : transferState(TRANSFER_IDLE),
      ctHandshakeStart(0),
      fHandshakeElapsed(0.0f),
      comm(nullptr),
      bConnected(false),
      bNetworkLine(false),
      bExitAcknowledged(false),
      bTransferComplete(false),
      bTransferFailed(false),
      bTransferUncertain(false),
      bPacketUnanswered(false),
      fProgressPercent(0.0f),
      fpLocalFile(nullptr),
      fileSize(0),
      chunkLength(0),
      bytesSent(0),
      bReadNextChunk(false),
      bHashing(false),
      bSentHashEnded(false),
      szCheckedSha256{0},
      szSentSha256{0},
      szLocalFile{0},
      bMarkerUnconfirmed(false),
      szRemoteFile{0},
      transferBuffer{0},
      szHandshake{0},
      bConsoleOutput(false) {}

cHalvexInstaller::~cHalvexInstaller() {
  CloseLocalFile();
}

bool cHalvexInstaller::Connect(const stPortName& port, eBaud baud) {
  bConnected = false;
  bMarkerUnconfirmed = false;
  bExitAcknowledged = false;
  bNetworkLine = port.bNetwork;
  cComm* line = &serial;
  bool bOpened;
  if (port.bNetwork) {
    line = &network;
    bOpened = network.Initialize(port.network, baud, true);
  } else {
    bOpened = serial.Initialize(port.com, baud, '*', PROTOCOL_PLAIN, true);
  }
  if (bOpened) {
    comm = line;
    bConnected = true;
    return true;
  }
  // A port that is there but refused the settings would refuse them again: nothing to wait for.
  if (line->SettingsRefused()) return false;
  // The instrument connection let go of this port a moment ago: one that does not open now
  // went away with its adapter, and is opened again as it returns.
  if (line->MarkLost()) {
    comm = line;
    bConnected = true;
  }
  return false;
}

bool cHalvexInstaller::PortReady() {
  if (!bConnected) return false;
  if (!PortLost()) return true;
  if (!comm->Recover()) return false;
  if (bMarkerUnconfirmed) {
    const char marker[4] = {0, 0, 0, 0};
    if (!comm->WriteN(marker, 4)) return false;
  }
  return true;
}

bool cHalvexInstaller::Disconnect() {
  if (!bConnected) return false;
  bConnected = false;
  bMarkerUnconfirmed = false;
  comm->Disconnect();
  return true;
}

bool cHalvexInstaller::IsRunning() {
  return bConnected && GetVersionInformation("installer");
}

bool cHalvexInstaller::GetVersionInformation(const char* name) {
  if (!Send(CMD_GET_VERSION)) return false;
  if (!Send(name)) return false;
  // The installer answers with five packets; the program has no use for their contents.
  int length = 0;
  for (int i = 0; i < 5; ++i) ReadPacket(transferBuffer, &length);
  comm->PurgeRx();
  return true;
}

bool cHalvexInstaller::PrepareToExecuteFile() {
  return Send(CMD_EXECUTE_FILE);
}

bool cHalvexInstaller::ExecuteFile(const char* name) {
  return Send(name);
}

bool cHalvexInstaller::Exit() {
  if (!Send(CMD_EXIT)) return false;
  bExitAcknowledged = true;
  return true;
}

void cHalvexInstaller::CloseLocalFile() {
  if (fpLocalFile == nullptr) return;
  std::fclose(fpLocalFile);
  fpLocalFile = nullptr;
}

bool cHalvexInstaller::InitializeTransfer(const char* localPath, const char* remoteName,
                                          const char* szChecked) {
  // Whatever came before is over: a file left open by an unfinished transfer is closed, and
  // the last transfer's outcome must never be read as this one's.
  CloseLocalFile();
  transferState = TRANSFER_IDLE;
  bTransferComplete = false;
  bTransferFailed = false;
  bTransferUncertain = false;
  fProgressPercent = 0.0f;
  fileSize = 0;
  chunkLength = 0;
  bytesSent = 0;
  bReadNextChunk = false;
  bHashing = false;
  bSentHashEnded = false;
  szRemoteFile[0] = '\0';
  szSentSha256[0] = '\0';
  // In lower case, as the hash is written; a text that is no hash at all can only differ.
  szCheckedSha256[0] = '\0';
  if (szChecked != nullptr && szChecked[0] != '\0') {
    if (std::strlen(szChecked) == platform::SHA256_HEX_LENGTH) {
      for (size_t i = 0; i <= platform::SHA256_HEX_LENGTH; ++i) {
        szCheckedSha256[i] =
            static_cast<char>(std::tolower(static_cast<unsigned char>(szChecked[i])));
      }
    } else {
      std::strcpy(szCheckedSha256, "?");
    }
  }

  if (localPath == nullptr || remoteName == nullptr || remoteName[0] == '\0') return false;
  std::strncpy(szRemoteFile, remoteName, MAX_PATH_LEN - 1);
  szRemoteFile[MAX_PATH_LEN - 1] = '\0';
  std::strncpy(szLocalFile, localPath, MAX_PATH_LEN - 1);
  szLocalFile[MAX_PATH_LEN - 1] = '\0';

  if (!platform::IsRegularFile(localPath)) return false;
  FILE* file = platform::OpenForReading(localPath);
  if (file == nullptr) return false;
  uint64_t size = 0;
  if (!platform::GetOpenFileSize(file, size) || size > MAX_TRANSFER_SIZE) {
    std::fclose(file);
    return false;
  }
  // Unbuffered: every chunk is read straight into transferBuffer and nothing is allocated
  // while the transfer runs.
  std::setvbuf(file, nullptr, _IONBF, 0);
  fpLocalFile = file;
  fileSize = static_cast<uint32_t>(size);
  // The hash runs over the chunks as they are read for the line, not over the file again.
  bHashing = sentHash.Start();
  transferState = TRANSFER_BEGIN;
  return true;
}

bool cHalvexInstaller::Update() {
  switch (transferState) {
    case TRANSFER_BEGIN:
      if (!Send(CMD_TRANSFER_FILE)) return PacketFailed();
      bTransferComplete = false;
      transferState = TRANSFER_NAME;
      return true;
    case TRANSFER_NAME:
      if (!Send(szRemoteFile)) return PacketFailed();
      transferState = TRANSFER_SIZE;
      return true;
    case TRANSFER_SIZE:
      if (!Send(static_cast<unsigned int>(fileSize))) return PacketFailed();
      transferState = TRANSFER_DATA;
      bReadNextChunk = true;
      return true;
    case TRANSFER_DATA:
      return SendNextChunk();
    case TRANSFER_IDLE:
    default:
      return false;
  }
}

bool cHalvexInstaller::SendNextChunk() {
  if (bReadNextChunk) {
    const uint32_t remaining = fileSize - bytesSent;
    if (remaining == 0) return EndTransfer();
    const size_t wanted =
        remaining < static_cast<uint32_t>(MAX_PACKET_LEN) ? remaining : MAX_PACKET_LEN;
    const size_t count = std::fread(transferBuffer, 1, wanted, fpLocalFile);
    // Short before the announced size: a read error, or the file shrank since it was opened.
    if (count != wanted) return FailTransfer();
    chunkLength = static_cast<uint32_t>(count);
    if (bHashing) bHashing = sentHash.Add(transferBuffer, count);
  }
  // A chunk that was refused or not answered is sent again unchanged, without reading.
  if (!WritePacket(transferBuffer, static_cast<int>(chunkLength))) {
    bReadNextChunk = false;
    return PacketFailed();
  }
  bytesSent += chunkLength;
  fProgressPercent = static_cast<float>(static_cast<double>(bytesSent) * 100.0 / fileSize);
  bReadNextChunk = true;
  return true;
}

bool cHalvexInstaller::SentAsChecked() {
  if (!bSentHashEnded) {
    bSentHashEnded = true;
    std::string hex;
    if (bHashing && sentHash.Finish(hex)) {
      std::snprintf(szSentSha256, sizeof(szSentSha256), "%s", hex.c_str());
    }
    bHashing = false;
    trace.PassSent(szLocalFile, fileSize, szSentSha256, szCheckedSha256);
  }
  // A hash that could not be computed cannot show that the file is still the checked one.
  return szCheckedSha256[0] == '\0' || std::strcmp(szSentSha256, szCheckedSha256) == 0;
}

bool cHalvexInstaller::EndTransfer() {
  // The announced size has been delivered; the file must end exactly here. Data beyond it
  // means the file grew, and the installer would store a file that matches neither version.
  // Bytes that differ from the checked ones mean it was rewritten since the check: the
  // installer would store a file nobody checked.
  const bool bAsChecked = SentAsChecked();
  if (std::ferror(fpLocalFile) || std::fgetc(fpLocalFile) != EOF || std::ferror(fpLocalFile)) {
    return FailTransfer();
  }
  uint64_t size = 0;
  if (!platform::GetOpenFileSize(fpLocalFile, size) || size != fileSize) return FailTransfer();
  if (!bAsChecked) return FailTransfer();
  if (!WriteEndOfFile()) return false;
  bMarkerUnconfirmed = true;
  CloseLocalFile();
  bTransferComplete = true;
  transferState = TRANSFER_IDLE;
  return true;
}

bool cHalvexInstaller::PacketFailed() {
  if (!bPacketUnanswered) return false;
  bTransferUncertain = true;
  trace.Unsure(
      "neither \"A\" nor \"N\" for the packet: the installer may have stored it; it "
      "is sent again and the transfer is uncertain");
  return false;
}

bool cHalvexInstaller::FailTransfer() {
  // No end-of-file marker: the installer must not take what it got for the whole file.
  CloseLocalFile();
  transferState = TRANSFER_IDLE;
  bTransferComplete = false;
  bTransferFailed = true;
  return false;
}

bool cHalvexInstaller::WriteEndOfFile() {
  // The marker is the 4 zero bytes of a zero length; nothing answers it. Unlike
  // WritePacket(data, 0), this tells whether the bytes went out, so a marker that could not be
  // written is written again on the next step instead of being taken as the end.
  if (!PortReady()) return false;
  const char marker[4] = {0, 0, 0, 0};
  if (!comm->WriteN(marker, 4)) return false;
  trace.PacketSent(marker, 0, 0);
  return true;
}

bool cHalvexInstaller::StopTransfer() {
  platform::SleepMs(STOP_DELAY);
  transferState = TRANSFER_IDLE;
  CloseLocalFile();
  return Exit();
}

void cHalvexInstaller::Dump() const {
  std::fputs("Halvex Installer Class\n", stderr);
}
