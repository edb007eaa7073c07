// The instrument's command interpreter: text lines ending in CR LF (LF alone is taken, empty
// lines are ignored), answered from a table of commands.
#ifndef HALVEX_SIM_SIM_INTERPRETER_H
#define HALVEX_SIM_SIM_INTERPRETER_H

#include <functional>
#include <map>
#include <string>

#include "sim/sim_line.h"
#include "sim/sim_options.h"
#include "sim/sim_recorder.h"
#include "sim/sim_state.h"

namespace sim {

class cSimInterpreter {
 public:
  // A command's action; szArguments is the text after the keyword's blank (may be empty).
  using fnCommand =
      std::function<void(cSimInterpreter& interpreter, const std::string& szArguments)>;

  cSimInterpreter(const sSimOptions& options, cSimRecorder& recorder, cSimLine& line,
                  sSimInstrumentState& state);

  // Adds or replaces a command. The keyword is the line up to its first blank; bArguments says
  // whether text may follow it.
  void AddCommand(const std::string& szKeyword, bool bArguments, fnCommand action);
  // Adds a command for every line that starts with szPrefix and matches no keyword; the action
  // receives the rest of the line.
  void AddPrefixCommand(const std::string& szPrefix, fnCommand action);

  // Serves lines until a command hands the line to another face, the line hangs up or the
  // simulator stops. Returns the next face.
  eSimFace Run();

  // For command actions. A reply replaced by the fault options goes out instead of szLine.
  void Reply(const std::string& szLine);
  // A note in the transcript.
  void Note(const std::string& szText);
  void SetNextFace(eSimFace face) { nextFace = face; }
  void Violation(const std::string& szText);
  std::string GetIdReply() const;
  std::string GetVersionsReply() const;
  const sSimOptions& GetOptions() const { return options; }
  sSimInstrumentState& GetState() { return state; }

 private:
  struct sCommand {
    bool bArguments;
    fnCommand action;
  };

  void HandleLine(const std::string& szLine);
  void AddStandardCommands();
  // Measurement and control (sim_interpreter_measure.cpp).
  void AddMeasureCommands();
  // A module answering on its own line, and a host instrument passing lines on to its module
  // (sim_interpreter_modules.cpp).
  void AddDirectModuleCommands();
  void AddHostCommands();
  void AddHostControllerCommands();

  const sSimOptions& options;
  cSimRecorder& recorder;
  cSimLine& line;
  sSimInstrumentState& state;
  std::map<std::string, sCommand> commands;
  std::map<std::string, fnCommand> prefixCommands;
  eSimFace nextFace;
  // The reply the fault options put in place of the current line's reply; null when none.
  const std::string* pReplacedReply;
};

}  // namespace sim

#endif
