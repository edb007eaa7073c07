// One automatic installation end to end: a package store in a fresh folder, the instrument
// simulator on a pty, and halvex-installer run as a separate process (the Linux build, or the
// Windows build under Wine with a COM port of the prefix linked to the simulator's pty).
#ifndef HALVEX_TESTS_E2E_INSTALL_RUN_H
#define HALVEX_TESTS_E2E_INSTALL_RUN_H

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "sim/sim_engine.h"
#include "support/process.h"
#include "support/simulator.h"
#include "support/temp_folder.h"

// True in the suite built for the Windows program under Wine.
#ifdef HALVEX_E2E_WINE
constexpr bool E2E_WINE = true;
#else
constexpr bool E2E_WINE = false;
#endif

class cInstallRun {
 public:
  // bWine: run the Windows build under Wine. Check IsAvailable() before use.
  explicit cInstallRun(bool bWine);
  ~cInstallRun();

  bool IsAvailable() const { return szUnavailable.empty(); }
  const std::string& GetUnavailableReason() const { return szUnavailable; }

  // The port the installer is told to use, and the path separator of its file names.
  int GetPort() const { return port; }
  std::string PortArgument() const { return "-PORT=COM" + std::to_string(port); }
  char Separator() const { return bWine ? '\\' : '/'; }
  // "packages" + separator + name, as the installer writes it.
  std::string PackagePath(const std::string& name) const;
  std::string ImagePath(const std::string& name) const;

  // The package store.
  void AddImage(const std::string& name, const std::string& bytes);
  // A package naming mainImage; extra (e.g. a "sha256" section) follows the "files" section.
  void AddPackage(const std::string& name, const std::string& mainImage,
                  const std::string& extra = "");
  // Its section "sha256" for the MAIN image: the image's hash (the stored bytes), in upper case.
  std::string ChecksumSection(const std::string& image) const;
  std::string ImageBytes(const std::string& name) const;
  std::string FolderPath(const std::string& relative) const;

  // The instrument: options as given, with the store folder and fast start and boot times.
  bool StartSimulator(sim::sSimOptions options);
  sim::cSimEngine& Simulator() { return simulator.Engine(); }
  // The simulator's line (its pty's link), for a device server to serve.
  const std::string& LinePath() const { return szLink; }
  std::string StoredPath(const std::string& name) const;
  std::string StoredBytes(const std::string& name) const;

  // Runs the installer with the arguments after argument 0. With HALVEX_TEST_TIME_LIMIT_MS in
  // the environment it runs halvex-installer-test, the build that takes that limit.
  stProcessResult Run(const std::vector<std::string>& arguments,
                      const std::vector<std::pair<std::string, std::string>>& environment = {},
                      int64_t timeoutMs = 120000);

  // The output without its first line ("Program Entry @ <program>", which names the build).
  static std::string AfterFirstLine(const std::string& out);

  // The simulator's violations, one per line (empty when there are none).
  std::string Violations() const;

 private:
  void StopWine();

  bool bWine;
  int port;
  std::string szUnavailable;
  std::string szInstaller;
  std::string szLimitedInstaller;  // halvex-installer-test
  std::string szWinBuild;
  std::string szLink;
  cTempFolder folder;
  cTestSimulator simulator;
};

// The instrument of most cases: a fast start (200 ms) and boot (300 ms), so a run takes
// seconds, and MAIN 2.0.3, older than the packages' images.
sim::sSimOptions QuickInstrument();

// The run ended well: status 0, the closing lines, the image stored byte for byte, no violation.
void ExpectInstalled(cInstallRun& run, const stProcessResult& result, const std::string& image);

// The fixture of the cases with one image: the run (the case is skipped where it cannot be
// made) with a store of one package, VSR450_B.pkg, naming the image: size random bytes drawn
// with seed, and with its checksum section when bChecksum.
class cOneImageTest : public ::testing::Test {
 protected:
  cOneImageTest(std::string imageName, size_t imageSize, uint32_t imageSeed, bool bChecksum = false)
      : szImage(std::move(imageName)), size(imageSize), seed(imageSeed), bWithChecksum(bChecksum) {}
  void SetUp() override;

  std::unique_ptr<cInstallRun> run;

 private:
  std::string szImage;
  size_t size;
  uint32_t seed;
  bool bWithChecksum;
};

#endif
