#include "sim/sim_engine.h"

#include <errno.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <vector>

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
  line.reset(new cSimLine(recorder, options.lineRate, options.faults.hangupAfterBytes));
  if (!line->Open(options.interpreterBaud, szError)) return false;
  szSlavePath = line->GetSlavePath();
  recorder.Log("=", "serving " + szSlavePath);
  session.reset(new cSimSession(options, recorder, *line, *store));
  thread = std::thread([this] { session->Run(); });
  if (!szLinkPath.empty() && !MakeLink(szLinkPath)) {
    const std::string szReason = szError;
    Stop();
    szError = szReason;
    return false;
  }
  return true;
}

bool cSimEngine::MakeLink(const std::string& szLinkPath) {
  struct stat info;
  if (lstat(szLinkPath.c_str(), &info) == 0 && !S_ISLNK(info.st_mode)) {
    szError = szLinkPath + " exists and is not a link";
    return false;
  }
  // Made under a temporary name and renamed, so the link appears complete or not at all.
  const std::string szTemp = szLinkPath + ".tmp" + std::to_string(getpid());
  unlink(szTemp.c_str());
  if (symlink(szSlavePath.c_str(), szTemp.c_str()) != 0 ||
      rename(szTemp.c_str(), szLinkPath.c_str()) != 0) {
    szError = "cannot link " + szLinkPath + ": " + strerror(errno);
    unlink(szTemp.c_str());
    return false;
  }
  szLink = szLinkPath;
  return true;
}

void cSimEngine::Stop() {
  if (!szLink.empty()) {
    // Only our own link goes; another simulator may have taken the path over since.
    std::vector<char> target(4096);
    const ssize_t n = readlink(szLink.c_str(), target.data(), target.size() - 1);
    if (n > 0 && std::string(target.data(), static_cast<size_t>(n)) == szSlavePath) {
      unlink(szLink.c_str());
    }
    szLink.clear();
  }
  if (line) line->RequestStop();
  if (thread.joinable()) thread.join();
  session.reset();
  if (line) line->Close();
  line.reset();
  store.reset();
  recorder.CloseLog();
}

}  // namespace sim
