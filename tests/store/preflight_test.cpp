// The image check before an installation: every refusal names the file or the package, and a
// good image comes back with its size and SHA-256.
#include "app/preflight.h"

#include <gtest/gtest.h>

#include <string>

#include "platform/files.h"
#include "support/temp_folder.h"

namespace {

const char* const kAbcSha256 = "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad";

std::string Local(const std::string& folder, const std::string& name) {
  return folder + platform::PATH_SEPARATOR + name;
}

TEST(Preflight, RefusesWhatCannotBeInstalledAndHashesWhatCan) {
  cTempFolder folder(cTempFolder::ENTER);
  folder.WriteFile("files/main_020105.bin", "abc");
  folder.WriteFile("secret.txt", "abc");
  folder.MakeFolder("files/sub_010203.bin");
#ifndef _WIN32
  ASSERT_TRUE(folder.MakeSized("files/huge_010203.bin", 0x100000000ull));
#endif
  const std::string good = Local("files", "main_020105.bin");
  const std::string upper = "BA7816BF8F01CFEA414140DE5DAE2223B00361A396177A9CB410FF61F20015AD";

  struct sCase {
    const char* szName;
    std::string package;  // the package file's text
    int iFileType;
    ePreflightReason reason;
    std::string named;  // what the line must name
  };
  const std::string mainGood = "[files]\r\nmain=main_020105.bin\r\n";
  const sCase kCases[] = {
      {"no section", mainGood, 0, PREFLIGHT_OK, ""},
      {"checksum in upper case", mainGood + "[sha256]\r\nMAIN=" + upper + "\r\n", 0, PREFLIGHT_OK,
       ""},
      {"mismatch", mainGood + "[sha256]\r\nmain=" + std::string(64, '0') + "\r\n", 0,
       PREFLIGHT_MISMATCH, good + " does not match the checksum in the package"},
      {"value not 64 digits", mainGood + "[sha256]\r\nmain=" + upper.substr(1) + "\r\n", 0,
       PREFLIGHT_BAD_CHECKSUM, "64 hexadecimal digits"},
      {"value not hex", mainGood + "[sha256]\r\nmain=" + std::string(64, 'g') + "\r\n", 0,
       PREFLIGHT_BAD_CHECKSUM, "sha256"},
      {"other type's checksum", mainGood + "[sha256]\r\ngpib=" + std::string(64, '0') + "\r\n", 0,
       PREFLIGHT_OK, ""},
      {"missing", "[files]\r\nmain=main_020106.bin\r\n", 0, PREFLIGHT_MISSING,
       Local("files", "main_020106.bin") + " is missing"},
      {"outside", "[files]\r\nmain=../secret.txt\r\n", 0, PREFLIGHT_OUTSIDE_FILES,
       "\"../secret.txt\""},
      {"absolute", "[files]\r\nmain=/etc/passwd\r\n", 0, PREFLIGHT_OUTSIDE_FILES, "/etc/passwd"},
      {"no GPIB image", mainGood, 1, PREFLIGHT_NO_IMAGE, "names no GPIB image"},
      {"cut name", "[files]\r\nmain=" + std::string(300, 'm') + "\r\n", 0, PREFLIGHT_NAME_TOO_LONG,
       "longer than 259"},
      {"a folder", "[files]\r\nmain=sub_010203.bin\r\n", 0, PREFLIGHT_NOT_A_FILE,
       Local("files", "sub_010203.bin")},
#ifndef _WIN32
      {"over 4 GiB", "[files]\r\nmain=huge_010203.bin\r\n", 0, PREFLIGHT_TOO_LARGE,
       "files/huge_010203.bin holds 4294967296 bytes"},
#endif
  };
  for (const sCase& test : kCases) {
    SCOPED_TRACE(test.szName);
    folder.WriteFile("packages/P.pkg", test.package);
    const std::string package = Local("packages", "P.pkg");
    stPreflight check;
    EXPECT_EQ(RunPreflight("", package.c_str(), test.iFileType, check),
              test.reason == PREFLIGHT_OK);
    EXPECT_EQ(check.reason, test.reason) << check.szLine;
    if (test.reason == PREFLIGHT_OK) {
      EXPECT_EQ(check.szLine, "");
      EXPECT_EQ(check.szFilePath, good);
      EXPECT_EQ(check.size, 3u);
      EXPECT_EQ(check.szSha256, kAbcSha256);
      continue;
    }
    EXPECT_NE(check.szLine.find(test.named), std::string::npos) << check.szLine;
    EXPECT_EQ(check.szLine.find('\n'), std::string::npos);
    const bool bPackageError =
        test.reason == PREFLIGHT_BAD_CHECKSUM || test.reason == PREFLIGHT_NO_IMAGE ||
        test.reason == PREFLIGHT_OUTSIDE_FILES || test.reason == PREFLIGHT_NAME_TOO_LONG;
    if (bPackageError) {
      EXPECT_EQ(check.szLine.rfind(package, 0), 0u) << check.szLine;
    }
  }
  EXPECT_STREQ(GetPreflightRunReason(PREFLIGHT_MISMATCH), "checksum");
  EXPECT_STREQ(GetPreflightRunReason(PREFLIGHT_TOO_LARGE), "preflight");
  EXPECT_STREQ(GetPreflightRunReason(PREFLIGHT_OK), "");
}

}  // namespace
