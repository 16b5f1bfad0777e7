// The record's table and unit arithmetic: look-ups both ways, the unit pair,
// the nine-character volume text and the level control conversions.
#include <gtest/gtest.h>

#include <cmath>

#include "geometry/NonLinearData.h"

namespace tolvane::geometry {
namespace {

CNonLinearData ThreePoints() {
  CNonLinearData d;
  d.step = 10;
  d.pointCount = 3;
  d.table[0] = 0;
  d.table[1] = 100;
  d.table[2] = 300;
  d.maxRawLevel = 20;
  d.SetOn(true);
  return d;
}

TEST(TableLookup, InterpolatesBothWays) {
  const CNonLinearData d = ThreePoints();
  EXPECT_EQ(d.TableLevelToVolume(15), 200);
  EXPECT_EQ(d.TableVolumeToLevel(200), 15);
  EXPECT_EQ(d.TableLevelToVolume(0), 0);
  EXPECT_EQ(d.TableLevelToVolume(10), 100);
  EXPECT_EQ(d.TableLevelToVolume(3), 30);
  EXPECT_EQ(d.TableVolumeToLevel(0), 0);
  EXPECT_EQ(d.TableVolumeToLevel(100), 10);
  EXPECT_EQ(d.TableVolumeToLevel(300), 20);
}

TEST(TableLookup, OutsideTheTable) {
  const CNonLinearData d = ThreePoints();
  // A raw volume above every entry has no level.
  EXPECT_EQ(d.TableVolumeToLevel(301), kNoLevel);
  // A raw level past the last point reads the last entry, never beyond the table.
  EXPECT_EQ(d.TableLevelToVolume(20), 300);
  EXPECT_EQ(d.TableLevelToVolume(25), 300);
  EXPECT_EQ(d.TableLevelToVolume(0xFFFF), 300);
  CNonLinearData empty;
  empty.pointCount = 0;
  EXPECT_EQ(empty.TableLevelToVolume(5), 0);
  EXPECT_EQ(empty.TableVolumeToLevel(5), kNoLevel);
}

TEST(TableLookup, FlatAndFallingSegmentsAndFullScale) {
  CNonLinearData d = ThreePoints();
  d.table[1] = 0;  // equal neighbours: no division by zero, the first level of the volume
  EXPECT_EQ(d.TableVolumeToLevel(0), 0);
  EXPECT_EQ(d.TableVolumeToLevel(150), 15);
  // A falling segment is found as well (either order of its ends).
  CNonLinearData f = ThreePoints();
  f.table[0] = 300;
  f.table[1] = 100;
  f.table[2] = 0;
  EXPECT_EQ(f.TableVolumeToLevel(200), 5);
  // Full 16-bit volumes with a large step: the products exceed 16 bits.
  CNonLinearData big;
  big.step = 255;
  big.pointCount = 2;
  big.table[0] = 0;
  big.table[1] = 65535;
  EXPECT_EQ(big.TableVolumeToLevel(65535), 255);
  EXPECT_EQ(big.TableVolumeToLevel(32768), 128);
  EXPECT_EQ(big.TableLevelToVolume(128), static_cast<std::uint16_t>(128u * 65535u / 255u));
}

TEST(UnitArithmetic, VolumeUnitAndRawValues) {
  CNonLinearData d = ThreePoints();
  d.volumeOffset = 10.0f;
  d.volumeScale = 2.0f;
  d.baseFactor = 2.0;
  ASSERT_TRUE(d.SetVolumeUnit(0.5));  // k = 0.5 * 8 = 4
  EXPECT_FLOAT_EQ(d.displayOffset, 2.5f);
  EXPECT_FLOAT_EQ(d.displayScale, 0.5f);
  EXPECT_DOUBLE_EQ(d.RawToVolume(100, true), 52.5);
  EXPECT_DOUBLE_EQ(d.RawToVolume(100, false), 210.0);
  EXPECT_EQ(d.VolumeToRaw(52.5), 100);
  EXPECT_EQ(d.VolumeToRaw(52.7), 100);
  EXPECT_EQ(d.VolumeToRaw(52.8), 101);
  // Outside the table's volumes: refused by the checked form, saturated by the plain one.
  EXPECT_FALSE(d.VolumeToRawChecked(1e30).has_value());
  EXPECT_FALSE(d.VolumeToRawChecked(-5.0).has_value());
  EXPECT_FALSE(d.VolumeToRawChecked(std::nan("")).has_value());
  EXPECT_FALSE(d.VolumeToRawChecked(2.5 + 0.5 * 301).has_value());
  EXPECT_EQ(d.VolumeToRaw(1e30), 0xFFFF);
  EXPECT_EQ(d.VolumeToRaw(-1e30), 0);
  // A factor that gives no unit changes nothing.
  EXPECT_FALSE(d.SetVolumeUnit(0.0));
  EXPECT_FALSE(d.SetVolumeUnit(std::nan("")));
  EXPECT_FLOAT_EQ(d.displayScale, 0.5f);
}

TEST(UnitArithmetic, RawLevelToLevel) {
  CNonLinearData d = ThreePoints();
  d.maxRawLevel = 100;
  EXPECT_DOUBLE_EQ(d.RawLevelToLevel(50, 1, 1), 50.0);
  EXPECT_DOUBLE_EQ(d.RawLevelToLevel(50, 25.4, 1), 50.0 / 25.4);
  EXPECT_DOUBLE_EQ(d.RawLevelToLevel(500, 2, 3), 150.0);  // capped at the maximum raw level
}

TEST(FormatDisplay, NineCharactersFromTheRight) {
  CNonLinearData d;
  d.displayOffset = 0.0f;
  d.displayScale = 0.5f;
  EXPECT_EQ(d.FormatDisplay(1), "   0.5000");
  d.displayScale = 123.456f;
  EXPECT_EQ(d.FormatDisplay(1), "   123.46");
  d.displayScale = 12345.0f;
  EXPECT_EQ(d.FormatDisplay(1), "   12345.");
  d.displayScale = 1.0f;
  EXPECT_EQ(d.FormatDisplay(0), "   0.0000");
  d.displayOffset = -3.25f;  // the sign is not shown
  EXPECT_EQ(d.FormatDisplay(0), "   3.2500");
  d.displayOffset = 0.0f;
  d.displayScale = 999.996f;  // rounds up into the next decimals' field
  EXPECT_EQ(d.FormatDisplay(1), "  1000.00");
  EXPECT_EQ(d.FormatDisplay(1).size(), 9u);
}

TEST(ConvertLevelDisplay, AllFourModesAndBadOnes) {
  CNonLinearData d = ThreePoints();
  d.volumeScale = 1.0f;
  d.baseFactor = 1.0;
  // 0: length to length through the counts.
  EXPECT_EQ(ConvertLevelDisplay(d, CONVERT_LENGTH_TO_LENGTH, 25.4, 304.8, 12.0), 1.0);
  // 2: level 15 counts in units of 1 count: raw volume 200, in a unit of 2 per volume: 100.
  EXPECT_EQ(ConvertLevelDisplay(d, CONVERT_LENGTH_TO_VOLUME, 1.0, 2.0, 15.0), 100.0);
  // 1: back again.
  EXPECT_EQ(ConvertLevelDisplay(d, CONVERT_VOLUME_TO_LENGTH, 2.0, 1.0, 100.0), 15.0);
  // 3: between two volume units.
  EXPECT_EQ(ConvertLevelDisplay(d, CONVERT_VOLUME_TO_VOLUME, 2.0, 4.0, 100.0), 50.0);
  EXPECT_FALSE(ConvertLevelDisplay(d, 4, 1.0, 1.0, 1.0).has_value());
  EXPECT_FALSE(ConvertLevelDisplay(d, -1, 1.0, 1.0, 1.0).has_value());
  // A volume outside the table is refused.
  EXPECT_FALSE(ConvertLevelDisplay(d, CONVERT_VOLUME_TO_LENGTH, 1.0, 1.0, 301.0).has_value());
  EXPECT_FALSE(ConvertLevelDisplay(d, CONVERT_LENGTH_TO_VOLUME, 1.0, 1.0, 1e30).has_value());
}

TEST(Record, OffValuesAndHeights) {
  CNonLinearData d;
  d.SetOn(true);
  d.levelRange[4] = 7.0;
  d.SetOffValues();
  EXPECT_DOUBLE_EQ(d.levelRange[4], 92.4333);
  EXPECT_EQ(d.maxRawLevel, 0xFFFF);
  EXPECT_DOUBLE_EQ(d.baseFactor, 709.0);
  EXPECT_TRUE(d.On());  // the off-values do not switch it off
  d.SetOn(false);
  EXPECT_FALSE(d.On());
  // Results cut to 16 bits before the unit.
  EXPECT_DOUBLE_EQ(HeightFromResult(1000.0, 25.4), 39.4);
  EXPECT_DOUBLE_EQ(HeightFromResult(1e9, 1.0), 65535.0);
  EXPECT_DOUBLE_EQ(HeightFromResult(-5.0, 1.0), 0.0);
  EXPECT_DOUBLE_EQ(HeightFromResult(std::nan(""), 1.0), 0.0);
}

}  // namespace
}  // namespace tolvane::geometry
