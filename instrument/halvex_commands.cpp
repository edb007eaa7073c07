// The instrument's measurement and control commands and queries, and its range tables.
#include <cstring>

#include "instrument/halvex_instrument.h"
#include "instrument/halvex_text.h"

using halvex::CopyText;

bool cHalvexInstrument::Default() {
  if (!bConnected) return false;
  Send("DEFAULT");
  return true;
}

bool cHalvexInstrument::SetChannel(eChannel channel) {
  if (!bConnected) return false;
  Send(channel == CHANNEL_B ? "CHAN B" : "CHAN A");
  return true;
}

bool cHalvexInstrument::SetSensor(eSensor sensor, eTurndown turndown) {
  if (!bConnected) return false;
  const char* letter = sensor == SENSOR_S ? "S" : sensor == SENSOR_B ? "B" : "P";
  // The digit is the turndown + 1, computed wide so that no value overflows.
  if (!halvex::FormatCommand(szReply, "SENSOR %s%lld", letter,
                             static_cast<long long>(turndown) + 1)) {
    return false;
  }
  return Send(szReply);
}

bool cHalvexInstrument::Autorange(bool bOn) {
  if (!bConnected) return false;
  Send(bOn ? "AUTORANGE ON" : "AUTORANGE OFF");
  return true;
}

bool cHalvexInstrument::Standby() {
  return bConnected && Send("STANDBY");
}

bool cHalvexInstrument::Measure() {
  return bConnected && Send("MEASURE");
}

bool cHalvexInstrument::Control() {
  return bConnected && Send("CONTROL");
}

bool cHalvexInstrument::Vent() {
  return bConnected && Send("VENT");
}

bool cHalvexInstrument::Setpt(float value) {
  if (!bConnected) return false;
  if (!halvex::FormatCommand(szReply, "SETPT %f", static_cast<double>(value))) return false;
  return Send(szReply);
}

bool cHalvexInstrument::Units(const char* units) {
  if (!bConnected || units == nullptr) return false;
  if (!halvex::FormatCommand(szReply, "UNITS %s", units)) return false;
  return Send(szReply);
}

bool cHalvexInstrument::ResetPeak() {
  return bConnected && Send("PEAKRESET");
}

float cHalvexInstrument::QueryNumber(const char* query, float fallback) {
  if (!Query(query)) return fallback;
  // The first character is the sign's place: a blank, or "-" for a negative value.
  return halvex::ParseAfterSign(szReply, fallback);
}

bool cHalvexInstrument::GetAutorange() {
  if (!bConnected) return false;
  return Query("AUTORANGE?") && std::strchr(szReply, 'Y') != nullptr;
}

float cHalvexInstrument::GetMaxRange() {
  return QueryNumber("RANGEMAX?", 0.0f);
}

float cHalvexInstrument::GetMinRange() {
  return QueryNumber("RANGEMIN?", 0.0f);
}

const char* cHalvexInstrument::GetUnits() {
  if (!Query("UNITS?")) CopyText(szReply, " PSI");
  return szReply;
}

float cHalvexInstrument::GetCtrlMax() {
  return QueryNumber("UPPERLIMIT?", 0.0f);
}

float cHalvexInstrument::GetCtrlMin() {
  return QueryNumber("LOWERLIMIT?", 0.0f);
}

float cHalvexInstrument::GetVolume() {
  return QueryNumber("VOLUME?", 0.0f);
}

bool cHalvexInstrument::GetPressureType() {
  return Query("PTYPE?") && std::strchr(szReply, 'G') != nullptr;
}

eChannel cHalvexInstrument::GetChannel() {
  if (!Query("CHAN?")) return CHANNEL_A;
  return std::strchr(szReply, 'B') != nullptr ? CHANNEL_B : CHANNEL_A;
}

eSensor cHalvexInstrument::GetSensor() {
  if (!Query("SENSOR?")) return SENSOR_P;
  if (std::strchr(szReply, 'S') != nullptr) return SENSOR_S;
  if (std::strchr(szReply, 'B') != nullptr) return SENSOR_B;
  return SENSOR_P;
}

eTurndown cHalvexInstrument::GetTurndown() {
  if (!Query("SENSOR?")) return TURNDOWN_1;
  if (std::strchr(szReply, '4') != nullptr) return TURNDOWN_4;
  if (std::strchr(szReply, '3') != nullptr) return TURNDOWN_3;
  if (std::strchr(szReply, '2') != nullptr) return TURNDOWN_2;
  return TURNDOWN_1;
}

float cHalvexInstrument::GetPressure() {
  return QueryNumber("?", 0.0f);
}

float cHalvexInstrument::GetRate() {
  return QueryNumber("RATE?", 0.0f);
}

float cHalvexInstrument::GetSetpt() {
  return QueryNumber("SETPT?", 0.0f);
}

bool cHalvexInstrument::GetStable() {
  // Without an answer the reading counts as stable.
  if (!Query("STABLE?")) return true;
  return std::strchr(szReply, 'Y') != nullptr;
}

float cHalvexInstrument::GetPeakMax() {
  return QueryNumber("PEAKMAX?", 0.0f);
}

float cHalvexInstrument::GetPeakMin() {
  return QueryNumber("PEAKMIN?", 0.0f);
}

static bool InTables(int c, int s = 0, int t = 0) {
  return c >= 0 && c < MAX_CHANNELS && s >= 0 && s < MAX_SENSORS && t >= 0 && t < MAX_TURNDOWNS;
}

bool cHalvexInstrument::ChannelValid(eChannel c) const {
  return InTables(c) && channelValid[c];
}

bool cHalvexInstrument::SensorValid(eChannel c, eSensor s) const {
  return InTables(c, s) && sensorValid[c][s];
}

bool cHalvexInstrument::TurndownValid(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) && turndownValid[c][s][t];
}

float cHalvexInstrument::GetMaxRange(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) ? maxRange[c][s][t] : 0.0f;
}

float cHalvexInstrument::GetMinRange(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) ? minRange[c][s][t] : 0.0f;
}

const char* cHalvexInstrument::GetRangeUnits(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) ? rangeUnits[c][s][t] : "";
}
