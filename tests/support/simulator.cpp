#include "support/simulator.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <sstream>

#include "support/packets.h"
#include "support/temp_folder.h"
#include "support/wait.h"

namespace {

// Reads path until it has at least size bytes, for at most 10 s.
std::string WaitForStoredFile(const std::string& path, size_t size) {
  std::string bytes;
  WaitFor([&] { return ReadWholeFile(path, bytes) && bytes.size() >= size; }, 10000);
  return bytes;
}

}  // namespace

sRunSimulator FindRunSimulator() {
  sRunSimulator found;
  const char* szCom = std::getenv("HALVEX_TEST_SIM_COM");
  const char* szStore = std::getenv("HALVEX_TEST_SIM_STORE");
  if (szCom == nullptr || szStore == nullptr || szCom[0] == '\0' || szStore[0] == '\0') {
    found.szSkipReason = "HALVEX_TEST_SIM_COM and HALVEX_TEST_SIM_STORE are not set";
    return found;
  }
  found.port = std::atoi(szCom);
  found.store = szStore;
  return found;
}

std::string sRunSimulator::Stored(const std::string& name, size_t size) const {
#ifdef _WIN32
  return WaitForStoredFile(store + "\\" + name, size);
#else
  return WaitForStoredFile(store + "/" + name, size);
#endif
}

#ifndef _WIN32

cTestSimulator::cTestSimulator(int portIn) : port(portIn) {}

cTestSimulator::~cTestSimulator() {
  Stop();
  if (!szPath.empty()) unsetenv(("HALVEX_COM" + std::to_string(port)).c_str());
}

bool cTestSimulator::Start(sim::sSimOptions options) {
  if (!Serve(std::string(), options)) return false;
  szPath = engine->GetSlavePath();
  return setenv(("HALVEX_COM" + std::to_string(port)).c_str(), szPath.c_str(), 1) == 0;
}

bool cTestSimulator::StartAt(const std::string& link, sim::sSimOptions options) {
  if (!Serve(link, options)) return false;
  szPath = link;
  return true;
}

bool cTestSimulator::Serve(const std::string& link, sim::sSimOptions options) {
  Stop();
  options.szStoreDir = StoreDir();
  interpreterBaud = options.interpreterBaud;
  engine = std::make_unique<sim::cSimEngine>(options);
  if (!engine->Start(link)) {
    ADD_FAILURE() << "the simulator did not start: " << engine->GetError();
    engine.reset();
    return false;
  }
  return true;
}

bool cTestSimulator::StartTool(const std::string& program,
                               const std::vector<std::string>& arguments) {
  Stop();
  engine.reset();
  szPath = folder.PathOf("tty");
  std::vector<std::string> argv = {program, "--pty", szPath, "--store", StoreDir()};
  argv.insert(argv.end(), arguments.begin(), arguments.end());
  if (!tool.Start(argv, {}, folder.PathOf("tool.log")) ||
      !WaitFor([&] { return std::filesystem::exists(szPath); }, 5000)) {
    return false;
  }
  return setenv(("HALVEX_COM" + std::to_string(port)).c_str(), szPath.c_str(), 1) == 0;
}

int cTestSimulator::Stop() {
  if (engine) engine->Stop();
  return tool.GetPid() > 0 ? tool.Stop() : 0;
}

bool cTestSimulator::IsUp() const {
  return engine && engine->IsRunning();
}

std::string cTestSimulator::Violations() const {
  std::string szAll;
  if (engine) {
    for (const std::string& szViolation : engine->GetRecords().GetViolations()) {
      szAll += szViolation + "\n";
    }
    return szAll;
  }
  // The tool lists them on standard error as it stops.
  std::istringstream log(ReadWholeFile(folder.PathOf("tool.log")));
  const std::string mark = "violation: ";
  for (std::string line; std::getline(log, line);) {
    const size_t at = line.find(mark);
    if (at != std::string::npos) szAll += line.substr(at + mark.size()) + "\n";
  }
  return szAll;
}

std::vector<std::string> cTestSimulator::Lines(size_t first) const {
  std::vector<std::string> lines;
  if (!engine) return lines;
  const std::vector<sim::sSimCommandRecord> commands = engine->GetRecords().GetCommands();
  for (size_t i = first; i < commands.size(); ++i) lines.push_back(commands[i].szLine);
  return lines;
}

std::vector<std::string> cTestSimulator::LinesThrough(size_t first, const std::string& last) const {
  WaitFor(
      [&] {
        const std::vector<std::string> lines = Lines(first);
        return !lines.empty() && lines.back() == last;
      },
      3000);
  return Lines(first);
}

bool cTestSimulator::WaitForFace(sim::eSimFace face, int timeoutMs) const {
  return engine && WaitFor([&] { return engine->GetRecords().GetFace() == face; }, timeoutMs);
}

std::string cTestSimulator::Stored(const std::string& name, size_t size) const {
  return WaitForStoredFile(StoreDir() + "/" + name, size);
}

bool cTestSimulator::Connect(cPtyPeer& client) const {
  return client.OpenTty(szPath, interpreterBaud);
}

bool cTestSimulator::EnterInstaller(cPtyPeer& client) {
  return Connect(client) && client.WriteLine("INSTALL") &&
         WaitForFace(sim::FACE_INSTALLER, 10000) && client.SetLine(115200);
}

// The longest packet: files go in chunks of this size.
static const size_t CHUNK = 16384;

bool SendFile(cPtyPeer& client, const std::string& name, const std::string& data) {
  if (!client.SendPacket(Field(2)) || !client.SendPacket(name) ||
      !client.SendPacket(Field(static_cast<uint32_t>(data.size())))) {
    return false;
  }
  for (size_t offset = 0; offset < data.size(); offset += CHUNK) {
    if (!client.SendPacket(data.substr(offset, CHUNK))) return false;
  }
  return client.Write(Field(0));
}

bool AskVersions(cPtyPeer& client, const std::string& name) {
  if (!client.SendPacket(Field(4)) || !client.SendPacket(name)) return false;
  std::string reply;
  for (int i = 0; i < 5; ++i) {
    if (!client.ReadPacket(reply, 2000)) return false;
    if (i == 0 && reply != name) return false;
  }
  return true;
}

#endif
