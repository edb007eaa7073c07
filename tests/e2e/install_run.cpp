#include "tests/e2e/install_run.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cctype>
#include <cstdlib>
#include <filesystem>

#include "platform/sha256.h"
#include "support/packets.h"

namespace fs = std::filesystem;

namespace {

// The Windows build's folder, where its executable, Wine prefix and port links are.
std::string WinBuild() {
#ifdef HALVEX_WIN_BUILD
  return HALVEX_WIN_BUILD;
#else
  return std::string();
#endif
}

std::vector<std::pair<std::string, std::string>> WineEnvironment(const std::string& winBuild) {
  return {{"WINEPREFIX", winBuild + "/wineprefix"},
          {"WINEARCH", "win64"},
          {"WINEDEBUG", "-all"},
          {"WINEDLLOVERRIDES", "mscoree,mshtml="},
          {"LC_NUMERIC", "C"}};
}

}  // namespace

cInstallRun::cInstallRun(bool bWineIn) : bWine(bWineIn), port(bWineIn ? 5 : 1) {
  folder.MakeFolder("packages");
  folder.MakeFolder("files");
  if (!bWine) {
    szInstaller = HALVEX_INSTALLER;
    szLimitedInstaller = HALVEX_INSTALLER_TEST;
    szLink = folder.GetPath() + "/ttyHALVEX";
    return;
  }
  const char* enabled = std::getenv("HALVEX_WINE_TESTS");
  szWinBuild = WinBuild();
  if (enabled == nullptr || std::string(enabled) != "1") {
    szUnavailable = "HALVEX_WINE_TESTS=1 is not set (scripts/test.sh sets it once Wine is ready)";
  } else if (szWinBuild.empty() || !fs::exists(szWinBuild + "/bin/halvex-installer.exe")) {
    szUnavailable = "the Windows build is missing: " + szWinBuild;
  } else if (!fs::exists(szWinBuild + "/wineprefix/.halvex-ports")) {
    szUnavailable = "the Wine prefix is not prepared (scripts/lib/wine_env.sh wine_setup)";
  }
  szInstaller = szWinBuild + "/bin/halvex-installer.exe";
  szLimitedInstaller = szWinBuild + "/bin/halvex-installer-test.exe";
  szLink = szWinBuild + "/ports/com" + std::to_string(port);
}

cInstallRun::~cInstallRun() {
  // wineserver goes before the pty does, or it floods its output.
  if (bWine && IsAvailable()) StopWine();
  simulator.Stop();
}

void cInstallRun::StopWine() {
  std::vector<std::string> kill = {"wineserver", "-k"};
  RunProcess(kill, WineEnvironment(szWinBuild), "", 20000);
}

std::string cInstallRun::PackagePath(const std::string& name) const {
  return std::string("packages") + Separator() + name;
}

std::string cInstallRun::ImagePath(const std::string& name) const {
  return std::string("files") + Separator() + name;
}

std::string cInstallRun::FolderPath(const std::string& relative) const {
  return folder.GetPath() + "/" + relative;
}

void cInstallRun::AddImage(const std::string& name, const std::string& bytes) {
  folder.WriteFile("files/" + name, bytes);
}

void cInstallRun::AddPackage(const std::string& name, const std::string& mainImage,
                             const std::string& extra) {
  folder.WriteFile("packages/" + name, "[files]\r\nmain=" + mainImage + "\r\n" + extra);
}

std::string cInstallRun::ChecksumSection(const std::string& image) const {
  const std::string bytes = ImageBytes(image);
  std::string hex;
  EXPECT_TRUE(platform::Sha256Hex(bytes.data(), bytes.size(), hex));
  for (char& c : hex) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return "[sha256]\r\nmain=" + hex + "\r\n";
}

std::string cInstallRun::ImageBytes(const std::string& name) const {
  return ReadWholeFile(folder.GetPath() + "/files/" + name);
}

std::string cInstallRun::StoredPath(const std::string& name) const {
  return simulator.StoreDir() + "/" + name;
}

std::string cInstallRun::StoredBytes(const std::string& name) const {
  return ReadWholeFile(StoredPath(name));
}

bool cInstallRun::StartSimulator(sim::sSimOptions options) {
  fs::remove(szLink);
  return simulator.StartAt(szLink, options);
}

stProcessResult cInstallRun::Run(
    const std::vector<std::string>& arguments,
    const std::vector<std::pair<std::string, std::string>>& environment, int64_t timeoutMs) {
  std::vector<std::string> argv;
  std::vector<std::pair<std::string, std::string>> variables = environment;
  // Short time limits need the test tree's build of the program: the shipped one always keeps
  // its own.
  std::string szProgram = szInstaller;
  for (const auto& variable : environment) {
    if (variable.first == "HALVEX_TEST_TIME_LIMIT_MS") szProgram = szLimitedInstaller;
  }
  if (bWine) {
    argv = {"wine", szProgram};
    for (const auto& variable : WineEnvironment(szWinBuild)) variables.push_back(variable);
  } else {
    argv = {szProgram};
    variables.push_back({"HALVEX_COM" + std::to_string(port), szLink});
  }
  for (const std::string& argument : arguments) argv.push_back(argument);
  stProcessResult result = RunProcess(argv, variables, folder.GetPath(), timeoutMs);
  if (bWine) StopWine();
  return result;
}

std::string cInstallRun::AfterFirstLine(const std::string& out) {
  const size_t end = out.find("\r\n");
  return end == std::string::npos ? std::string() : out.substr(end + 2);
}

std::string cInstallRun::Violations() const {
  return simulator.Violations();
}

sim::sSimOptions QuickInstrument() {
  sim::sSimOptions options;
  options.installerStartMs = 200;
  options.bootMs = 300;
  options.szMainVersion = "2.0.3";
  return options;
}

void ExpectInstalled(cInstallRun& run, const stProcessResult& result, const std::string& image) {
  EXPECT_EQ(result.exitStatus, 0) << result.out << result.err;
  EXPECT_NE(result.out.find(" Done!Exiting program ..."), std::string::npos) << result.out;
  EXPECT_TRUE(run.StoredBytes(image) == run.ImageBytes(image)) << "the image arrived altered";
  EXPECT_EQ(run.Violations(), "");
}

void cOneImageTest::SetUp() {
  run = std::make_unique<cInstallRun>(E2E_WINE);
  if (!run->IsAvailable()) GTEST_SKIP() << run->GetUnavailableReason();
  run->AddImage(szImage, RandomBytes(size, seed));
  run->AddPackage("VSR450_B.pkg", szImage, bWithChecksum ? run->ChecksumSection(szImage) : "");
}
