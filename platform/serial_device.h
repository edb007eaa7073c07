// The serial-port seam: one open port of the machine, raw bytes in and out.
//
// Read contract (both implementations): return at once with the bytes already received; if
// none, wait up to SERIAL_READ_TIMEOUT_MS for the first byte and return as soon as one
// arrives; after that much silence return 0 bytes.
//
// A device that is gone (a USB adapter pulled or reset, a pty whose other end closed) is told
// from a silent line: the operation that meets it fails at once and IsLost() turns true. Its
// handle is dead for good; only closing it and opening the port again can bring it back.
#ifndef HALVEX_PLATFORM_SERIAL_DEVICE_H
#define HALVEX_PLATFORM_SERIAL_DEVICE_H

#include <cstdint>
#include <string>

#include "util/no_copy.h"

namespace platform {

constexpr int SERIAL_READ_TIMEOUT_MS = 2000;

class cSerialDevice : private cNoCopy {
 public:
  cSerialDevice();
  ~cSerialDevice();

  // Opens COM<port> exclusively for reading and writing. Win32: "\\.\COMn"; POSIX: the path
  // in HALVEX_COM<n>, else /dev/ttyS<n-1>. False when the port does not exist or is in use.
  bool Open(int port);

  // Applies the line settings: bitsPerSecond, 8 data bits, no parity, 1 stop bit, no flow
  // control, DTR and RTS on (refusal of the modem lines is harmless), and the read contract
  // above. False when the port's settings cannot be read or are not taken; GetOpenFailure then
  // says why, SettingsRefused whether the device itself refused them, and the port should be
  // closed.
  bool Configure(uint32_t bitsPerSecond);

  // Reads up to n bytes under the read contract. Returns the count (0 after the silence
  // limit), or -1 on a device error (at once when the device is gone).
  int Read(char* dest, int n);

  // Writes n bytes, looping over partial writes. Returns the count written; less than n only
  // on a real error (such as a device that is gone).
  int Write(const char* data, int n);

  // Waits until everything written has left the driver.
  bool Drain();

  // Discards every received byte not yet read.
  bool PurgeRx();

  void Close();
  bool IsOpen() const;
  // True once an operation found the device gone; cleared by Open and Close.
  bool IsLost() const { return bLost; }

  // The last Configure failed on a device that is still there: the device (its driver) refused
  // or could not apply the settings, and would refuse them again. False when the failure came
  // from a device that is gone; cleared by Open.
  bool SettingsRefused() const { return bSettingsRefused; }

  // Why the last Open or Configure failed: one line naming the device and the system's reason,
  // with what to do about it. Empty after a successful Open.
  const std::string& GetOpenFailure() const { return openFailure; }

 private:
  std::string openFailure;
  int openedPort = 0;  // the port of the last successful Open
#ifdef _WIN32
  // A failed step of Configure: the reason with the system's error; with bRefusal the step
  // applied settings, so an error that is not a removal's is a refusal. Returns false.
  bool ConfigureFailed(const char* szWhat, bool bRefusal = true);
  void* hComm;
#else
  int fd;
#endif
  bool bLost;
  bool bSettingsRefused = false;
};

// The device COM<port> stands for: Win32 "\\.\COMn"; POSIX the path in HALVEX_COM<n>, else
// /dev/ttyS<n-1>. Empty for a port below 1.
std::string SerialPortPath(int port);

#ifdef _WIN32
// True for the errors that ReadFile, WriteFile and ClearCommError give on a port whose device
// was removed (as opposed to a fault of the call itself).
bool IsLostDeviceError(unsigned long error);
#endif

// True when a device named COM<port> exists (Win32: QueryDosDeviceA; POSIX: the mapped path
// exists). Used to fill the window's port box.
bool SerialPortExists(int port);

}  // namespace platform

#endif
