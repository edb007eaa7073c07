// The measurement and control commands: channel, sensor, units, setpoint and mode are taken
// silently and change the instrument's state; each query is answered with one line.
#include <functional>

#include "sim/sim_interpreter.h"

namespace sim {

namespace {

using fnReading = std::function<double(cSimChannel&)>;

std::string Quoted(const std::string& szText) {
  return "\"" + szText + "\"";
}

}  // namespace

void cSimInterpreter::AddMeasureCommands() {
  AddCommand("DEFAULT", false, [](cSimInterpreter& interpreter, const std::string&) {
    sSimInstrumentState& state = interpreter.GetState();
    for (cSimChannel& channel : state.channels) channel.Reset();
    state.channel = 0;
    state.szUnits = "PSI";
    state.bAutorange = false;
  });
  AddCommand("CHAN", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    if (szArguments != "A" && szArguments != "B") {
      interpreter.Violation("the instrument has channels A and B, not " + Quoted(szArguments));
      return;
    }
    interpreter.GetState().channel = szArguments == "B" ? 1 : 0;
  });
  AddCommand("SENSOR", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    if (szArguments.size() != 2 ||
        !interpreter.GetState().Current().SetSensor(szArguments[0], szArguments[1] - '0')) {
      interpreter.Violation("a sensor reads P, S or B and a turndown 1 to 4, not " +
                            Quoted(szArguments));
    }
  });
  AddCommand("AUTORANGE", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    if (szArguments != "ON" && szArguments != "OFF") {
      interpreter.Violation("AUTORANGE takes ON or OFF, not " + Quoted(szArguments));
      return;
    }
    interpreter.GetState().bAutorange = szArguments == "ON";
  });
  const std::pair<const char*, eSimMode> modes[] = {{"STANDBY", SIM_MODE_STANDBY},
                                                    {"MEASURE", SIM_MODE_MEASURE},
                                                    {"CONTROL", SIM_MODE_CONTROL},
                                                    {"VENT", SIM_MODE_VENT}};
  for (const auto& mode : modes) {
    const eSimMode newMode = mode.second;
    AddCommand(mode.first, false, [newMode](cSimInterpreter& interpreter, const std::string&) {
      cSimChannel& channel = interpreter.GetState().Current();
      channel.SetMode(newMode);
      channel.CloseValves();
    });
  }
  AddCommand("SETPT", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    sSimInstrumentState& state = interpreter.GetState();
    double value = 0;
    if (!ParseSimNumber(szArguments, value)) {
      interpreter.Violation("SETPT takes a number, not " + Quoted(szArguments));
      return;
    }
    if (!state.Current().SetSetpoint(value / state.PerPsi())) {
      // A value the instrument refuses: an error for "CERR" to clear, not a protocol fault.
      ++state.errors;
      interpreter.Note("setpoint " + szArguments + " " + state.szUnits +
                       " refused: outside the control limits");
    }
  });
  AddCommand("UNITS", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    const sSimUnits* units = FindSimUnits(szArguments);
    if (!units) {
      interpreter.Violation("the instrument has no units " + Quoted(szArguments));
      return;
    }
    interpreter.GetState().szUnits = units->szName;
  });
  AddCommand("PEAKRESET", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.GetState().Current().ResetPeaks();
  });

  // Queries.
  auto answer = [this](const char* szQuery, std::function<std::string(sSimInstrumentState&)> get) {
    AddCommand(szQuery, false, [get](cSimInterpreter& interpreter, const std::string&) {
      interpreter.Reply(get(interpreter.GetState()));
    });
  };
  // Readings in the instrument's units.
  auto answerReading = [&answer](const char* szQuery, fnReading get) {
    answer(szQuery, [get](sSimInstrumentState& state) {
      return FormatSimNumber(get(state.Current()) * state.PerPsi());
    });
  };
  answer("AUTORANGE?", [](sSimInstrumentState& state) { return state.bAutorange ? "Y" : "N"; });
  answer("UNITS?", [](sSimInstrumentState& state) { return " " + state.szUnits; });
  answer("VOLUME?",
         [](sSimInstrumentState& state) { return FormatSimNumber(state.Current().GetVolume()); });
  // With a blank before the letter, as the module layer reads it from the second character.
  answer("PTYPE?",
         [](sSimInstrumentState& state) { return state.Current().IsGauge() ? " G" : " A"; });
  answer("CHAN?", [](sSimInstrumentState& state) { return state.channel == 1 ? "B" : "A"; });
  answer("SENSOR?", [](sSimInstrumentState& state) {
    return std::string(1, state.Current().GetSensor()) +
           std::to_string(state.Current().GetTurndown());
  });
  answer("STABLE?",
         [](sSimInstrumentState& state) { return state.Current().IsStable() ? "Y" : "N"; });
  answerReading("RANGEMAX?", [](cSimChannel& channel) { return channel.GetRangeMax(); });
  answerReading("RANGEMIN?", [](cSimChannel& channel) { return channel.GetRangeMin(); });
  answerReading("UPPERLIMIT?", [](cSimChannel& channel) { return channel.GetRangeMax(); });
  answerReading("LOWERLIMIT?", [](cSimChannel& channel) { return channel.GetRangeMin(); });
  answerReading("?", [](cSimChannel& channel) { return channel.GetPressure(); });
  answerReading("RATE?", [](cSimChannel& channel) { return channel.GetRate(); });
  answerReading("SETPT?", [](cSimChannel& channel) { return channel.GetSetpoint(); });
  answerReading("PEAKMAX?", [](cSimChannel& channel) { return channel.GetPeakMax(); });
  answerReading("PEAKMIN?", [](cSimChannel& channel) { return channel.GetPeakMin(); });
}

}  // namespace sim
