// The check after an installation: does the instrument that came back run the version the
// installed image's name carries (MAIN; with "-ALL" also GPIB and FPGA)?
#ifndef HALVEX_APP_INSTALL_CHECK_H
#define HALVEX_APP_INSTALL_CHECK_H

#include <string>

#include "app/package_store.h"

enum eVersionCheck : int {
  VERSION_VERIFIED = 0,  // the instrument reports the image's version
  VERSION_DIFFERS,       // it reports another one, or none
  VERSION_UNCHECKED      // the image name carries no version to compare with
};

struct stVersionCheck {
  eVersionCheck result = VERSION_UNCHECKED;
  std::string szExpected;  // "major.minor.build" from the image name; empty when it has none
  std::string szReported;  // "major.minor.build" the instrument reports; empty when none
};

// Compares the version in szImageName (six digits, GetDigitVersionFromName) with the
// instrument's MAIN version text szReported ("major.minor.build"); bReported is false when the
// instrument's reply held no MAIN version.
stVersionCheck CheckInstalledVersion(const char* szImageName, bool bReported,
                                     const char* szReported);

class cHalvexInstrument;

// Asks the connected instrument for its versions (a reply without a MAIN version is asked
// again, up to VERSION_QUERY_ATTEMPTS times) and compares its MAIN version with szImageName's.
constexpr int VERSION_QUERY_ATTEMPTS = 3;
stVersionCheck CheckInstrumentVersion(cHalvexInstrument& instrument, const char* szImageName);

// The same for the images of several file types, with one question: checks[type] compares the
// instrument's version of that type ("MAIN:", "GPIB:", "FPGA:") with szImageNames[type]'s; a
// type whose name is empty is not checked (left VERSION_UNCHECKED, nothing expected).
void CheckInstrumentVersions(cHalvexInstrument& instrument,
                             const std::string (&szImageNames)[FILE_TYPE_MAX],
                             stVersionCheck (&checks)[FILE_TYPE_MAX]);

#endif
