// Profile values: the portable reader and the platform's reader (on Windows the system's own)
// must give the same values for the same texts.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "platform/profile.h"
#include "support/temp_folder.h"

namespace {

struct sCase {
  std::string text;
  const char* szSection;
  const char* szKey;
  std::string expected;
};

class cProfileTest : public ::testing::Test {
 protected:
  cTempFolder folder{cTempFolder::ENTER};

  // Reads every case from its text and from a file holding it.
  void ExpectBoth(const std::vector<sCase>& cases) {
    for (const sCase& c : cases) {
      const std::string file = "case" + std::to_string(iFiles++) + ".ini";
      SCOPED_TRACE(::testing::Message() << file << " [" << c.szSection << "] " << c.szKey);
      folder.WriteFile(file, c.text);
      char szText[260];
      EXPECT_TRUE(platform::ReadProfileValue(c.text, c.szSection, c.szKey, szText, 260));
      EXPECT_EQ(c.expected, szText);
      char szFile[260];
      EXPECT_TRUE(platform::GetProfileValue(file, c.szSection, c.szKey, szFile, 260));
      EXPECT_EQ(c.expected, szFile);
    }
  }

  // Reads key "main" of section "files" with a buffer of size bytes from text and from a file.
  void ExpectCut(const std::string& value, size_t size, bool bFits, const std::string& expected) {
    const std::string text = "[files]\r\nmain=" + value + "\r\n";
    const std::string file = "cut" + std::to_string(iFiles++) + ".ini";
    SCOPED_TRACE(::testing::Message() << value << " in " << size);
    folder.WriteFile(file, text);
    std::vector<char> buffer(size + 1, 'X');
    EXPECT_EQ(bFits, platform::ReadProfileValue(text, "files", "main", buffer.data(), size));
    EXPECT_EQ(expected, buffer.data());
    buffer.assign(size + 1, 'X');
    EXPECT_EQ(bFits, platform::GetProfileValue(file, "files", "main", buffer.data(), size));
    EXPECT_EQ(expected, buffer.data());
  }

  int iFiles = 0;
};

TEST_F(cProfileTest, LineEndsAndByteOrderMark) {
  ExpectBoth({
      {"[files]\r\nmain=a.bin\r\n", "files", "main", "a.bin"},
      {"[files]\rmain=a.bin\r", "files", "main", "a.bin"},
      {"[files]\r\r\n\r\n\nmain=a\r\n", "files", "main", "a"},
      {"[files]\nmain=last", "files", "main", "last"},
      {"\xEF\xBB\xBF[files]\r\nmain=a\r\n", "files", "main", "a"},
      {"[files]\n\xEF\xBB\xBFmain=a\n", "files", "main", ""},
      {"", "files", "main", ""},
      {"\x1a[files]\nmain=a\n", "files", "main", "a"},
      {std::string("[files]\nmain=a\0b\ngpib=g\n", 23), "files", "main", "a"},
      {std::string("[files]\nmain=a\0b\ngpib=g\n", 23), "files", "gpib", "g"},
  });
}

TEST_F(cProfileTest, BlanksAndQuotes) {
  ExpectBoth({
      {"  [files]  \n  main  =  a b  \n", "FILES", "MAIN", "a b"},
      {"[files]\n\tmain\t=\t\"a b\"\t\n", "files", "main", "a b"},
      {"[files]\nmain=\x0b"
       "a\x0c\x1a\n",
       "files", "main", "a"},
      {"[files]\nmain=\xA0"
       "a\xA0\n",
       "files", "main",
       "\xA0"
       "a\xA0"},
      {"[files]\nmain=a\n", " files\t", "\tmain ", "a"},
      {"[files]\nmain='a.bin'\n", "files", "main", "a.bin"},
      {"[files]\nmain=\"a'\n", "files", "main", "\"a'"},
      {"[files]\nmain=\"\"\n", "files", "main", ""},
      {"[files]\nmain=\" a \"\n", "files", "main", " a "},
      {"[files]\nmain=\"\"a\"\"\n", "files", "main", "\"a\""},
      {"[files]\nmain=a=b\n", "files", "main", "a=b"},
      {"[files]\nmain=a ;c\n", "files", "main", "a ;c"},
      {"[files]\nmain=   \n", "files", "main", ""},
      {"[files]\nmain=\xE9t\xE9.bin\n", "files", "main", "\xE9t\xE9.bin"},
  });
}

TEST_F(cProfileTest, OnlyTheFirstMatchingSectionCounts) {
  ExpectBoth({
      {"[files]\nmain=a\n[files]\nmain=b\ngpib=g\n", "files", "main", "a"},
      {"[files]\nmain=a\n[files]\nmain=b\ngpib=g\n", "files", "gpib", ""},
      {"[FILES]\nMain=a\n[files]\nmain=b\n", "files", "main", "a"},
      {"[other]\nmain=o\n[files]\nmain=a\n", "files", "main", "a"},
      {"[ files ]\nmain=a\n", "files", "main", "a"},
      {"[files]\nmain=a\n", "file", "main", ""},
      {"[files\nmain=a\n", "files", "main", ""},
      {"[files] ;note\nmain=a\n", "files", "main", "a"},
      {"[fi]les]\nmain=a\n", "fi]les", "main", "a"},
      {"[files]main=a\n", "files", "main", ""},
      {"[files]\n[gpib]=x\nmain=a\n", "files", "main", ""},
      {"main=top\n[files]\nmain=a\n", "", "main", "top"},
      {"[]\nmain=a\n", "", "main", ""},
  });
}

TEST_F(cProfileTest, FirstMatchingKeyWins) {
  ExpectBoth({
      {"[files]\nmain=a\nmain=b\n", "files", "main", "a"},
      {"[files]\nmain = a\nMAIN = b\n", "files", "Main", "a"},
      {"[files]\nmain\nmain=a\n", "files", "main", ""},
      {"[files]\nmai=a\nmain=b\n", "files", "main", "b"},
      {"[files]\nmain=a\n", "files", "mai", ""},
      {"[files]\n;main=c\nmain=a\n", "files", "main", "a"},
      {"[files]\n\"main\"=a\n", "files", "main", ""},
      {"[files]\n[=x\nmain=a\n", "files", "main", "a"},
      {"[\xC4]\n\xC4=a\n", "\xC4", "\xC4", "a"},
  });
}

TEST_F(cProfileTest, CutValuesAreReported) {
  ExpectCut("abc", 4, true, "abc");
  ExpectCut("abcd", 4, false, "abc");
  ExpectCut("\"abc\"", 4, true, "abc");
  ExpectCut("\"abcd\"", 4, false, "abc");
  ExpectCut("\"abcd\"", 5, true, "abcd");
  ExpectCut("'abcde'", 5, false, "abcd");
  ExpectCut("a", 1, false, "");
  ExpectCut("", 1, true, "");
  ExpectCut(std::string(259, 'n'), 260, true, std::string(259, 'n'));
  ExpectCut(std::string(300, 'n') + "_010203.bin", 260, false, std::string(259, 'n'));

  char sz[8] = "X";
  EXPECT_FALSE(platform::ReadProfileValue("[files]\nmain=a\n", "files", "main", sz, 0));
  EXPECT_FALSE(platform::GetProfileValue("none.ini", "files", "main", sz, 0));
  EXPECT_FALSE(platform::ReadProfileValue("[files]\nmain=a\n", nullptr, "main", sz, 8));
  EXPECT_STREQ("", sz);
  EXPECT_FALSE(platform::ReadProfileValue("[files]\nmain=a\n", "files", nullptr, sz, 8));
}

TEST_F(cProfileTest, FilesAreFoundLikeOnWindows) {
  char sz[260] = "X";
  EXPECT_TRUE(platform::GetProfileValue("missing.ini", "files", "main", sz, sizeof(sz)));
  EXPECT_STREQ("", sz);

  // A folder is no profile file.
  std::filesystem::create_directory("folder.ini");
  EXPECT_TRUE(platform::GetProfileValue("folder.ini", "files", "main", sz, sizeof(sz)));
  EXPECT_STREQ("", sz);

  // A name without a folder is read from the working directory.
  folder.WriteFile("bare.ini", "[files]\nmain=here\n");
  EXPECT_TRUE(platform::GetProfileValue("bare.ini", "files", "main", sz, sizeof(sz)));
  EXPECT_STREQ("here", sz);

  // Letter case of the path does not matter.
  folder.WriteFile("Sub/Pkg.INI", "[files]\nmain=sub\n");
  const std::string path = std::string("SUB") + platform::PATH_SEPARATOR + "pkg.ini";
  EXPECT_TRUE(platform::GetProfileValue(path, "files", "main", sz, sizeof(sz)));
  EXPECT_STREQ("sub", sz);

  // A file changed since the last reading is read again.
  folder.WriteFile("bare.ini", "[files]\nmain=changed\n");
  EXPECT_TRUE(platform::GetProfileValue("bare.ini", "files", "main", sz, sizeof(sz)));
  EXPECT_STREQ("changed", sz);
}

}  // namespace
