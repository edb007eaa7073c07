// The commands the installer relies on: the connection handshake, identification, versions and
// the start of the resident installer.
#include "sim/sim_interpreter.h"

namespace sim {

void cSimInterpreter::AddStandardCommands() {
  AddCommand("CMDSET", true, [](cSimInterpreter& interpreter, const std::string& szArguments) {
    if (szArguments != "HALVEX") {
      interpreter.Violation("unknown command set \"" + szArguments + "\"");
    }
  });
  AddCommand("CERR", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.GetState().errors = 0;
  });
  AddCommand("ID?", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.Reply(interpreter.GetIdReply());
  });
  AddCommand("VERSIONS?", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.Reply(interpreter.GetVersionsReply());
  });
  AddCommand("INSTALL", false, [](cSimInterpreter& interpreter, const std::string&) {
    interpreter.SetNextFace(FACE_STARTING);
  });
}

}  // namespace sim
