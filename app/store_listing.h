// The package store as "-LIST" shows it, and the words both "-LIST" and "-INFO" use for the
// state of an image.
#ifndef HALVEX_APP_STORE_LISTING_H
#define HALVEX_APP_STORE_LISTING_H

#include <string>

#include "app/preflight.h"

// The state of an image as its check found it: "160000 bytes", "160000 bytes, sha256 matches",
// "160000 bytes, sha256 differs", "missing", "outside files", ...
std::string DescribeImageState(const stPreflight& check);

// The model an automatic run would take a package for: its name up to the first '_', or
// without ".pkg" when it has none ("VSR450_release_2.pkg" is for "VSR450").
std::string GetModelPrefix(const std::string& packageName);

// The listing: one line per package file in the program's order (name, then each image the
// package names: type, name, version and state), then per model prefix the package an automatic
// run would take. Opens no port. False, text empty, when there is no packages folder.
bool ListPackageStore(const char* szPrefix, std::string& text);

#endif
