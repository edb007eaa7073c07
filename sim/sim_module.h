// An add-on pressure module (PWM regulator, pressure pump or pressure sensor): its
// identification, its addressed commands and their replies, its control coefficients and valve
// drive. It measures and controls through one channel of the instrument model.
//
// Replies read "0 " (status: done), the command's letters without "?", then the value with its
// sign position: "0  14.6959" to "?", "0 R- 0.0000" to "R-?", "0 T A" to "T?", "0 M 3" to
// "M 3", "0 ID Halvex PWM Regulator SN:4711,VER:2.3.1" to "ID?". Setting commands have no
// reply.
#ifndef HALVEX_SIM_SIM_MODULE_H
#define HALVEX_SIM_SIM_MODULE_H

#include <string>

#include "sim/sim_channel.h"
#include "sim/sim_options.h"

namespace sim {

// "regulator", "pump", "sensor"; "none" for SIM_MODULE_NONE.
const char* GetSimModuleName(eSimModuleKind kind);
bool ParseSimModuleKind(const std::string& szName, eSimModuleKind& kind);
// The text each kind's identification contains, as the program looks for it.
const char* GetSimModuleMatch(eSimModuleKind kind);

constexpr int SIM_COEFFICIENTS = 10;  // control coefficients 0 to 9

class cSimModule {
 public:
  cSimModule(const sSimModuleOptions& options, cSimChannel& channel);

  eSimModuleKind GetKind() const { return options.kind; }
  bool IsController() const { return options.kind != SIM_MODULE_NONE && !IsSensor(); }
  bool IsSensor() const { return options.kind == SIM_MODULE_SENSOR; }
  cSimChannel& GetChannel() { return channel; }

  // Its own address; a regulator or pump also answers on "0" (its valve drive) and "1" (its
  // measuring part), where the program sends those commands.
  bool AnswersAt(char address) const;
  std::string GetIdentification() const;

  // One addressed command (the text after "#" and the address). False with a reason when the
  // module does not know it or its arguments; szReply receives the reply line, if any.
  bool Handle(const std::string& szCommand, std::string& szReply, std::string& szViolation);
  // After ":{" the next line is one unaddressed coefficient line "C <n> <value>".
  bool IsAwaitingCoefficient() const { return bAwaitingCoefficient; }
  bool TakeCoefficientLine(const std::string& szArguments, std::string& szViolation);
  void CancelCoefficient() { bAwaitingCoefficient = false; }

  bool SetCoefficient(int n, double value);
  double GetCoefficient(int n) const;
  void DefaultCoefficients();
  void SaveCoefficients() { ++saves; }
  int GetSaves() const { return saves; }
  bool IsValidCoefficient(int n) const { return n >= 0 && n < SIM_COEFFICIENTS; }

  // "PRESSURE,SETPOINT,RATE,VALVE1,...,VALVE6" and its values (psi, psi/s, percent).
  std::string GetControlDataLabel() const;
  std::string GetControlData() const;

 private:
  bool HandleControllerCommand(const std::string& szKeyword, const std::string& szArguments,
                               std::string& szViolation);
  // Units of the module's readings.
  double PerPsi() const;

  const sSimModuleOptions options;
  cSimChannel& channel;
  double coefficients[SIM_COEFFICIENTS];
  int saves;
  bool bAwaitingCoefficient;
  int unitsCode;  // 1 psi, 2 kPa, 3 bar, 4 mbar
  int outputMode;
  int ioMode;
};

}  // namespace sim

#endif
