// The window mode's loop and the commands that need no instrument: an idle window waits for
// messages instead of spinning, so does the wait for a restarting instrument; Connect and
// Install without a usable instrument.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>

#include "app/connections.h"
#include "app/globals.h"
#include "app/resources/resource.h"
#include "app/window/interactive_sequencer.h"
#include "app/window/stage_dialogs.h"
#include "app/window/window_globals.h"
#include "app/window/window_loop.h"
#include "platform/clock.h"
#include "support/pty_peer.h"
#include "tests/window/window_driver.h"

using namespace window_test;

namespace {

// A COM number that the test prefix maps to a link nobody creates: nothing answers there, and
// it never leads to one of the machine's real ports.
const int DEAD_PORT = 8;

// Processor time of a thread, milliseconds.
int64_t CpuMs(HANDLE hThread) {
  FILETIME created, exited, kernel, user;
  if (!GetThreadTimes(hThread, &created, &exited, &kernel, &user)) return -1;
  const auto ms = [](const FILETIME& t) {
    return static_cast<int64_t>((static_cast<uint64_t>(t.dwHighDateTime) << 32) | t.dwLowDateTime) /
           10000;
  };
  return ms(kernel) + ms(user);
}

}  // namespace

TEST(WindowLoop, AnIdleWindowWaitsForMessagesAndExitEndsTheLoop) {
  language = LANGUAGE_BASE_ENGLISH;
  installPackageState = INSTALL_IDLE;
  HANDLE hMainThread = nullptr;
  DuplicateHandle(GetCurrentProcess(), GetCurrentThread(), GetCurrentProcess(), &hMainThread, 0,
                  FALSE, DUPLICATE_SAME_ACCESS);
  std::atomic<int64_t> cpuMs(-1);
  std::atomic<int64_t> wallMs(0);
  std::thread user([&] {
    const int64_t deadline = platform::GetMonotonicMs() + 10000;
    while (hDialog == nullptr && platform::GetMonotonicMs() < deadline) platform::SleepMs(10);
    HWND hMain = hDialog;
    if (hMain == nullptr) return;
    const int64_t cpuStart = CpuMs(hMainThread);
    const int64_t wallStart = platform::GetMonotonicMs();
    platform::SleepMs(2000);  // the window sits idle
    cpuMs = CpuMs(hMainThread) - cpuStart;
    wallMs = platform::GetMonotonicMs() - wallStart;
    PostMessageW(hMain, WM_COMMAND, MAKEWPARAM(IDM_EXIT, 0), 0);
  });
  const int status = RunWindowMode(GetModuleHandleW(nullptr));
  user.join();
  CloseHandle(hMainThread);
  EXPECT_EQ(0, status);
  ASSERT_GE(cpuMs, 0);
  std::printf("idle window: %lld ms of processor time in %lld ms\n",
              static_cast<long long>(cpuMs.load()), static_cast<long long>(wallMs.load()));
  // A loop that polls without waiting would use the whole period.
  EXPECT_LT(cpuMs * 4, wallMs);

  if (hDialog != nullptr) DestroyWindow(hDialog);
  MSG msg;
  while (PeekMessageW(&msg, nullptr, 0, 0, PM_REMOVE)) {
  }
}

TEST(WindowLoop, WaitingForTheInstrumentDoesNotSpin) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_NE(nullptr, window.Handle());
  // The instrument's line leads nowhere: every attempt to come back fails.
  instrument.Connect(static_cast<ePort>(DEAD_PORT), BAUD_57600, false);
  installPackageState = INSTALL_RECONNECTING;
  ShowStageDialog(IDD_WAIT_RESTART);
  window.Pass();

  const int64_t cpuStart = CpuMs(GetCurrentThread());
  const int64_t wallStart = platform::GetMonotonicMs();
  int passes = 0;
  while (platform::GetMonotonicMs() - wallStart < 1500) {
    window.Pass();
    passes++;
  }
  const int64_t cpu = CpuMs(GetCurrentThread()) - cpuStart;
  const int64_t wall = platform::GetMonotonicMs() - wallStart;
  std::printf("waiting for the instrument: %d passes, %lld ms of processor time in %lld ms\n",
              passes, static_cast<long long>(cpu), static_cast<long long>(wall));
  EXPECT_LT(cpu * 2, wall);
  EXPECT_EQ(INSTALL_RECONNECTING, installPackageState);

  // Cancel stops the wait.
  CancelStage();
  EXPECT_EQ(INSTALL_IDLE, installPackageState);
  EXPECT_TRUE(window.RunToRest(5000));
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
}

TEST(WindowCommands, ConnectWithoutAnInstrumentDisablesInstall) {
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_GERMAN);
  ASSERT_NE(nullptr, window.Handle());
  const std::wstring model = window.Text(IDC_MODEL);
  window.SetPortText(L"COM" + std::to_wstring(DEAD_PORT));
  window.Click(IDC_CONNECT);
  EXPECT_EQ(Expected(LANGUAGE_BASE_GERMAN, IDS_STATUS_NO_CONNECTION), window.Status());
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
  EXPECT_FALSE(instrument.IsConnected());
  EXPECT_EQ(model, window.Text(IDC_MODEL));
  // A port that does not open says so first (under Wine the link opens and then refuses its
  // settings, which the port does not report).
  const std::vector<sNotice> shown = notices.Notices();
  EXPECT_LE(shown.size(), 1u);
  for (const sNotice& notice : shown) {
    EXPECT_NE(std::wstring::npos,
              Utf8ToWide(notice.text).find(L"COM" + std::to_wstring(DEAD_PORT)));
  }

  // Install without an instrument only disables the button.
  EnableWindow(GetDlgItem(window.Handle(), IDC_INSTALL), TRUE);
  window.Command(IDC_INSTALL);
  window.Pass();
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
  EXPECT_EQ(INSTALL_IDLE, installPackageState);
  EXPECT_EQ(nullptr, hMessageDialog);
}

TEST(WindowCommands, AnIdentificationThatDoesNotParseIsNoConnection) {
  cPtyPeer peer(1);
  REQUIRE_PEER(peer);
  cNoticeRecorder notices;
  cMainWindow window(LANGUAGE_BASE_ENGLISH);
  ASSERT_NE(nullptr, window.Handle());
  // The far end names the maker but gives no serial number or version.
  peer.StartLines();
  peer.Answer("ID?", "HALVEX,VSR450");
  window.SetPortText(L"COM" + std::to_wstring(peer.GetPort()));
  window.Click(IDC_CONNECT);
  EXPECT_FALSE(instrument.IsConnected());
  EXPECT_EQ(Expected(LANGUAGE_BASE_ENGLISH, IDS_STATUS_NO_CONNECTION), window.Status());
  EXPECT_FALSE(window.IsEnabled(IDC_INSTALL));
}
