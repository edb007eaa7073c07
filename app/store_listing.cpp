#include "app/store_listing.h"

#include <map>
#include <vector>

#include "app/package_choice.h"
#include "app/package_store.h"
#include "platform/files.h"
#include "platform/files_order.h"

namespace {

std::string Bytes(uint64_t size) {
  return std::to_string(size) + " bytes";
}

// "MAIN main_020105.bin 2.1.5 (160000 bytes)"; empty when the package names no such image.
std::string DescribeImage(const stPreflight& check, int iFileType) {
  if (check.reason == PREFLIGHT_NO_IMAGE) return std::string();
  std::string text = SHORT_FILE_TYPE[iFileType];
  if (!check.szFileName.empty()) {
    char szVersion[MAX_VERSION_TEXT];
    GetVersionFromName(check.szFileName.c_str(), szVersion);
    text += " " + check.szFileName + " " + szVersion;
  }
  return text + " (" + DescribeImageState(check) + ")";
}

}  // namespace

std::string DescribeImageState(const stPreflight& check) {
  switch (check.reason) {
    case PREFLIGHT_OK:
      return Bytes(check.size) + (check.bChecksumGiven ? ", sha256 matches" : "");
    case PREFLIGHT_MISMATCH:
      return Bytes(check.size) + ", sha256 differs";
    case PREFLIGHT_TOO_LARGE:
      return Bytes(check.size) + ", too large";
    case PREFLIGHT_MISSING:
      return "missing";
    case PREFLIGHT_NOT_A_FILE:
      return "not a regular file";
    case PREFLIGHT_UNREADABLE:
      return "unreadable";
    case PREFLIGHT_BAD_CHECKSUM:
      return "its sha256 in the package is not 64 hexadecimal digits";
    case PREFLIGHT_OUTSIDE_FILES:
      return "outside files";
    case PREFLIGHT_NAME_TOO_LONG:
      return "name too long";
    case PREFLIGHT_NO_IMAGE:
      return "none";
  }
  return "unknown";
}

std::string GetModelPrefix(const std::string& packageName) {
  const size_t underscore = packageName.find('_');
  if (underscore != std::string::npos) return packageName.substr(0, underscore);
  const size_t suffix = packageName.size() >= 4 ? packageName.size() - 4 : packageName.size();
  return packageName.substr(0, suffix);
}

bool ListPackageStore(const char* szPrefix, std::string& text) {
  text.clear();
  const std::string folder = std::string(szPrefix) + "packages";
  if (!platform::PathExists(folder) || platform::IsRegularFile(folder)) return false;
  const std::vector<std::string> names = platform::ListFiles(folder, ".pkg");
  if (names.empty()) {
    text = "No packages in " + folder + ".\n";
    return true;
  }
  std::vector<std::string> models;
  std::map<std::string, stPreflight> mainChecks;  // by package path, for the choices below
  for (const std::string& name : names) {
    char szPackagePath[MAX_PATH_LEN];
    std::string line = name + ":";
    if (!MakePackagePath(szPrefix, name.c_str(), szPackagePath)) {
      line += " path too long";
    } else {
      std::string images;
      for (int i = 0; i < FILE_TYPE_MAX; i++) {
        stPreflight check;
        RunPreflight(szPrefix, szPackagePath, i, check);
        if (i == 0) mainChecks[szPackagePath] = check;
        const std::string image = DescribeImage(check, i);
        if (!image.empty()) images += (images.empty() ? " " : ", ") + image;
      }
      line += images.empty() ? " names no image" : images;
    }
    text += line + "\n";
    const std::string model = GetModelPrefix(name);
    bool bKnown = model.empty();
    for (const std::string& known : models) bKnown = bKnown || platform::EqualNoCase(known, model);
    if (!bKnown) models.push_back(model);
  }
  text += "An automatic run takes, for the model:\n";
  for (const std::string& model : models) {
    std::string packagePath;
    text += "  " + model + ": ";
    if (!ChooseRunPackage(szPrefix, stCommandLinePkg(), model, packagePath)) {
      text += "none (no package whose MAIN image carries a version)\n";
      continue;
    }
    text += packagePath.substr(folder.size() + 1);
    const stPreflight& check = mainChecks[packagePath];
    if (check.reason != PREFLIGHT_OK) {
      text += " (refused: MAIN image " + DescribeImageState(check) + ")";
    }
    text += "\n";
  }
  return true;
}
