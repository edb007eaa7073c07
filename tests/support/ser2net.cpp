#include "support/ser2net.h"

#include <cstdlib>

#ifndef _WIN32

#include <arpa/inet.h>
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <vector>

#include "support/wait.h"

namespace {

// A port of 127.0.0.1 that was free a moment ago (taken from the system, then released).
unsigned FreePort() {
  const int s = ::socket(AF_INET, SOCK_STREAM, 0);
  if (s < 0) return 0;
  sockaddr_in address;
  std::memset(&address, 0, sizeof(address));
  address.sin_family = AF_INET;
  address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  socklen_t length = sizeof(address);
  unsigned port = 0;
  if (::bind(s, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0 &&
      ::getsockname(s, reinterpret_cast<sockaddr*>(&address), &length) == 0) {
    port = ntohs(address.sin_port);
  }
  ::close(s);
  return port;
}

// True when something listens at 127.0.0.1:port (Linux: /proc/net/tcp, state 0A). Connecting
// to find out would start a session on the served line.
bool IsListening(unsigned port) {
  std::ifstream table("/proc/net/tcp");
  char szLocal[32];
  std::snprintf(szLocal, sizeof(szLocal), "0100007F:%04X", port);
  std::string line;
  while (std::getline(table, line)) {
    char szAddress[64] = "", szRemote[64] = "", szState[8] = "";
    if (std::sscanf(line.c_str(), "%*d: %63s %63s %7s", szAddress, szRemote, szState) == 3 &&
        std::strcmp(szAddress, szLocal) == 0 && std::strcmp(szState, "0A") == 0) {
      return true;
    }
  }
  return false;
}

std::string FindProgram() {
  for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
    if (::access(path, X_OK) == 0) return path;
  }
  return std::string();
}

}  // namespace

cSer2net::~cSer2net() {
  Stop();
}

bool cSer2net::Start(const std::string& device, eSer2netAccepter accepter, uint32_t baud) {
  Stop();
  port = FreePort();
  if (port == 0) {
    ADD_FAILURE() << "no free port on 127.0.0.1";
    return false;
  }
  const char* szAccepter = accepter == SER2NET_RFC2217  ? "telnet(rfc2217),tcp"
                           : accepter == SER2NET_TELNET ? "telnet,tcp"
                                                        : "tcp";
  folder.WriteFile("ser2net.yaml",
                   "%YAML 1.1\n---\nconnection: &line\n  accepter: " + std::string(szAccepter) +
                       ",127.0.0.1," + std::to_string(port) + "\n  connector: serialdev," + device +
                       "," + std::to_string(baud) +
                       "n81,local\n  options:\n    kickolduser: true\n");
  return Start();
}

bool cSer2net::Start() {
  Stop();
  const std::string program = FindProgram();
  if (program.empty()) {
    ADD_FAILURE() << "ser2net is not installed (scripts/lib/deps.sh native installs it)";
    return false;
  }
  // -u: no UUCP lock files for the served device. Through setpriv (util-linux) it ends with
  // the test process, also when that is killed.
  std::vector<std::string> argv = {program, "-n",
                                   "-d",    "-u",
                                   "-c",    folder.PathOf("ser2net.yaml"),
                                   "-P",    folder.PathOf("ser2net.pid")};
  if (::access("/usr/bin/setpriv", X_OK) == 0) {
    argv.insert(argv.begin(), {"/usr/bin/setpriv", "--pdeathsig", "TERM"});
  }
  if (!process.Start(argv, {}, folder.PathOf("ser2net.log"))) {
    ADD_FAILURE() << "ser2net did not start";
    return false;
  }
  if (!WaitFor([&] { return IsListening(port) || !process.IsRunning(); }, 10000) ||
      !process.IsRunning()) {
    ADD_FAILURE() << "ser2net does not listen at " << port << ":\n" << Log();
    return false;
  }
  return true;
}

int cSer2net::Stop() {
  if (!process.IsRunning()) return 0;
  return process.Stop();
}

std::string cSer2net::Log() const {
  return ReadWholeFile(folder.PathOf("ser2net.log"));
}

#endif

unsigned FindRunSer2net() {
  const char* szPort = std::getenv("HALVEX_TEST_SER2NET_PORT");
  return szPort != nullptr ? static_cast<unsigned>(std::atoi(szPort)) : 0;
}
