// The texts of the help options and of "--version".
#ifndef HALVEX_APP_USAGE_H
#define HALVEX_APP_USAGE_H

#include <string>

// "halvex-installer <version>\n": the project version, set in one place (CMakeLists.txt).
std::string GetVersionText();

// The usage: synopsis, the options and the exit statuses, one line each.
std::string GetUsageText();

#endif
