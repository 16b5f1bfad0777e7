// Display values, counts and units: the arithmetic every height and level
// goes through on its way into the page and back.
#include "config/ConfigValues.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "config/ConfigTestModel.h"

namespace tolvane::config {
namespace {

TEST(Counts, RoundToTheNearestCountAndBackToOneDecimal) {
  EXPECT_EQ(ToCounts(10.0, 12.34), 123);
  EXPECT_DOUBLE_EQ(FromCounts(10.0, 123), 12.3);
  EXPECT_EQ(ToCounts(1.0, 2.5), 3);  // halves up
  EXPECT_EQ(ToCounts(25.4, 175.0), 4445);
  EXPECT_DOUBLE_EQ(FromCounts(25.4, 4445), 175.0);
  EXPECT_DOUBLE_EQ(FromCounts(2.54, 100), 39.4);
  EXPECT_DOUBLE_EQ(FromCounts(25.4, 65535), 2580.1);
  // Cut toward zero: a value not set (-1) gives a negative count, never a word.
  EXPECT_EQ(ToCounts(25.4, -1.0), -24);
}

TEST(Counts, ValuesBeyondThirtyTwoBitsSaturate) {
  constexpr auto kMax = std::numeric_limits<std::int32_t>::max();
  constexpr auto kMin = std::numeric_limits<std::int32_t>::min();
  EXPECT_EQ(ToCounts(25.4, 1e300), kMax);
  EXPECT_EQ(ToCounts(25.4, -1e300), kMin);
  EXPECT_EQ(ToCounts(25.4, std::nan("")), kMin);
  EXPECT_EQ(ToCounts(1.0, std::numeric_limits<double>::infinity()), kMax);
}

TEST(Counts, OneDecimalAndItsText) {
  EXPECT_DOUBLE_EQ(D1(12.36), 12.4);
  EXPECT_DOUBLE_EQ(D1(12.34), 12.3);
  EXPECT_EQ(FormatValue(0.0), "0.0");
  EXPECT_EQ(FormatValue(2580.1), "2580.1");
}

TEST(Counts, SnapGivesWhatThePageCanHold) {
  EXPECT_DOUBLE_EQ(*SnapToCounts(10.0, 12.36), 12.4);
  // One decimal of an inch is not a whole millimetre: 12.3 in is 312 mm = 12.28 in.
  EXPECT_DOUBLE_EQ(*SnapToCounts(25.4, 12.3), 12.3);
  EXPECT_DOUBLE_EQ(*SnapToCounts(304.8, 0.04), 0.0);
  EXPECT_DOUBLE_EQ(*SnapToCounts(0.5, 3.3), 4.0);  // two display units per count
  EXPECT_FALSE(SnapToCounts(10.0, -1.0).has_value());
  EXPECT_FALSE(SnapToCounts(std::nullopt, 12.36).has_value());
}

TEST(Units, FactorsOnlyFromTheList) {
  test::TestModel m;
  m.Units({{"Inches", 25.4}, {"Millimeters", 1.0}, {"Broken", 0.0}});
  EXPECT_DOUBLE_EQ(*LinearFactor(*m, 0), 25.4);
  EXPECT_DOUBLE_EQ(*LinearFactor(*m, 1), 1.0);
  EXPECT_FALSE(LinearFactor(*m, 2).has_value()) << "a zero factor would divide by zero";
  EXPECT_FALSE(LinearFactor(*m, 3).has_value()) << "one past the list";
  EXPECT_FALSE(LinearFactor(*m, -1).has_value());

  CONFIG_RECORD r;
  r.unitsIndex = 1;
  EXPECT_DOUBLE_EQ(*HeightFactor(*m, r), 1.0);
  EXPECT_DOUBLE_EQ(*LevelFactor(*m, r), 1.0);
  // Volume units: heights stay in the last linear units; levels need the tank curve.
  r.volumeUnits = true;
  r.unitsIndex = 0;
  r.lastLinearUnits = 1;
  EXPECT_DOUBLE_EQ(*HeightFactor(*m, r), 1.0);
  EXPECT_FALSE(LevelFactor(*m, r).has_value());
}

TEST(Units, ConversionGoesThroughTheCounts) {
  EXPECT_DOUBLE_EQ(ConvertLinear(1.0, 2.54, 100.0), 39.4);
  EXPECT_DOUBLE_EQ(ConvertLinear(25.4, 1.0, 12.3), 312.0);
  EXPECT_DOUBLE_EQ(ConvertLinear(1.0, 25.4, 312.0), 12.3);
  // Beyond one word the value is kept, not wrapped at 65536 counts.
  EXPECT_DOUBLE_EQ(ConvertLinear(1000.0, 1.0, 70.0), 70000.0);
  // A value not set stays not set.
  EXPECT_DOUBLE_EQ(ConvertLinear(1.0, 25.4, -1.0), -1.0);
}

TEST(Units, ModelLimitsInTheShownUnits) {
  test::TestModel m;
  m.Units({{"Inches", 25.4}, {"Feet", 304.8}, {"Millimeters", 1.0}});
  CONFIG_RECORD r;
  EXPECT_DOUBLE_EQ(LimitInUnits(*m, r, 300.0), 300.0);
  r.unitsIndex = 2;
  EXPECT_DOUBLE_EQ(LimitInUnits(*m, r, 300.0), 7620.0);
  r.unitsIndex = 1;
  EXPECT_DOUBLE_EQ(LimitInUnits(*m, r, 300.0), 25.0);
  EXPECT_DOUBLE_EQ(LimitInUnits(*m, r, 10.0), 0.8);
  r.unitsIndex = 7;  // beyond the list: the limit as given
  EXPECT_DOUBLE_EQ(LimitInUnits(*m, r, 300.0), 300.0);
}

}  // namespace
}  // namespace tolvane::config
