// The package store: package files in "packages", the image files they name in "files", and
// the versions carried by the image names.
//
// A package file is a profile file whose section "files" names the images, one key per file
// type ("main", "gpib", "fpga"). An image name carries its version as six digits before its
// last point: 'main_010203.bin' is version 1.2.3.
//
// Folders are looked up under a prefix (empty, or ending in a path separator). Paths and file
// names are 260-character buffers (259 usable): a path that does not fit, or a profile value
// that was cut, makes the package unreadable, never a different, shorter name.
#ifndef HALVEX_APP_PACKAGE_STORE_H
#define HALVEX_APP_PACKAGE_STORE_H

#include <cstddef>
#include <cstdio>
#include <string>
#include <vector>

#include "util/path_limit.h"

// File types: 0 MAIN, 1 GPIB, 2 FPGA; the texts are the package keys.
constexpr int FILE_TYPE_MAX = 3;
extern const char* const SHORT_FILE_TYPE[FILE_TYPE_MAX];

// Size of version texts. Paths and file names: MAX_PATH_LEN.
constexpr size_t MAX_VERSION_TEXT = 256;

// What the package scans need to know of the instrument, read at the moment of the scan.
struct stInstrumentState {
  bool bConnected;
  const char* szModel;        // model text from the identification (null counts as "")
  const char* szMainVersion;  // main software version text, e.g. "1.2.3" (null counts as "")
  // With a connected instrument: take its model's packages whatever their major number (the
  // automatic installation chooses among them after the instrument connection has closed).
  bool bAnyMajor = false;
};

// The version in an image name: the six characters before the last point, or the last six
// when there is no point and the name is longer than six; two characters each for major,
// minor and patch, read like atoi. szOut (at least MAX_VERSION_TEXT characters, may be null)
// receives "%d.%d.%d", or "?.?.?" and false when the name carries no version.
bool GetVersionFromName(const char* szName, char* szOut);
// The same, but only for six digits: a name whose six characters hold anything else carries no
// version here (a check against a number read out of letters would fail a good installation).
bool GetDigitVersionFromName(const char* szName, char* szOut);

// True when szName names a file inside "files": not empty, not absolute ("/", "\" or a drive
// letter "X:"), and no component (split at '/' and '\') made of dots and blanks with two
// dots or more, such as "..".
bool IsSafeImageName(const char* szName);

// szPath (MAX_PATH_LEN) = prefix + "packages" + separator + szPackageName. False (szPath
// empty) when it does not fit.
bool MakePackagePath(const char* szPrefix, const char* szPackageName, char* szPath);

// The package filter. The packages are the regular files of "packages" whose names end in
// ".pkg" (any letter case), in ASCII upper-case name order. With a connected instrument only
// the names that begin with its model text (compared literally, letter case ignored) and whose
// MAIN image has the instrument's major number match; otherwise every package whose MAIN image
// carries a version. Packages whose MAIN name is missing or cut are skipped; one whose name
// would leave the files folder is kept by its version, so that the check before the
// installer's start (app/preflight.h) refuses it rather than an older package being taken.
// Returns the matching names; the path of each match is written to szLastPkgPath
// (MAX_PATH_LEN, may be null), which thus holds the last one and is left as it was when
// nothing matches.
std::vector<std::string> ListMatchingPackages(const char* szPrefix, const stInstrumentState& state,
                                              char* szLastPkgPath);

// What the window's package list shows: the matching names in order, and the item to select
// (the last one when the instrument is connected and something matched, otherwise -1).
struct stPackageList {
  std::vector<std::string> names;
  int iSelected;
};
stPackageList BuildPackageList(const char* szPrefix, const stInstrumentState& state,
                               char* szLastPkgPath);

// Runs the package filter and writes "Last Package:%s\r\n" with szLastPkgPath to out.
void FindLastPackage(const char* szPrefix, const stInstrumentState& state, char* szLastPkgPath,
                     FILE* out = stdout);

// The version texts of the MAIN, GPIB and FPGA images of package szPackageName (a name in
// "packages"); a text stays empty when the image name is missing, cut, unsafe or carries no
// version.
void ReadPackageVersions(const char* szPrefix, const char* szPackageName,
                         char szVersions[FILE_TYPE_MAX][MAX_VERSION_TEXT]);

// The image of file type iFileType in the package file szPackagePath: szFileName
// (MAX_PATH_LEN) receives its name, szFilePath (MAX_PATH_LEN) prefix + "files" +
// separator + that name. When the name is missing, cut or unsafe, or the local path does not
// fit, szFileName is empty, szFilePath holds the folder alone and the result is false.
bool ReadPackageImage(const char* szPrefix, const char* szPackagePath, int iFileType,
                      char* szFileName, char* szFilePath);

#endif
