// Drives the real main window in the test program: created from its resources with its own
// procedure, run by the window mode's own loop pass, commanded through its messages and read
// back through the wide API. Needs a display (Xvfb under Wine).
#ifndef HALVEX_TESTS_WINDOW_WINDOW_DRIVER_H
#define HALVEX_TESTS_WINDOW_WINDOW_DRIVER_H

#include <functional>
#include <string>
#include <vector>

#include "app/window/win32.h"
#include "support/notices.h"
#include "util/no_copy.h"

namespace window_test {

// The texts of the test program's own string tables: base + key, "<missing>" when absent.
std::wstring Expected(int base, int key);
bool HasText(int base, int key);
// The format with each "%s" replaced in turn.
std::wstring Fill(std::wstring format, const std::vector<std::wstring>& args);

std::wstring Utf8ToWide(const std::string& text);
std::wstring WindowText(HWND hwnd);

// Notices (the window's error boxes among them) are recorded by a cNoticeRecorder
// (support/notices.h, texts in UTF-8); outside one a notice fails the test.

// Writes a picture of hwnd as <name>.bmp into the folder HALVEX_TEST_SCREENSHOTS names;
// nothing when it is not set. False when a picture should have been written but was not.
bool SaveScreenshot(HWND hwnd, const std::string& name);

// The main window for the length of a test, in the language base given (0: the user's
// locale, as the program chooses it). Going away it destroys the window and puts the
// program's state back to Idle with both connections closed.
class cMainWindow : private cNoCopy {
 public:
  explicit cMainWindow(int base = 0);
  ~cMainWindow();

  HWND Handle() const { return hwnd; }

  // One pass of the window mode's loop; false after WM_QUIT.
  bool Pass();
  // Passes until done() holds, at most timeoutMs; each pass also calls observe (if set).
  bool RunUntil(const std::function<bool()>& done, int timeoutMs);
  void SetObserver(const std::function<void()>& observe) { observer = observe; }
  // Passes until the installation is over and its end reported.
  bool RunToRest(int timeoutMs);

  // A button pressed as the user would (nothing happens when it is disabled).
  void Click(int id);
  // The command of id sent straight to the window.
  void Command(int id);

  std::wstring Text(int id) const;
  std::wstring Title() const;
  std::wstring Status() const;
  std::wstring MenuTitle(int position) const;
  std::wstring MenuItem(int id) const;
  bool IsEnabled(int id) const;
  bool IsChecked(int id) const;
  std::vector<std::wstring> ListItems() const;
  std::wstring SelectedItem() const;  // "" when nothing is selected
  std::vector<std::wstring> PortItems() const;
  void SetPortText(const std::wstring& text);

 private:
  HWND hwnd;
  std::function<void()> observer;
};

// The stage dialog now shown (its template: 303, 305, 308, 310, 312), or 0.
int ShownStage();
// The progress bar position of the stage dialog, or -1 without one.
int StageProgress();
// Presses Cancel in the stage dialog shown.
void CancelStage();

// Texts of a modal dialog that command id of the main window opens, read while it is open and
// then closed with OK: [0] is the caption, the rest the controls in ids, in order.
std::vector<std::wstring> ReadModalDialog(HWND hMain, int command, const std::vector<int>& ids,
                                          const std::string& screenshot);

}  // namespace window_test

#endif
