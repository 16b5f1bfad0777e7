// The units box: what a change of units does to the shown heights and levels.
#include "config/UnitsChange.h"

#include <gtest/gtest.h>

#include "config/ConfigTestModel.h"
#include "config/Selection.h"

namespace tolvane::config {
namespace {

// A tank curve for the tests: volume unit u holds (u + 1) * 100 counts per unit.
class LinearTank : public IVolumeLevels {
 public:
  std::optional<std::int32_t> ToCounts(std::int32_t u, double v) const override {
    return static_cast<std::int32_t>(v * (u + 1) * 100.0 + 0.5);
  }
  std::optional<double> FromCounts(std::int32_t u, std::int32_t counts) const override {
    return counts / ((u + 1) * 100.0);
  }
};

class UnitsChange : public ::testing::Test {
 protected:
  UnitsChange() {
    m_.Units({{"Millimeters", 1.0}, {"Tenths", 2.54}, {"Inches", 25.4}})
        .Item(0, 8, "A", {1, 2})
        .Config(1, {1}, {{0, 20, "Lo Alarm"}, {4, 24, "Hi Alarm"}})
        .Config(2, {2});
    m_->volumeUnitNames[0] = "Litres";
    m_->volumeUnitNames[1] = "Gallons";
    m_->volumeUnitsCount = 2;
    StartSelections(*m_, r_);
    EXPECT_TRUE(ChooseOption(*m_, r_, 0, 1));
    r_.sensorHeight = 100.0;
    r_.fillHeight = 80.0;
    r_.level = {10.0, 7.0, -1.0, -1.0, 50.0, 3.0};
  }
  test::TestModel m_;
  CONFIG_RECORD r_;
  LinearTank tank_;
};

TEST_F(UnitsChange, LinearUnitsConvertHeightsAndTheLevelsInUse) {
  EXPECT_EQ(UnitsEntryCount(*m_), 5);
  EXPECT_EQ(UnitsEntryName(*m_, 3), "Litres");
  EXPECT_EQ(UnitsEntryName(*m_, 5), "");
  ASSERT_TRUE(ChangeUnits(*m_, r_, 1));
  EXPECT_EQ(r_.unitsIndex, 1);
  EXPECT_EQ(r_.lastLinearUnits, 1);
  EXPECT_DOUBLE_EQ(r_.sensorHeight, 39.4);  // 100 counts
  EXPECT_DOUBLE_EQ(r_.fillHeight, 31.5);
  EXPECT_DOUBLE_EQ(r_.level[0], 3.9);
  EXPECT_DOUBLE_EQ(r_.level[4], 19.7);
  EXPECT_DOUBLE_EQ(r_.level[1], 7.0) << "a row the configuration does not use";
  EXPECT_DOUBLE_EQ(r_.level[2], -1.0);

  // Without a matched configuration only the heights move.
  r_.configIndex = -1;
  ASSERT_TRUE(ChangeUnits(*m_, r_, 0));
  EXPECT_DOUBLE_EQ(r_.sensorHeight, 100.0);
  EXPECT_DOUBLE_EQ(r_.level[4], 19.7);
}

TEST_F(UnitsChange, VolumeUnitsMoveOnlyTheLevels) {
  ASSERT_TRUE(ChangeUnits(*m_, r_, 4, &tank_));  // Gallons: 200 counts per unit
  EXPECT_TRUE(r_.volumeUnits);
  EXPECT_EQ(r_.unitsIndex, 1);
  EXPECT_DOUBLE_EQ(r_.sensorHeight, 100.0);
  EXPECT_DOUBLE_EQ(r_.level[4], 0.25);
  ASSERT_TRUE(ChangeUnits(*m_, r_, 3, &tank_));  // Litres
  EXPECT_DOUBLE_EQ(r_.level[4], 0.5);
  // Back to a linear unit: the heights come from the unit they were left in.
  ASSERT_TRUE(ChangeUnits(*m_, r_, 2, &tank_));
  EXPECT_FALSE(r_.volumeUnits);
  EXPECT_DOUBLE_EQ(r_.sensorHeight, 3.9);
  EXPECT_DOUBLE_EQ(r_.level[4], 2.0);
  EXPECT_EQ(r_.lastLinearUnits, 2);
  // And the next volume round trip starts from there.
  ASSERT_TRUE(ChangeUnits(*m_, r_, 3, &tank_));
  ASSERT_TRUE(ChangeUnits(*m_, r_, 0, &tank_));
  EXPECT_DOUBLE_EQ(r_.sensorHeight, 99.0);  // 3.9 in
}

TEST_F(UnitsChange, ChangesThatCannotBeMadeChangeNothing) {
  const CONFIG_RECORD before = r_;
  EXPECT_FALSE(ChangeUnits(*m_, r_, 5));
  EXPECT_FALSE(ChangeUnits(*m_, r_, -1));
  EXPECT_FALSE(ChangeUnits(*m_, r_, 3)) << "volume units without a tank curve";
  m_->unitFactors[2] = 0.0;
  EXPECT_FALSE(ChangeUnits(*m_, r_, 2));
  EXPECT_EQ(r_.unitsIndex, before.unitsIndex);
  EXPECT_FALSE(r_.volumeUnits);
  EXPECT_EQ(r_.level, before.level);
  EXPECT_DOUBLE_EQ(r_.sensorHeight, before.sensorHeight);
}

TEST_F(UnitsChange, PreferredUnitsAndTheRevisionLine) {
  EXPECT_EQ(PreferredUnitsToStore(*m_, r_, "Millimeters"), std::nullopt);
  ASSERT_TRUE(ChangeUnits(*m_, r_, 2));
  EXPECT_EQ(PreferredUnitsToStore(*m_, r_, "Millimeters"), "Inches");
  ASSERT_TRUE(ChangeUnits(*m_, r_, 3, &tank_));
  EXPECT_EQ(PreferredUnitsToStore(*m_, r_, "Millimeters"), std::nullopt);

  EXPECT_EQ(SoftwareRevisionText("SW REV", 123), "SW REV:  12.3");
  EXPECT_EQ(SoftwareRevisionText("SW REV", 99), "SW REV:  99");
  EXPECT_EQ(SoftwareRevisionText("SW REV", 100), "SW REV:  10.0");
}

}  // namespace
}  // namespace tolvane::config
