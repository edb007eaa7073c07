// The reading that every channel with a port does alike: the next non-empty line, and n bytes
// with a time limit, both traced under the port's name. A channel derives from it and lends it
// its own way of taking bytes from the port and of setting its error.
#ifndef HALVEX_COMM_PORT_READER_H
#define HALVEX_COMM_PORT_READER_H

#include <string>

class cPortReader {
 protected:
  cPortReader() = default;
  ~cPortReader() = default;

  // Up to n bytes under the read contract (platform/serial_device.h): the count; 0 after the
  // silence limit; -1 when the port was found lost, the channel's error then set.
  virtual int ReadSome(char* dest, int n) = 0;
  // Sets the channel's error from a text whose %s stands for the port's name.
  virtual void SetError(const char* format) = 0;

  // The next non-empty line with its line end in szLine (size bytes, NUL-terminated; a NUL byte
  // on the line is data too). False with the error set when the line ends in silence, does not
  // fit or the port was lost.
  bool ReadLine(const std::string& port, char* szLine, int size);
  // n bytes into dest, failing only after `seconds` without a byte (a silent read lasts the
  // whole silence limit), or at once when n is negative or the port was lost.
  bool ReadBytes(const std::string& port, char* dest, int n, float seconds);
};

#endif
