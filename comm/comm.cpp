#include "comm/comm.h"

#include <cstring>

const char* const szComport[MAX_PORT + 1] = {"COM0",  "COM1",  "COM2",  "COM3",  "COM4",  "COM5",
                                             "COM6",  "COM7",  "COM8",  "COM9",  "COM10", "COM11",
                                             "COM12", "COM13", "COM14", "COM15", "COM16"};

static const struct {
  unsigned rate;
  const char* text;
} baudTable[MAX_BAUD + 1] = {
    {9600, "9600"}, {19200, "19200"}, {38400, "38400"}, {57600, "57600"}, {115200, "115200"}};

const std::string& GetBaudString(eBaud baud) {
  static std::string baud_string;
  if (baud >= 0 && baud <= MAX_BAUD) baud_string = baudTable[baud].text;
  return baud_string;
}

unsigned GetBaudRate(eBaud baud) {
  return (baud >= 0 && baud <= MAX_BAUD) ? baudTable[baud].rate : 0;
}

bool cComm::MarkLost() {
  if (!HasPort()) return false;
  if (IsConnected()) CloseDeadPort();
  portWait.Lost();
  return true;
}

bool cComm::Recover() {
  if (IsConnected()) return true;
  if (!HasPort()) return false;
  if (portWait.IsLost() && !portWait.AttemptDue()) return false;
  return Reopen();
}

void cComm::LosePort() {
  CloseDeadPort();
  portWait.Lost();
}

bool cComm::Reopen() {
  if (IsConnected()) return true;
  if (OpenPort(false)) return true;
  MarkLost();
  return false;
}

bool cComm::ReconnectPort() {
  if (IsConnected()) return true;
  // A port known to be gone is tried quietly: its loss was reported when it began.
  if (portWait.IsLost()) return Reopen();
  if (OpenPort(true)) return true;
  MarkLost();
  return false;
}

char* cComm::ReadStripTerm() {
  char* szLine = Read();
  char* szCr = std::strchr(szLine, '\r');
  if (szCr != nullptr) *szCr = '\0';
  return szLine;
}
