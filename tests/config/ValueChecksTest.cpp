// The checks before a write: heights against the model's limits and levels
// against their neighbours.
#include "config/ValueChecks.h"

#include <gtest/gtest.h>

#include <cmath>
#include <filesystem>

#include "config/ConfigTestModel.h"
#include "config/Selection.h"
#include "support/TestSupport.h"

namespace tolvane::config {
namespace {

class ValueChecks : public ::testing::Test {
 protected:
  ValueChecks() {
    m_.Units({{"Inches", 25.4}, {"Millimeters", 1.0}})
        .Item(0, 8, "A", {1, 2})
        .Config(1, {1},
                {{0, 20, "Lo Span"}, {1, 21, "Lo Alarm"}, {3, 22, "Pump On"}, {4, 23, "Hi Alarm"}, {5, 24, "Level 1"}})
        .Config(2, {2});
    m_->maxSensorHeight = 300;
    m_->minRange = 10;
    StartSelections(*m_, r_);
    EXPECT_TRUE(ChooseOption(*m_, r_, 0, 1));
    r_.sensorHeight = 200;
    r_.fillHeight = 150;
    r_.level = {5, 20, -1, 60, 120, 0};
  }
  test::TestModel m_;
  CONFIG_RECORD r_;
};

TEST_F(ValueChecks, RangeBoundsPassAndEachSideHasItsMessage) {
  EXPECT_EQ(CheckRange("x", 10, 10, 0, 10, 0).result, CHECK_PASS);
  EXPECT_EQ(CheckRange("x", 0, 10, 0, 10, 0).result, CHECK_PASS);
  EXPECT_EQ(CheckRange("x", std::nan(""), 10, 0, 10, 0).result, CHECK_ERROR);
  // Maximum 10, error below 1, warnings above 8 and below 2.
  const std::pair<double, const char*> cases[] = {
      {10.1, "ERROR_MESSAGE47"}, {0.5, "ERROR_MESSAGE48"}, {8.5, "ERROR_MESSAGE50"}, {1.5, "ERROR_MESSAGE51"}};
  for (const auto& [v, key] : cases) {
    const CHECK_RESULT r = CheckRange("Level", v, 10, 1, 8, 2);
    const bool error = v > 10 || v < 1;
    EXPECT_EQ(r.result, error ? CHECK_ERROR : CHECK_WARNING) << v;
    EXPECT_EQ(r.boxType, error ? MB_ERROR : MB_INFO) << v;
    EXPECT_STREQ(r.headKey, error ? "ERROR_MESSAGE46" : "ERROR_MESSAGE49") << v;
    EXPECT_STREQ(r.textKey, key) << v;
    EXPECT_DOUBLE_EQ(r.limit, 10.0) << "every message names the maximum";
  }
}

TEST_F(ValueChecks, SensorHeightAgainstTheModelsMaximum) {
  r_.sensorHeight = 300.0;
  EXPECT_EQ(CheckSensorHeight(*m_, r_).result, CHECK_PASS);
  r_.sensorHeight = 300.1;
  const CHECK_RESULT c = CheckSensorHeight(*m_, r_);
  EXPECT_EQ(c.result, CHECK_ERROR);
  EXPECT_STREQ(c.textKey, "ERROR_MESSAGE47");
  // In millimetres the limit is 7620.
  r_.unitsIndex = 1;
  r_.sensorHeight = 7620;
  EXPECT_EQ(CheckSensorHeight(*m_, r_).result, CHECK_PASS);
  r_.sensorHeight = 7620.1;
  EXPECT_EQ(CheckSensorHeight(*m_, r_).result, CHECK_ERROR);
}

TEST_F(ValueChecks, FillHeightLeavesTheMinimumRange) {
  r_.fillHeight = 190;
  EXPECT_EQ(CheckFillHeight(*m_, r_).result, CHECK_PASS);
  r_.fillHeight = 190.1;
  EXPECT_EQ(CheckFillHeight(*m_, r_).result, CHECK_ERROR);
  // Without a sensor height the maximum sensor height counts.
  r_.sensorHeight = 0;
  r_.fillHeight = 290;
  EXPECT_EQ(CheckFillHeight(*m_, r_).result, CHECK_PASS);
  r_.fillHeight = 290.1;
  const CHECK_RESULT c = CheckFillHeight(*m_, r_);
  EXPECT_EQ(c.result, CHECK_ERROR);
  EXPECT_DOUBLE_EQ(c.limit, 290.0);
}

TEST_F(ValueChecks, LevelsAgainstTheirNeighbours) {
  for (int row = 0; row < 6; ++row) {
    EXPECT_EQ(CheckLevel(*m_, r_, row).result, CHECK_PASS) << row;
  }
  // Pump On (row 3) above Hi Alarm (row 4): the other kind, a warning.
  r_.level[3] = 130;
  CHECK_RESULT c = CheckLevel(*m_, r_, 3);
  EXPECT_EQ(c.result, CHECK_WARNING);
  EXPECT_EQ(c.boxType, static_cast<unsigned>(MB_INFO));
  EXPECT_STREQ(c.textKey, "ERROR_MESSAGE50");
  EXPECT_EQ(c.name, "Pump On");
  r_.level[3] = 60;
  // Hi Alarm (row 4) below Lo Alarm (row 1): its own kind, an error.
  r_.level[4] = 15;
  c = CheckLevel(*m_, r_, 4);
  EXPECT_EQ(c.result, CHECK_ERROR);
  EXPECT_STREQ(c.textKey, "ERROR_MESSAGE48");
  // Hi Alarm below Pump On: a warning.
  r_.level[4] = 50;
  c = CheckLevel(*m_, r_, 4);
  EXPECT_EQ(c.result, CHECK_WARNING);
  EXPECT_STREQ(c.textKey, "ERROR_MESSAGE51");
  // The highest Hi/Lo level may not pass the fill height's limit (S - R).
  r_.level[4] = 190.1;
  EXPECT_EQ(CheckLevel(*m_, r_, 4).result, CHECK_ERROR);
  // A label of neither kind accepts anything.
  r_.level[5] = 5000;
  EXPECT_EQ(CheckLevel(*m_, r_, 5).result, CHECK_PASS);
}

TEST_F(ValueChecks, MessageTextFromTheLanguageFile) {
  CLanguageFile language(std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
  ASSERT_EQ(language.Load("Tolvane_Language.txt"), 0);
  r_.sensorHeight = 300.1;
  EXPECT_EQ(CheckMessageText(CheckSensorHeight(*m_, r_), language, 0),
            "Value out of range:\nSensor height must not be greater than 300.0.");
  EXPECT_EQ(CheckMessageText(CheckRange("x", 1, 2, 0, 2, 0), language, 0), "");
}

}  // namespace
}  // namespace tolvane::config
