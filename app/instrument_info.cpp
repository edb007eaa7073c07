#include "app/instrument_info.h"

#include <cstdio>

#include "app/connections.h"
#include "app/exit_status.h"
#include "app/globals.h"
#include "app/package_choice.h"
#include "app/package_store.h"
#include "app/port_choice.h"
#include "app/run_log.h"
#include "app/store_listing.h"

namespace {

// "major.minor.patch" as three numbers; false for anything else ("NOT REQ.", "?.?.?").
bool ReadVersion(const char* szText, int parts[3]) {
  char cEnd = '\0';
  return std::sscanf(szText, "%d.%d.%d%c", &parts[0], &parts[1], &parts[2], &cEnd) == 3;
}

// How an image's version stands to the instrument's.
const char* Compare(const char* szImage, const char* szInstrument) {
  int image[3];
  int present[3];
  if (!ReadVersion(szImage, image) || !ReadVersion(szInstrument, present)) return "not compared";
  for (int i = 0; i < 3; i++) {
    if (image[i] != present[i]) return image[i] > present[i] ? "newer" : "older";
  }
  return "same";
}

// "MAIN image: main_020105.bin 2.1.5 newer"; empty when the package names no such image.
std::string DescribeImage(const std::string& packagePath, int iFileType,
                          const char* szInstrumentVersion) {
  stPreflight check;
  RunPreflight(path, packagePath.c_str(), iFileType, check);
  if (check.reason == PREFLIGHT_NO_IMAGE) return std::string();
  LogImageChecked(packagePath, iFileType, check);
  std::string line = std::string(SHORT_FILE_TYPE[iFileType]) + " image: ";
  if (check.szFileName.empty()) return line + "(" + DescribeImageState(check) + ")\n";
  char szVersion[MAX_VERSION_TEXT];
  GetVersionFromName(check.szFileName.c_str(), szVersion);
  line += check.szFileName + " " + szVersion + " ";
  switch (check.reason) {
    case PREFLIGHT_MISSING:
      return line + "missing\n";
    case PREFLIGHT_OK:
      line += Compare(szVersion, szInstrumentVersion);
      if (check.bChecksumGiven) line += " (sha256 matches)";
      return line + "\n";
    default:
      return line + Compare(szVersion, szInstrumentVersion) + " (" + DescribeImageState(check) +
             ")\n";
  }
}

}  // namespace

int RunInstrumentInfo(const stCommandLine& options, std::string& text, std::string& problem) {
  text.clear();
  problem.clear();
  if (!options.com.bPortSet) {
    problem =
        "-INFO needs the port: -PORT=COM<n> (COM1 to COM16), -PORT=rfc2217://HOST:PORT or "
        "-PORT=socket://HOST:PORT.\n";
    return EXIT_COMMAND_LINE;
  }
  if (options.bPackageNamed && !options.pkg.bFound) {
    problem = "Package \"" + options.pkg.packageFile + "\" not found!\n";
    return EXIT_COMMAND_LINE;
  }
  LogRunState(INSTALL_CONNECTING);
  const bool bConnected = instrument.Connect(GetChosenPort(options.com), options.com.baud, false) &&
                          instrument.IsConnected();
  LogRunState(INSTALL_IDLE);
  if (!bConnected) {
    problem = "Unable to connect to " + GetPortText(options.com) + " baud " +
              GetBaudString(options.com.baud) + "!\n";
    if (instrument.GetOpenFailure()[0] != '\0') {
      problem += std::string(instrument.GetOpenFailure()) + "\n";
    }
    instrument.Disconnect();
    return EXIT_NO_CONNECTION;
  }
  LogInstrumentIdentified();
  const char* const szVersions[FILE_TYPE_MAX] = {
      instrument.GetMainVersion(), instrument.GetGPIBVersion(), instrument.GetFPGAVersion()};
  text += std::string("Manufacturer: ") + instrument.GetManufacturer() + "\n";
  text += std::string("Model: ") + instrument.GetModel() + "\n";
  text += std::string("Serial number: ") + instrument.GetSerialNumberString() + "\n";
  text += std::string("Version: ") + instrument.GetVersion() + "\n";
  for (int i = 0; i < FILE_TYPE_MAX; i++) {
    text += std::string(SHORT_FILE_TYPE[i]) + ": " + szVersions[i] + "\n";
  }
  const std::string model = instrument.GetModel();
  instrument.Disconnect();

  std::string packagePath;
  if (!ChooseRunPackage(path, options.pkg, model, packagePath)) {
    text += "Package: none for model " + model + "\n";
    return EXIT_DONE;
  }
  text += "Package: " + packagePath + "\n";
  for (int i = 0; i < FILE_TYPE_MAX; i++) text += DescribeImage(packagePath, i, szVersions[i]);
  return EXIT_DONE;
}
