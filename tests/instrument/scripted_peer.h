// A scripted instrument on the master side of a pseudo-terminal: records every byte the code
// under test sends on the slave side and answers the lines it recognises.
#ifndef HALVEX_TESTS_INSTRUMENT_SCRIPTED_PEER_H
#define HALVEX_TESTS_INSTRUMENT_SCRIPTED_PEER_H

#ifndef _WIN32

#include <atomic>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

struct sPeerLine {
  std::string text;    // without CR and LF
  int64_t ctReceived;  // monotonic milliseconds
};

class cScriptedPeer {
 public:
  // Takes a port number to map (HALVEX_COM<port> is set to the slave's path).
  explicit cScriptedPeer(int port);
  ~cScriptedPeer();
  cScriptedPeer(const cScriptedPeer&) = delete;
  cScriptedPeer& operator=(const cScriptedPeer&) = delete;

  bool IsOpen() const { return master >= 0; }
  const std::string& SlavePath() const { return szSlavePath; }

  // Answers every arrival of `line` with `reply` and CR LF.
  void Answer(const std::string& line, const std::string& reply);
  // Answers the next arrival of `line` with `reply` and CR LF (queued before fixed answers).
  void AnswerOnce(const std::string& line, const std::string& reply);
  // Answers lines without a rule: returns the raw bytes to send ("" for none).
  void SetResponder(std::function<std::string(const std::string& line)> responder);
  // A silent peer records but never answers.
  void SetSilent(bool bSilent);

  std::string Received();
  std::vector<sPeerLine> Lines();
  // The received lines from index `first` on, as texts.
  std::vector<std::string> Texts(size_t first = 0);
  void Clear();
  // Waits until `line` has arrived `count` times in all; false after timeoutMs.
  bool WaitForLine(const std::string& line, size_t count, int timeoutMs);

 private:
  void Run();
  void Take(char byte);

  int master = -1;
  int slave = -1;
  std::string szSlavePath;
  std::mutex lock;
  std::string received;
  std::string partial;
  int64_t ctPartial = 0;
  std::vector<sPeerLine> lines;
  std::map<std::string, std::string> answers;
  std::map<std::string, std::deque<std::string>> onceAnswers;
  std::function<std::string(const std::string&)> responder;
  bool bSilent = false;
  std::atomic<bool> bStop{false};
  std::thread worker;
};

#endif
#endif
