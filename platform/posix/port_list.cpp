#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "platform/port_list.h"
#include "platform/serial_device.h"

namespace platform {

namespace {

// COMn maps to the path in HALVEX_COM<n>, else to <devFolder>/ttyS<n-1>. bMapped tells which.
std::string MappedPortPath(int port, const std::string& devFolder, bool& bMapped) {
  bMapped = false;
  if (port < 1) return std::string();
  const std::string variable = "HALVEX_COM" + std::to_string(port);
  const char* mapped = std::getenv(variable.c_str());
  if (mapped != nullptr && mapped[0] != '\0') {
    bMapped = true;
    return mapped;
  }
  return devFolder + "/ttyS" + std::to_string(port - 1);
}

bool IsCharacterDevice(const std::string& path) {
  struct stat info;
  return stat(path.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

std::string Existence(const std::string& path) {
  struct stat info;
  if (stat(path.c_str(), &info) != 0) return "missing";
  return S_ISCHR(info.st_mode) ? "exists" : "exists, but is no serial device";
}

// "ttyUSB12" with prefix "ttyUSB": 12; -1 when the rest is not a number.
long DeviceNumber(const std::string& name, const std::string& prefix) {
  if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0) return -1;
  long number = 0;
  for (size_t i = prefix.size(); i < name.size(); ++i) {
    if (name[i] < '0' || name[i] > '9' || number > 100000) return -1;
    number = number * 10 + (name[i] - '0');
  }
  return number;
}

// Names in folder, sorted; none when it cannot be read.
std::vector<std::string> FolderNames(const std::string& folder) {
  std::vector<std::string> names;
  std::error_code error;
  std::filesystem::directory_iterator entries(folder, error);
  if (error) return names;
  for (const auto& entry : entries) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

std::string UseLine(const std::string& path) {
  return "  HALVEX_COM1=" + path + " halvex-installer -AUTO -PORT=COM1";
}

}  // namespace

std::string SerialPortPath(int port) {
  bool bMapped = false;
  return MappedPortPath(port, "/dev", bMapped);
}

stPortRoots GetPortRoots() {
  return {"/dev", "/dev/serial/by-id"};
}

std::vector<std::string> ListSerialPorts(const stPortRoots& roots) {
  std::vector<std::string> lines;
  for (int port = 1; port <= 16; ++port) {
    bool bMapped = false;
    const std::string path = MappedPortPath(port, roots.devFolder, bMapped);
    std::string line = "COM" + std::to_string(port) + (port < 10 ? "  " : " ") + path;
    if (bMapped) line += " (HALVEX_COM" + std::to_string(port) + ")";
    lines.push_back(line + ": " + Existence(path));
  }

  std::vector<std::string> adapters;
  // Stable names first: they stay the same whichever socket the adapter is plugged into.
  for (const std::string& name : FolderNames(roots.byIdFolder)) {
    const std::string link = roots.byIdFolder + "/" + name;
    std::string line = link;
    std::error_code error;
    const std::filesystem::path target = std::filesystem::read_symlink(link, error);
    if (!error) {
      const std::filesystem::path device =
          target.is_absolute() ? target : std::filesystem::path(roots.byIdFolder) / target;
      line += " -> " + device.lexically_normal().string();
    }
    adapters.push_back(line + UseLine(link));
  }
  for (const char* prefix : {"ttyACM", "ttyUSB"}) {
    std::vector<std::pair<long, std::string>> devices;
    for (const std::string& name : FolderNames(roots.devFolder)) {
      const long number = DeviceNumber(name, prefix);
      const std::string path = roots.devFolder + "/" + name;
      if (number >= 0 && IsCharacterDevice(path)) devices.push_back({number, path});
    }
    std::sort(devices.begin(), devices.end());
    for (const auto& device : devices) adapters.push_back(device.second + UseLine(device.second));
  }

  if (adapters.empty()) {
    lines.push_back("No USB or ACM adapters found (" + roots.byIdFolder + ", " + roots.devFolder +
                    "/ttyUSB*, " + roots.devFolder + "/ttyACM*).");
  } else {
    lines.push_back("USB and ACM adapters (use one as COM1 with the line behind it):");
    for (const std::string& adapter : adapters) lines.push_back(adapter);
  }
  return lines;
}

}  // namespace platform
