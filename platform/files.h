// The files seam: folder listings, existence, opening, and profile (INI) values.
//
// On POSIX every path is looked up without regard to letter case, component by component
// (an exact match first), as Windows does, so one package store works on both systems.
#ifndef HALVEX_PLATFORM_FILES_H
#define HALVEX_PLATFORM_FILES_H

#include <cstdint>
#include <cstdio>
#include <string>
#include <vector>

namespace platform {

#ifdef _WIN32
constexpr char PATH_SEPARATOR = '\\';
#else
constexpr char PATH_SEPARATOR = '/';
#endif

// Names (without folder) of the regular files in folder whose names end in suffix, letter
// case ignored, sorted by ASCII upper-case comparison. Empty when the folder is missing.
std::vector<std::string> ListFiles(const std::string& folder, const std::string& suffix);

// The path as it exists on disk (POSIX: letter case of each component resolved, exact
// match first). False when it does not exist; actual then holds the path unchanged.
bool ResolvePath(const std::string& path, std::string& actual);

// The entry exists (a file or a folder), as _stat reports it.
bool PathExists(const std::string& path);

// The entry exists and is a regular file.
bool IsRegularFile(const std::string& path);

// Opens an existing file for binary reading ("rb"); null on failure.
FILE* OpenForReading(const std::string& path);

// Size in bytes of the file open as file, with 64-bit precision; false when it cannot be read.
bool GetOpenFileSize(FILE* file, uint64_t& size);

}  // namespace platform

#endif
