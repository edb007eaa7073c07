#include "sim/sim_version.h"

#include <cstdlib>

namespace sim {

bool GetVersionFromImageName(const std::string& szName, std::string& szVersion) {
  szVersion = "?.?.?";
  std::string szDigits;
  const size_t point = szName.rfind('.');
  if (point != std::string::npos) {
    if (point <= 6) return false;
    szDigits = szName.substr(point - 6, 6);
  } else {
    if (szName.size() <= 6) return false;
    szDigits = szName.substr(szName.size() - 6);
  }
  const int major = std::atoi(szDigits.substr(0, 2).c_str());
  const int minor = std::atoi(szDigits.substr(2, 2).c_str());
  const int patch = std::atoi(szDigits.substr(4, 2).c_str());
  szVersion = std::to_string(major) + "." + std::to_string(minor) + "." + std::to_string(patch);
  return true;
}

}  // namespace sim
