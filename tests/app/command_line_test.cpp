// The option grammar and the start-up log.
#include "app/command_line.h"

#include <gtest/gtest.h>

#include "app/port_choice.h"

#include "platform/files.h"
#include "support/temp_folder.h"

namespace {

std::vector<platform::stArgument> Arguments(std::initializer_list<const char*> texts) {
  std::vector<platform::stArgument> arguments;
  for (const char* text : texts) arguments.push_back({text, true});
  return arguments;
}

stCommandLine Read(std::initializer_list<const char*> texts) {
  return ReadCommandLine(Arguments(texts), "");
}

const std::string SEP(1, platform::PATH_SEPARATOR);

TEST(CommandLineTest, PortTakesComAndANumberFromOneToSixteen) {
  EXPECT_EQ(Read({"p", "-PORT=COM16"}).com.port, COM16);
  EXPECT_EQ(Read({"p", "-PORT=xCOM5"}).com.port, COM5);
  EXPECT_EQ(Read({"p", "-PORT=COM3\r\n"}).com.port, COM3) << "the value ends at a line end";
  EXPECT_EQ(Read({"p", "-PORT=COM007"}).com.port, COM7);
  for (const char* ignored :
       {"-PORT=COM17", "-PORT=COM0", "-PORT=5", "-PORT=com5", "-PORT=COM5 ", "-PORT=COM",
        "-PORT=COM-1", "-PORT=COM99999999999999999999", "-PORT=COM4294967297"}) {
    const stCommandLine options = Read({"p", ignored});
    EXPECT_FALSE(options.com.bPortSet) << ignored;
    EXPECT_EQ(options.com.port, PORT_NONE) << ignored;
  }
  const stCommandLine kept = Read({"p", "-PORT=COM3", "-PORT=COM99"});
  EXPECT_TRUE(kept.com.bPortSet);
  EXPECT_EQ(kept.com.port, COM3) << "a refused value keeps the earlier one";
  EXPECT_EQ(Read({"p", "-PORT=COM3", "-PORT=COM4"}).com.port, COM4);
}

// A network port is the whole value; a value that starts with its scheme is never read for
// "COM<n>". Either kind replaces the other.
TEST(CommandLineTest, PortTakesANetworkPortBeforeLookingForCom) {
  const stCommandLine rfc2217 = Read({"p", "-PORT=rfc2217://bench3:2217\r\n"});
  EXPECT_TRUE(rfc2217.com.bPortSet && rfc2217.com.bNetwork);
  EXPECT_EQ(rfc2217.com.network.host, "bench3");
  EXPECT_EQ(GetPortText(rfc2217.com), "rfc2217://bench3:2217");
  EXPECT_EQ(Read({"p", "-PORT=socket://[::1]:4000"}).com.network.mode, NETWORK_SOCKET);
  for (const char* ignored :
       {"-PORT=rfc2217://COM5", "-PORT=socket://a:1 ", "-PORT=RFC2217://b:1"}) {
    EXPECT_FALSE(Read({"p", ignored}).com.bPortSet) << ignored;
  }
  EXPECT_EQ(GetPortText(Read({"p", "-PORT=rfc2217://b:1", "-PORT=COM3"}).com), "COM3");
  EXPECT_EQ(GetPortText(Read({"p", "-PORT=COM3", "-PORT=socket://b:1"}).com), "socket://b:1");
  EXPECT_EQ(GetPortText(Read({"p", "-PORT=socket://b:1", "-PORT=rfc2217://x"}).com), "socket://b:1")
      << "a refused value keeps the earlier one";
}

TEST(CommandLineTest, BaudTakesTheFirstKnownRateContainedInAllDigits) {
  EXPECT_EQ(Read({"p"}).com.baud, BAUD_57600);
  EXPECT_EQ(Read({"p", "-BAUD=19200"}).com.baud, BAUD_19200);
  EXPECT_EQ(Read({"p", "-BAUD=115200"}).com.baud, BAUD_115200);
  EXPECT_EQ(Read({"p", "-BAUD=96000"}).com.baud, BAUD_9600);
  EXPECT_EQ(Read({"p", "-BAUD=4800"}).com.baud, BAUD_57600);
  EXPECT_EQ(Read({"p", "-BAUD=9600", "-BAUD=abc"}).com.baud, BAUD_9600);
  EXPECT_EQ(Read({"p", "-BAUD=38400", "-BAUD=9600\r"}).com.baud, BAUD_38400);
  EXPECT_EQ(Read({"p", "-BAUD=38400", "-BAUD="}).com.baud, BAUD_38400);
}

TEST(CommandLineTest, OptionsAreCaseSensitiveSubstringsTakenInOrder) {
  const stCommandLine both = Read({"p", "-AUTO-CONSOLE"});
  EXPECT_TRUE(both.bAuto);
  EXPECT_FALSE(both.bConsole) << "-AUTO is found first and decides the argument";
  EXPECT_FALSE(Read({"p", "-auto"}).bAuto);
  EXPECT_TRUE(Read({"p", "x-AUTOy"}).bAuto);
  EXPECT_TRUE(Read({"p", "-CONSOLE"}).bConsole);
  EXPECT_FALSE(Read({"-AUTO"}).bAuto) << "argument 0 is the program";
  // "-AUTO" wins over a port in the same argument.
  const stCommandLine mixed = Read({"p", "-PORT=COM2-AUTO"});
  EXPECT_TRUE(mixed.bAuto);
  EXPECT_FALSE(mixed.com.bPortSet);
}

TEST(CommandLineTest, PackageIsFoundOnlyAsARegularFileAndOnlyTheLastCounts) {
  cTempFolder folder(cTempFolder::ENTER);
  folder.WriteFile("packages/VSR450_release.pkg", "[files]\n");
  folder.WriteFile("packages/Main.PKG", "[files]\n");
  folder.MakeFolder("packages/folder.pkg");

  stCommandLine options = Read({"p", "-PKG=VSR450_release"});
  EXPECT_TRUE(options.bPackageNamed);
  EXPECT_TRUE(options.pkg.bFound);
  EXPECT_EQ(options.pkg.packageFile, "packages" + SEP + "VSR450_release.pkg");

  options = Read({"p", "-PKG=Main.PKG"});
  EXPECT_EQ(options.pkg.packageFile, "packages" + SEP + "Main.PKG") << "no second extension";
  EXPECT_TRUE(options.pkg.bFound);

  options = Read({"p", "-PKG= Main.PKG \r\n"});
  EXPECT_EQ(options.pkg.packageFile, "packages" + SEP + " Main.PKG ")
      << "used as typed up to the line end, untrimmed";

  EXPECT_FALSE(Read({"p", "-PKG=folder.pkg"}).pkg.bFound) << "a folder is not a package";
  EXPECT_FALSE(Read({"p", "-PKG=missing"}).pkg.bFound);

  options = Read({"p", "-PKG=VSR450_release", "-PKG=missing"});
  EXPECT_TRUE(options.bPackageNamed);
  EXPECT_FALSE(options.pkg.bFound) << "the last -PKG= decides";
  EXPECT_EQ(options.pkg.packageFile, "packages" + SEP + "missing.pkg");
  EXPECT_TRUE(Read({"p", "-PKG=missing", "-PKG=VSR450_release"}).pkg.bFound);

  EXPECT_FALSE(Read({"p"}).bPackageNamed);
}

TEST(CommandLineTest, AnArgumentWithoutAnExactNarrowFormNamesNoPackage) {
  cTempFolder folder(cTempFolder::ENTER);
  folder.WriteFile("packages/ab.pkg", "[files]\n");
  std::vector<platform::stArgument> arguments = {{"p", true}, {"-PKG=ab", false}};
  const stCommandLine options = ReadCommandLine(arguments, "");
  EXPECT_TRUE(options.bPackageNamed);
  EXPECT_FALSE(options.pkg.bFound);
}

TEST(CommandLineTest, StartupLogBytes) {
  EXPECT_EQ(FormatStartupLog(Arguments({"C:\\tools\\halvex.exe", "-AUTO", "-PORT=COM3"})),
            "Program Entry @ C:\\tools\\halvex.exe\r\nArg1: -AUTO\r\nArg2: -PORT=COM3\r\n\r\n");
  EXPECT_EQ(FormatStartupLog(Arguments({""})), "Program Entry\r\n\r\n");
  EXPECT_EQ(FormatStartupLog({}), "Program Entry\r\n\r\n");
}

}  // namespace
