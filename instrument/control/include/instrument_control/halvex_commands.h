// The instrument's measurement and control commands: a cHalvexInstrument that also switches
// channel, sensor and mode, sets setpoint and units and asks for pressure, rate, ranges, limits
// and states. The program's own connection (app/connections.h) is the plain cHalvexInstrument:
// it never sends these. Link halvex_instrument_control to use them; this header is only on the
// include path of what links it.
//   cHalvexControlInstrument instrument;
//   if (instrument.Connect(COM1, BAUD_57600, false) && instrument.IsConnected()) {
//     instrument.SetChannel(CHANNEL_B);
//     const float psi = instrument.GetPressure();
//   }
#ifndef HALVEX_INSTRUMENT_CONTROL_HALVEX_COMMANDS_H
#define HALVEX_INSTRUMENT_CONTROL_HALVEX_COMMANDS_H

#include "instrument/halvex_instrument.h"

constexpr int MAX_UNITS_LEN = 8;  // units text
constexpr int MAX_MODULES = 3;    // module kinds
constexpr int MAX_CHANNELS = 2;   // channels
constexpr int MAX_SENSORS = 3;    // sensors per channel
constexpr int MAX_TURNDOWNS = 4;  // turndowns per sensor

enum eChannel : int { CHANNEL_A = 0, CHANNEL_B = 1 };

// Sensor letters on the wire: P, S, B.
enum eSensor : int { SENSOR_P = 0, SENSOR_S = 1, SENSOR_B = 2 };

// Turndown digits 1 to 4 on the wire.
enum eTurndown : int { TURNDOWN_1 = 0, TURNDOWN_2, TURNDOWN_3, TURNDOWN_4 };

class cHalvexControlInstrument : public cHalvexInstrument {
 public:
  cHalvexControlInstrument();

  // Commands. Those that set something send nothing and return false while not connected.
  bool Default();
  bool SetChannel(eChannel channel);
  bool SetSensor(eSensor sensor, eTurndown turndown);
  bool Autorange(bool bOn);
  bool Standby();
  bool Measure();
  bool Control();
  bool Vent();
  bool Setpt(float value);
  // "UNITS <units>"; false when the line would not fit.
  bool Units(const char* units);
  bool ResetPeak();

  // Queries: one reply line each. Without a channel, or when the read fails, they return
  // their fallback (0, false, " PSI", true for GetStable).
  bool GetAutorange();
  float GetMaxRange();
  float GetMinRange();
  const char* GetUnits();
  float GetCtrlMax();
  float GetCtrlMin();
  float GetVolume();
  bool GetPressureType();
  eChannel GetChannel();
  eSensor GetSensor();
  eTurndown GetTurndown();
  float GetPressure();
  float GetRate();
  float GetSetpt();
  bool GetStable();
  float GetPeakMax();
  float GetPeakMin();

  // Range tables; indices outside their limits give false, 0 or "".
  bool ChannelValid(eChannel c) const;
  bool SensorValid(eChannel c, eSensor s) const;
  bool TurndownValid(eChannel c, eSensor s, eTurndown t) const;
  float GetMaxRange(eChannel c, eSensor s, eTurndown t) const;
  float GetMinRange(eChannel c, eSensor s, eTurndown t) const;
  const char* GetRangeUnits(eChannel c, eSensor s, eTurndown t) const;

 private:
  // A query whose reply is read as a number from its second character on.
  float QueryNumber(const char* query, float fallback);

  bool channelValid[MAX_CHANNELS];
  bool sensorValid[MAX_CHANNELS][MAX_SENSORS];
  bool turndownValid[MAX_CHANNELS][MAX_SENSORS][MAX_TURNDOWNS];
  float maxRange[MAX_CHANNELS][MAX_SENSORS][MAX_TURNDOWNS];
  float minRange[MAX_CHANNELS][MAX_SENSORS][MAX_TURNDOWNS];
  char rangeUnits[MAX_CHANNELS][MAX_SENSORS][MAX_TURNDOWNS][MAX_UNITS_LEN];
};

#endif
