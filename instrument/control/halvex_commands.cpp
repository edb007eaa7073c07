// The instrument's measurement and control commands and queries, and its range tables.
#include "instrument_control/halvex_commands.h"

#include <cstring>

#include "instrument/halvex_text.h"

using halvex::CopyText;

cHalvexControlInstrument::cHalvexControlInstrument()
    : channelValid{}, sensorValid{}, turndownValid{}, maxRange{}, minRange{}, rangeUnits{} {}

bool cHalvexControlInstrument::Default() {
  if (!bConnected) return false;
  Send("DEFAULT");
  return true;
}

bool cHalvexControlInstrument::SetChannel(eChannel channel) {
  if (!bConnected) return false;
  Send(channel == CHANNEL_B ? "CHAN B" : "CHAN A");
  return true;
}

bool cHalvexControlInstrument::SetSensor(eSensor sensor, eTurndown turndown) {
  if (!bConnected) return false;
  const char* letter = sensor == SENSOR_S ? "S" : sensor == SENSOR_B ? "B" : "P";
  // The digit is the turndown + 1, computed wide so that no value overflows.
  if (!halvex::FormatCommand(szReply, "SENSOR %s%lld", letter,
                             static_cast<long long>(turndown) + 1)) {
    return false;
  }
  return Send(szReply);
}

bool cHalvexControlInstrument::Autorange(bool bOn) {
  if (!bConnected) return false;
  Send(bOn ? "AUTORANGE ON" : "AUTORANGE OFF");
  return true;
}

bool cHalvexControlInstrument::Standby() {
  return bConnected && Send("STANDBY");
}

bool cHalvexControlInstrument::Measure() {
  return bConnected && Send("MEASURE");
}

bool cHalvexControlInstrument::Control() {
  return bConnected && Send("CONTROL");
}

bool cHalvexControlInstrument::Vent() {
  return bConnected && Send("VENT");
}

bool cHalvexControlInstrument::Setpt(float value) {
  if (!bConnected) return false;
  if (!halvex::FormatCommand(szReply, "SETPT %f", static_cast<double>(value))) return false;
  return Send(szReply);
}

bool cHalvexControlInstrument::Units(const char* units) {
  if (!bConnected || units == nullptr) return false;
  if (!halvex::FormatCommand(szReply, "UNITS %s", units)) return false;
  return Send(szReply);
}

bool cHalvexControlInstrument::ResetPeak() {
  return bConnected && Send("PEAKRESET");
}

float cHalvexControlInstrument::QueryNumber(const char* query, float fallback) {
  if (!Query(query)) return fallback;
  // The first character is the sign's place: a blank, or "-" for a negative value.
  return halvex::ParseAfterSign(szReply, fallback);
}

bool cHalvexControlInstrument::GetAutorange() {
  if (!bConnected) return false;
  return Query("AUTORANGE?") && std::strchr(szReply, 'Y') != nullptr;
}

float cHalvexControlInstrument::GetMaxRange() {
  return QueryNumber("RANGEMAX?", 0.0f);
}

float cHalvexControlInstrument::GetMinRange() {
  return QueryNumber("RANGEMIN?", 0.0f);
}

const char* cHalvexControlInstrument::GetUnits() {
  if (!Query("UNITS?")) CopyText(szReply, " PSI");
  return szReply;
}

float cHalvexControlInstrument::GetCtrlMax() {
  return QueryNumber("UPPERLIMIT?", 0.0f);
}

float cHalvexControlInstrument::GetCtrlMin() {
  return QueryNumber("LOWERLIMIT?", 0.0f);
}

float cHalvexControlInstrument::GetVolume() {
  return QueryNumber("VOLUME?", 0.0f);
}

bool cHalvexControlInstrument::GetPressureType() {
  return Query("PTYPE?") && std::strchr(szReply, 'G') != nullptr;
}

eChannel cHalvexControlInstrument::GetChannel() {
  if (!Query("CHAN?")) return CHANNEL_A;
  return std::strchr(szReply, 'B') != nullptr ? CHANNEL_B : CHANNEL_A;
}

eSensor cHalvexControlInstrument::GetSensor() {
  if (!Query("SENSOR?")) return SENSOR_P;
  if (std::strchr(szReply, 'S') != nullptr) return SENSOR_S;
  if (std::strchr(szReply, 'B') != nullptr) return SENSOR_B;
  return SENSOR_P;
}

eTurndown cHalvexControlInstrument::GetTurndown() {
  if (!Query("SENSOR?")) return TURNDOWN_1;
  if (std::strchr(szReply, '4') != nullptr) return TURNDOWN_4;
  if (std::strchr(szReply, '3') != nullptr) return TURNDOWN_3;
  if (std::strchr(szReply, '2') != nullptr) return TURNDOWN_2;
  return TURNDOWN_1;
}

float cHalvexControlInstrument::GetPressure() {
  return QueryNumber("?", 0.0f);
}

float cHalvexControlInstrument::GetRate() {
  return QueryNumber("RATE?", 0.0f);
}

float cHalvexControlInstrument::GetSetpt() {
  return QueryNumber("SETPT?", 0.0f);
}

bool cHalvexControlInstrument::GetStable() {
  // Without an answer the reading counts as stable.
  if (!Query("STABLE?")) return true;
  return std::strchr(szReply, 'Y') != nullptr;
}

float cHalvexControlInstrument::GetPeakMax() {
  return QueryNumber("PEAKMAX?", 0.0f);
}

float cHalvexControlInstrument::GetPeakMin() {
  return QueryNumber("PEAKMIN?", 0.0f);
}

static bool InTables(int c, int s = 0, int t = 0) {
  return c >= 0 && c < MAX_CHANNELS && s >= 0 && s < MAX_SENSORS && t >= 0 && t < MAX_TURNDOWNS;
}

bool cHalvexControlInstrument::ChannelValid(eChannel c) const {
  return InTables(c) && channelValid[c];
}

bool cHalvexControlInstrument::SensorValid(eChannel c, eSensor s) const {
  return InTables(c, s) && sensorValid[c][s];
}

bool cHalvexControlInstrument::TurndownValid(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) && turndownValid[c][s][t];
}

float cHalvexControlInstrument::GetMaxRange(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) ? maxRange[c][s][t] : 0.0f;
}

float cHalvexControlInstrument::GetMinRange(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) ? minRange[c][s][t] : 0.0f;
}

const char* cHalvexControlInstrument::GetRangeUnits(eChannel c, eSensor s, eTurndown t) const {
  return InTables(c, s, t) ? rangeUnits[c][s][t] : "";
}
