// Progress and log lines on standard output.
#ifndef HALVEX_APP_OUTPUT_H
#define HALVEX_APP_OUTPUT_H

#include <string>

// Writes the text to standard output byte for byte ("\r\n" line ends included) and flushes it,
// so a console or a pipe sees every line at once.
void WriteOutput(const std::string& text);

#endif
