// The program's exit statuses, in one table: the names the code uses and the meanings the help
// prints (app/usage.cpp) are both made from it.
//
// A new status is one row here, plus its row in the README's table ("Exit status of the
// automatic mode") and its entry in the man page's EXIT STATUS section
// (docs/man/halvex-installer.1.in); tests/app/exit_status_test.cpp fails until both name it.
//
// Each row: ROW(name, status, meaning). The meaning is the help's text, "\n" where the help
// breaks the line (at most 80 columns with the indentation; the help indents what follows).
#ifndef HALVEX_APP_EXIT_STATUS_H
#define HALVEX_APP_EXIT_STATUS_H

#include <cstddef>

// clang-format off
#define HALVEX_EXIT_STATUS_TABLE(ROW)                                                             \
  ROW(EXIT_DONE, 0,                                                                               \
      "\" Done!\": the image was sent and the instrument is back (also after\n"                  \
      "-PORTS, --version, -LIST, -INFO and this text)")                                           \
  ROW(EXIT_COMMAND_LINE, 2,                                                                       \
      "command-line problem: no usable -PORT= (or a socket:// one without\n"                     \
      "-BAUD=115200), the package named with -PKG= not found, -LIST without a\n"                 \
      "packages folder (or window mode on Linux)")                                                \
  ROW(EXIT_NO_CONNECTION, 3,                                                                      \
      "no connection: the instrument did not answer on the port (also -INFO), or\n"              \
      "the port or its device server refused the line settings (the installer's\n"              \
      "115200 bit/s, or the command speed at the return)")                                        \
  ROW(EXIT_INSTALL_FAILED, 4,                                                                     \
      "the package cannot be installed: none for the model, or its MAIN image\n"                \
      "(with -ALL any image it names) is missing, unreadable, too large, outside\n"              \
      "files or does not match its sha256 (the instrument was left as it is); or a\n"            \
      "transfer failed")                                                                          \
  ROW(EXIT_TIME_LIMIT, 5,                                                                         \
      "a time limit ran out (installer start 2 min, 2 min without an acknowledged\n"             \
      "packet, instrument return 5 min)")                                                         \
  ROW(EXIT_VERSION_DIFFERS, 6,                                                                    \
      "the instrument reports another MAIN version than the installed image's name\n"            \
      "(with -ALL: another MAIN, GPIB or FPGA version than an image sent)")                       \
  ROW(EXIT_TRACE_FILE, 7,                                                                         \
      "-TRACE= or -REPORT= names no usable file: an empty name, a folder, or a\n"                \
      "file in a folder that does not exist (or, for -REPORT=, where no file can\n"              \
      "be made); nothing was done")                                                               \
  ROW(EXIT_OPTIONS_CONFLICT, 8,                                                                   \
      "-PORTS, -LIST or --version was given with other options, or with each\n"                  \
      "other: only the listing or the version was given")                                         \
  ROW(EXIT_IMAGE_UNCERTAIN, 9,                                                                    \
      "an answer was lost in each of the 3 times the image was sent: the\n"                      \
      "instrument may hold it with a packet twice")
// clang-format on

#define HALVEX_EXIT_STATUS_NAME(name, status, meaning) name = status,
enum eExitStatus : int { HALVEX_EXIT_STATUS_TABLE(HALVEX_EXIT_STATUS_NAME) };
#undef HALVEX_EXIT_STATUS_NAME

struct stExitStatus {
  int status;
  const char* szMeaning;
};

#define HALVEX_EXIT_STATUS_ROW(name, status, meaning) {status, meaning},
constexpr stExitStatus EXIT_STATUSES[] = {HALVEX_EXIT_STATUS_TABLE(HALVEX_EXIT_STATUS_ROW)};
#undef HALVEX_EXIT_STATUS_ROW
constexpr size_t EXIT_STATUS_COUNT = sizeof(EXIT_STATUSES) / sizeof(EXIT_STATUSES[0]);

#endif
