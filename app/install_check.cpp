#include "app/install_check.h"

#include <cstdio>

#include "app/package_store.h"
#include "app/run_log.h"
#include "instrument/halvex_instrument.h"

namespace {

std::string FormatVersion(const sVersion& version) {
  char szText[48];
  std::snprintf(szText, sizeof(szText), "%d.%d.%d", static_cast<int>(version.major),
                static_cast<int>(version.minor), static_cast<int>(version.build));
  return szText;
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
  char szExpected[MAX_VERSION_TEXT];
  if (!GetDigitVersionFromName(szImageName, szExpected)) {
    check.result = VERSION_UNCHECKED;
    return check;
  }
  sVersion expected = {0, 0, 0};
  cHalvexInstrument::ExtractVersion(&expected, szExpected);
  check.szExpected = szExpected;
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
  const stVersionCheck check =
      CheckInstalledVersion(szImageName, bReported, instrument.GetMainVersion());
  LogVersionCheck(check);
  return check;
}
