#include "sim/sim_store.h"

#include <errno.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <vector>

namespace sim {

namespace {

std::vector<std::string> SplitName(const std::string& szName) {
  std::vector<std::string> parts(1);
  for (char c : szName) {
    if (c == '/' || c == '\\') {
      parts.emplace_back();
    } else {
      parts.back() += c;
    }
  }
  return parts;
}

}  // namespace

cSimStore::cSimStore(const std::string& szDirIn) : szDir(szDirIn), fd(-1) {}

cSimStore::~cSimStore() {
  Abort();
}

bool cSimStore::Prepare(std::string& szError) {
  struct stat info;
  if (szDir.empty()) {
    szError = "no store folder given";
    return false;
  }
  if (stat(szDir.c_str(), &info) != 0) {
    if (mkdir(szDir.c_str(), 0755) != 0) {
      szError = "cannot create the store folder " + szDir + ": " + strerror(errno);
      return false;
    }
  } else if (!S_ISDIR(info.st_mode)) {
    szError = "the store " + szDir + " is not a folder";
    return false;
  }
  return true;
}

bool cSimStore::CheckName(const std::string& szName, std::string& szWhy) {
  if (szName.empty()) {
    szWhy = "the name is empty";
    return false;
  }
  if (szName.size() > 259) {
    szWhy = "the name is longer than 259 characters";
    return false;
  }
  for (unsigned char c : szName) {
    if (c < 0x20 || c == 0x7F) {
      szWhy = "the name holds a control byte";
      return false;
    }
  }
  if (szName[0] == '/' || szName[0] == '\\' || (szName.size() >= 2 && szName[1] == ':')) {
    szWhy = "the name is absolute";
    return false;
  }
  for (const std::string& szPart : SplitName(szName)) {
    if (szPart == "..") {
      szWhy = "the name climbs out with \"..\"";
      return false;
    }
    if (szPart.empty() || szPart == ".") {
      szWhy = "the name has an empty or \".\" component";
      return false;
    }
  }
  return true;
}

bool cSimStore::Begin(const std::string& szName, std::string& szError) {
  Abort();
  if (!CheckName(szName, szError)) return false;
  const std::vector<std::string> parts = SplitName(szName);
  std::string szFolder = szDir;
  struct stat info;
  for (size_t i = 0; i + 1 < parts.size(); ++i) {
    szFolder += "/" + parts[i];
    if (lstat(szFolder.c_str(), &info) != 0) {
      if (mkdir(szFolder.c_str(), 0755) != 0) {
        szError = "cannot create the folder " + szFolder + ": " + strerror(errno);
        return false;
      }
    } else if (S_ISLNK(info.st_mode)) {
      szError = "the name passes through the link " + szFolder;
      return false;
    } else if (!S_ISDIR(info.st_mode)) {
      szError = "the name passes through the file " + szFolder;
      return false;
    }
  }
  szTargetPath = szFolder + "/" + parts.back();
  if (lstat(szTargetPath.c_str(), &info) == 0 && S_ISDIR(info.st_mode)) {
    szError = "the name is a folder in the store";
    return false;
  }
  std::string szTemplate = szFolder + "/.halvex-sim-XXXXXX";
  std::vector<char> buffer(szTemplate.begin(), szTemplate.end());
  buffer.push_back('\0');
  fd = mkstemp(buffer.data());
  if (fd < 0) {
    szError = "cannot create a file in " + szFolder + ": " + strerror(errno);
    return false;
  }
  fchmod(fd, 0644);
  szTempPath = buffer.data();
  return true;
}

bool cSimStore::Append(const uint8_t* data, size_t n, std::string& szError) {
  if (fd < 0) {
    szError = "no file is open";
    return false;
  }
  size_t written = 0;
  while (written < n) {
    const ssize_t count = write(fd, data + written, n - written);
    if (count < 0 && errno == EINTR) continue;
    if (count <= 0) {
      szError = "cannot write " + szTempPath + ": " + strerror(errno);
      return false;
    }
    written += static_cast<size_t>(count);
  }
  return true;
}

bool cSimStore::Commit(std::string& szPath, std::string& szError) {
  if (fd < 0) {
    szError = "no file is open";
    return false;
  }
  const bool bClosed = close(fd) == 0;
  fd = -1;
  if (!bClosed || rename(szTempPath.c_str(), szTargetPath.c_str()) != 0) {
    szError = "cannot store " + szTargetPath + ": " + strerror(errno);
    unlink(szTempPath.c_str());
    szTempPath.clear();
    return false;
  }
  szTempPath.clear();
  szPath = szTargetPath;
  return true;
}

void cSimStore::Abort() {
  if (fd >= 0) close(fd);
  fd = -1;
  if (!szTempPath.empty()) unlink(szTempPath.c_str());
  szTempPath.clear();
}

}  // namespace sim
