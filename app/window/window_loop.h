// The window mode's loop: messages, and a step of the installation on every pass.
#ifndef HALVEX_APP_WINDOW_WINDOW_LOOP_H
#define HALVEX_APP_WINDOW_WINDOW_LOOP_H

#include "app/window/win32.h"

// Wait for messages of one idle pass, milliseconds.
constexpr unsigned IDLE_MESSAGE_WAIT_MS = 50;
// Messages dispatched at most in one pass, so the installation always gets its step.
constexpr int MAX_MESSAGES_PER_PASS = 64;

// One pass: while no installation runs it first waits up to IDLE_MESSAGE_WAIT_MS for a
// message (an idle window does not burn a processor); then it dispatches the waiting messages
// and runs one step of the installation. False, with the exit code, once WM_QUIT came.
bool RunWindowPass(int* pExitCode);

// Window mode: creates the main window from the resources of hInst and runs its loop until it
// closes; returns the exit status, or -1 when the window could not be created (after telling
// the user).
int RunWindowMode(HINSTANCE hInst);

#endif
