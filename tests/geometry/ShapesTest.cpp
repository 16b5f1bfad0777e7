// The tank shape formulas against volumes found another way (slices summed
// numerically), the sampled table, and the dimensions the shapes refuse.
#include <gtest/gtest.h>

#include <cmath>
#include <functional>
#include <limits>
#include <numbers>

#include "geometry/TankShapes.h"

namespace tolvane::geometry {
namespace {

constexpr double kPi = std::numbers::pi;

// The volume below level h as the sum of horizontal slices of area a(y).
double Slices(const std::function<double(double)>& area, double h) {
  const int n = 20000;
  double v = 0.0;
  for (int i = 0; i < n; ++i) {
    v += area((i + 0.5) * h / n) * h / n;
  }
  return v;
}

// Width of a circle of radius r at height y above its lowest point.
double Chord(double r, double y) { return 2.0 * std::sqrt(std::max(0.0, y * (2.0 * r - y))); }

TANK_GEOMETRY Make(std::uint8_t shape, std::array<double, 9> dims, double factor = 1.0) {
  std::string why;
  const auto g = MakeGeometry(shape, dims, factor, &why);
  EXPECT_TRUE(g.has_value()) << why;
  return g.value_or(TANK_GEOMETRY{});
}

TEST(TankShapes, VolumesAgreeWithSlices) {
  const double r = 500.0, len = 3000.0, e = 200.0;
  const auto flat = Make(SHAPE_HORIZONTAL_FLAT, {1000.0, 3000.0});
  const auto dished = Make(SHAPE_HORIZONTAL_DISHED, {1000.0, 3000.0, 200.0});
  const auto cone = Make(SHAPE_VERTICAL_CONE, {1000.0, 2000.0, 600.0, 100.0});
  const auto sphere = Make(SHAPE_SPHERE, {1000.0});
  const auto box = Make(SHAPE_RECTANGULAR_SLOPED, {2000.0, 1000.0, 1500.0, 300.0});
  for (const double h : {0.0, 10.0, 250.0, 500.0, 777.0, 1000.0}) {
    // Horizontal cylinder: chord × length; each dished end adds a half
    // ellipse of semi-axes chord/2 and e × chord / (2r).
    const double flatV = Slices([&](double y) { return Chord(r, y) * len; }, h);
    const double dishedV = Slices(
        [&](double y) {
          const double c = Chord(r, y);
          // Two half ellipses make one whole: pi × (c/2) × (e c / 2r).
          return c * len + kPi * (c / 2.0) * (e * c / (2.0 * r));
        },
        h);
    EXPECT_NEAR(VolumeAt(flat, h), flatV, 1e-5 * (flatV + 1.0)) << h;
    EXPECT_NEAR(VolumeAt(dished, h), dishedV, 1e-5 * (dishedV + 1.0)) << h;
    const double sphereV = Slices([&](double y) { return kPi * (Chord(r, y) / 2.0) * (Chord(r, y) / 2.0); }, h);
    EXPECT_NEAR(VolumeAt(sphere, h), sphereV, 1e-5 * (sphereV + 1.0)) << h;
  }
  for (const double h : {0.0, 300.0, 600.0, 1200.0, 2000.0}) {
    const double coneV = Slices(
        [&](double y) {
          const double rr = y < 600.0 ? 50.0 + (500.0 - 50.0) * y / 600.0 : 500.0;
          return kPi * rr * rr;
        },
        h);
    EXPECT_NEAR(VolumeAt(cone, h), coneV, 1e-5 * (coneV + 1.0)) << h;
  }
  for (const double h : {0.0, 150.0, 300.0, 900.0, 1500.0}) {
    const double boxV = Slices([&](double y) { return std::min(1.0, y / 300.0) * 2000.0 * 1000.0; }, h);
    EXPECT_NEAR(VolumeAt(box, h), boxV, 1e-5 * (boxV + 1.0)) << h;
  }
  // Above the top nothing more fits; below the bottom nothing is there.
  EXPECT_DOUBLE_EQ(VolumeAt(sphere, 5000.0), 4.0 / 3.0 * kPi * r * r * r);
  EXPECT_DOUBLE_EQ(VolumeAt(sphere, -5.0), 0.0);
}

TEST(TankShapes, SampledTableFitsTheRecord) {
  const auto g = Make(SHAPE_HORIZONTAL_DISHED, {48.0, 120.0, 12.0, 6.0}, 25.4);
  const STRAPPING_SAMPLE s = SampleTable(g);
  EXPECT_EQ(s.maxRawLevel, 1220);  // ceil(48 × 25.4)
  EXPECT_EQ(s.step, 5);
  EXPECT_EQ(s.pointCount, 245);
  EXPECT_LE(s.pointCount, 249);
  EXPECT_GE((s.pointCount - 1) * s.step, s.maxRawLevel);
  EXPECT_EQ(s.table[0], 0);
  EXPECT_EQ(s.table[s.pointCount - 1u], 65535);
  for (std::size_t i = 1; i < s.pointCount; ++i) {
    ASSERT_GE(s.table[i], s.table[i - 1]) << i;
    const double exact = VolumeAt(g, static_cast<double>(i * s.step));
    EXPECT_NEAR(s.table[i] * static_cast<double>(s.volumeScale), exact, s.fullVolume * 1e-5) << i;
  }
  // A tiny tank: one raw unit per step, a point per unit.
  const STRAPPING_SAMPLE small = SampleTable(Make(SHAPE_SPHERE, {10.0}));
  EXPECT_EQ(small.step, 1);
  EXPECT_EQ(small.pointCount, 11);
}

TEST(TankShapes, RefusedDimensions) {
  const double nan = std::numeric_limits<double>::quiet_NaN();
  const struct {
    std::uint8_t shape;
    std::array<double, 9> dims;
    double factor;
  } bad[] = {
      {SHAPE_SPHERE, {0.0}, 25.4},
      {SHAPE_SPHERE, {-10.0}, 25.4},
      {SHAPE_SPHERE, {nan}, 25.4},
      {SHAPE_SPHERE, {1e30}, 25.4},
      {SHAPE_SPHERE, {100.0, -1.0}, 25.4},
      {SHAPE_SPHERE, {100.0}, 0.0},
      {SHAPE_SPHERE, {100.0}, nan},
      {SHAPE_HORIZONTAL_FLAT, {48.0, 0.0}, 25.4},
      {SHAPE_HORIZONTAL_DISHED, {48.0, 120.0, 0.0}, 25.4},
      {SHAPE_HORIZONTAL_DISHED, {48.0, 120.0, 24.1}, 25.4},
      {SHAPE_VERTICAL_CONE, {48.0, 60.0, 61.0}, 25.4},
      {SHAPE_VERTICAL_CONE, {48.0, 60.0, 20.0, 48.0}, 25.4},
      {SHAPE_RECTANGULAR_SLOPED, {100.0, 50.0, 60.0, 61.0}, 25.4},
      {SHAPE_SPHERE, {2600.0}, 25.4},  // taller than the table covers
      {SHAPE_SPHERE, {1.0}, 1.0},      // below the sensor's resolution
      {9, {100.0}, 25.4},
  };
  for (const auto& b : bad) {
    std::string why;
    EXPECT_FALSE(MakeGeometry(b.shape, b.dims, b.factor, &why).has_value())
        << int(b.shape) << " " << b.dims[0] << " " << b.dims[1] << " " << b.dims[2];
    EXPECT_FALSE(why.empty());
  }
  // The edges that are allowed: a dished end as deep as the radius, a cone
  // as tall as the tank, a flat rectangular bottom, a pointed cone.
  EXPECT_TRUE(MakeGeometry(SHAPE_HORIZONTAL_DISHED, {48.0, 120.0, 24.0}, 25.4, nullptr).has_value());
  EXPECT_TRUE(MakeGeometry(SHAPE_VERTICAL_CONE, {48.0, 60.0, 60.0, 0.0}, 25.4, nullptr).has_value());
  EXPECT_TRUE(MakeGeometry(SHAPE_RECTANGULAR_SLOPED, {100.0, 50.0, 60.0, 0.0}, 25.4, nullptr).has_value());
}

}  // namespace
}  // namespace tolvane::geometry
