#include "sim/sim_module.h"

#include <cstdio>
#include <cstdlib>

namespace sim {

namespace {

const double kDefaultCoefficients[SIM_COEFFICIENTS] = {1.0, 0.5, 0.05, 0.01, 0.0,
                                                       0.0, 0.0, 0.0,  0.0,  0.0};

// Drive counts per percent of valve opening.
constexpr double kCountsPerPercent = 640.0;

// Each kind's name (options, transcript) and the text its identification contains.
struct sKindTexts {
  eSimModuleKind kind;
  const char* szName;
  const char* szMatch;
};
const sKindTexts kKindTexts[] = {
    {SIM_MODULE_REGULATOR, "regulator", "ID Halvex PWM Regulator"},
    {SIM_MODULE_PUMP, "pump", "ID Halvex PPump"},
    {SIM_MODULE_SENSOR, "sensor", "ID   Halvex,     73"},
};

const sKindTexts* FindKind(eSimModuleKind kind) {
  for (const sKindTexts& texts : kKindTexts) {
    if (texts.kind == kind) return &texts;
  }
  return nullptr;
}

// Units of the "U" command.
const char* const kUnitCodes[] = {"PSI", "KPA", "BAR", "MBAR"};

bool ParseInteger(const std::string& szText, int minimum, int maximum, int& value) {
  if (szText.empty() || szText.size() > 6 ||
      szText.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  const int parsed = std::atoi(szText.c_str());
  if (parsed < minimum || parsed > maximum) return false;
  value = parsed;
  return true;
}

bool ParseHexCount(const std::string& szText, unsigned& value) {
  if (szText.size() != 4 || szText.find_first_not_of("0123456789ABCDEF") != std::string::npos) {
    return false;
  }
  value = static_cast<unsigned>(std::strtoul(szText.c_str(), nullptr, 16));
  return true;
}

std::string Quoted(const std::string& szText) {
  return "\"" + szText + "\"";
}

}  // namespace

const char* GetSimModuleName(eSimModuleKind kind) {
  const sKindTexts* texts = FindKind(kind);
  return texts != nullptr ? texts->szName : "none";
}

bool ParseSimModuleKind(const std::string& szName, eSimModuleKind& kind) {
  for (const sKindTexts& texts : kKindTexts) {
    if (szName == texts.szName) {
      kind = texts.kind;
      return true;
    }
  }
  return false;
}

const char* GetSimModuleMatch(eSimModuleKind kind) {
  const sKindTexts* texts = FindKind(kind);
  return texts != nullptr ? texts->szMatch : "";
}

cSimModule::cSimModule(const sSimModuleOptions& optionsIn, cSimChannel& channelIn)
    : options(optionsIn),
      channel(channelIn),
      coefficients{},
      saves(0),
      bAwaitingCoefficient(false),
      unitsCode(1),
      outputMode(0),
      ioMode(0) {
  DefaultCoefficients();
}

bool cSimModule::AnswersAt(char address) const {
  if (address == options.address) return true;
  return IsController() && (address == '0' || address == '1');
}

std::string cSimModule::GetIdentification() const {
  if (!options.szId.empty()) return options.szId;
  return std::string("0 ") + GetSimModuleMatch(options.kind) + " SN:" + options.szSerial +
         ",VER:" + options.szVersion;
}

double cSimModule::PerPsi() const {
  const sSimUnits* units = FindSimUnits(kUnitCodes[unitsCode - 1]);
  return units ? units->perPsi : 1.0;
}

bool cSimModule::Handle(const std::string& szCommand, std::string& szReply,
                        std::string& szViolation) {
  szReply.clear();
  const size_t blank = szCommand.find(' ');
  const std::string szKeyword = szCommand.substr(0, blank);
  const std::string szArguments = blank == std::string::npos ? "" : szCommand.substr(blank + 1);
  const std::string szName = std::string("the ") + GetSimModuleName(options.kind);
  const bool bQuery = !szKeyword.empty() && szKeyword.back() == '?';
  if (bQuery && blank != std::string::npos) {
    szViolation = szName + " takes no arguments to " + Quoted(szKeyword) + ": " + Quoted(szCommand);
    return false;
  }
  if (szKeyword == "ID?") {
    szReply = GetIdentification();
  } else if (szKeyword == "?") {
    szReply = "0 " + FormatSimNumber(channel.GetPressure() * PerPsi());
  } else if (szKeyword == "R-?" || szKeyword == "R+?") {
    const double value = szKeyword == "R-?" ? channel.GetRangeMin() : channel.GetRangeMax();
    szReply = "0 " + szKeyword.substr(0, 2) + FormatSimNumber(value * PerPsi());
  } else if (szKeyword == "T?") {
    szReply = std::string("0 T ") + (channel.IsGauge() ? "G" : "A");
  } else if (szKeyword == "M") {
    if (!ParseInteger(szArguments, 0, 9, outputMode)) {
      szViolation = szName + " has no output mode " + Quoted(szArguments);
      return false;
    }
    szReply = "0 M " + std::to_string(outputMode);
  } else if (szKeyword == "U") {
    if (!ParseInteger(szArguments, 1, 4, unitsCode)) {
      szViolation = szName + " has no units code " + Quoted(szArguments);
      return false;
    }
  } else if (!IsController() || !HandleControllerCommand(szKeyword, szArguments, szViolation)) {
    if (szViolation.empty()) szViolation = szName + " does not know " + Quoted(szCommand);
    return false;
  }
  return true;
}

bool cSimModule::HandleControllerCommand(const std::string& szKeyword,
                                         const std::string& szArguments, std::string& szViolation) {
  const std::string szName = std::string("the ") + GetSimModuleName(options.kind);
  if (szKeyword == "IO") {
    if (!ParseInteger(szArguments, 0, 1, ioMode)) {
      szViolation = szName + " has no IO setting " + Quoted(szArguments);
    }
  } else if (szKeyword == "SV") {
    // Valve states: standby, measure, control, vent.
    const int regulatorStates[] = {0, 4, 6, 7};
    const int pumpStates[] = {0, 1, 9, 13};
    const int* states = options.kind == SIM_MODULE_PUMP ? pumpStates : regulatorStates;
    const eSimMode modes[] = {SIM_MODE_STANDBY, SIM_MODE_MEASURE, SIM_MODE_CONTROL, SIM_MODE_VENT};
    int state = -1;
    if (ParseInteger(szArguments, 0, 99, state)) {
      for (int i = 0; i < 4; ++i) {
        if (states[i] != state) continue;
        channel.SetMode(modes[i]);
        channel.CloseValves();
        return true;
      }
    }
    szViolation = szName + " has no valve state " + Quoted(szArguments);
  } else if (szKeyword == ":{" && szArguments.empty()) {
    bAwaitingCoefficient = true;
  } else if (szKeyword == "Q" && szArguments.empty()) {
    channel.CloseValves();
    channel.SetMode(SIM_MODE_STANDBY);
  } else if (szKeyword == "Y") {
    // Six counts, valves 4 to 6 first.
    const int order[SIM_VALVES] = {3, 4, 5, 0, 1, 2};
    unsigned counts[SIM_VALVES] = {};
    if (!ReadSimValveValues(szArguments, ' ', ParseHexCount, counts)) {
      szViolation =
          szName + " takes six counts of four hexadecimal digits: " + Quoted("Y " + szArguments);
      return false;
    }
    for (int i = 0; i < SIM_VALVES; ++i) {
      channel.SetValve(order[i], counts[i] / kCountsPerPercent);
    }
    channel.SetMode(SIM_MODE_MANUAL);
  } else {
    return false;
  }
  return szViolation.empty();
}

bool cSimModule::TakeCoefficientLine(const std::string& szArguments, std::string& szViolation) {
  bAwaitingCoefficient = false;
  const size_t blank = szArguments.find(' ');
  int n = 0;
  double value = 0;
  if (blank == std::string::npos ||
      !ParseInteger(szArguments.substr(0, blank), 0, SIM_COEFFICIENTS - 1, n) ||
      !ParseSimNumber(szArguments.substr(blank + 1), value)) {
    szViolation = "a coefficient line reads \"C <0-9> <value>\": " + Quoted("C " + szArguments);
    return false;
  }
  coefficients[n] = value;
  return true;
}

bool cSimModule::SetCoefficient(int n, double value) {
  if (!IsValidCoefficient(n)) return false;
  coefficients[n] = value;
  return true;
}

double cSimModule::GetCoefficient(int n) const {
  return IsValidCoefficient(n) ? coefficients[n] : 0.0;
}

void cSimModule::DefaultCoefficients() {
  for (int i = 0; i < SIM_COEFFICIENTS; ++i) coefficients[i] = kDefaultCoefficients[i];
}

std::string cSimModule::GetControlDataLabel() const {
  return "PRESSURE,SETPOINT,RATE,VALVE1,VALVE2,VALVE3,VALVE4,VALVE5,VALVE6";
}

std::string cSimModule::GetControlData() const {
  double values[3 + SIM_VALVES] = {channel.GetPressure(), channel.GetSetpoint(), channel.GetRate()};
  for (int i = 0; i < SIM_VALVES; ++i) values[3 + i] = channel.GetValve(i);
  std::string szData;
  for (double value : values) {
    char szValue[64];
    std::snprintf(szValue, sizeof(szValue), "%.4f", value);
    szData += (szData.empty() ? "" : ",") + std::string(szValue);
  }
  return szData;
}

}  // namespace sim
