// The instrument simulator as a library: Start() creates a pty and serves it on a thread as
// the instrument would; the recorder tells what it saw (violations, command lines, line
// settings, files, scripts, fault counts, the current face).
#ifndef HALVEX_SIM_SIM_ENGINE_H
#define HALVEX_SIM_SIM_ENGINE_H

#include <memory>
#include <string>
#include <thread>

#include "sim/sim_options.h"
#include "sim/sim_recorder.h"
#include "util/no_copy.h"

namespace sim {

class cSimLine;
class cSimSession;
class cSimStore;

class cSimEngine : private cNoCopy {
 public:
  explicit cSimEngine(const sSimOptions& options);
  ~cSimEngine();

  // Creates the pty and starts serving. With a link path, a symbolic link to the slave is made
  // there once the simulator serves (an existing link is replaced; any other file is not).
  // False with GetError() when something could not be set up.
  bool Start(const std::string& szLink = std::string());
  // Stops serving, removes the link, closes the pty. Safe to call more than once.
  void Stop();
  bool IsRunning() const { return thread.joinable(); }

  const std::string& GetError() const { return szError; }
  // The pty slave the program opens, for example /dev/pts/3: the first one. After an unplug
  // and replug only the link leads to the new one.
  std::string GetSlavePath() const { return szSlavePath; }
  // Everything recorded; its getters are safe to call while the simulator serves.
  const cSimRecorder& GetRecords() const { return recorder; }

 private:
  bool MakeLink(const std::string& szLinkPath);

  const sSimOptions options;
  cSimRecorder recorder;
  std::unique_ptr<cSimLine> line;
  std::unique_ptr<cSimStore> store;
  std::unique_ptr<cSimSession> session;
  std::thread thread;
  std::string szLink;
  std::string szSlavePath;
  std::string szError;
};

}  // namespace sim

#endif
