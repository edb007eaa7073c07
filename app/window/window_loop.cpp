#include "app/window/window_loop.h"

#include "app/window/win32.h"

#include "app/globals.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/main_window.h"

bool RunWindowPass(int* pExitCode) {
  if (InteractiveSequencerAtRest()) {
    MsgWaitForMultipleObjectsEx(0, nullptr, IDLE_MESSAGE_WAIT_MS, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
  }
  MSG msg;
  for (int count = 0; count < MAX_MESSAGES_PER_PASS; ++count) {
    if (!PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) break;
    if (msg.message == WM_QUIT) {
      if (pExitCode != nullptr) *pExitCode = static_cast<int>(msg.wParam);
      return false;
    }
    TranslateMessage(&msg);
    DispatchMessageW(&msg);
  }
  Update();
  return true;
}

int RunWindowMode(HINSTANCE hInst) {
  if (CreateMainWindow(hInst) == nullptr) {
    MessageBoxW(nullptr, L"Could not create main window", L"Problem", MB_OK | MB_ICONERROR);
    return -1;
  }
  path[0] = '\0';
  int exitCode = 0;
  while (RunWindowPass(&exitCode)) {
  }
  return exitCode;
}
