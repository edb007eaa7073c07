#include "app/package_choice.h"

#include "app/package_store.h"
#include "util/trace.h"

bool ChooseRunPackage(const char* szPrefix, const stCommandLinePkg& named, const std::string& model,
                      std::string& packagePath) {
  packagePath.clear();
  if (named.bFound) {
    packagePath = named.packageFile;
    return true;
  }
  const stInstrumentState state = {true, model.c_str(), "", true};
  char szLast[MAX_PATH_LEN] = "";
  if (ListMatchingPackages(szPrefix, state, szLast).empty()) return false;
  packagePath = szLast;
  return true;
}

void TraceImageSent(const stPreflight& check) {
  trace.ImageSent(check.szFilePath, check.size, check.szSha256);
}
