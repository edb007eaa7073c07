#include "platform/command_line.h"

namespace platform {

std::vector<stArgument> GetArguments(int argc, char** argv) {
  std::vector<stArgument> arguments;
  for (int i = 0; i < argc; i++) {
    stArgument argument;
    argument.text = argv[i] != nullptr ? argv[i] : "";
    arguments.push_back(argument);
  }
  return arguments;
}

}  // namespace platform
