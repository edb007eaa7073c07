// The steps that both installation sequencers take the same way. They work on the
// installation's state (installPackageState, fileType) and the installer connection; each
// returns true when the step is done and the state has moved on, false when it is to be
// repeated on a later pass.
#ifndef HALVEX_APP_INSTALL_STEPS_H
#define HALVEX_APP_INSTALL_STEPS_H

// The exit word is sent again when it is not acknowledged, at most this often.
constexpr int MAX_EXIT_ATTEMPTS = 3;

// What Waiting completion found.
enum eTransferOutcome : int {
  TRANSFER_RUNNING = 0,  // still sending: nothing changed
  TRANSFER_COMPLETE,     // delivered: Preparing to execute for a file with a script, else
                         // Getting next file
  TRANSFER_FAILED        // not delivered (the file changed or could not be read): Getting next
                         // file
};
eTransferOutcome WaitCompletionStep();

// Preparing to execute: the command word is taken, Executing follows.
bool PrepareExecuteStep();

// Executing: the script of the file's type is named (a type without one has nothing to run),
// Getting next file follows.
bool ExecuteStep();

// Getting next file: after the last file Rebooting follows; otherwise, once the installer
// answers, Getting file with the next file type.
bool NextFileStep();

// Rebooting: sends the exit word; once it is acknowledged, or after MAX_EXIT_ATTEMPTS tries
// (counted in exitAttempts, which the caller sets to 0 when the state is entered), the port is
// closed and Reconnecting follows. An exit word already acknowledged (a stopped transfer sends
// one) is not sent again, and none at all after a cut transfer. With bWaitForPort a try that found
// the port gone does not count: the word is sent once the port is back (the caller limits that
// wait).
bool ExitInstallerStep(int& exitAttempts, bool bWaitForPort = false);

// Whether the installation's port went away or came back since the last call, as the two
// connections' channels tell it. Called once per pass, after the pass's steps, while a run is
// going on (bRunning); a call without a run forgets a loss, so the next run starts afresh.
enum ePortChange : int { PORT_UNCHANGED = 0, PORT_LOST, PORT_BACK };
ePortChange WatchPort(bool bRunning);

#endif
