#include "common/CheckedFormat.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(CheckedFormat, FormatsPatternsThatFitTheirArguments) {
  EXPECT_EQ(Format("Code %d", -16), "Code -16");
  EXPECT_EQ(Format("%s version %d.%d", "Tolvane", 2, 7u), "Tolvane version 2.7");
  EXPECT_EQ(Format("%.1f m", 2.26), "2.3 m");
  EXPECT_EQ(Format("%04X", 0xA5u), "00A5");
  EXPECT_EQ(Format("%-5s|", "ab"), "ab   |");
  EXPECT_EQ(Format("100%% done"), "100% done");
  EXPECT_EQ(Format("%ld and %I64d and %lu", 1, 2LL, 3ul), "1 and 2 and 3");
  EXPECT_EQ(Format("%S", "wide"), "wide");
  EXPECT_EQ(Format("%c", 'Z'), "Z");
  EXPECT_EQ(Format("no conversions", 1, 2), "no conversions");  // extra arguments are ignored
}

TEST(CheckedFormat, ReturnsUnsafeOrMismatchedPatternsAsTheyStand) {
  const std::string attack = "%s%s%n%999999999d";
  EXPECT_EQ(Format(attack, "a", "b", 1, 2), attack);
  EXPECT_EQ(Format("%*d", 5, 3), "%*d");
  EXPECT_EQ(Format("%.*f", 2, 1.0), "%.*f");
  EXPECT_EQ(Format("%.1000000000f", 1.0), "%.1000000000f");
  EXPECT_EQ(Format("%.2147483648f", 1.0), "%.2147483648f");
  EXPECT_EQ(Format("%101d", 1), "%101d");
  EXPECT_EQ(Format("%p", 1), "%p");
  EXPECT_EQ(Format("%d %d", 1), "%d %d");       // too few arguments
  EXPECT_EQ(Format("%s", 42), "%s");           // number for a text
  EXPECT_EQ(Format("%d", "text"), "%d");       // text for a number
  EXPECT_EQ(Format("%f", 3), "%f");            // integer for a floating conversion
  EXPECT_EQ(Format("ends with %"), "ends with %");
  EXPECT_EQ(Format("%-%"), "%-%");
  EXPECT_EQ(Format("%100d", 1).size(), 100u);  // the bound itself is allowed
}

TEST(CheckedFormat, PatternFitsAgreesWithFormatting) {
  const std::vector<FormatArg> args{FormatArg{std::string("x")}, FormatArg{1LL}};
  EXPECT_TRUE(PatternFits("%s=%d", args));
  EXPECT_FALSE(PatternFits("%d=%s", args));
  EXPECT_TRUE(PatternFits("plain", {}));
  EXPECT_FALSE(PatternFits("%n", args));
}

}  // namespace
}  // namespace tolvane
