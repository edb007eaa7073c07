// The steps that both installation sequencers take the same way. They work on the
// installation's state (installPackageState, fileType) and the installer connection; each
// returns true when the step is done and the state has moved on, false when it is to be
// repeated on a later pass.
#ifndef HALVEX_APP_INSTALL_STEPS_H
#define HALVEX_APP_INSTALL_STEPS_H

#include <string>

#include "app/package_store.h"

// The exit word is sent again when it is not acknowledged, at most this often.
constexpr int MAX_EXIT_ATTEMPTS = 3;

// A transfer with an uncertain packet (one that was sent again although the installer may have
// stored it) leaves a file that may hold that packet twice. The installer stores a file anew
// when it is sent again, so such a file is sent again whole, at most this often in all.
constexpr int MAX_TRANSFER_PASSES = 3;

// How the sending of one file went in this run.
struct stFilePasses {
  int passes = 0;           // transfers of the file begun; 0: not sent
  bool bUncertain = false;  // the last of them ended uncertain
};

// Sending file: arms the transfer of file_path under the name filename as the file's first
// pass; false (nothing armed) when the file cannot be sent. szCheckedSha256: the SHA-256 the
// check before the installer's start found for it (empty: none); every pass must send exactly
// those bytes, or it fails before its end-of-file marker (TRANSFER_FAILED).
bool BeginFileTransfer(const std::string& szCheckedSha256 = std::string());

// What this run knows about the sending of the file of fileType (0 MAIN, 1 GPIB, 2 FPGA).
const stFilePasses& GetFilePasses(int fileType);

// What Waiting completion found.
enum eTransferOutcome : int {
  TRANSFER_RUNNING = 0,  // still sending: nothing changed
  TRANSFER_COMPLETE,     // delivered: Preparing to execute for a file with a script, else
                         // Getting next file
  TRANSFER_FAILED,       // not delivered (the file changed or could not be read): Getting next
                         // file
  TRANSFER_AGAIN,        // the pass ended uncertain and the next one is armed: the state stays
                         // and the progress starts again from 0
  TRANSFER_UNCERTAIN     // the last pass allowed ended uncertain too (or the file could not be
                         // read for another): the image may hold a packet twice, a cut
                         // (CUT_UNCERTAIN, app/transfer_cut.h); Getting next file
};
eTransferOutcome WaitCompletionStep();

// Preparing to execute: the command word is taken, Executing follows.
bool PrepareExecuteStep();

// Executing: the script of the file's type is named (a type without one has nothing to run),
// Getting next file follows.
bool ExecuteStep();

// Getting next file: once the installer answers, Getting file with the next lower file type of
// typesToSend (a bit 1 << type each; every type when not given); Rebooting when there is none.
constexpr unsigned ALL_FILE_TYPES = (1u << FILE_TYPE_MAX) - 1;
bool NextFileStep(unsigned typesToSend = ALL_FILE_TYPES);

// Rebooting: sends the exit word; once it is acknowledged, or after MAX_EXIT_ATTEMPTS tries
// (counted in exitAttempts, which the caller sets to 0 when the state is entered), the port is
// closed and Reconnecting follows. An exit word already acknowledged (a stopped transfer sends
// one) is not sent again, and none at all after a cut transfer. With bWaitForPort a try that found
// the port gone does not count: the word is sent once the port is back (the caller limits that
// wait).
bool ExitInstallerStep(int& exitAttempts, bool bWaitForPort = false);

// What WatchPort knows of the port between its calls; each run keeps one in its state, so a new
// run starts afresh.
struct stPortWatch {
  bool bLost = false;  // the port went away and has not come back yet
};

// Waiting for installer: the installer connection's port is there but refused the settings the
// installer needs (a serial port that does not take 115200 bit/s, a device server that does not
// set or confirm them). It would refuse them on every attempt, so the run does not wait for it.
// What both front doors say then: the reason (the device or the server, and what it refused),
// szBreak, and that the instrument, which was told to start its installer, must be switched off
// and on. Empty when the installer's port was not refused.
std::string DescribeRefusedInstallerPort(const char* szBreak);

// Whether the installation's port went away or came back since the last call, as the two
// connections' channels tell it. Called once per pass, after the pass's steps, while a run is
// going on (bRunning); a call without a run forgets a loss.
enum ePortChange : int { PORT_UNCHANGED = 0, PORT_LOST, PORT_BACK };
ePortChange WatchPort(stPortWatch& watch, bool bRunning);

// While the instrument restarts, a pass of either sequencer has nothing to do between the
// connection's attempts (instrument/halvex_instrument.h paces them): it sleeps this long
// instead of spinning.
constexpr unsigned RECONNECT_PASS_SLEEP_MS = 10;

#endif
