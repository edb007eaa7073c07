// The option grammar: arguments cut from the input at NUL bytes, read against a package
// folder that holds one package.
#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <string>

#include "app/command_line.h"
#include "fuzz/fuzz_support.h"

namespace {

std::string prefix;

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
  char szFolder[] = "/tmp/halvex-fuzz-XXXXXX";
  if (mkdtemp(szFolder) == nullptr) return 0;
  prefix = std::string(szFolder) + "/";
  const std::string packages = prefix + "packages";
  if (mkdir(packages.c_str(), 0700) == 0) {
    FILE* file = std::fopen((packages + "/VSR450_A.pkg").c_str(), "w");
    if (file != nullptr) {
      std::fputs("[files]\r\nmain=main_010000.bin\r\n", file);
      std::fclose(file);
    }
  }
  return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  std::vector<platform::stArgument> arguments;
  arguments.push_back({"halvex-installer", true});
  for (const std::string& piece : fuzz::SplitAtNul(data, size)) {
    arguments.push_back({piece, piece.size() % 7 != 3});
  }
  const stCommandLine options = ReadCommandLine(arguments, prefix);
  if (options.com.bPortSet && options.com.bNetwork) {
    stNetworkPort again;
    fuzz::Require(ParseNetworkPort(FormatNetworkPort(options.com.network).c_str(), &again) &&
                      again.mode == options.com.network.mode &&
                      again.host == options.com.network.host &&
                      again.port == options.com.network.port,
                  "a network port reads back as it is written");
  } else if (options.com.bPortSet) {
    fuzz::Require(IsValidPort(options.com.port), "a port that is set is COM1 to COM16");
  }
  fuzz::Require(options.com.baud >= BAUD_9600 && options.com.baud <= MAX_BAUD, "a known rate");
  fuzz::Require(!options.pkg.bFound || options.bPackageNamed, "a found package was named");
  const std::string log = FormatStartupLog(arguments);
  fuzz::Require(log.size() >= arguments.size(), "the log names every argument");
  return 0;
}
