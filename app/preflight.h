// The check of a package's image before anything is said to the instrument: the name the
// package gives, the file it names, and the checksum the package may carry for it.
//
// A package may have a section "sha256" with a key per file type ("main", "gpib", "fpga"),
// each the SHA-256 of that image as 64 hexadecimal digits (either case). A package without
// the section, or without the key, is checked for everything else.
//
//   stPreflight check;
//   if (!RunPreflight(path, szPackagePath, 0, check)) WriteOutput(check.szLine + "\r\n");
#ifndef HALVEX_APP_PREFLIGHT_H
#define HALVEX_APP_PREFLIGHT_H

#include <cstdint>
#include <string>

enum ePreflightReason : int {
  PREFLIGHT_OK = 0,
  PREFLIGHT_NO_IMAGE,       // the package names no image of the type
  PREFLIGHT_NAME_TOO_LONG,  // the name, or the local path made of it, exceeds 259 characters
  PREFLIGHT_OUTSIDE_FILES,  // the name leaves the files folder ("..", absolute, a drive)
  PREFLIGHT_BAD_CHECKSUM,   // the package's "sha256" value is not 64 hexadecimal digits
  PREFLIGHT_MISSING,        // the image does not exist
  PREFLIGHT_NOT_A_FILE,     // it is a folder or another entry, not a regular file
  PREFLIGHT_TOO_LARGE,      // more than MAX_TRANSFER_SIZE (4 294 967 295) bytes
  PREFLIGHT_UNREADABLE,     // it cannot be opened or read whole
  PREFLIGHT_MISMATCH,       // its SHA-256 is not the one the package gives
};

struct stPreflight {
  ePreflightReason reason = PREFLIGHT_OK;
  // One line (without line end) naming the file, or the package, and the reason; empty when
  // the image passed.
  std::string szLine;
  std::string szFileName;       // the image name the package gives (also the remote name)
  std::string szFilePath;       // its local path, prefix + "files" + separator + name
  bool bChecksumGiven = false;  // the package's section "sha256" names the type
  uint64_t size = 0;            // bytes read
  std::string szSha256;         // SHA-256 of what was read (64 lower-case digits); empty when
                                // the file was not read whole
};

// Checks the image of file type iFileType (0 MAIN, 1 GPIB, 2 FPGA) of the package file
// szPackagePath, its name read as the sequencers read it (ReadPackageImage): the name is there,
// fits and stays inside the files folder; the checksum value, if any, is 64 hexadecimal
// digits; the image exists, is a regular file of at most MAX_TRANSFER_SIZE bytes and can be read
// whole; its SHA-256 is the package's, if it gives one. True when it passed. Reads the file
// once, whole (the SHA-256 is computed whether or not the package gives one).
bool RunPreflight(const char* szPrefix, const char* szPackagePath, int iFileType,
                  stPreflight& result);

// The reason's stable name, e.g. "image-missing"; "ok" for PREFLIGHT_OK.
const char* GetPreflightReasonName(ePreflightReason reason);

// The run's reason when the preflight stops it: "checksum" for a mismatch, "preflight" for
// every other failure, "" when it passed.
const char* GetPreflightRunReason(ePreflightReason reason);

#endif
