#include "instrument_control/halvex_module.h"

#include <cmath>
#include <cstdio>
#include <cstring>

#include "instrument/halvex_text.h"

using halvex::CopyText;
using halvex::CopyTextN;

const char* const ID_MATCH[MAX_MODULES] = {
    "ID Halvex PWM Regulator",
    "ID Halvex PPump",
    "ID   Halvex,     73",
};

// A host instrument names itself so in its reply to "ID?".
static const char* const HOST_MATCH = "HALVEX, 450";

// Ports searched when none is given.
static const int FIRST_SEARCH_PORT = 1;
static const int LAST_SEARCH_PORT = 4;

// Copies the word that starts at word, up to the next blank, into dest. The text after the
// blank, or null when no blank follows.
template <size_t N>
static const char* CopyWord(char (&dest)[N], const char* word) {
  const char* blank = std::strchr(word, ' ');
  if (blank == nullptr) return nullptr;
  CopyTextN(dest, word, static_cast<size_t>(blank - word));
  return blank + 1;
}

cHalvexModule::cHalvexModule()
    : comm(nullptr),
      module(MODULE_PWM_REGULATOR),
      bConnected(false),
      bInternal(false),
      szBuffer{},
      address('0'),
      port(PORT_NONE),
      bOnChannelA(false),
      bOnChannelB(false),
      szID{},
      szManufacturer{},
      szModel{},
      serialNumber(0),
      szVersion{} {}

bool cHalvexModule::Send(const char* cmd, bool bForce, unsigned char addr) {
  if (!bConnected && !bForce) return false;
  if (cmd == nullptr) return false;
  const char target = static_cast<char>(addr == OWN_ADDRESS ? address : addr);
  const bool bFits = bInternal ? halvex::FormatCommand(szBuffer, "INTERNALCMD #%c%s", target, cmd)
                               : halvex::FormatCommand(szBuffer, "#%c%s", target, cmd);
  if (!bFits) return false;
  serial.Write(szBuffer);
  return true;
}

bool cHalvexModule::Write(const char* command) {
  return comm != nullptr && comm->Write(command);
}

bool cHalvexModule::ReadReply() {
  if (comm == nullptr) {
    CopyText(szBuffer, "");
    return false;
  }
  CopyText(szBuffer, comm->ReadStripTerm());
  return !comm->ErrorOccurred();
}

bool cHalvexModule::Connect(eModule newModule, ePort newPort, unsigned char newAddress) {
  if (newModule < 0 || newModule >= MAX_MODULES) return false;
  port = newPort;
  module = newModule;
  address = newAddress;
  bConnected = false;
  bOnChannelA = false;
  bOnChannelB = false;
  const char* match = ID_MATCH[module];
  const int first = newPort == PORT_NONE ? FIRST_SEARCH_PORT : newPort;
  const int last = newPort == PORT_NONE ? LAST_SEARCH_PORT : newPort;
  for (int i = first; i <= last && !bConnected; ++i) {
    if (!serial.Initialize(ePort(i), BAUD_57600, '*', PROTOCOL_PLAIN, true)) continue;
    serial.Write("ID?");
    CopyText(szBuffer, serial.ReadStripTerm());
    if (std::strstr(szBuffer, HOST_MATCH) != nullptr) {
      // A host instrument: ask each of its channels for the module.
      bInternal = true;
      serial.Write("CHAN A");
      Send("ID?", true, OWN_ADDRESS);
      char szLine[MAX_BUFF_LEN];
      if (halvex::FormatCommand(szLine, "module:%d ", static_cast<int>(module))) {
        serial.Write(szLine);
      }
      if (halvex::FormatCommand(szLine, "match:%s ", match)) serial.Write(szLine);
      CopyText(szBuffer, serial.ReadStripTerm());
      if (std::strstr(szBuffer, match) != nullptr) {
        bOnChannelA = true;
        bConnected = true;
      } else {
        serial.Write("CHAN B");
        Send("ID?", true, OWN_ADDRESS);
        CopyText(szBuffer, serial.ReadStripTerm());
        if (std::strstr(szBuffer, match) != nullptr) {
          bOnChannelB = true;
          bConnected = true;
        }
      }
      if (!bConnected) {
        serial.Write("CERR");
        serial.Write("CHAN A");
      }
    } else {
      // A module on the line itself, or nothing.
      bInternal = false;
      Send("ID?", true, OWN_ADDRESS);
      CopyText(szBuffer, serial.ReadStripTerm());
      if (std::strstr(szBuffer, match) != nullptr) bConnected = true;
    }
    if (bConnected) port = ePort(i);
  }
  if (!bConnected) return false;
  comm = &serial;
  if (!Initialize()) bConnected = false;
  return true;
}

bool cHalvexModule::Initialize() {
  if (!bConnected) return false;
  ClearErrors();
  CopyText(szID, "0 ID HALVEX ??? ??? ???");
  CopyText(szManufacturer, "HALVEX");
  CopyText(szModel, "???");
  serialNumber = 0;
  CopyText(szVersion, "0.0.0");
  GetID();  // the reply lands in szBuffer
  CopyText(szID, szBuffer);

  // Five leading characters, manufacturer " " model " " ... "SN" sep number "," ... "VER" sep
  // version.
  if (std::strlen(szBuffer) < 5) return false;
  const char* rest = CopyWord(szManufacturer, szBuffer + 5);
  if (rest != nullptr) rest = CopyWord(szModel, rest);
  if (rest == nullptr) return false;

  const char* sn = std::strstr(rest, "SN");
  if (sn == nullptr) return false;
  if (std::strlen(sn) >= 3) serialNumber = halvex::ParseInt(sn + 3);
  // Without the "," after the number the version can't be told apart: the reply is malformed.
  const char* comma = std::strchr(sn, ',');
  if (comma == nullptr) return false;
  const char* ver = std::strstr(comma + 1, "VER");
  if (ver == nullptr) return false;
  if (std::strlen(ver) >= 4) CopyText(szVersion, ver + 4);
  return true;
}

bool cHalvexModule::ClearErrors() {
  if (!bConnected) return false;
  if (bInternal) Write("CERR");
  return true;
}

const char* cHalvexModule::GetID() {
  if (bConnected && Send("ID?", false, OWN_ADDRESS)) {
    ReadReply();
  } else {
    CopyText(szBuffer, "0 ID NOT CONNECTED");
  }
  return szBuffer;
}

float cHalvexModule::QueryRange(const char* hostQuery, const char* directQuery) {
  const float fallback = 1.0f;
  if (!bConnected) return fallback;
  Write(bInternal ? hostQuery : directQuery);
  if (!ReadReply()) return fallback;
  // The host's reply starts with the sign's place; the module's own has the sign in place.
  return bInternal ? halvex::ParseAfterSign(szBuffer, fallback)
                   : halvex::ParseFloatAt(szBuffer, 4, fallback);
}

float cHalvexModule::GetMinRange() {
  return QueryRange("RANGEMIN?", "#1R-?");
}

float cHalvexModule::GetMaxRange() {
  return QueryRange("RANGEMAX?", "#1R+?");
}

char cHalvexModule::GetSensorType() {
  if (!bConnected) return '?';
  Write(bInternal ? "PTYPE?" : "#1T?");
  const size_t position = bInternal ? 1 : 4;
  if (!ReadReply() || std::strlen(szBuffer) <= position) return '?';
  return szBuffer[position];
}

void cHalvexModule::Dump() const {
  std::fputs("Halvex Module Class\n", stderr);
}

// ---------------------------------------------------------------------------------------------

cHalvexControllerModule::cHalvexControllerModule() : bControlling(false) {}

bool cHalvexControllerModule::Connect(eModule newModule, ePort newPort, unsigned char newAddress) {
  if (newModule != MODULE_PWM_REGULATOR && newModule != MODULE_PRESSURE_PUMP) return false;
  bConnected = cHalvexModule::Connect(newModule, newPort, newAddress);
  return bConnected;
}

bool cHalvexControllerModule::Initialize() {
  if (!bConnected) return false;
  if (bInternal) {
    cHalvexModule::Initialize();
    return true;
  }
  Send("IO 1", false, OWN_ADDRESS);
  cHalvexModule::Initialize();
  Send("M 3", false, '1');
  ReadReply();
  return true;
}

bool cHalvexControllerModule::WriteForm(const char* host, const char* direct) {
  if (!bConnected) return false;
  const char* command = bInternal ? host : direct;
  return command != nullptr && Write(command);
}

const char* cHalvexControllerModule::ByModule(const char* regulator, const char* pump) const {
  return module == MODULE_PRESSURE_PUMP ? pump : regulator;
}

bool cHalvexControllerModule::SetChannel(eChannel channel) {
  if (!bConnected || !bInternal) return false;
  Write(channel == CHANNEL_B ? "CHAN B" : "CHAN A");
  return true;
}

eChannel cHalvexControllerModule::GetChannel() {
  if (!bConnected || !bInternal) return CHANNEL_A;
  Write("CHAN?");
  if (!ReadReply()) return CHANNEL_A;
  return std::strchr(szBuffer, 'B') != nullptr ? CHANNEL_B : CHANNEL_A;
}

bool cHalvexControllerModule::Standby() {
  return WriteForm("STANDBY", "#0SV 0");
}

bool cHalvexControllerModule::Measure() {
  return WriteForm("MEASURE", ByModule("#0SV 4", "#0SV 1"));
}

bool cHalvexControllerModule::Control() {
  return WriteForm("CONTROL", ByModule("#0SV 6", "#0SV 9"));
}

bool cHalvexControllerModule::Vent() {
  return WriteForm("VENT", ByModule("#0SV 7", "#0SV 13"));
}

bool cHalvexControllerModule::Setpt(float value) {
  if (!bConnected || !bInternal) return false;
  char szLine[MAX_BUFF_LEN];
  if (!halvex::FormatCommand(szLine, "SETPT %f", static_cast<double>(value))) return false;
  return Write(szLine);
}

bool cHalvexControllerModule::GetStable() {
  if (!bConnected || !bInternal) return false;
  Write("STABLE?");
  return ReadReply() && std::strchr(szBuffer, 'Y') != nullptr;
}

bool cHalvexControllerModule::UnitsPsi() {
  return WriteForm("UNITS PSI", "#1U 1");
}

bool cHalvexControllerModule::SetCoefficient(int n, float value) {
  if (!bConnected) return false;
  char szNumber[32];
  halvex::FormatExponent(szNumber, sizeof(szNumber), static_cast<double>(value));
  char szLine[MAX_BUFF_LEN];
  if (bInternal) {
    if (!halvex::FormatCommand(szLine, "regcoeff %d,%s", n, szNumber)) return false;
    return Write(szLine);
  }
  if (!halvex::FormatCommand(szLine, "C %d %s", n, szNumber)) return false;
  Write("#0:{");
  return Write(szLine);
}

float cHalvexControllerModule::GetCoefficient(int n) {
  if (!bConnected || !bInternal) return 0.0f;
  char szLine[MAX_BUFF_LEN];
  if (!halvex::FormatCommand(szLine, "regcoeff? %d", n)) return 0.0f;
  Write(szLine);
  if (!ReadReply()) return 0.0f;
  return halvex::ParseFloatAt(szBuffer, 0, 0.0f);
}

bool cHalvexControllerModule::DefaultCoefficients() {
  return WriteForm("regcoeffdefault", nullptr);
}

bool cHalvexControllerModule::SaveCoefficients() {
  return WriteForm("regcoeffsave", nullptr);
}

const char* cHalvexControllerModule::QueryText(const char* query) {
  if (!bConnected) return szBuffer;
  if (!bInternal) {
    CopyText(szBuffer, "NOT AVAILABLE");
    return szBuffer;
  }
  Write(query);
  ReadReply();
  return szBuffer;
}

const char* cHalvexControllerModule::GetControlDataLabel() {
  return QueryText("CTRLDATALAB?");
}

const char* cHalvexControllerModule::GetControlData() {
  return QueryText("CTRLDATA?");
}

bool cHalvexControllerModule::ValvesOff() {
  return WriteForm("RTSTOP", "#0Q");
}

// Drive count of a valve opening in percent, within what four hexadecimal digits hold.
static unsigned ValveCount(float percent) {
  static const float fScale = 1600000.0f * 0.04f * 0.01f;  // 640 counts per percent
  const double count = static_cast<double>(percent) * static_cast<double>(fScale) + 0.05;
  if (!(count > 0.0)) return 0;  // also NaN
  if (count >= 65535.0) return 0xFFFF;
  return static_cast<unsigned>(count);
}

bool cHalvexControllerModule::SetValves(float valve1, float valve2, float valve3, float valve4,
                                        float valve5, float valve6) {
  if (!bConnected) return false;
  char szLine[MAX_BUFF_LEN];
  if (bInternal) {
    if (!halvex::FormatCommand(szLine, "RTPCT %f,%f,%f,%f,%f,%f", static_cast<double>(valve1),
                               static_cast<double>(valve2), static_cast<double>(valve3),
                               static_cast<double>(valve4), static_cast<double>(valve5),
                               static_cast<double>(valve6))) {
      return false;
    }
    Write("RTSTART");
    return Write(szLine);
  }
  // The module takes valves 4 to 6 first.
  halvex::FormatCommand(szLine, "#0Y %04X %04X %04X %04X %04X %04X", ValveCount(valve4),
                        ValveCount(valve5), ValveCount(valve6), ValveCount(valve1),
                        ValveCount(valve2), ValveCount(valve3));
  return Write(szLine);
}

float cHalvexControllerModule::GetPsi() {
  if (!bConnected) return 0.0f;
  Write(bInternal ? "?" : "#1?");
  if (!ReadReply()) return 0.0f;
  return bInternal ? halvex::ParseAfterSign(szBuffer, 0.0f)
                   : halvex::ParseFloatAt(szBuffer, 2, 0.0f);
}

void cHalvexControllerModule::Dump() const {
  std::fputs("Halvex Controller Module Class\n", stderr);
}

// ---------------------------------------------------------------------------------------------

bool cHalvexSensorModule::Connect(eModule newModule, ePort newPort, unsigned char newAddress) {
  if (newModule != MODULE_PRESSURE_SENSOR) return false;
  bConnected = cHalvexModule::Connect(newModule, newPort, newAddress);
  return bConnected;
}

bool cHalvexSensorModule::Initialize() {
  if (!bConnected) return false;
  cHalvexModule::Initialize();
  if (!bInternal) {
    Send("M 3", false, OWN_ADDRESS);
    ReadReply();
  }
  return true;
}

bool cHalvexSensorModule::UnitsPsi() {
  if (!bConnected) return false;
  if (bInternal) return Write("UNITS PSI");
  Send("U 1", false, OWN_ADDRESS);
  return true;
}

float cHalvexSensorModule::GetPsi() {
  if (!bConnected) return 0.0f;
  if (bInternal) {
    Write("?");
  } else {
    Send("?", false, OWN_ADDRESS);
  }
  if (!ReadReply()) return 0.0f;
  return bInternal ? halvex::ParseAfterSign(szBuffer, 0.0f)
                   : halvex::ParseFloatAt(szBuffer, 2, 0.0f);
}

void cHalvexSensorModule::Dump() const {
  std::fputs("Halvex Sensor Module Class\n", stderr);
}
