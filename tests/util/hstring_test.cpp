#include "util/hstring.h"

#include <gtest/gtest.h>

#include <climits>
#include <locale>
#include <string>

namespace {

// A result is a string the operation keeps: it outlives the object and stays right whichever
// objects were used before (what a caller keeps longer, it copies).
TEST(HString, ResultsOutliveTheirObjectAndAreRightAfterUseOfOthers) {
  const std::string* kept[5];
  {
    cHString gone;
    gone.SetString(" Gone.PKG,2\r\n");
    kept[0] = &gone.GetString();
    kept[1] = &gone.GetStringNoTerm();
    kept[2] = &gone.GetStringTrimmedAllCaps();
    kept[3] = &gone.GetString(1, ',');
    kept[4] = &cHString::Trim(gone.GetStringAllLower());
  }
  EXPECT_EQ(*kept[0], " Gone.PKG,2\r\n");
  EXPECT_EQ(*kept[1], " Gone.PKG,2");
  EXPECT_EQ(*kept[2], "GONE.PKG,2");
  EXPECT_EQ(*kept[3], "2\r\n");
  EXPECT_EQ(*kept[4], "gone.pkg,2");

  // Each operation on a after the same or an inner operation ran on b gives a's own text.
  cHString a, b;
  a.SetString("  First,10\r\n");
  b.SetString("Second,20,30\n");
  b.GetStringNoTerm();
  EXPECT_EQ(a.GetStringAllCaps(), "  FIRST,10");
  b.GetStringAllLower();
  EXPECT_EQ(a.GetStringTrimmedAllLower(), "first,10");
  cHString::Trim(" other ");
  EXPECT_EQ(a.GetStringTrimmed(), "First,10");
  b.Split(2, ',');
  EXPECT_EQ(a.GetUnsigned(1), 10);
  EXPECT_EQ(a.GetString(0, ','), "  First");

  // What a caller keeps it copies; the copy is not touched by later calls on other objects.
  const std::string copy = a.GetStringNoTerm();
  b.GetStringNoTerm();
  EXPECT_EQ(copy, "  First,10");
}

TEST(HString, TrimCharacterSetIsExact) {
  // 0x01-0x09, 0x0B-0x20 and 0xFF are trimmed; LF, NUL and every other byte stay.
  for (int c = 0; c < 256; ++c) {
    const char ch = static_cast<char>(c);
    const bool bTrim = (c >= 0x01 && c <= 0x09) || (c >= 0x0B && c <= 0x20) || c == 0xFF;
    const std::string s = std::string(1, ch) + "x" + std::string(1, ch);
    EXPECT_EQ(cHString::Trim(s), bTrim ? std::string("x") : s) << "byte " << c;
  }
  EXPECT_EQ(cHString::Trim("  abc \t"), "abc");
  EXPECT_EQ(cHString::Trim("\r\tabc\xff\r"), "abc");
  EXPECT_EQ(cHString::Trim("abc\n"), "abc\n");
  EXPECT_EQ(cHString::Trim("\n abc"), "\n abc");
  EXPECT_EQ(cHString::Trim(" \n "), "\n");
  // Only trim characters (or nothing): unchanged, not emptied.
  EXPECT_EQ(cHString::Trim("   "), "   ");
  EXPECT_EQ(cHString::Trim("\t\r\xff"), "\t\r\xff");
  EXPECT_EQ(cHString::Trim(""), "");
}

TEST(HString, TerminatorCaseAndTrimmedForms) {
  cHString s;
  EXPECT_EQ(s.SetString("COM3\r\n").GetStringNoTerm(), "COM3");
  EXPECT_EQ(s.SetString("\nabc").GetStringNoTerm(), "");
  EXPECT_EQ(s.SetString("ab\rc\nd").GetStringNoTerm(), "ab");
  EXPECT_EQ(s.SetString("abc").GetStringNoTerm(), "abc");

  // Only A-Z and a-z change case; bytes above 0x7F stay as they are.
  s.SetString("aZ09_\xc4\xe4\r\nTAIL");
  EXPECT_EQ(s.GetStringAllLower(), "az09_\xc4\xe4");
  EXPECT_EQ(s.GetStringAllCaps(), "AZ09_\xc4\xe4");

  EXPECT_EQ(s.SetString(" MyPkg.PKG ").GetStringTrimmedAllLower(), "mypkg.pkg");
  EXPECT_EQ(s.SetString("\t my.pkg \r\n").GetStringTrimmedAllCaps(), "MY.PKG");
  // The terminator is cut before trimming, so what follows it never shows.
  EXPECT_EQ(s.SetString(" a \n b ").GetStringTrimmed(), "a");
}

TEST(HString, FieldsWithEmptyAndMissingFields) {
  cHString s;
  s.SetString("a,b,,c");
  EXPECT_EQ(s.Split(0, ','), "a");
  EXPECT_EQ(s.Split(1, ','), "b");
  EXPECT_EQ(s.Split(2, ','), "");
  EXPECT_EQ(s.Split(3, ','), "c");
  EXPECT_EQ(s.Split(4, ','), "");
  EXPECT_EQ(s.Split(UINT_MAX, ','), "");
  EXPECT_EQ(s.SplitLength(','), 4u);
  EXPECT_EQ(s.SplitLength(';'), 1u);
  EXPECT_EQ(s.Split(0, ';'), "a,b,,c");

  s.SetString(",x,");
  EXPECT_EQ(s.Split(0, ','), "");
  EXPECT_EQ(s.Split(1, ','), "x");
  EXPECT_EQ(s.Split(2, ','), "");
  EXPECT_EQ(s.SplitLength(','), 3u);

  s.SetString("abc");
  EXPECT_EQ(s.Split(1, ','), "");
  EXPECT_EQ(s.GetString(0, ','), "abc");

  s.Clear();
  EXPECT_EQ(s.Split(0, ','), "");
  EXPECT_EQ(s.Split(1, ','), "");
  EXPECT_EQ(s.SplitLength(','), 1u);
}

TEST(HString, UnsignedNumbers) {
  cHString s;
  s.SetString("12,34");
  EXPECT_EQ(s.GetUnsigned(0), 12);
  EXPECT_EQ(s.GetUnsigned(1), 34);
  EXPECT_EQ(s.GetUnsigned(2), 0);
  EXPECT_EQ(s.SetString("x1").GetUnsigned(0), 0);
  EXPECT_EQ(s.SetString(" 7x").GetUnsigned(0), 7);
  EXPECT_EQ(s.SetString("-3").GetUnsigned(0), -3);
  // Beyond int the value saturates instead of wrapping into a small number.
  EXPECT_EQ(s.SetString("4294967301").GetUnsigned(0), INT_MAX);
  EXPECT_EQ(s.SetString("99999999999999999999999").GetUnsigned(0), INT_MAX);
  EXPECT_EQ(s.SetString("-99999999999999999999999").GetUnsigned(0), INT_MIN);

  EXPECT_FALSE(s.SetString("").isUnsignedNumber());
  EXPECT_TRUE(s.SetString("0042").isUnsignedNumber());
  EXPECT_FALSE(s.SetString("-1").isUnsignedNumber());
  EXPECT_FALSE(s.SetString("+1").isUnsignedNumber());
  EXPECT_FALSE(s.SetString("1 ").isUnsignedNumber());
  EXPECT_FALSE(s.SetString("1.0").isUnsignedNumber());
  EXPECT_FALSE(s.SetString("9600\r").isUnsignedNumber());
  EXPECT_FALSE(s.SetString(std::string("12\0"
                                       "3",
                                       4))
                   .isUnsignedNumber());
}

TEST(HString, NumbersAndCharactersToText) {
  cHString s;
  EXPECT_EQ(s.SetString('7').GetString(), "7");
  EXPECT_EQ(s.SetString(static_cast<unsigned char>(65)).GetString(), "A");
  EXPECT_EQ(s.SetString(static_cast<short>(-5)).GetString(), "-5");
  EXPECT_EQ(s.SetString(static_cast<short>(SHRT_MIN)).GetString(), "-32768");
  EXPECT_EQ(s.SetString(INT_MIN).GetString(), "-2147483648");

  // Always three exponent digits (more when needed), whatever the C library writes.
  EXPECT_EQ(s.SetString(0.0).GetString(), "0.0000000000e+000");
  EXPECT_EQ(s.SetString(1.5).GetString(), "1.5000000000e+000");
  EXPECT_EQ(s.SetString(1.5f).GetString(), "1.5000000000e+000");
  EXPECT_EQ(s.SetString(-2.5e-7).GetString(), "-2.5000000000e-007");
  EXPECT_EQ(s.SetString(123456789.0).GetString(), "1.2345678900e+008");
  EXPECT_EQ(s.SetString(0.999999999999).GetString(), "1.0000000000e+000");
  EXPECT_EQ(s.SetString(1e100).GetString(), "1.0000000000e+100");
  EXPECT_EQ(s.SetString(1e-300).GetString(), "1.0000000000e-300");
  EXPECT_EQ(s.SetString(0.1f).GetString(), "1.0000000149e-001");
}

// A program-wide locale with a decimal comma and digit grouping must not reach the text.
struct cCommaPunct : std::numpunct<char> {
  char do_decimal_point() const override { return ','; }
  char do_thousands_sep() const override { return '.'; }
  std::string do_grouping() const override { return "\3"; }
};

TEST(HString, NumbersIgnoreTheGlobalLocale) {
  const std::locale previous =
      std::locale::global(std::locale(std::locale::classic(), new cCommaPunct));
  cHString s;
  const std::string integer = s.SetString(1234567).GetString();
  const std::string real = s.SetString(1234.5).GetString();
  std::locale::global(previous);
  EXPECT_EQ(integer, "1234567");
  EXPECT_EQ(real, "1.2345000000e+003");
}

TEST(HString, CopyClearAndEndsWith) {
  cHString a, b;
  a.SetString("a.pkg");
  b = a;
  a.SetString("changed");
  EXPECT_EQ(b.GetString(), "a.pkg");
  b = b;
  EXPECT_EQ(b.GetString(), "a.pkg");
  EXPECT_EQ(b.SetString(static_cast<const char*>(nullptr)).GetString(), "");

  EXPECT_TRUE(a.SetString("a.pkg").EndsWith(".pkg"));
  EXPECT_TRUE(a.EndsWith(""));
  EXPECT_FALSE(a.EndsWith("xa.pkg"));
  EXPECT_FALSE(a.SetString("a.pkgx").EndsWith(".pkg"));
  EXPECT_FALSE(a.SetString("pkg").EndsWith(".pkg"));
  EXPECT_FALSE(a.SetString("a.PKG").EndsWith(".pkg"));
  a.Clear();
  EXPECT_TRUE(a.EndsWith(""));
  EXPECT_FALSE(a.EndsWith("x"));
}

}  // namespace
