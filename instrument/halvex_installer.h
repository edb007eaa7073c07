// The program's side of the instrument's resident remote installer: a binary packet protocol
// (length, checksum, data; answered with "A" or "N") and a file transfer that sends one packet
// per Update() call.
//
// Packet on the wire, the same in both directions, every field little-endian:
//   int32 length (0 is the end-of-file marker and the whole packet),
//   uint32 checksum (sum of the data bytes, modulo 2^32; absent when length is 0),
//   length data bytes.
#ifndef HALVEX_INSTRUMENT_HALVEX_INSTALLER_H
#define HALVEX_INSTRUMENT_HALVEX_INSTALLER_H

#include <cstdint>
#include <cstdio>

#include "comm/comm.h"
#include "comm/network_channel.h"
#include "comm/port_name.h"
#include "comm/serial.h"
#include "platform/sha256.h"
#include "util/no_copy.h"
#include "util/path_limit.h"

// Step performed by the next Update().
enum eTransferState : int32_t {
  TRANSFER_IDLE = 0,   // nothing
  TRANSFER_BEGIN = 1,  // send CMD_TRANSFER_FILE
  TRANSFER_NAME = 2,   // send the remote file name
  TRANSFER_SIZE = 3,   // send the file size
  TRANSFER_DATA = 4,   // send the next chunk, or the end-of-file marker
};

// Command words of the resident installer.
constexpr unsigned CMD_EXIT = 0;           // the installer exits, the instrument restarts
constexpr unsigned CMD_TRANSFER_FILE = 2;  // then name, size, data packets, end-of-file marker
constexpr unsigned CMD_GET_VERSION = 4;    // then a component name; five reply packets follow
constexpr unsigned CMD_EXECUTE_FILE = 5;   // then the name of the script to run

// Largest data length accepted when receiving, the receive buffer and the transfer chunk.
constexpr int MAX_PACKET_LEN = 16384;
// Total wait for "A" after a packet was sent, seconds.
constexpr float HANDSHAKE_TIMEOUT = 2.0f;
// Wait for each single byte during the handshake, seconds.
constexpr float HANDSHAKE_BYTE_TIMEOUT = 0.5f;
// Wait for each field (length, checksum, data) of a received packet, seconds.
constexpr float PACKET_READ_TIMEOUT = 1.0f;
// Checksum failures tolerated for one received packet; the next one ends the reception.
constexpr int MAX_READ_ATTEMPTS = 16;
// Length and read errors tolerated in one reception (they are not counted as attempts): a line
// that keeps sending garbage must not hold the program forever. The last one ends it.
constexpr int MAX_READ_ERRORS = 64;
constexpr char ACK_CHAR = 'A';
constexpr char NAK_CHAR = 'N';
// Pause of StopTransfer before it tells the installer to exit, milliseconds.
constexpr unsigned STOP_DELAY = 2000;
// Largest file size that the 32-bit size packet can announce.
constexpr uint64_t MAX_TRANSFER_SIZE = 0xFFFFFFFFu;

// Caption of the notices about damaged replies (outside console mode).
constexpr const char* REPLY_NOTICE_CAPTION = "Damaged reply";

// A fault in receiving a reply packet (halvex_packet.cpp has one of each kind).
struct stReplyFault;

constexpr int HANDSHAKE_BUFFER_LEN = 1024;

class cHalvexInstaller : private cNoCopy {
 public:
  cHalvexInstaller();
  ~cHalvexInstaller();

  // Packet framing.

  // Writes one packet and waits for "A". Length 0 writes the end-of-file marker 00 00 00 00,
  // awaits nothing and returns false; a negative length writes nothing.
  bool WritePacket(const char* data, int length);
  // True when "A" arrives within HANDSHAKE_TIMEOUT; every other byte is skipped.
  bool CheckHandshake();
  // Receives one packet into data (at least MAX_PACKET_LEN bytes) and answers it. True for a
  // packet with a correct checksum (answered "A"); false when the line is silent, for a
  // zero-length packet (answered "A") and when too many faults came in a row.
  bool ReadPacket(char* data, int* length);
  // A command word or a number: its 4 bytes, least significant first.
  bool Send(unsigned int word);
  // The characters of text without the terminating NUL.
  bool Send(const char* text);
  // Console mode reports reception faults as "ReadPacket : <fault>" lines on the standard
  // streams (and in the trace, as a notice); otherwise each is a notice (Notify) with
  // REPLY_NOTICE_CAPTION, in words for the user.
  void SetConsole(bool on) { bConsoleOutput = on; }

  // Connection and commands.

  // Opens the port (a connection already open is reopened): a COM port with the serial channel,
  // a network port with the network channel, either used through comm. True when it opened. A
  // port that does not open is waited for like a lost one: the exchanges open it as it returns.
  // One that is there but refused the settings (cComm::SettingsRefused) is not: the connection
  // stays closed and IsPortRefused() tells.
  bool Connect(const stPortName& port, eBaud baud);
  bool Connect(ePort port, eBaud baud) { return Connect(ComPortName(port), baud); }
  bool Disconnect();
  // The last Connect reached the port, which refused the settings: a serial port that does not
  // take the speed or the format, a device server that does not set or confirm them.
  bool IsPortRefused() const {
    return !bConnected && (bNetworkLine ? network.SettingsRefused() : serial.SettingsRefused());
  }
  // Why the last Connect could not open the port (device or server, and the reason); empty
  // when it opened.
  const char* GetOpenFailure() const {
    return bNetworkLine ? network.GetOpenFailure() : serial.GetOpenFailure();
  }
  bool IsRunning();
  // Sends CMD_GET_VERSION and name, then takes five reply packets whose contents are not used.
  bool GetVersionInformation(const char* name);
  bool PrepareToExecuteFile();
  bool ExecuteFile(const char* name);
  // Sends the exit word; true when the installer acknowledged it.
  bool Exit();
  // An exit word was acknowledged since the last Connect: another one would reach an
  // instrument that is restarting, or an installer that took the first for file data.
  bool ExitAcknowledged() const { return bExitAcknowledged; }

  // File transfer.

  // Opens the local file and arms a transfer; sends nothing. False (engine idle) for an empty
  // remote name, a path that is not a readable regular file, or a file above 4 GiB - 1.
  // szCheckedSha256: the SHA-256 (hex) a check found for the file before; the bytes read for
  // the line must have it, or the transfer fails before its end-of-file marker (the file was
  // rewritten since the check, even with the same size). Null or empty compares nothing.
  bool InitializeTransfer(const char* localPath, const char* remoteName,
                          const char* szCheckedSha256 = nullptr);
  // One step of the transfer: true when the step succeeded or the transfer ended, false when
  // idle, when the step's packet failed (the next call repeats it) or the transfer failed.
  bool Update();
  bool TransferComplete() const { return bTransferComplete; }
  // The last transfer ended without delivering the file: a read error, the file changed size
  // after InitializeTransfer, or what was read for the line is not the checked SHA-256.
  // Cleared by the next InitializeTransfer.
  bool TransferFailed() const { return bTransferFailed; }
  // The SHA-256 (64 lower-case hex digits) of the bytes this pass read and sent, once the whole
  // announced size was read (a resent chunk counts once); empty before, and when the hash
  // could not be computed. Cleared by the next InitializeTransfer.
  const char* GetSentSha256() const { return szSentSha256; }
  uint32_t GetTransferSize() const { return fileSize; }
  // A packet of the transfer (the command word, the name, the size or a chunk) was written
  // whole and answered neither "A" nor "N": silence for the handshake time, other bytes only,
  // or a port lost before the answer. It is sent again as always, but the installer may have
  // stored it already, so the file it holds may carry a packet twice. A packet refused with
  // "N", or one whose writing failed, is no such doubt. Cleared by the next InitializeTransfer.
  bool TransferUncertain() const { return bTransferUncertain; }
  float GetProgressPercent() const { return bConnected ? fProgressPercent : 0.0f; }
  // The port went away during the connection. Every exchange then lets the channel wait for
  // it instead (cComm::Recover) and fails quietly; once it is back the transfer goes on where
  // it stood.
  bool IsPortLost() const { return bConnected && PortLost(); }
  // Connected with the port open.
  bool IsPortOpen() { return bConnected && comm != nullptr && comm->IsConnected(); }
  // Waits STOP_DELAY, drops the transfer, closes the local file and sends CMD_EXIT. True when
  // the exit word was acknowledged.
  bool StopTransfer();

  void Dump() const;

 private:
  bool WriteEndOfFile();
  bool SendNextChunk();
  // The whole announced size was read: ends the hash of what was sent, traces it, and tells
  // whether it is the checked one (true without a checked one).
  bool SentAsChecked();
  bool EndTransfer();
  bool FailTransfer();
  // A step of the transfer whose packet failed: false, and the transfer is uncertain when the
  // packet went unanswered.
  bool PacketFailed();
  void CloseLocalFile();
  void Report(const stReplyFault& fault);
  void Answer(char byte);
  bool PortLost() const { return comm != nullptr && comm->IsLost(); }
  // True when an exchange may go on the line: the channel is asked to get a lost port back.
  // Once it is back, an end-of-file marker that may have gone with it is sent again first.
  bool PortReady();

  eTransferState transferState;
  int64_t ctHandshakeStart;
  float fHandshakeElapsed;
  cComm* comm;
  cSerial serial;
  cNetworkChannel network;
  bool bConnected;
  bool bNetworkLine;  // the last Connect was given a network port
  bool bExitAcknowledged;
  bool bTransferComplete;
  bool bTransferFailed;
  bool bTransferUncertain;
  // The last WritePacket wrote its packet whole and got neither "A" nor "N".
  bool bPacketUnanswered;
  float fProgressPercent;
  FILE* fpLocalFile;
  uint32_t fileSize;
  uint32_t chunkLength;
  uint32_t bytesSent;
  bool bReadNextChunk;
  // The hash of the chunks as they are read; false once it failed (no hash for this pass).
  platform::cSha256 sentHash;
  bool bHashing;
  bool bSentHashEnded;  // SentAsChecked ran for this pass
  char szCheckedSha256[platform::SHA256_HEX_LENGTH + 1];
  char szSentSha256[platform::SHA256_HEX_LENGTH + 1];
  char szLocalFile[MAX_PATH_LEN];
  // An end-of-file marker went out and no packet was acknowledged since. The marker has no
  // answer, so a loss of the port in this time may have taken it: it is sent once more.
  bool bMarkerUnconfirmed;
  char szRemoteFile[MAX_PATH_LEN];
  char transferBuffer[MAX_PACKET_LEN];
  char szHandshake[HANDSHAKE_BUFFER_LEN];
  bool bConsoleOutput;
};

#endif
