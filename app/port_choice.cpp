#include "app/port_choice.h"

stPortName GetChosenPort(const stCommandLineCom& com) {
  return com.bNetwork ? NetworkPortName(com.network) : ComPortName(com.port);
}

std::string GetPortText(const stCommandLineCom& com) {
  return FormatPortName(GetChosenPort(com));
}

std::string GetFixedSpeedNote(const stCommandLineCom& com) {
  if (!com.bNetwork || com.network.mode != NETWORK_SOCKET) return std::string();
  return GetPortText(com) +
         " passes the bytes as they are and cannot change the speed: the server's line must run "
         "at the installer's 115200 bit/s, with -BAUD=115200";
}

std::string CheckFixedSpeed(const stCommandLineCom& com, bool& bRefused) {
  const std::string note = GetFixedSpeedNote(com);
  bRefused = !note.empty() && com.baud != BAUD_115200;
  if (note.empty()) return note;
  return note + (bRefused ? "!  Aborting ...\r\n" : ".\r\n");
}
