// Replacing one file by another in one step, for files that must appear complete or not at
// all: write a temporary file beside the target, then move it over the target.
#ifndef HALVEX_PLATFORM_FILE_REPLACE_H
#define HALVEX_PLATFORM_FILE_REPLACE_H

#include <string>

namespace platform {

// Renames from to to, replacing to when it exists (Win32: MoveFileExA with
// MOVEFILE_REPLACE_EXISTING; POSIX: rename). Both lie in one folder. False with the system's
// reason in szError; from is then left as it was.
bool MoveReplacing(const std::string& from, const std::string& to, std::string& szError);

}  // namespace platform

#endif
