// The size of the program's path and file name buffers: the package store's paths, the image
// names and the remote file name the installer is sent hold 259 characters and a NUL.
#ifndef HALVEX_UTIL_PATH_LIMIT_H
#define HALVEX_UTIL_PATH_LIMIT_H

#include <cstddef>

constexpr size_t MAX_PATH_LEN = 260;

#endif
