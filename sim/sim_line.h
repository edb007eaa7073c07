// The simulator's end of the serial line: a pty pair whose slave the program opens. Reads and
// writes can be paced like a real line of a given rate; every received byte carries the line
// settings that were in force when it arrived.
#ifndef HALVEX_SIM_SIM_LINE_H
#define HALVEX_SIM_SIM_LINE_H

#include <atomic>
#include <cstdint>
#include <deque>
#include <string>
#include <vector>

#include "sim/sim_recorder.h"
#include "sim/sim_records.h"
#include "util/no_copy.h"

namespace sim {

enum eSimRx {
  RX_BYTE,       // a byte was received
  RX_TIMEOUT,    // none within the time given
  RX_STOPPED,    // the simulator is stopping
  RX_HUNG_UP,    // the line is dead for good (the hang-up fault)
  RX_UNPLUGGED,  // the pty was just unplugged: what was being received is lost
};

// Makes a symbolic link to target at link, atomically (an existing link is replaced; any other
// file is not). False with a reason.
bool MakeSimLink(const std::string& szTarget, const std::string& szLink, std::string& szError);
// Removes szLink when it still leads to szTarget (another simulator may have taken the path).
void RemoveSimLink(const std::string& szTarget, const std::string& szLink);

class cSimLine : private cNoCopy {
 public:
  // lineRate: bit/s for pacing, 0 for none. hangupAfterBytes, unplugAfterBytes: -1 for never;
  // replugAfterMs: -1 for never.
  cSimLine(cSimRecorder& recorder, uint32_t lineRate, int64_t hangupAfterBytes,
           int64_t unplugAfterBytes = -1, int replugAfterMs = -1);
  ~cSimLine();

  // Creates the pty pair in raw mode at initialBaud, 8N1. The slave stays open here too, so
  // the program closing and reopening the port never hangs up the line.
  bool Open(uint32_t initialBaud, std::string& szError);
  void Close();
  // The current pty slave (a new one after a replug). Not thread-safe while serving.
  const std::string& GetSlavePath() const { return szSlavePath; }
  // The link to the slave that an unplug removes and a replug makes again.
  void SetLink(const std::string& szLinkPath) { szLink = szLinkPath; }
  // Unplugs so far (the serving thread's view).
  int GetUnplugCount() const { return unplugs; }
  // Takes the port away now, as the byte count of unplugAfterBytes does (the replug follows
  // as set); nothing when it is away already.
  void UnplugNow() {
    if (!bUnplugged) Unplug();
  }

  // Thread-safe: makes every wait return RX_STOPPED / false promptly.
  void RequestStop();
  bool IsStopRequested() const { return bStop.load(); }

  // Waits up to timeoutMs (negative: without limit) for the next byte. pSettings receives the
  // settings in force when it arrived. The byte whose receipt unplugs the line is not given:
  // the call returns RX_UNPLUGGED instead, once.
  eSimRx Receive(uint8_t& byte, int timeoutMs, sSimLineSettings* pSettings = nullptr);
  // Puts the byte last received back in front of the input.
  void Unreceive();
  // Drops every byte that arrives until the line has been quiet for quietMs.
  void DiscardUntilQuiet(int quietMs);

  // Sends the bytes (paced when pacing is on). Nothing goes out once the line has hung up or
  // while it is unplugged (the bytes are lost, the call succeeds).
  // False when the simulator is stopping or the pty does not take the bytes.
  bool Send(const void* data, size_t n);

  // The settings the last received byte arrived under that fit the expected rate: those in
  // force when it was read, or those just before a change seen at that moment. The former
  // when neither fits.
  sSimLineSettings LastSettingsFitting(uint32_t expectedBaud) const;

  // Waits while input keeps arriving; false when the simulator is stopping.
  bool Wait(int ms);

 private:
  struct sRxByte {
    int64_t tAvailNs;  // when the byte has fully arrived on a paced line
    uint32_t settingsIndex;
    // The settings before the latest change, when that change was seen just before the byte
    // was read: a program writes, drains and reopens the port at another rate faster than
    // this side can read, so the byte may have been written under either.
    uint32_t altSettingsIndex;
    uint8_t value;
  };

  // Waits until untilNs at most (and no longer than a short tick) for input, reads it.
  void Pump(int64_t untilNs, bool bWantWrite = false);
  void PollSettings();
  void HangUp();
  bool OpenPty(std::string& szError);
  void ClosePty();
  void Unplug();
  void Replug();
  bool WriteAll(const uint8_t* data, size_t n);
  bool WaitUntil(int64_t untilNs);

  cSimRecorder& recorder;
  const uint32_t lineRate;
  const int64_t hangupAfterBytes;
  const int64_t unplugAfterBytes;
  const int replugAfterMs;
  const int64_t byteNs;  // duration of one byte (10 bits) on a paced line
  uint32_t initialBaud;
  std::string szLink;
  bool bUnplugged;
  int unplugs;
  int64_t replugAtNs;
  int masterFd;
  int slaveFd;
  int wakeFds[2];
  std::string szSlavePath;
  std::atomic<bool> bStop;
  bool bHungUp;
  bool bWritable;
  int64_t received;
  int64_t rxLineFreeNs;
  int64_t txLineFreeNs;
  std::deque<sRxByte> rx;
  sRxByte lastRx;
  std::vector<sSimLineSettings> snapshots;
  int64_t lastChangeNs;  // when the latest settings change was seen
};

}  // namespace sim

#endif
