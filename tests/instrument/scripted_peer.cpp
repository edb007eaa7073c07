#ifndef _WIN32

#include "tests/instrument/scripted_peer.h"

#include <poll.h>
#include <pty.h>
#include <stdlib.h>
#include <termios.h>
#include <unistd.h>

#include <string>

#include "platform/clock.h"

cScriptedPeer::cScriptedPeer(int port) {
  char szName[256] = {0};
  if (openpty(&master, &slave, szName, nullptr, nullptr) != 0) return;
  // Raw from the start: nothing echoed or translated before the code under test configures
  // the line. The peer keeps its own slave descriptor open, so the master never sees a hang-up
  // while the code under test has the port closed.
  struct termios settings;
  tcgetattr(slave, &settings);
  cfmakeraw(&settings);
  tcsetattr(slave, TCSANOW, &settings);
  szSlavePath = szName;
  setenv(("HALVEX_COM" + std::to_string(port)).c_str(), szName, 1);
  worker = std::thread([this] { Run(); });
}

cScriptedPeer::~cScriptedPeer() {
  bStop = true;
  if (worker.joinable()) worker.join();
  if (slave >= 0) close(slave);
  if (master >= 0) close(master);
}

void cScriptedPeer::Answer(const std::string& line, const std::string& reply) {
  std::lock_guard<std::mutex> guard(lock);
  answers[line] = reply + "\r\n";
}

void cScriptedPeer::AnswerOnce(const std::string& line, const std::string& reply) {
  std::lock_guard<std::mutex> guard(lock);
  onceAnswers[line].push_back(reply + "\r\n");
}

void cScriptedPeer::SetResponder(std::function<std::string(const std::string&)> function) {
  std::lock_guard<std::mutex> guard(lock);
  responder = function;
}

void cScriptedPeer::SetSilent(bool bNewSilent) {
  std::lock_guard<std::mutex> guard(lock);
  bSilent = bNewSilent;
}

std::string cScriptedPeer::Received() {
  std::lock_guard<std::mutex> guard(lock);
  return received;
}

std::vector<sPeerLine> cScriptedPeer::Lines() {
  std::lock_guard<std::mutex> guard(lock);
  return lines;
}

std::vector<std::string> cScriptedPeer::Texts(size_t first) {
  std::lock_guard<std::mutex> guard(lock);
  std::vector<std::string> texts;
  for (size_t i = first; i < lines.size(); ++i) texts.push_back(lines[i].text);
  return texts;
}

void cScriptedPeer::Clear() {
  std::lock_guard<std::mutex> guard(lock);
  received.clear();
  lines.clear();
}

bool cScriptedPeer::WaitForLine(const std::string& line, size_t count, int timeoutMs) {
  const int64_t deadline = platform::GetMonotonicMs() + timeoutMs;
  for (;;) {
    size_t seen = 0;
    for (const sPeerLine& each : Lines()) seen += each.text == line ? 1 : 0;
    if (seen >= count) return true;
    if (platform::GetMonotonicMs() >= deadline) return false;
    platform::SleepMs(5);
  }
}

void cScriptedPeer::Take(char byte) {
  std::string reply;
  {
    std::lock_guard<std::mutex> guard(lock);
    received += byte;
    if (partial.empty()) ctPartial = platform::GetMonotonicMs();
    if (byte != '\n') {
      partial += byte;
      return;
    }
    if (!partial.empty() && partial.back() == '\r') partial.pop_back();
    const std::string line = partial;
    partial.clear();
    lines.push_back(sPeerLine{line, ctPartial});
    if (bSilent) return;
    auto once = onceAnswers.find(line);
    if (once != onceAnswers.end() && !once->second.empty()) {
      reply = once->second.front();
      once->second.pop_front();
    } else if (answers.count(line) != 0) {
      reply = answers[line];
    } else if (responder) {
      reply = responder(line);
    }
  }
  size_t sent = 0;
  while (sent < reply.size()) {
    const ssize_t count = write(master, reply.data() + sent, reply.size() - sent);
    if (count <= 0) break;
    sent += static_cast<size_t>(count);
  }
}

void cScriptedPeer::Run() {
  while (!bStop) {
    struct pollfd request = {master, POLLIN, 0};
    if (poll(&request, 1, 20) <= 0 || !(request.revents & POLLIN)) continue;
    char buffer[512];
    const ssize_t count = read(master, buffer, sizeof(buffer));
    for (ssize_t i = 0; i < count; ++i) Take(buffer[i]);
  }
}

#endif
