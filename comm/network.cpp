#include "comm/network.h"

#include <cstdio>
#include <cstring>

#include "util/notice.h"

namespace {

const char RECEIVE_ERROR[] = " Receive Error";
const char NOT_INITIALIZED[] = "Ethernet not initialized";
const char TOO_MANY_BYTES[] = "too many bytes to read";

// Four decimal numbers 0-255 separated by points, nothing else. A number with a leading zero
// is refused: older conversions read it as octal, so "010" would name another host.
bool ParseDottedQuad(const char* szText, uint8_t address[4]) {
  const char* p = szText;
  for (int part = 0; part < 4; ++part) {
    if (part > 0 && *p++ != '.') return false;
    if (*p < '0' || *p > '9') return false;
    if (*p == '0' && p[1] >= '0' && p[1] <= '9') return false;
    int value = 0;
    int digits = 0;
    while (*p >= '0' && *p <= '9') {
      value = value * 10 + (*p++ - '0');
      if (++digits > 3 || value > 255) return false;
    }
    address[part] = static_cast<uint8_t>(value);
  }
  return *p == '\0';
}

void SetText(char* szBuffer, const char* szText) {
  std::snprintf(szBuffer, MAX_NET_BUFF_LEN, "%s", szText);
}

}  // namespace

cNetworkClient::cNetworkClient()
    : bErrorOccurred(false), szErrorString{0}, bConnected(false), szAddress{0}, nPort(0) {}

cNetworkClient::~cNetworkClient() {
  Disconnect();
}

void cNetworkClient::Close() {
  sock.Close();
  platform::CleanupSockets();
  bConnected = false;
}

// Records and shows an error of Initialize; with bCleanup the socket library, which had
// started, is released again.
bool cNetworkClient::Fail(const char* text, bool bCleanup) {
  bErrorOccurred = true;
  std::snprintf(szErrorString, sizeof(szErrorString), "%s", text);
  Notify(szErrorString, "Error", NOTICE_WARNING);
  if (bCleanup) {
    sock.Close();
    platform::CleanupSockets();
  }
  return false;
}

bool cNetworkClient::Initialize(const char* address, unsigned int port) {
  if (bConnected) Close();

  // An address that does not fit is refused whole: cut short it could name another host.
  if (address == nullptr || std::strlen(address) >= sizeof(szAddress)) {
    szAddress[0] = '\0';
    nPort = port;
    return Fail("Server address too long (at most 15 characters)", false);
  }
  std::memcpy(szAddress, address, std::strlen(address) + 1);
  nPort = port;
  uint8_t dottedQuad[4];
  if (!ParseDottedQuad(szAddress, dottedQuad)) {
    char szText[MAX_NET_ERROR_LEN];
    std::snprintf(szText, sizeof(szText), "Invalid server address:%s", szAddress);
    return Fail(szText, false);
  }

  switch (platform::StartSockets()) {
    case platform::SOCKETS_STARTED:
      break;
    case platform::SOCKETS_START_FAILED:
      return Fail("Could not start winsock2", false);
    case platform::SOCKETS_WRONG_VERSION:
      return Fail("This application requires winsock 2.0", true);
  }
  if (!sock.Create()) return Fail("Could not create network socket", true);
  if (!sock.Connect(dottedQuad, static_cast<uint16_t>(nPort & 0xFFFF))) {
    char szText[MAX_NET_ERROR_LEN];
    std::snprintf(szText, sizeof(szText), "Could not connect to server:%s port:%u", szAddress,
                  nPort);
    return Fail(szText, true);
  }
  bConnected = true;
  return true;
}

bool cNetworkClient::Disconnect() {
  if (!bConnected) return false;
  Close();
  return true;
}

bool cNetworkClient::Reconnect() {
  if (bConnected) return true;
  return Initialize(szAddress, nPort);
}

bool cNetworkClient::Write(const char* text) {
  if (!bConnected) return false;
  sock.Send(text, static_cast<int>(std::strlen(text)));
  sock.Send("\r\n", 2);
  return true;
}

char* cNetworkClient::Read() {
  static char szResponse[MAX_NET_BUFF_LEN];
  if (!bConnected) {
    SetText(szResponse, NOT_INITIALIZED);
    return szResponse;
  }
  szResponse[0] = '\0';
  int total = 0;
  bool bLineEnd = false;
  char chunk[MAX_NET_BUFF_LEN - 1];
  while (total <= MAX_NET_BUFF_LEN - 1 && !bLineEnd) {
    // A server that closed the connection (0 bytes) ends the read like a failed receive.
    const int count = sock.Receive(chunk, sizeof(chunk));
    if (count <= 0) {
      SetText(szResponse, RECEIVE_ERROR);
      break;
    }
    total += count;
    if (total <= MAX_NET_BUFF_LEN - 1) {
      std::memcpy(szResponse + total - count, chunk, count);
      szResponse[total] = '\0';
      bLineEnd = std::memchr(chunk, '\n', count) != nullptr;
    }
  }
  return szResponse;
}

const char* cNetworkClient::ReadN(int n) {
  static char szResponse[MAX_NET_BUFF_LEN];
  if (!bConnected) {
    SetText(szResponse, NOT_INITIALIZED);
    return szResponse;
  }
  if (n > MAX_NET_BUFF_LEN - 1) {
    SetText(szResponse, TOO_MANY_BYTES);
    return szResponse;
  }
  szResponse[0] = '\0';
  int total = 0;
  while (total < n) {
    // Never more than is still wanted: what follows stays for the next read.
    const int count = sock.Receive(szResponse + total, n - total);
    if (count <= 0) {
      SetText(szResponse, RECEIVE_ERROR);
      break;
    }
    total += count;
    szResponse[total] = '\0';
  }
  return szResponse;
}

void cNetworkClient::Dump() const {
  std::fputs("Network Client Class\n", stderr);
}
