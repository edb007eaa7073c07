// The package store on real folders: versions from names, the package filter, name order, and
// the readings the sequencers and the window make.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "app/package_store.h"
#include "platform/files.h"
#include "support/temp_folder.h"

namespace {

using Names = std::vector<std::string>;

const stInstrumentState NOT_CONNECTED = {false, nullptr, nullptr};

// The path the store builds for a package name.
std::string PackagePath(const std::string& name) {
  return std::string("packages") + platform::PATH_SEPARATOR + name;
}

class cPackageStoreTest : public ::testing::Test {
 protected:
  cTempFolder folder{cTempFolder::ENTER};

  // A package whose section "files" names the given images (null: no such key).
  void WritePackage(const std::string& name, const char* szMain, const char* szGpib = nullptr,
                    const char* szFpga = nullptr) {
    std::string text = "[files]\r\n";
    if (szMain) text += std::string("main=") + szMain + "\r\n";
    if (szGpib) text += std::string("gpib=") + szGpib + "\r\n";
    if (szFpga) text += std::string("fpga=") + szFpga + "\r\n";
    folder.WriteFile("packages/" + name, text);
  }

  Names Scan(const stInstrumentState& state) {
    return ListMatchingPackages("", state, szLastPkgPath);
  }

  char szLastPkgPath[MAX_PATH_LEN] = "";
};

TEST(cVersionFromNameTest, ReadsTheSixCharactersBeforeTheLastPoint) {
  struct {
    const char* szName;
    bool bVersion;
    const char* szExpected;
  } cases[] = {
      {"main_010203.bin", true, "1.2.3"},
      {"a010203", true, "1.2.3"},
      {"010203.bin", false, "?.?.?"},
      {"010203", false, "?.?.?"},
      {"x.bin", false, "?.?.?"},
      {"abc_99zz00.bin", true, "99.0.0"},
      {"img_010203.tar.gz", true, "3.0.0"},
      {"v_ 1-2+3.bin", true, "1.-2.3"},
      {"sub.d/main", false, "?.?.?"},
      {"", false, "?.?.?"},
      {nullptr, false, "?.?.?"},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.szName ? c.szName : "(null)");
    char szOut[MAX_VERSION_TEXT] = "old";
    EXPECT_EQ(c.bVersion, GetVersionFromName(c.szName, szOut));
    EXPECT_STREQ(c.szExpected, szOut);
  }
  EXPECT_TRUE(GetVersionFromName("main_010203.bin", nullptr));
}

TEST(cImageNameTest, OnlyNamesInsideTheFilesFolderAreSafe) {
  for (const char* sz : {"main_010203.bin", "sub/main_010203.bin", "sub\\main.bin", "a..b.bin",
                         "..main.bin", "main..", "./main.bin"}) {
    EXPECT_TRUE(IsSafeImageName(sz)) << sz;
  }
  for (const char* sz : {"", "/etc/main_010203.bin", "\\main.bin", "\\\\server\\share\\m.bin",
                         "C:main.bin", "c:\\main.bin", "..", "../main.bin", "..\\main.bin",
                         "sub/../../main.bin", "sub\\..", "sub/.. /main.bin", ".../main.bin"}) {
    EXPECT_FALSE(IsSafeImageName(sz)) << sz;
  }
  EXPECT_FALSE(IsSafeImageName(nullptr));
}

TEST_F(cPackageStoreTest, ConnectedInstrumentSeesItsModelAndMajorNumber) {
  WritePackage("VSR450_A.pkg", "main_020100.bin");
  WritePackage("VSR450_B.pkg", "main_030000.bin");
  WritePackage("VSR450_C.pkg", "main_020900.bin", "gpib_010000.bin");
  WritePackage("OTHER_A.pkg", "main_020000.bin");

  const stInstrumentState vsr = {true, "VSR450", "2.0.5"};
  const stPackageList list = BuildPackageList("", vsr, szLastPkgPath);
  EXPECT_EQ((Names{"VSR450_A.pkg", "VSR450_C.pkg"}), list.names);
  EXPECT_EQ(1, list.iSelected);
  EXPECT_EQ(PackagePath("VSR450_C.pkg"), szLastPkgPath);

  // The model is matched without regard to letter case.
  EXPECT_EQ((Names{"VSR450_A.pkg", "VSR450_C.pkg"}), Scan({true, "vsr450", "2"}));
  // No main version reported: major number 0 is wanted.
  EXPECT_EQ(Names{}, Scan({true, "VSR450", "n/a"}));
  // An empty model text matches every package of the major number.
  EXPECT_EQ((Names{"OTHER_A.pkg", "VSR450_A.pkg", "VSR450_C.pkg"}), Scan({true, "", "2.0.0"}));

  const stPackageList all = BuildPackageList("", NOT_CONNECTED, szLastPkgPath);
  EXPECT_EQ((Names{"OTHER_A.pkg", "VSR450_A.pkg", "VSR450_B.pkg", "VSR450_C.pkg"}), all.names);
  EXPECT_EQ(-1, all.iSelected);
  EXPECT_EQ(PackagePath("VSR450_C.pkg"), szLastPkgPath);
}

TEST_F(cPackageStoreTest, PackagesComeInUpperCaseNameOrder) {
  WritePackage("VSR450_B.pkg", "main_010000.bin");
  WritePackage("VSR450A.pkg", "main_010000.bin");
  WritePackage("vsr450c.PKG", "main_010000.bin");
  WritePackage("zeta.Pkg", "main_010000.bin");
  WritePackage("a.pkgx", "main_010000.bin");
  WritePackage("b.pkg.bak", "main_010000.bin");
  WritePackage("pkg", "main_010000.bin");
  std::filesystem::create_directories("packages/dir.pkg");
  folder.WriteFile("packages/dir.pkg/x.pkg", "[files]\r\nmain=main_010000.bin\r\n");

  EXPECT_EQ((Names{"VSR450A.pkg", "vsr450c.PKG", "VSR450_B.pkg", "zeta.Pkg"}), Scan(NOT_CONNECTED));
  EXPECT_EQ(PackagePath("zeta.Pkg"), szLastPkgPath);

  char szFile[] = "last.txt";
  FILE* out = std::fopen(szFile, "wb");
  ASSERT_NE(nullptr, out);
  FindLastPackage("", NOT_CONNECTED, szLastPkgPath, out);
  std::fclose(out);
  char szLine[MAX_PATH_LEN + 32] = "";
  out = std::fopen(szFile, "rb");
  ASSERT_NE(nullptr, out);
  const size_t length = std::fread(szLine, 1, sizeof(szLine) - 1, out);
  std::fclose(out);
  EXPECT_EQ("Last Package:" + PackagePath("zeta.Pkg") + "\r\n", std::string(szLine, length));
}

TEST_F(cPackageStoreTest, AScanThatFindsNothingKeepsTheLastPackage) {
  Scan(NOT_CONNECTED);  // no packages folder yet
  EXPECT_STREQ("", szLastPkgPath);

  WritePackage("pkg_a.pkg", "main_090000.bin");
  WritePackage("pkg_b.pkg", "main_010000.bin");
  EXPECT_EQ((Names{"pkg_a.pkg", "pkg_b.pkg"}), Scan(NOT_CONNECTED));
  EXPECT_EQ(PackagePath("pkg_b.pkg"), szLastPkgPath);

  const stPackageList none = BuildPackageList("", {true, "VSR450", "1.0.0"}, szLastPkgPath);
  EXPECT_TRUE(none.names.empty());
  EXPECT_EQ(-1, none.iSelected);
  EXPECT_EQ(PackagePath("pkg_b.pkg"), szLastPkgPath);

  std::filesystem::remove_all("packages");
  EXPECT_EQ(Names{}, Scan(NOT_CONNECTED));
  EXPECT_EQ(PackagePath("pkg_b.pkg"), szLastPkgPath);
}

TEST_F(cPackageStoreTest, PackagesWithoutAReadableMainVersionAreSkipped) {
  WritePackage("a_nomain.pkg", nullptr, "gpib_010000.bin", "fpga_010000.bin");
  WritePackage("b_noversion.pkg", "main.bin");
  WritePackage("c_empty.pkg", "");
  folder.WriteFile("packages/d_nosection.pkg", "main=main_010000.bin\r\n");
  folder.WriteFile("packages/e_other.pkg", "[images]\r\nmain=main_010000.bin\r\n");
  WritePackage("f_good.pkg", "main_010203.bin", nullptr, "fpga_070809.bin");
  EXPECT_EQ(Names{"f_good.pkg"}, Scan(NOT_CONNECTED));

  char szVersions[FILE_TYPE_MAX][MAX_VERSION_TEXT];
  ReadPackageVersions("", "f_good.pkg", szVersions);
  EXPECT_STREQ("1.2.3", szVersions[0]);
  EXPECT_STREQ("", szVersions[1]);
  EXPECT_STREQ("7.8.9", szVersions[2]);
  ReadPackageVersions("", "a_nomain.pkg", szVersions);
  EXPECT_STREQ("", szVersions[0]);
  EXPECT_STREQ("1.0.0", szVersions[1]);
  EXPECT_STREQ("1.0.0", szVersions[2]);
  ReadPackageVersions("", "missing.pkg", szVersions);
  EXPECT_STREQ("", szVersions[0]);
  ReadPackageVersions("", nullptr, szVersions);
  EXPECT_STREQ("", szVersions[2]);
}

TEST_F(cPackageStoreTest, TheModelIsNeverASearchPattern) {
  WritePackage("VSR450_A.pkg", "main_010000.bin");
  folder.WriteFile("evil/VSR450_X.pkg", "[files]\r\nmain=main_010000.bin\r\n");
  folder.WriteFile("evil/packages/VSR450_Y.pkg", "[files]\r\nmain=main_010000.bin\r\n");
  for (const char* szModel : {"*", "VSR*", "?SR450", "VSR450_?", "../evil/", "..\\evil\\",
                              "VSR450/../../evil/", "..", "packages"}) {
    SCOPED_TRACE(szModel);
    EXPECT_EQ(Names{}, Scan({true, szModel, "1.0.0"}));
    EXPECT_STREQ("", szLastPkgPath);
  }
  EXPECT_EQ(Names{"VSR450_A.pkg"}, Scan({true, "VSR450_", "1.0.0"}));
}

TEST_F(cPackageStoreTest, UnsafeImageNamesReadAsMissingButKeepTheirPackagesPlace) {
  WritePackage("a_absolute.pkg", "/etc/main_010000.bin");
  WritePackage("b_backslash.pkg", "\\main_010000.bin");
  WritePackage("c_drive.pkg", "C:main_010000.bin");
  WritePackage("d_up.pkg", "../main_010000.bin");
  WritePackage("e_deep.pkg", "sub\\..\\..\\main_010000.bin", "../gpib_010000.bin",
               "fpga_010000.bin");
  WritePackage("f_sub.pkg", "sub/main_010000.bin");
  // The scan keeps them, so that the newest is refused by its check, not passed over for an
  // older one.
  EXPECT_EQ((Names{"a_absolute.pkg", "b_backslash.pkg", "c_drive.pkg", "d_up.pkg", "e_deep.pkg",
                   "f_sub.pkg"}),
            Scan(NOT_CONNECTED));
  EXPECT_EQ(PackagePath("f_sub.pkg"), szLastPkgPath);
  EXPECT_EQ(Names{"d_up.pkg"}, Scan({true, "d_", "1.0.0"}));

  char szVersions[FILE_TYPE_MAX][MAX_VERSION_TEXT];
  ReadPackageVersions("", "e_deep.pkg", szVersions);
  EXPECT_STREQ("", szVersions[0]);
  EXPECT_STREQ("", szVersions[1]);
  EXPECT_STREQ("1.0.0", szVersions[2]);

  const std::string folderOnly = std::string("files") + platform::PATH_SEPARATOR;
  char szName[MAX_PATH_LEN] = "old";
  char szPath[MAX_PATH_LEN] = "old";
  EXPECT_FALSE(ReadPackageImage("", PackagePath("d_up.pkg").c_str(), 0, szName, szPath));
  EXPECT_STREQ("", szName);
  EXPECT_EQ(folderOnly, szPath);
}

TEST_F(cPackageStoreTest, OverlongNamesAreUnreadableNotShortened) {
  // Cut to 259 characters the name would read as version 0.0.0 and pass.
  WritePackage("a_long.pkg", (std::string(300, 'a') + "_010000.bin").c_str());
  // "packages" + separator + this name needs 260 characters.
  const std::string longName = std::string(247, 'b') + ".pkg";
  WritePackage(longName, "main_010000.bin");
  WritePackage("c_fits.pkg", (std::string(248, 'c') + "_010000.bin").c_str());
  EXPECT_EQ(Names{"c_fits.pkg"}, Scan(NOT_CONNECTED));

  char szVersions[FILE_TYPE_MAX][MAX_VERSION_TEXT];
  ReadPackageVersions("", "a_long.pkg", szVersions);
  EXPECT_STREQ("", szVersions[0]);
  ReadPackageVersions("", longName.c_str(), szVersions);
  EXPECT_STREQ("", szVersions[0]);

  // The 259-character name fits, the local path "files" + separator + name does not.
  char szName[MAX_PATH_LEN];
  char szPath[MAX_PATH_LEN];
  EXPECT_FALSE(ReadPackageImage("", PackagePath("c_fits.pkg").c_str(), 0, szName, szPath));
  EXPECT_STREQ("", szName);
  EXPECT_EQ(std::string("files") + platform::PATH_SEPARATOR, szPath);
}

TEST_F(cPackageStoreTest, ImagesAreReadByFileType) {
  WritePackage("p.pkg", "main_010000.bin", "gpib_020000.bin");
  const std::string package = PackagePath("p.pkg");
  const std::string files = std::string("files") + platform::PATH_SEPARATOR;
  char szName[MAX_PATH_LEN];
  char szPath[MAX_PATH_LEN];
  EXPECT_TRUE(ReadPackageImage("", package.c_str(), 0, szName, szPath));
  EXPECT_STREQ("main_010000.bin", szName);
  EXPECT_EQ(files + "main_010000.bin", szPath);
  EXPECT_TRUE(ReadPackageImage("", package.c_str(), 1, szName, szPath));
  EXPECT_STREQ("gpib_020000.bin", szName);
  EXPECT_FALSE(ReadPackageImage("", package.c_str(), 2, szName, szPath));
  EXPECT_STREQ("", szName);
  EXPECT_EQ(files, szPath);
  EXPECT_FALSE(ReadPackageImage("", package.c_str(), FILE_TYPE_MAX, szName, szPath));
  EXPECT_FALSE(ReadPackageImage("", package.c_str(), -1, szName, szPath));
  EXPECT_FALSE(ReadPackageImage("", "packages/missing.pkg", 0, szName, szPath));

  // Both folders sit under the prefix.
  const std::string prefix = std::string("store") + platform::PATH_SEPARATOR;
  folder.WriteFile("store/packages/q.pkg", "[files]\r\nmain=main_040000.bin\r\n");
  EXPECT_EQ(Names{"q.pkg"}, ListMatchingPackages(prefix.c_str(), NOT_CONNECTED, szLastPkgPath));
  EXPECT_EQ(prefix + PackagePath("q.pkg"), szLastPkgPath);
  EXPECT_TRUE(ReadPackageImage(prefix.c_str(), szLastPkgPath, 0, szName, szPath));
  EXPECT_EQ(prefix + files + "main_040000.bin", szPath);
}

}  // namespace
