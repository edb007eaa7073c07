#include "app/preflight.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

#include "app/package_store.h"
#include "instrument/halvex_installer.h"
#include "platform/files.h"
#include "platform/profile.h"
#include "platform/sha256.h"

namespace {

const char* const IMAGE_SECTION = "files";
const char* const CHECKSUM_SECTION = "sha256";
constexpr size_t READ_CHUNK = 65536;

bool Fail(stPreflight& result, ePreflightReason reason, const std::string& line) {
  result.reason = reason;
  result.szLine = line;
  return false;
}

bool IsHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F');
}

std::string ToLower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'F') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

// Why the package gives no usable name (ReadPackageImage said so).
bool FailName(const char* szPackagePath, int iFileType, stPreflight& result) {
  const std::string package = szPackagePath;
  const std::string type = SHORT_FILE_TYPE[iFileType];
  char szName[MAX_PATH_LEN];
  const bool bFits = platform::GetProfileValue(szPackagePath, IMAGE_SECTION,
                                               SHORT_FILE_TYPE[iFileType], szName, sizeof(szName));
  if (bFits && szName[0] == '\0') {
    return Fail(result, PREFLIGHT_NO_IMAGE,
                package + " names no " + type + " image: the package cannot be installed.");
  }
  if (bFits && !IsSafeImageName(szName)) {
    result.szFileName = szName;
    return Fail(result, PREFLIGHT_OUTSIDE_FILES,
                package + " names the " + type + " image \"" + szName +
                    "\", which is not inside the files folder: the package cannot be installed.");
  }
  return Fail(result, PREFLIGHT_NAME_TOO_LONG,
              package + " names a " + type + " image whose name or path is longer than " +
                  std::to_string(MAX_PATH_LEN - 1) +
                  " characters: the package cannot be installed.");
}

// Reads the open file whole, hashing it; false when it could not be read to its size.
bool ReadAndHash(FILE* file, uint64_t size, stPreflight& result, int& error) {
  platform::cSha256 hash;
  if (!hash.Start()) return false;
  std::vector<unsigned char> buffer(READ_CHUNK);
  uint64_t total = 0;
  for (;;) {
    errno = 0;
    const size_t count = std::fread(buffer.data(), 1, buffer.size(), file);
    if (count > 0 && !hash.Add(buffer.data(), count)) return false;
    total += count;
    if (count < buffer.size()) break;
  }
  error = std::ferror(file) ? errno : 0;
  result.size = total;
  if (error != 0 || total != size) return false;
  return hash.Finish(result.szSha256);
}

}  // namespace

bool RunPreflight(const char* szPrefix, const char* szPackagePath, int iFileType,
                  stPreflight& result) {
  result = stPreflight();
  if (iFileType < 0 || iFileType >= FILE_TYPE_MAX || szPackagePath == nullptr) {
    return Fail(result, PREFLIGHT_NO_IMAGE, "No package or file type to check.");
  }
  char szFileName[MAX_PATH_LEN];
  char szFilePath[MAX_PATH_LEN];
  if (!ReadPackageImage(szPrefix, szPackagePath, iFileType, szFileName, szFilePath)) {
    return FailName(szPackagePath, iFileType, result);
  }
  result.szFileName = szFileName;
  result.szFilePath = szFilePath;
  const std::string& path = result.szFilePath;

  // The checksum is the package's: a malformed one is a package error, found before the file.
  char szChecksum[MAX_PATH_LEN];
  const bool bChecksumFits = platform::GetProfileValue(
      szPackagePath, CHECKSUM_SECTION, SHORT_FILE_TYPE[iFileType], szChecksum, sizeof(szChecksum));
  std::string expected = bChecksumFits ? szChecksum : "?";
  result.bChecksumGiven = !expected.empty();
  if (result.bChecksumGiven) {
    bool bHex = expected.size() == platform::SHA256_HEX_LENGTH;
    for (char c : expected) bHex = bHex && IsHexDigit(c);
    if (!bHex) {
      return Fail(result, PREFLIGHT_BAD_CHECKSUM,
                  std::string(szPackagePath) + ": its checksum of the " +
                      SHORT_FILE_TYPE[iFileType] + " image in section \"" + CHECKSUM_SECTION +
                      "\" is not 64 hexadecimal digits: the package is damaged.");
    }
    expected = ToLower(expected);
  }

  if (!platform::PathExists(path)) {
    return Fail(result, PREFLIGHT_MISSING,
                path + " is missing: the package cannot be installed without it.");
  }
  if (!platform::IsRegularFile(path)) {
    return Fail(result, PREFLIGHT_NOT_A_FILE,
                path + " is not a regular file: the package cannot be installed.");
  }
  FILE* file = platform::OpenForReading(path);
  const int openError = errno;
  if (file == nullptr) {
    return Fail(result, PREFLIGHT_UNREADABLE,
                path + " cannot be opened (" + std::strerror(openError) +
                    "): the package cannot be installed.");
  }
  uint64_t size = 0;
  if (!platform::GetOpenFileSize(file, size)) {
    std::fclose(file);
    return Fail(result, PREFLIGHT_UNREADABLE,
                path + " cannot be read: the package cannot be installed.");
  }
  if (size > MAX_TRANSFER_SIZE) {
    std::fclose(file);
    result.size = size;
    return Fail(result, PREFLIGHT_TOO_LARGE,
                path + " holds " + std::to_string(size) + " bytes, more than the " +
                    std::to_string(MAX_TRANSFER_SIZE) + " an installation can announce.");
  }
  int readError = 0;
  const bool bRead = ReadAndHash(file, size, result, readError);
  std::fclose(file);
  if (!bRead) {
    result.szSha256.clear();
    const std::string why =
        readError != 0 ? std::string(" (") + std::strerror(readError) + ")" : std::string();
    return Fail(result, PREFLIGHT_UNREADABLE,
                path + " cannot be read whole" + why + ": the package cannot be installed.");
  }
  if (result.bChecksumGiven && result.szSha256 != expected) {
    return Fail(result, PREFLIGHT_MISMATCH,
                path +
                    " does not match the checksum in the package: the file is damaged or not the "
                    "one the package was made for.");
  }
  return true;
}

const char* GetPreflightReasonName(ePreflightReason reason) {
  switch (reason) {
    case PREFLIGHT_OK:
      return "ok";
    case PREFLIGHT_NO_IMAGE:
      return "no-image";
    case PREFLIGHT_NAME_TOO_LONG:
      return "name-too-long";
    case PREFLIGHT_OUTSIDE_FILES:
      return "outside-files";
    case PREFLIGHT_BAD_CHECKSUM:
      return "bad-checksum-value";
    case PREFLIGHT_MISSING:
      return "image-missing";
    case PREFLIGHT_NOT_A_FILE:
      return "not-a-file";
    case PREFLIGHT_TOO_LARGE:
      return "too-large";
    case PREFLIGHT_UNREADABLE:
      return "unreadable";
    case PREFLIGHT_MISMATCH:
      return "checksum-mismatch";
  }
  return "unknown";
}

const char* GetPreflightRunReason(ePreflightReason reason) {
  if (reason == PREFLIGHT_OK) return "";
  return reason == PREFLIGHT_MISMATCH ? "checksum" : "preflight";
}
