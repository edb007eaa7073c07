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

// A reply without a MAIN version is asked again.
bool AskVersions(cHalvexInstrument& instrument) {
  bool bReported = false;
  for (int i = 0; i < VERSION_QUERY_ATTEMPTS && !bReported; ++i) {
    bReported = instrument.UpdateVersions();
  }
  return bReported;
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
  const bool bReported = AskVersions(instrument);
  const stVersionCheck check =
      CheckInstalledVersion(szImageName, bReported, instrument.GetMainVersion());
  LogVersionCheck(check);
  return check;
}

void CheckInstrumentVersions(cHalvexInstrument& instrument,
                             const std::string (&szImageNames)[FILE_TYPE_MAX],
                             stVersionCheck (&checks)[FILE_TYPE_MAX]) {
  const bool bReported = AskVersions(instrument);
  const char* const szVersions[FILE_TYPE_MAX] = {
      instrument.GetMainVersion(), instrument.GetGPIBVersion(), instrument.GetFPGAVersion()};
  for (int type = 0; type < FILE_TYPE_MAX; type++) {
    checks[type] = stVersionCheck();
    if (szImageNames[type].empty()) continue;
    checks[type] = CheckInstalledVersion(szImageNames[type].c_str(), bReported, szVersions[type]);
    LogVersionCheck(checks[type]);
  }
}
