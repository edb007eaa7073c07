// The version carried by an image name, and the check that a name stays inside "files".
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>

#include "app/package_store.h"
#include "fuzz/fuzz_support.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
  // The name as a C string of exactly its length on the heap.
  std::unique_ptr<char[]> name(new char[size + 1]);
  std::memcpy(name.get(), data, size);
  name[size] = '\0';
  std::unique_ptr<char[]> version(new char[MAX_VERSION_TEXT]);
  const bool bVersion = GetVersionFromName(name.get(), version.get());
  if (bVersion) {
    int parts[3];
    fuzz::Require(std::sscanf(version.get(), "%d.%d.%d", &parts[0], &parts[1], &parts[2]) == 3,
                  "a version is three numbers");
    for (int part : parts) fuzz::Require(part >= -9 && part <= 99, "each part has two digits");
  } else {
    fuzz::Require(std::strcmp(version.get(), "?.?.?") == 0, "no version reads ?.?.?");
  }
  if (IsSafeImageName(name.get())) {
    fuzz::Require(name[0] != '/' && name[0] != '\\', "a safe name is relative");
    fuzz::Require(std::strstr(name.get(), "/../") == nullptr &&
                      std::strncmp(name.get(), "../", 3) != 0 &&
                      std::strncmp(name.get(), "..\\", 3) != 0,
                  "a safe name never climbs");
  }
  return 0;
}
