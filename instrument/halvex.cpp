#include <cctype>
#include <cstdio>
#include <cstring>

#include "instrument/halvex_instrument.h"
#include "instrument/halvex_text.h"
#include "platform/clock.h"
#include "platform/serial_device.h"

using halvex::CopyText;
using halvex::CopyTextN;

static const char* const NOT_REQUIRED = "NOT REQ.";

cHalvexInstrument::cHalvexInstrument()
    : comm(nullptr),
      bConnected(false),
      connectPort(PORT_NONE),
      connectBaud(BAUD_9600),
      instrumentType(INSTRUMENT_UNKNOWN),
      mainVersion{0, 0, 0},
      szReply{},
      szHandshakeReply{},
      szMainVersion{},
      szGPIBVersion{},
      szFPGAVersion{},
      szID{},
      szManufacturer{},
      szModel{},
      serialNumber(0),
      szSerialNumber{},
      szVersion{},
      bReconnectStarted(false),
      ctStartTime(0) {}

static bool NamesMaker(const char* reply) {
  return std::strstr(reply, "HALVEX,") != nullptr || std::strstr(reply, "DREV,") != nullptr;
}

cComm& cHalvexInstrument::PortChannel() {
  if (connectPortName.bNetwork) return network;
  return serial;
}

void cHalvexInstrument::Handshake() {
  cComm& line = PortChannel();
  // "\n\n" goes out as LF LF CR LF and ends whatever the instrument had half received.
  line.Write("\n\n");
  line.Write("CMDSET HALVEX");
  line.Write("CERR");
  comm = &line;
  line.Write("ID?");
  CopyText(szReply, line.ReadStripTerm());
  CopyText(szHandshakeReply, szReply);
  if (NamesMaker(szReply)) bConnected = true;
}

bool cHalvexInstrument::Connect(const stPortName& port, eBaud baud, bool bShowError) {
  bConnected = false;
  connectPortName = port;
  connectPort = port.bNetwork ? PORT_NONE : port.com;
  const bool bOpened = port.bNetwork
                           ? network.Initialize(port.network, baud, bShowError)
                           : serial.Initialize(port.com, baud, '*', PROTOCOL_PLAIN, bShowError);
  if (!bOpened) return false;
  Handshake();
  if (!bConnected) return false;
  connectBaud = baud;
  comm = &PortChannel();
  if (!Initialize()) bConnected = false;
  return true;
}

std::string cHalvexInstrument::GetPortDevice() const {
  if (!connectPortName.bNetwork) {
    return IsValidPort(connectPort) ? platform::SerialPortPath(connectPort) : std::string();
  }
  if (!network.GetAddress().empty()) return network.GetAddress();
  return FormatPortName(connectPortName);
}

bool cHalvexInstrument::Disconnect() {
  if (!bConnected) return false;
  bConnected = false;
  if (comm != nullptr) comm->Disconnect();
  return true;
}

bool cHalvexInstrument::Reconnect() {
  const int64_t ctNow = platform::GetMonotonicMs();
  if (!bReconnectStarted) {
    bReconnectStarted = true;
    ctStartTime = ctNow;
  }
  if (comm == nullptr) return bConnected;
  if (!comm->IsConnected()) {
    // The channel opens its port again at its own pace, quietly: the caller reports a port
    // that is gone once, not once per attempt. The handshake waits its interval after that.
    if (comm->Recover()) ctStartTime = platform::GetMonotonicMs();
    return bConnected;
  }
  if (ctNow - ctStartTime > RECONNECT_INTERVAL_MS) {
    ctStartTime = ctNow;
    Handshake();
  }
  return bConnected;
}

bool cHalvexInstrument::Send(const char* command) {
  if (comm == nullptr) return false;
  return comm->Write(command);
}

bool cHalvexInstrument::Query(const char* query) {
  if (comm == nullptr) {
    CopyText(szReply, "");
    return false;
  }
  comm->Write(query);
  CopyText(szReply, comm->ReadStripTerm());
  return !comm->ErrorOccurred();
}

bool cHalvexInstrument::Initialize() {
  if (!bConnected || comm == nullptr) return false;
  ClearErrors();
  CopyText(szID, "HALVEX,???,???,???");
  CopyText(szManufacturer, "HALVEX");
  CopyText(szModel, "???");
  serialNumber = 0;
  CopyText(szVersion, "0.0.0");
  if (!Query("ID?")) return false;

  // manufacturer "," model "," serial number "," version ["," anything]
  CopyText(szID, szReply);
  const char* field = szReply;
  const char* comma = std::strchr(field, ',');
  if (comma == nullptr) return false;
  CopyTextN(szManufacturer, field, static_cast<size_t>(comma - field));

  field = comma + 1;
  comma = std::strchr(field, ',');
  if (comma == nullptr) return false;
  while (field < comma && (*field == ' ' || *field == '\t')) ++field;
  CopyTextN(szModel, field, static_cast<size_t>(comma - field));

  field = comma + 1;
  comma = std::strchr(field, ',');
  if (comma == nullptr) return false;
  CopyTextN(szSerialNumber, field, static_cast<size_t>(comma - field));
  serialNumber = halvex::ParseInt(szSerialNumber);

  field = comma + 1;
  comma = std::strchr(field, ',');
  CopyTextN(szVersion, field,
            comma == nullptr ? std::strlen(field) : static_cast<size_t>(comma - field));

  UpdateVersions();
  return true;
}

// The version in the reply's first field named name ("GPIB:"), up to the next comma or the end,
// as "%d.%d.%d" cut to the text's width; "0.0.0" when the reply has no such field.
static void ReadImageVersion(const char* reply, const char* name,
                             char (&szVersionText)[MAX_VER_LEN]) {
  sVersion version{0, 0, 0};
  const char* field = std::strstr(reply, name);
  if (field != nullptr) cHalvexInstrument::ExtractVersion(&version, field + std::strlen(name));
  char szText[48];
  std::snprintf(szText, sizeof(szText), "%d.%d.%d", static_cast<int>(version.major),
                static_cast<int>(version.minor), static_cast<int>(version.build));
  CopyText(szVersionText, szText);
}

bool cHalvexInstrument::UpdateVersions() {
  CopyText(szMainVersion, NOT_REQUIRED);
  CopyText(szGPIBVersion, NOT_REQUIRED);
  CopyText(szFPGAVersion, NOT_REQUIRED);
  if (comm == nullptr) return false;
  comm->Write("VERSIONS?");
  CopyText(szReply, comm->ReadStripTerm());
  for (char* c = szReply; *c != '\0'; ++c) {
    *c = static_cast<char>(std::toupper(static_cast<unsigned char>(*c)));
  }
  // An installer-version field counts as the MAIN version.
  char* inst = std::strstr(szReply, "INST:");
  if (inst != nullptr) std::memcpy(inst, "MAIN", 4);
  const char* szMain = std::strstr(szReply, "MAIN:");
  if (szMain == nullptr) return false;
  ExtractVersion(&mainVersion, szMain + 5);

  char szText[48];
  if (mainVersion.major != 0 || mainVersion.minor != 0 || mainVersion.build != 0) {
    std::snprintf(szText, sizeof(szText), "%d.%d.%d", static_cast<int>(mainVersion.major),
                  static_cast<int>(mainVersion.minor), static_cast<int>(mainVersion.build));
    CopyText(szMainVersion, szText);
  }
  ReadImageVersion(szReply, "GPIB:", szGPIBVersion);
  ReadImageVersion(szReply, "FPGA:", szFPGAVersion);
  return true;
}

bool cHalvexInstrument::ExtractVersion(sVersion* out, const char* text) {
  if (out == nullptr) return true;
  *out = sVersion{0, 0, 0};
  if (text == nullptr) return true;
  // The version ends at the next field; dots after it belong to other versions.
  const char* end = std::strchr(text, ',');
  if (end == nullptr) end = text + std::strlen(text);
  out->major = halvex::ParseInt(text);
  const char* dot =
      static_cast<const char*>(std::memchr(text, '.', static_cast<size_t>(end - text)));
  if (dot == nullptr) return true;
  out->minor = halvex::ParseInt(dot + 1);
  dot = static_cast<const char*>(std::memchr(dot + 1, '.', static_cast<size_t>(end - (dot + 1))));
  if (dot == nullptr) return true;
  out->build = halvex::ParseInt(dot + 1);
  return true;
}

bool cHalvexInstrument::ClearErrors() {
  if (!bConnected) return false;
  Send("CERR");
  return true;
}

bool cHalvexInstrument::StartInstaller() {
  if (!bConnected || comm == nullptr) return false;
  Send("CERR");
  Send("INSTALL");
  Send("VENT");
  comm->Flush();
  return true;
}

bool cHalvexInstrument::ChangeComm(cComm* newComm) {
  comm = newComm;
  return true;
}

bool cHalvexInstrument::ChangeType(eInstrumentType type) {
  instrumentType = type;
  return true;
}

void cHalvexInstrument::Dump() const {
  std::fputs("Halvex Instrument Communications Class\n", stderr);
}

const char* cHalvexInstrument::GetID() {
  if (!bConnected || comm == nullptr) return "???";
  Query("ID?");
  return szReply;
}
