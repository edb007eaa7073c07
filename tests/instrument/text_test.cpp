// Version parsing and the bounded text helpers behind every reply and command line.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <string>

#include "instrument/halvex_instrument.h"
#include "instrument/halvex_text.h"

namespace {

std::string VersionOf(const char* text) {
  sVersion version{7, 7, 7};
  EXPECT_TRUE(cHalvexInstrument::ExtractVersion(&version, text));
  return std::to_string(version.major) + "." + std::to_string(version.minor) + "." +
         std::to_string(version.build);
}

TEST(ExtractVersion, ReadsOnlyItsOwnField) {
  EXPECT_EQ(VersionOf("1.2.3"), "1.2.3");
  EXPECT_EQ(VersionOf("12.345.678,GPIB:1.0.0"), "12.345.678");
  // Dots of a later field don't count, and nothing of the previous value is kept.
  EXPECT_EQ(VersionOf("5,GPIB:1.2.3"), "5.0.0");
  EXPECT_EQ(VersionOf("3"), "3.0.0");
  EXPECT_EQ(VersionOf("4.1,FPGA:9.9.9"), "4.1.0");
  EXPECT_EQ(VersionOf(""), "0.0.0");
  EXPECT_EQ(VersionOf("1.-1.0"), "1.-1.0");
  // Numbers beyond 32 bits are clamped.
  EXPECT_EQ(VersionOf("99999999999.-99999999999.2"), "2147483647.-2147483648.2");
}

TEST(TextHelpers, NumbersAndCopies) {
  EXPECT_EQ(halvex::ParseInt("  +42abc"), 42);
  EXPECT_EQ(halvex::ParseInt("-x"), 0);
  EXPECT_EQ(halvex::ParseInt("2147483648"), INT32_MAX);

  // Values are read only from inside the reply.
  EXPECT_FLOAT_EQ(halvex::ParseFloatAt(" 1.5", 1, -1.0f), 1.5f);
  EXPECT_FLOAT_EQ(halvex::ParseFloatAt("x", 1, -1.0f), -1.0f);
  EXPECT_FLOAT_EQ(halvex::ParseFloatAt("abcd", 4, -1.0f), -1.0f);
  EXPECT_FLOAT_EQ(halvex::ParseFloatAt(" -1e60", 1, 0.0f), -HUGE_VALF);
  // A reply with a sign position keeps its sign.
  EXPECT_FLOAT_EQ(halvex::ParseAfterSign("-0.25", 1.0f), -0.25f);
  EXPECT_FLOAT_EQ(halvex::ParseAfterSign("+0.5", 1.0f), 0.5f);
  EXPECT_FLOAT_EQ(halvex::ParseAfterSign(" 14.6959", 1.0f), 14.6959f);
  EXPECT_FLOAT_EQ(halvex::ParseAfterSign("-", 1.0f), 1.0f);

  char szSmall[4];
  halvex::CopyText(szSmall, "abcdef");
  EXPECT_STREQ(szSmall, "abc");
  halvex::CopyTextN(szSmall, "abcdef", 2);
  EXPECT_STREQ(szSmall, "ab");
  halvex::CopyText(szSmall, nullptr);
  EXPECT_STREQ(szSmall, "");
}

TEST(TextHelpers, ExponentHasThreeDigits) {
  char szNumber[32];
  const struct {
    double value;
    const char* text;
  } cases[] = {{1.5, "1.500000e+000"},
               {-0.000125, "-1.250000e-004"},
               {0.0, "0.000000e+000"},
               {1e100, "1.000000e+100"},
               {-2.5e-300, "-2.500000e-300"}};
  for (const auto& each : cases) {
    halvex::FormatExponent(szNumber, sizeof(szNumber), each.value);
    EXPECT_STREQ(szNumber, each.text);
  }
}

TEST(TextHelpers, CommandsThatDoNotFitAreRefused) {
  char szLine[MAX_BUFF_LEN];
  EXPECT_TRUE(halvex::FormatCommand(szLine, "UNITS %s", std::string(247, 'x').c_str()));
  EXPECT_EQ(std::strlen(szLine), 253u);
  EXPECT_FALSE(halvex::FormatCommand(szLine, "UNITS %s", std::string(248, 'x').c_str()));
  EXPECT_STREQ(szLine, "");
}

}  // namespace
