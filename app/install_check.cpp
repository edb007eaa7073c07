#include "app/install_check.h"

#include <cctype>
#include <cstdio>
#include <cstring>

#include "instrument/halvex_instrument.h"

namespace {

std::string FormatVersion(const sVersion& version) {
  char szText[48];
  std::snprintf(szText, sizeof(szText), "%d.%d.%d", static_cast<int>(version.major),
                static_cast<int>(version.minor), static_cast<int>(version.build));
  return szText;
}

// The version of an image name: exactly six digits before the last point.
bool VersionOfName(const char* szName, sVersion& version) {
  if (szName == nullptr) return false;
  const char* pPoint = std::strrchr(szName, '.');
  if (pPoint == nullptr || pPoint - szName < 6) return false;
  const char* pDigits = pPoint - 6;
  for (int i = 0; i < 6; ++i) {
    if (!std::isdigit(static_cast<unsigned char>(pDigits[i]))) return false;
  }
  int parts[3];
  for (int i = 0; i < 3; ++i) parts[i] = (pDigits[2 * i] - '0') * 10 + (pDigits[2 * i + 1] - '0');
  version = sVersion{parts[0], parts[1], parts[2]};
  return true;
}

}  // namespace

stVersionCheck CheckInstalledVersion(const char* szImageName, bool bReported,
                                     const char* szReported) {
  stVersionCheck check;
  sVersion reported = {0, 0, 0};
  if (bReported && szReported != nullptr) {
    cHalvexInstrument::ExtractVersion(&reported, szReported);
    check.szReported = FormatVersion(reported);
  }
  sVersion expected = {0, 0, 0};
  if (!VersionOfName(szImageName, expected)) {
    check.result = VERSION_UNCHECKED;
    return check;
  }
  check.szExpected = FormatVersion(expected);
  const bool bSame = bReported && reported.major == expected.major &&
                     reported.minor == expected.minor && reported.build == expected.build;
  check.result = bSame ? VERSION_VERIFIED : VERSION_DIFFERS;
  return check;
}

stVersionCheck CheckInstrumentVersion(cHalvexInstrument& instrument, const char* szImageName) {
  bool bReported = false;
  for (int i = 0; i < VERSION_QUERY_ATTEMPTS && !bReported; ++i) {
    bReported = instrument.UpdateVersions();
  }
  return CheckInstalledVersion(szImageName, bReported, instrument.GetMainVersion());
}
