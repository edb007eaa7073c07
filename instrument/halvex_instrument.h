// The connection to one pressure instrument over its text command channel: handshake,
// identification, software versions, reconnection after a reboot, the start of the resident
// installer. The measurement and control commands are a class of its own, derived from this one,
// in the library that defines them (instrument_control/halvex_commands.h).
#ifndef HALVEX_INSTRUMENT_HALVEX_INSTRUMENT_H
#define HALVEX_INSTRUMENT_HALVEX_INSTRUMENT_H

#include <cstdint>
#include <string>

#include "comm/comm.h"
#include "comm/network_channel.h"
#include "comm/port_name.h"
#include "comm/serial.h"
#include "util/no_copy.h"

constexpr int MAX_VER_LEN = 9;      // each software image version text
constexpr int MAX_ID_LEN = 64;      // whole identification text
constexpr int MAX_MANUF_LEN = 8;    // manufacturer text
constexpr int MAX_MODEL_LEN = 8;    // model text
constexpr int MAX_SN_LEN = 8;       // serial number text
constexpr int MAX_VERSION_LEN = 8;  // version field of the identification

// The handshake is repeated at most this often, and no sooner after the port opened again.
constexpr int64_t RECONNECT_INTERVAL_MS = 2000;

struct sVersion {
  int32_t major;
  int32_t minor;
  int32_t build;
};

enum eInstrumentType : int {
  INSTRUMENT_UNKNOWN = 0,
  INSTRUMENT_CONTROLLER = 1,
  INSTRUMENT_INDICATOR = 2,
};

class cHalvexInstrument : private cNoCopy {
 public:
  cHalvexInstrument();

  // Opens the port and performs the handshake. True when an instrument answered it; whether
  // its identification was usable is told by IsConnected(). A COM port is opened with the
  // serial channel, a network port with the network channel; either is used through comm.
  bool Connect(const stPortName& port, eBaud baud, bool bShowError);
  bool Connect(ePort port, eBaud baud, bool bShowError) {
    return Connect(ComPortName(port), baud, bShowError);
  }
  bool Disconnect();
  // One step of waiting for a rebooted instrument: a closed port is left to the channel to
  // open again (quietly, at its own pace: a port that is gone is the caller's to report, see
  // IsPortLost), and the handshake is repeated at most every 2 s. Returns IsConnected().
  bool Reconnect();
  // The connection's port is gone (its device went away, or it did not open again).
  bool IsPortLost() const { return comm != nullptr && comm->IsLost(); }
  // Reconnect's last attempt to open the port again reached it, and it refused the line
  // settings (cComm::SettingsRefused); GetOpenFailure says why.
  bool IsPortRefused() const { return comm != nullptr && comm->SettingsRefused(); }
  // The connection's port is open (whether or not an instrument answered on it).
  bool IsPortOpen() { return comm != nullptr && comm->IsConnected(); }
  // Reads and parses the identification, then the versions.
  bool Initialize();
  // "VERSIONS?": fills the three version texts from the fields "MAIN:" (or "INST:"), "GPIB:"
  // and "FPGA:", in any letter case; a GPIB or FPGA field that is absent reads "0.0.0". False,
  // and all three "NOT REQ.", when the reply holds no MAIN version.
  bool UpdateVersions();
  // Parses "major.minor.build" (the dots looked for up to the next ",") into out; parts not
  // given are 0. Always true.
  static bool ExtractVersion(sVersion* out, const char* text);
  bool ClearErrors();
  // "CERR", "INSTALL", "VENT": the instrument starts its resident installer.
  bool StartInstaller();
  bool ChangeComm(cComm* newComm);
  bool ChangeType(eInstrumentType type);
  void Dump() const;

  bool IsConnected() const { return bConnected; }
  // The COM port of the last Connect (PORT_NONE for a network port), and the port itself.
  ePort GetConnectPort() const { return connectPort; }
  const stPortName& GetConnectPortName() const { return connectPortName; }
  // What the port of the last Connect leads to: the device of a COM port ("/dev/ttyUSB0",
  // "\\.\COM3"), the numeric address a network port was connected to ("192.0.2.7:2217"),
  // else its name as given; empty before the first Connect.
  std::string GetPortDevice() const;
  // Why the last attempt to open the port (Connect's, or a reopening of Reconnect's) failed;
  // empty when it opened.
  const char* GetOpenFailure() const {
    return connectPortName.bNetwork ? network.GetOpenFailure() : serial.GetOpenFailure();
  }
  const char* GetMainVersion() const { return szMainVersion; }
  const char* GetGPIBVersion() const { return szGPIBVersion; }
  const char* GetFPGAVersion() const { return szFPGAVersion; }
  const char* GetManufacturer() const { return szManufacturer; }
  const char* GetModel() const { return szModel; }
  const char* GetSerialNumberString() const { return szSerialNumber; }
  const char* GetVersion() const { return szVersion; }
  int32_t GetSerialNumber() const { return serialNumber; }
  // "ID?" and its unparsed reply; "???" when not connected.
  const char* GetID();
  // The reply to the last handshake's "ID?" as it came, unparsed: after Reconnect, the
  // identification of the instrument as it came back (the parsed fields keep the first one).
  const char* GetHandshakeReply() const { return szHandshakeReply; }

 protected:
  // Sends the handshake on the port's channel and reads the identification into szReply; sets
  // (never clears) bConnected when it names the maker.
  void Handshake();
  // The channel that carries the port of the last Connect.
  cComm& PortChannel();
  // Writes one command through comm; false without a channel or when the write fails.
  bool Send(const char* command);
  // Writes a query through comm and copies its reply into szReply. False without a channel
  // or when the channel reports an error (szReply then holds the error text).
  bool Query(const char* query);

  cComm* comm;
  cSerial serial;
  cNetworkChannel network;
  bool bConnected;
  ePort connectPort;
  stPortName connectPortName;
  eBaud connectBaud;
  eInstrumentType instrumentType;
  sVersion mainVersion;
  char szReply[MAX_BUFF_LEN];
  char szHandshakeReply[MAX_BUFF_LEN];
  char szMainVersion[MAX_VER_LEN];
  char szGPIBVersion[MAX_VER_LEN];
  char szFPGAVersion[MAX_VER_LEN];
  char szID[MAX_ID_LEN];
  char szManufacturer[MAX_MANUF_LEN];
  char szModel[MAX_MODEL_LEN];
  int32_t serialNumber;
  char szSerialNumber[MAX_SN_LEN];
  char szVersion[MAX_VERSION_LEN];

  // Handshake timing of Reconnect, per instance so that every connection paces itself.
  bool bReconnectStarted;
  int64_t ctStartTime;  // last handshake, first Reconnect call or last reopening
};

#endif
