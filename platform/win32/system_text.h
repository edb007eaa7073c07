// The system's words for a Win32 error code, as the platform's messages quote them.
#ifndef HALVEX_PLATFORM_WIN32_SYSTEM_TEXT_H
#define HALVEX_PLATFORM_WIN32_SYSTEM_TEXT_H

#include <string>

namespace platform {

// "<the system's message for code> (error <code>)", the message without its line end and full
// stop; "system error" stands in for a message the system does not have.
std::string SystemText(unsigned long code);

}  // namespace platform

#endif
