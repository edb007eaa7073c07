// The module forms: the simulator as a module answering addressed lines "#<address><command>"
// on its own line, and as a host instrument that passes "INTERNALCMD #<address><command>" on to
// the module on its current channel and takes the module layer's own commands.
#include <cstdio>
#include <memory>

#include "sim/sim_interpreter.h"

namespace sim {

namespace {

// The host's answer to a query for a module that is not there.
const char* const NO_MODULE_REPLY = "ERR NO MODULE";

std::string Quoted(const std::string& szText) {
  return "\"" + szText + "\"";
}

// Passes one addressed command to the module and answers what it answers.
void PassToModule(cSimInterpreter& interpreter, cSimModule& module, const std::string& szCommand) {
  std::string szReply;
  std::string szViolation;
  if (!module.Handle(szCommand, szReply, szViolation)) {
    interpreter.Violation(szViolation);
    return;
  }
  if (!szReply.empty()) interpreter.Reply(szReply);
}

bool ParseIndex(const std::string& szText, int& value) {
  if (szText.empty() || szText.size() > 3 ||
      szText.find_first_not_of("0123456789") != std::string::npos) {
    return false;
  }
  value = std::stoi(szText);
  return true;
}

}  // namespace

void cSimInterpreter::AddDirectModuleCommands() {
  // A host instrument is looked for first with a plain "ID?": a module leaves lines without its
  // address unanswered.
  AddCommand("ID?", false, [](cSimInterpreter&, const std::string&) {});
  AddPrefixCommand("#", [](cSimInterpreter& interpreter, const std::string& szRest) {
    cSimModule& module = *interpreter.GetState().module;
    if (module.IsAwaitingCoefficient()) {
      module.CancelCoefficient();
      interpreter.Violation("a coefficient line was due after \":{\", not " + Quoted("#" + szRest));
    }
    if (szRest.empty() || !module.AnswersAt(szRest[0])) {
      interpreter.Violation("no module answers at the address of " + Quoted("#" + szRest));
      return;
    }
    PassToModule(interpreter, module, szRest.substr(1));
  });
  AddCommand("C", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    cSimModule& module = *interpreter.GetState().module;
    if (!module.IsAwaitingCoefficient()) {
      interpreter.Violation("a coefficient line without \":{\" before it: " +
                            Quoted("C " + szArguments));
      return;
    }
    std::string szViolation;
    if (!module.TakeCoefficientLine(szArguments, szViolation)) interpreter.Violation(szViolation);
  });
}

void cSimInterpreter::AddHostCommands() {
  AddCommand("INTERNALCMD", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    sSimInstrumentState& state = interpreter.GetState();
    if (szArguments.size() < 3 || szArguments[0] != '#') {
      interpreter.Violation("INTERNALCMD takes \"#<address><command>\", not " +
                            Quoted(szArguments));
      return;
    }
    cSimModule& module = *state.module;
    const bool bThere =
        &state.Current() == &module.GetChannel() && module.AnswersAt(szArguments[1]);
    if (bThere) {
      PassToModule(interpreter, module, szArguments.substr(2));
      return;
    }
    // Nothing answers on this channel: a query gets the host's error text.
    interpreter.Note(std::string("no module at ") + szArguments.substr(0, 2) + " on channel " +
                     (state.channel == 1 ? "B" : "A"));
    if (szArguments.back() == '?') interpreter.Reply(NO_MODULE_REPLY);
  });
  // The module layer names the module kind it looks for, then the text it matches; the host
  // takes both silently. The text must be the one of the kind named.
  auto named = std::make_shared<int>(-1);
  AddPrefixCommand("module:", [named](cSimInterpreter& interpreter, const std::string& szRest) {
    const std::string szNumber = szRest.substr(0, szRest.find_last_not_of(' ') + 1);
    int number = -1;
    if (!ParseIndex(szNumber, number) || number > 2) {
      interpreter.Violation("module kinds are 0 to 2, not " + Quoted("module:" + szRest));
      number = -1;
    }
    *named = number;
  });
  AddPrefixCommand("match:", [named](cSimInterpreter& interpreter, const std::string& szRest) {
    const eSimModuleKind kinds[] = {SIM_MODULE_REGULATOR, SIM_MODULE_PUMP, SIM_MODULE_SENSOR};
    // The line ends in one blank after the text.
    const std::string szText =
        !szRest.empty() && szRest.back() == ' ' ? szRest.substr(0, szRest.size() - 1) : szRest;
    if (*named < 0 || szText != GetSimModuleMatch(kinds[*named])) {
      interpreter.Violation(Quoted("match:" + szRest) + " is not the text of the module kind " +
                            (*named < 0 ? std::string("(none named)") : std::to_string(*named)));
    }
    *named = -1;
  });
  if (GetState().module->IsController()) AddHostControllerCommands();
}

void cSimInterpreter::AddHostControllerCommands() {
  AddCommand("regcoeff", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    const size_t comma = szArguments.find(',');
    int n = 0;
    double value = 0;
    if (comma == std::string::npos || !ParseIndex(szArguments.substr(0, comma), n) ||
        !ParseSimNumber(szArguments.substr(comma + 1), value) ||
        !interpreter.GetState().module->SetCoefficient(n, value)) {
      interpreter.Violation("regcoeff takes \"<0-9>,<value>\", not " + Quoted(szArguments));
    }
  });
  AddCommand("regcoeff?", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    cSimModule& module = *interpreter.GetState().module;
    int n = 0;
    if (!ParseIndex(szArguments, n) || !module.IsValidCoefficient(n)) {
      interpreter.Violation("regcoeff? takes a coefficient 0 to 9, not " + Quoted(szArguments));
      return;
    }
    char szValue[64];
    std::snprintf(szValue, sizeof(szValue), "%.6e", module.GetCoefficient(n));
    interpreter.Reply(szValue);
  });
  AddCommand("regcoeffdefault", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.GetState().module->DefaultCoefficients();
  });
  AddCommand("regcoeffsave", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.GetState().module->SaveCoefficients();
  });
  // Valve test: RTSTART hands the valves to RTPCT openings until RTSTOP closes them.
  AddCommand("RTSTART", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.GetState().module->GetChannel().SetMode(SIM_MODE_MANUAL);
  });
  AddCommand("RTPCT", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    sSimInstrumentState& state = interpreter.GetState();
    cSimChannel& channel = state.module->GetChannel();
    double openings[SIM_VALVES] = {};
    if (!ReadSimValveValues(szArguments, ',', ParseSimNumber, openings)) {
      interpreter.Violation("RTPCT takes six openings in percent, not " + Quoted(szArguments));
      return;
    }
    if (channel.GetMode() != SIM_MODE_MANUAL) {
      ++state.errors;
      interpreter.Note("valve openings refused: no RTSTART before them");
      return;
    }
    for (int i = 0; i < SIM_VALVES; ++i) {
      if (openings[i] < 0.0 || openings[i] > 100.0) {
        ++state.errors;
        interpreter.Note("valve openings refused: outside 0 to 100 %");
        return;
      }
    }
    for (int i = 0; i < SIM_VALVES; ++i) channel.SetValve(i, openings[i]);
  });
  AddCommand("RTSTOP", false, [](cSimInterpreter& interpreter, const std::string&) {
    cSimChannel& channel = interpreter.GetState().module->GetChannel();
    channel.CloseValves();
    channel.SetMode(SIM_MODE_STANDBY);
  });
  AddCommand("CTRLDATALAB?", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.Reply(interpreter.GetState().module->GetControlDataLabel());
  });
  AddCommand("CTRLDATA?", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.Reply(interpreter.GetState().module->GetControlData());
  });
}

}  // namespace sim
