// One measuring and controlling channel of the simulated instrument: its sensor selection, its
// mode, setpoint and valves, and a pressure that follows the mode in time. Every reading is in
// psi as the channel shows it: relative to the atmosphere on a gauge channel, absolute
// otherwise. Time comes from the caller (Advance), so the model is exact and testable.
#ifndef HALVEX_SIM_SIM_CHANNEL_H
#define HALVEX_SIM_SIM_CHANNEL_H

#include <cstdint>
#include <string>

namespace sim {

// The atmosphere, in psi absolute: where the pressure starts and where venting takes it.
constexpr double SIM_ATMOSPHERE_PSI = 14.6959;

enum eSimMode {
  SIM_MODE_STANDBY,  // valves closed: the pressure holds
  SIM_MODE_MEASURE,  // measuring only: the pressure holds
  SIM_MODE_CONTROL,  // the pressure approaches the setpoint
  SIM_MODE_VENT,     // the pressure approaches the atmosphere
  SIM_MODE_MANUAL,   // valves driven directly: the pressure holds
};

const char* GetSimModeName(eSimMode mode);

struct sSimUnits {
  const char* szName;  // as the instrument shows it, upper case
  double perPsi;       // this many units make one psi
};

// The units the instrument knows, matched without regard to case; null for others.
const sSimUnits* FindSimUnits(const std::string& szName);

// A number as the instrument answers it: a sign position (blank or "-"), then four decimals,
// for example " 14.6959" or "-0.2500".
std::string FormatSimNumber(double value);

// True when the whole text is one finite decimal number (leading blanks allowed).
bool ParseSimNumber(const std::string& szText, double& value);

constexpr int SIM_VALVES = 6;

// Reads one value per valve from szText, the values divided by separator, each with parse
// (bool parse(const std::string&, T&)). False when there are fewer or one does not parse.
template <typename T, typename tParse>
bool ReadSimValveValues(const std::string& szText, char separator, tParse parse,
                        T (&values)[SIM_VALVES]) {
  size_t position = 0;
  for (int i = 0; i < SIM_VALVES; ++i) {
    const bool bLast = i + 1 == SIM_VALVES;
    const size_t end = bLast ? std::string::npos : szText.find(separator, position);
    if ((!bLast && end == std::string::npos) ||
        !parse(szText.substr(position, end - position), values[i])) {
      return false;
    }
    position = end + 1;
  }
  return true;
}

class cSimChannel {
 public:
  cSimChannel(bool bGauge, double volume, int timeConstantMs);

  // Moves the pressure on to the time given (monotonic nanoseconds); earlier times are ignored.
  void Advance(int64_t nowNs);
  // The instrument's defaults: sensor P1, setpoint at the atmosphere, measure mode, valves
  // closed, peaks from the present pressure. The pressure itself stays where it is.
  void Reset();

  bool IsGauge() const { return bGauge; }
  double GetVolume() const { return volume; }
  char GetSensor() const { return sensor; }
  int GetTurndown() const { return turndown; }
  // Sensor "P", "S" or "B" and turndown 1 to 4; false (and unchanged) for others.
  bool SetSensor(char newSensor, int newTurndown);
  eSimMode GetMode() const { return mode; }
  void SetMode(eSimMode newMode) { mode = newMode; }

  double GetPressure() const;
  double GetSetpoint() const;
  // Change of the pressure per second.
  double GetRate() const;
  // True when the pressure holds or has come within the stability band of its target.
  bool IsStable() const;
  double GetPeakMax() const;
  double GetPeakMin() const;
  void ResetPeaks();

  // The range of the selected sensor and turndown; the control limits are the same.
  double GetRangeMax() const;
  double GetRangeMin() const;
  // Stability band: 0.01 % of the range's span, at least 0.001 psi.
  double GetStableBand() const;
  // False (and unchanged) when the value is outside the control limits.
  bool SetSetpoint(double value);

  // Valve openings in percent, valve 1 to 6.
  double GetValve(int index) const { return valves[index]; }
  void SetValve(int index, double percent) { valves[index] = percent; }
  void CloseValves();

 private:
  double ToReading(double absolute) const;
  double TargetAbsolute() const;
  bool IsMoving() const { return mode == SIM_MODE_CONTROL || mode == SIM_MODE_VENT; }

  const bool bGauge;
  const double volume;
  const double timeConstantS;
  char sensor;
  int turndown;
  eSimMode mode;
  double absolutePsi;
  double setpointAbsolutePsi;
  double peakMaxAbsolute;
  double peakMinAbsolute;
  double valves[SIM_VALVES];
  int64_t ctLastNs;
};

}  // namespace sim

#endif
