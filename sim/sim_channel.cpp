#include "sim/sim_channel.h"

#include <cctype>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

const sSimUnits kUnits[] = {
    {"PSI", 1.0},        {"KPA", 6.894757},  {"PA", 6894.757},    {"MPA", 0.006894757},
    {"BAR", 0.06894757}, {"MBAR", 68.94757}, {"ATM", 0.06804596}, {"TORR", 51.71493},
    {"MMHG", 51.71493},  {"INHG", 2.036021}, {"INH2O", 27.70759}, {"KGCM2", 0.07030696},
};

// Full scale of each sensor in psi, and what each turndown divides it by.
double SensorFullScale(char sensor) {
  return sensor == 'S' ? 30.0 : sensor == 'B' ? 17.0 : 100.0;
}
const double kTurndownDivisor[] = {1.0, 2.0, 4.0, 10.0};

}  // namespace

const char* GetSimModeName(eSimMode mode) {
  switch (mode) {
    case SIM_MODE_STANDBY:
      return "standby";
    case SIM_MODE_MEASURE:
      return "measure";
    case SIM_MODE_CONTROL:
      return "control";
    case SIM_MODE_VENT:
      return "vent";
    case SIM_MODE_MANUAL:
      return "manual";
  }
  return "?";
}

const sSimUnits* FindSimUnits(const std::string& szName) {
  for (const sSimUnits& units : kUnits) {
    const std::string szKnown = units.szName;
    if (szKnown.size() != szName.size()) continue;
    bool bSame = true;
    for (size_t i = 0; i < szName.size() && bSame; ++i) {
      bSame = std::toupper(static_cast<unsigned char>(szName[i])) == szKnown[i];
    }
    if (bSame) return &units;
  }
  return nullptr;
}

std::string FormatSimNumber(double value) {
  char szDigits[64];
  std::snprintf(szDigits, sizeof(szDigits), "%.4f", std::fabs(value));
  // A value that rounds to zero carries no sign.
  const bool bNegative = value < 0 && std::strtod(szDigits, nullptr) != 0.0;
  return std::string(bNegative ? "-" : " ") + szDigits;
}

bool ParseSimNumber(const std::string& szText, double& value) {
  if (szText.empty()) return false;
  const char* start = szText.c_str();
  char* end = nullptr;
  errno = 0;
  const double parsed = std::strtod(start, &end);
  if (end == start || *end != '\0' || errno == ERANGE || !std::isfinite(parsed)) return false;
  value = parsed;
  return true;
}

cSimChannel::cSimChannel(bool bGaugeIn, double volumeIn, int timeConstantMs)
    : bGauge(bGaugeIn),
      volume(volumeIn),
      timeConstantS(timeConstantMs > 0 ? timeConstantMs / 1000.0 : 0.001),
      sensor('P'),
      turndown(1),
      mode(SIM_MODE_MEASURE),
      absolutePsi(SIM_ATMOSPHERE_PSI),
      setpointAbsolutePsi(SIM_ATMOSPHERE_PSI),
      peakMaxAbsolute(SIM_ATMOSPHERE_PSI),
      peakMinAbsolute(SIM_ATMOSPHERE_PSI),
      valves{},
      ctLastNs(-1) {}

void cSimChannel::Advance(int64_t nowNs) {
  if (ctLastNs >= 0 && nowNs > ctLastNs && IsMoving()) {
    const double seconds = static_cast<double>(nowNs - ctLastNs) / 1e9;
    const double target = TargetAbsolute();
    absolutePsi += (target - absolutePsi) * (1.0 - std::exp(-seconds / timeConstantS));
  }
  if (ctLastNs < 0 || nowNs > ctLastNs) ctLastNs = nowNs;
  // The approach is monotonic between two calls, so its extremes are at the calls.
  if (absolutePsi > peakMaxAbsolute) peakMaxAbsolute = absolutePsi;
  if (absolutePsi < peakMinAbsolute) peakMinAbsolute = absolutePsi;
}

void cSimChannel::Reset() {
  sensor = 'P';
  turndown = 1;
  mode = SIM_MODE_MEASURE;
  setpointAbsolutePsi = SIM_ATMOSPHERE_PSI;
  CloseValves();
  ResetPeaks();
}

bool cSimChannel::SetSensor(char newSensor, int newTurndown) {
  if ((newSensor != 'P' && newSensor != 'S' && newSensor != 'B') || newTurndown < 1 ||
      newTurndown > 4) {
    return false;
  }
  sensor = newSensor;
  turndown = newTurndown;
  return true;
}

double cSimChannel::ToReading(double absolute) const {
  return bGauge ? absolute - SIM_ATMOSPHERE_PSI : absolute;
}

double cSimChannel::TargetAbsolute() const {
  if (mode == SIM_MODE_CONTROL) return setpointAbsolutePsi;
  if (mode == SIM_MODE_VENT) return SIM_ATMOSPHERE_PSI;
  return absolutePsi;
}

double cSimChannel::GetPressure() const {
  return ToReading(absolutePsi);
}

double cSimChannel::GetSetpoint() const {
  return ToReading(setpointAbsolutePsi);
}

double cSimChannel::GetRate() const {
  return IsMoving() ? (TargetAbsolute() - absolutePsi) / timeConstantS : 0.0;
}

bool cSimChannel::IsStable() const {
  return std::fabs(TargetAbsolute() - absolutePsi) <= GetStableBand();
}

double cSimChannel::GetPeakMax() const {
  return ToReading(peakMaxAbsolute);
}

double cSimChannel::GetPeakMin() const {
  return ToReading(peakMinAbsolute);
}

void cSimChannel::ResetPeaks() {
  peakMaxAbsolute = absolutePsi;
  peakMinAbsolute = absolutePsi;
}

double cSimChannel::GetRangeMax() const {
  return SensorFullScale(sensor) / kTurndownDivisor[turndown - 1];
}

double cSimChannel::GetRangeMin() const {
  return bGauge ? -SIM_ATMOSPHERE_PSI : 0.0;
}

double cSimChannel::GetStableBand() const {
  const double band = (GetRangeMax() - GetRangeMin()) * 0.0001;
  return band > 0.001 ? band : 0.001;
}

bool cSimChannel::SetSetpoint(double value) {
  if (!(value >= GetRangeMin() && value <= GetRangeMax())) return false;
  setpointAbsolutePsi = bGauge ? value + SIM_ATMOSPHERE_PSI : value;
  return true;
}

void cSimChannel::CloseValves() {
  for (double& valve : valves) valve = 0.0;
}

}  // namespace sim
