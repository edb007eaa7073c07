#include "app/package_store.h"

#include <cstdlib>
#include <cstring>

#include "app/output.h"
#include "platform/files.h"
#include "platform/files_order.h"
#include "platform/profile.h"

const char* const SHORT_FILE_TYPE[FILE_TYPE_MAX] = {"MAIN", "GPIB", "FPGA"};

namespace {

const char* const PACKAGE_FOLDER = "packages";
const char* const IMAGE_FOLDER = "files";
const char* const PACKAGE_SECTION = "files";
const char* const PACKAGE_SUFFIX = ".pkg";

const char* TextOrEmpty(const char* sz) {
  return sz != nullptr ? sz : "";
}

// szOut (MAX_PATH_LEN) = prefix + folder + separator + name; empty and false when it does
// not fit.
bool JoinStorePath(const char* szPrefix, const char* szFolder, const char* szName, char* szOut) {
  std::string path = TextOrEmpty(szPrefix);
  path += szFolder;
  path += platform::PATH_SEPARATOR;
  path += TextOrEmpty(szName);
  if (path.size() >= MAX_PATH_LEN) {
    szOut[0] = '\0';
    return false;
  }
  std::memcpy(szOut, path.c_str(), path.size() + 1);
  return true;
}

// The image name of a file type in a package as the package gives it, safe or not; empty and
// false when it is missing or cut.
bool ReadGivenImageName(const char* szPackagePath, int iFileType, char* szName) {
  szName[0] = '\0';
  if (iFileType < 0 || iFileType >= FILE_TYPE_MAX) return false;
  if (!platform::GetProfileValue(szPackagePath, PACKAGE_SECTION, SHORT_FILE_TYPE[iFileType], szName,
                                 MAX_PATH_LEN) ||
      szName[0] == '\0') {
    szName[0] = '\0';
    return false;
  }
  return true;
}

// The image name of a file type in a package; empty and false when it is missing, cut or
// unsafe.
bool ReadImageName(const char* szPackagePath, int iFileType, char* szName) {
  if (ReadGivenImageName(szPackagePath, iFileType, szName) && IsSafeImageName(szName)) return true;
  szName[0] = '\0';
  return false;
}

// The name begins with the model text, taken literally, and still ends in the suffix after
// it (as a search for model + "*.pkg" would want).
bool BeginsWithModel(const std::string& name, const std::string& model) {
  if (name.size() < model.size() + std::strlen(PACKAGE_SUFFIX)) return false;
  return platform::EqualNoCase(name.substr(0, model.size()), model);
}

bool IsDotsComponent(const char* pBegin, const char* pEnd) {
  int iDots = 0;
  for (const char* p = pBegin; p < pEnd; p++) {
    if (*p == '.') {
      iDots++;
    } else if (*p != ' ') {
      return false;
    }
  }
  return iDots >= 2;
}

// Where an image name keeps its version: the six characters before the last point, or the last
// six when there is no point; null when the name is too short.
const char* FindVersionDigits(const char* szName) {
  if (szName == nullptr) return nullptr;
  const char* pPoint = std::strrchr(szName, '.');
  if (pPoint != nullptr) return pPoint - szName > 6 ? pPoint - 6 : nullptr;
  const size_t length = std::strlen(szName);
  return length > 6 ? szName + length - 6 : nullptr;
}

}  // namespace

bool GetDigitVersionFromName(const char* szName, char* szOut) {
  const char* pDigits = FindVersionDigits(szName);
  for (int i = 0; pDigits != nullptr && i < 6; i++) {
    if (pDigits[i] < '0' || pDigits[i] > '9') pDigits = nullptr;
  }
  if (pDigits == nullptr) {
    if (szOut != nullptr) std::snprintf(szOut, MAX_VERSION_TEXT, "?.?.?");
    return false;
  }
  return GetVersionFromName(szName, szOut);
}

bool GetVersionFromName(const char* szName, char* szOut) {
  const char* pDigits = FindVersionDigits(szName);
  if (pDigits == nullptr) {
    if (szOut != nullptr) std::snprintf(szOut, MAX_VERSION_TEXT, "?.?.?");
    return false;
  }
  int iParts[3];
  for (int i = 0; i < 3; i++) {
    const char szTwo[3] = {pDigits[2 * i], pDigits[2 * i + 1], '\0'};
    iParts[i] = std::atoi(szTwo);
  }
  if (szOut != nullptr) {
    std::snprintf(szOut, MAX_VERSION_TEXT, "%d.%d.%d", iParts[0], iParts[1], iParts[2]);
  }
  return true;
}

bool IsSafeImageName(const char* szName) {
  if (szName == nullptr || szName[0] == '\0') return false;
  if (szName[0] == '/' || szName[0] == '\\') return false;
  const bool bLetter =
      (szName[0] >= 'A' && szName[0] <= 'Z') || (szName[0] >= 'a' && szName[0] <= 'z');
  if (bLetter && szName[1] == ':') return false;
  const char* p = szName;
  for (;;) {
    const char* pEnd = p + std::strcspn(p, "/\\");
    if (IsDotsComponent(p, pEnd)) return false;
    if (*pEnd == '\0') return true;
    p = pEnd + 1;
  }
}

bool MakePackagePath(const char* szPrefix, const char* szPackageName, char* szPath) {
  return JoinStorePath(szPrefix, PACKAGE_FOLDER, szPackageName, szPath);
}

std::vector<std::string> ListMatchingPackages(const char* szPrefix, const stInstrumentState& state,
                                              char* szLastPkgPath) {
  std::vector<std::string> matches;
  const std::string model = TextOrEmpty(state.szModel);
  const int iWantedMajor = std::atoi(TextOrEmpty(state.szMainVersion));
  const std::string folder = std::string(TextOrEmpty(szPrefix)) + PACKAGE_FOLDER;
  for (const std::string& name : platform::ListFiles(folder, PACKAGE_SUFFIX)) {
    if (state.bConnected && !BeginsWithModel(name, model)) continue;
    char szPackagePath[MAX_PATH_LEN];
    if (!MakePackagePath(szPrefix, name.c_str(), szPackagePath)) continue;
    // A MAIN name that would leave the files folder still takes its place: the check before
    // the installer's start refuses that package with its reason, where skipping it would
    // have an older package installed without a word.
    char szImage[MAX_PATH_LEN];
    if (!ReadGivenImageName(szPackagePath, 0, szImage)) continue;
    char szVersion[MAX_VERSION_TEXT];
    if (!GetVersionFromName(szImage, szVersion)) continue;
    if (state.bConnected && !state.bAnyMajor && std::atoi(szVersion) != iWantedMajor) continue;
    if (szLastPkgPath != nullptr) {
      std::memcpy(szLastPkgPath, szPackagePath, std::strlen(szPackagePath) + 1);
    }
    matches.push_back(name);
  }
  return matches;
}

stPackageList BuildPackageList(const char* szPrefix, const stInstrumentState& state,
                               char* szLastPkgPath) {
  stPackageList list;
  list.names = ListMatchingPackages(szPrefix, state, szLastPkgPath);
  list.iSelected =
      state.bConnected && !list.names.empty() ? static_cast<int>(list.names.size()) - 1 : -1;
  return list;
}

void FindLastPackage(const char* szPrefix, const stInstrumentState& state, char* szLastPkgPath,
                     FILE* out) {
  ListMatchingPackages(szPrefix, state, szLastPkgPath);
  const std::string line = "Last Package:" + std::string(TextOrEmpty(szLastPkgPath)) + "\r\n";
  // Standard output goes through the report writer, so the line is in the trace too.
  if (out == stdout) {
    WriteOutput(line);
  } else {
    std::fputs(line.c_str(), out);
  }
}

void ReadPackageVersions(const char* szPrefix, const char* szPackageName,
                         char szVersions[FILE_TYPE_MAX][MAX_VERSION_TEXT]) {
  for (int i = 0; i < FILE_TYPE_MAX; i++) szVersions[i][0] = '\0';
  if (szPackageName == nullptr || szPackageName[0] == '\0') return;
  char szPackagePath[MAX_PATH_LEN];
  if (!MakePackagePath(szPrefix, szPackageName, szPackagePath)) return;
  for (int i = 0; i < FILE_TYPE_MAX; i++) {
    char szImage[MAX_PATH_LEN];
    char szVersion[MAX_VERSION_TEXT];
    if (ReadImageName(szPackagePath, i, szImage) && GetVersionFromName(szImage, szVersion)) {
      std::memcpy(szVersions[i], szVersion, std::strlen(szVersion) + 1);
    }
  }
}

bool ReadPackageImage(const char* szPrefix, const char* szPackagePath, int iFileType,
                      char* szFileName, char* szFilePath) {
  if (szPackagePath != nullptr && ReadImageName(szPackagePath, iFileType, szFileName) &&
      JoinStorePath(szPrefix, IMAGE_FOLDER, szFileName, szFilePath)) {
    return true;
  }
  szFileName[0] = '\0';
  JoinStorePath(szPrefix, IMAGE_FOLDER, "", szFilePath);
  return false;
}
