#include "sim/sim_line_settings.h"

namespace sim {

namespace {

struct sSpeed {
  speed_t speed;
  uint32_t baud;
};

const sSpeed kSpeeds[] = {
    {B50, 50},           {B75, 75},           {B110, 110},         {B134, 134},
    {B150, 150},         {B200, 200},         {B300, 300},         {B600, 600},
    {B1200, 1200},       {B1800, 1800},       {B2400, 2400},       {B4800, 4800},
    {B9600, 9600},       {B19200, 19200},     {B38400, 38400},     {B57600, 57600},
    {B115200, 115200},   {B230400, 230400},   {B460800, 460800},   {B500000, 500000},
    {B576000, 576000},   {B921600, 921600},   {B1000000, 1000000}, {B1152000, 1152000},
    {B1500000, 1500000}, {B2000000, 2000000}, {B2500000, 2500000}, {B3000000, 3000000},
    {B3500000, 3500000}, {B4000000, 4000000},
};

}  // namespace

uint32_t SpeedToBaud(speed_t speed) {
  for (const sSpeed& entry : kSpeeds) {
    if (entry.speed == speed) return entry.baud;
  }
  return 0;
}

speed_t BaudToSpeed(uint32_t baud) {
  for (const sSpeed& entry : kSpeeds) {
    if (entry.baud == baud) return entry.speed;
  }
  return 0;
}

sSimLineSettings ReadLineSettings(const struct termios& settings) {
  sSimLineSettings out;
  out.baud = SpeedToBaud(cfgetospeed(&settings));
  out.inputBaud = SpeedToBaud(cfgetispeed(&settings));
  switch (settings.c_cflag & CSIZE) {
    case CS5:
      out.dataBits = 5;
      break;
    case CS6:
      out.dataBits = 6;
      break;
    case CS7:
      out.dataBits = 7;
      break;
    default:
      out.dataBits = 8;
      break;
  }
  if (!(settings.c_cflag & PARENB)) {
    out.parity = 'N';
  } else if (settings.c_cflag & CMSPAR) {
    out.parity = (settings.c_cflag & PARODD) ? 'M' : 'S';
  } else {
    out.parity = (settings.c_cflag & PARODD) ? 'O' : 'E';
  }
  out.stopBits = (settings.c_cflag & CSTOPB) ? 2 : 1;
  out.bRtsCts = (settings.c_cflag & CRTSCTS) != 0;
  out.bXonXoff = (settings.c_iflag & (IXON | IXOFF)) != 0;

  // Flags under which the tty would change, add or swallow bytes on their way.
  struct sFlag {
    tcflag_t mask;
    const tcflag_t* field;
    const char* szName;
  };
  const sFlag kAltering[] = {
      {ICANON, &settings.c_lflag, "ICANON"}, {ECHO, &settings.c_lflag, "ECHO"},
      {ISIG, &settings.c_lflag, "ISIG"},     {ICRNL, &settings.c_iflag, "ICRNL"},
      {INLCR, &settings.c_iflag, "INLCR"},   {IGNCR, &settings.c_iflag, "IGNCR"},
      {ISTRIP, &settings.c_iflag, "ISTRIP"},
  };
  for (const sFlag& flag : kAltering) {
    if (*flag.field & flag.mask) {
      if (!out.szAltering.empty()) out.szAltering += ' ';
      out.szAltering += flag.szName;
    }
  }
  // OPOST alone changes nothing; it does together with one of these.
  const tcflag_t kOutputChanging = ONLCR | OCRNL | ONOCR | ONLRET | OLCUC | XTABS;
  if ((settings.c_oflag & OPOST) && (settings.c_oflag & kOutputChanging)) {
    if (!out.szAltering.empty()) out.szAltering += ' ';
    out.szAltering += "OPOST";
  }
  return out;
}

bool sSimLineSettings::operator==(const sSimLineSettings& other) const {
  return baud == other.baud && inputBaud == other.inputBaud && dataBits == other.dataBits &&
         parity == other.parity && stopBits == other.stopBits && bRtsCts == other.bRtsCts &&
         bXonXoff == other.bXonXoff && szAltering == other.szAltering;
}

bool sSimLineSettings::Fits(uint32_t expectedBaud) const {
  return baud == expectedBaud && dataBits == 8 && parity == 'N' && stopBits == 1 && !bRtsCts &&
         !bXonXoff && szAltering.empty();
}

std::string sSimLineSettings::Describe() const {
  std::string szOut =
      std::to_string(baud) + " " + std::to_string(dataBits) + parity + std::to_string(stopBits);
  if (bRtsCts) szOut += " RTS/CTS";
  if (bXonXoff) szOut += " XON/XOFF";
  if (!szAltering.empty()) szOut += " altering: " + szAltering;
  return szOut;
}

}  // namespace sim
