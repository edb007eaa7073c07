#ifndef _WIN32

#include "tests/instrument/sim_instrument.h"

#include <stdlib.h>

#include <filesystem>

#include "tests/support/process_wait.h"

cSimInstrument::cSimInstrument(int portIn, sim::sSimOptions options) : port(portIn) {
  char szTemplate[] = "/tmp/halvex-instrument-sim-XXXXXX";
  if (!mkdtemp(szTemplate)) return;
  szTemp = szTemplate;
  options.szStoreDir = szTemp + "/store";
  options.szLogPath = szTemp + "/transcript.log";
  engine.reset(new sim::cSimEngine(options));
  bUp = engine->Start();
  if (bUp) setenv(("HALVEX_COM" + std::to_string(port)).c_str(), engine->GetSlavePath().c_str(), 1);
}

cSimInstrument::~cSimInstrument() {
  if (engine) engine->Stop();
  unsetenv(("HALVEX_COM" + std::to_string(port)).c_str());
  std::error_code error;
  if (!szTemp.empty()) std::filesystem::remove_all(szTemp, error);
}

std::vector<std::string> cSimInstrument::Lines(size_t first) const {
  std::vector<std::string> lines;
  if (!engine) return lines;
  const std::vector<sim::sSimCommandRecord> commands = engine->GetRecords().GetCommands();
  for (size_t i = first; i < commands.size(); ++i) lines.push_back(commands[i].szLine);
  return lines;
}

std::vector<std::string> cSimInstrument::LinesThrough(size_t first, const std::string& last) const {
  WaitFor(
      [&] {
        const std::vector<std::string> lines = Lines(first);
        return !lines.empty() && lines.back() == last;
      },
      3000);
  return Lines(first);
}

std::string cSimInstrument::Violations() const {
  std::string szAll;
  if (!engine) return szAll;
  for (const std::string& szViolation : engine->GetRecords().GetViolations()) {
    szAll += szViolation + "\n";
  }
  return szAll;
}

#endif
