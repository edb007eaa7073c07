#include "sim/sim_engine.h"

#include "sim/sim_line.h"
#include "sim/sim_session.h"
#include "sim/sim_store.h"

namespace sim {

cSimEngine::cSimEngine(const sSimOptions& optionsIn) : options(optionsIn) {}

cSimEngine::~cSimEngine() {
  Stop();
}

bool cSimEngine::Start(const std::string& szLinkPath) {
  if (IsRunning()) {
    szError = "already running";
    return false;
  }
  szError.clear();
  store.reset(new cSimStore(options.szStoreDir));
  if (!store->Prepare(szError)) return false;
  if (!options.szLogPath.empty() && !recorder.OpenLog(options.szLogPath, szError)) return false;
  line.reset(new cSimLine(recorder, options.lineRate, options.faults.hangupAfterBytes,
                          options.faults.unplugAfterBytes, options.faults.replugAfterMs));
  if (!line->Open(options.interpreterBaud, szError)) return false;
  szSlavePath = line->GetSlavePath();
  recorder.Log("=", "serving " + szSlavePath);
  // The link is there before the serving thread runs, which may remove and make it again.
  if (!szLinkPath.empty() && !MakeLink(szLinkPath)) {
    const std::string szReason = szError;
    Stop();
    szError = szReason;
    return false;
  }
  session.reset(new cSimSession(options, recorder, *line, *store));
  thread = std::thread([this] { session->Run(); });
  return true;
}

bool cSimEngine::MakeLink(const std::string& szLinkPath) {
  if (!MakeSimLink(szSlavePath, szLinkPath, szError)) return false;
  szLink = szLinkPath;
  line->SetLink(szLink);
  return true;
}

void cSimEngine::Stop() {
  if (line) line->RequestStop();
  if (thread.joinable()) thread.join();
  if (!szLink.empty()) {
    // Only our own link goes (an unplugged line has removed it already).
    if (line) RemoveSimLink(line->GetSlavePath(), szLink);
    szLink.clear();
  }
  session.reset();
  if (line) line->Close();
  line.reset();
  store.reset();
  recorder.CloseLog();
}

}  // namespace sim
