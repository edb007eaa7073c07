// The options added for the field: how they are read beside the others, and where their texts go.
#include <gtest/gtest.h>

#include "app/command_line.h"
#include "app/information_options.h"
#include "support/notices.h"

#ifdef _WIN32
#include <windows.h>

#include "halvex_version.h"
#endif

namespace {

stCommandLine Read(std::initializer_list<const char*> texts) {
  std::vector<platform::stArgument> arguments;
  for (const char* text : texts) arguments.push_back({text, true});
  return ReadCommandLine(arguments, "");
}

TEST(FieldOptions, TheyAreLookedForAfterEveryEarlierOption) {
  const stCommandLine options = Read({"p", "-TRACE=a.log", "x-PORTSy", "--version", "-?"});
  EXPECT_TRUE(options.bTraceNamed);
  EXPECT_EQ(options.traceFile, "a.log");
  EXPECT_TRUE(options.bPorts);
  EXPECT_TRUE(options.bVersion);
  EXPECT_TRUE(options.bHelp);
  EXPECT_EQ(options.otherOptions, std::vector<std::string>{"-TRACE=a.log"});

  // An argument that holds an earlier option keeps meaning it.
  const stCommandLine earlier =
      Read({"p", "-TRACE=my-AUTO.log", "-PKG=--help", "-PORT=COM2-PORTS", "-TRACE=", "-help"});
  EXPECT_TRUE(earlier.bAuto);
  EXPECT_EQ(earlier.pkg.packageFile.substr(9), "--help.pkg");
  EXPECT_EQ(earlier.com.port, PORT_NONE) << "\"COM2-PORTS\" is no port";
  EXPECT_FALSE(earlier.bPorts);
  EXPECT_FALSE(earlier.bHelp) << "options are case-sensitive";
  EXPECT_TRUE(earlier.bTraceNamed);
  EXPECT_EQ(earlier.traceFile, "") << "the last -TRACE= counts";
  EXPECT_EQ(earlier.otherOptions.size(), 4u);

  // "-LIST" and "-INFO" come after all of them; "-INFO" works with the others, "-LIST" alone.
  const stCommandLine latest = Read({"p", "x-LISTy", "-INFO"});
  EXPECT_TRUE(latest.bList);
  EXPECT_TRUE(latest.bInfo);
  EXPECT_EQ(latest.otherOptions, std::vector<std::string>{"-INFO"});
  const stCommandLine taken = Read({"p", "-PKG=-LIST", "-PORTS-INFO", "--help-LIST"});
  EXPECT_FALSE(taken.bList);
  EXPECT_FALSE(taken.bInfo);
  EXPECT_TRUE(taken.bPorts);
  EXPECT_TRUE(taken.bHelp);

  // "-ALL" comes last, an option like -INFO (so -LIST refuses it).
  const stCommandLine all = Read({"p", "-ALL", "-INFO-ALL", "-PKG=-ALL"});
  EXPECT_TRUE(all.bAll);
  EXPECT_TRUE(all.bInfo);
  EXPECT_EQ(all.pkg.packageFile.substr(9), "-ALL.pkg");
  EXPECT_EQ(all.otherOptions.size(), 3u);
  EXPECT_FALSE(Read({"p", "-LIST-ALL", "-AUTO-ALL"}).bAll);
}

#ifdef _WIN32
TEST(FieldOptions, WithoutStandardOutputTheTextGoesToAMessageBoxUnlessNoOneMayBeWatching) {
  HANDLE output = GetStdHandle(STD_OUTPUT_HANDLE);
  SetStdHandle(STD_OUTPUT_HANDLE, nullptr);
  cNoticeRecorder notices;
  ShowProgramText("halvex-installer 2.1.0\n", "--version runs alone.\n");
  // With -AUTO or -INFO: the streams, never a box that waits.
  ShowProgramText("", "Trace file \"t\" is a folder!  Aborting ...\r\n", true);
  SetStdHandle(STD_OUTPUT_HANDLE, output);
  EXPECT_EQ(notices.Texts(),
            std::vector<std::string>{"halvex-installer 2.1.0\n\n--version runs alone.\n"});
}

// One value of the program's file properties.
std::string FileProperty(const std::vector<char>& info, const char* szName) {
  char* value = nullptr;
  UINT length = 0;
  const std::string key = std::string("\\StringFileInfo\\040904B0\\") + szName;
  if (!VerQueryValueA(info.data(), key.c_str(), reinterpret_cast<void**>(&value), &length)) {
    return "(missing)";
  }
  return std::string(value, length > 0 ? length - 1 : 0);
}

TEST(FieldOptions, TheProgramsFilePropertiesCarryTheProjectVersion) {
  char szPath[MAX_PATH];
  const DWORD length = GetModuleFileNameA(nullptr, szPath, MAX_PATH);
  std::string program(szPath, length);
  program = program.substr(0, program.find_last_of('\\') + 1) + "halvex-installer.exe";
  DWORD handle = 0;
  const DWORD size = GetFileVersionInfoSizeA(program.c_str(), &handle);
  ASSERT_GT(size, 0u) << program;
  std::vector<char> info(size);
  ASSERT_TRUE(GetFileVersionInfoA(program.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT fixedLength = 0;
  ASSERT_TRUE(VerQueryValueA(info.data(), "\\", reinterpret_cast<void**>(&fixed), &fixedLength));
  EXPECT_EQ(fixed->dwFileVersionMS,
            static_cast<DWORD>(HALVEX_VERSION_MAJOR << 16 | HALVEX_VERSION_MINOR));
  EXPECT_EQ(fixed->dwFileVersionLS, static_cast<DWORD>(HALVEX_VERSION_PATCH << 16));
  EXPECT_EQ(FileProperty(info, "CompanyName"), "Halvex");
  EXPECT_EQ(FileProperty(info, "ProductName"), "Halvex Software Installer");
  EXPECT_EQ(FileProperty(info, "ProductVersion"), HALVEX_VERSION_TEXT);
  EXPECT_EQ(FileProperty(info, "FileVersion"), HALVEX_VERSION_TEXT);
}
#endif

}  // namespace
