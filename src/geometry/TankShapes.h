// Level-to-volume formulas of the tank shapes our calculation component
// serves, and the strapping table sampled from them. Pure functions on the
// dimensions in raw level units; the component and the tests share them.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace tolvane::geometry {

// Selection codes of the shapes.
enum TANK_SHAPE : std::uint8_t {
  SHAPE_HORIZONTAL_FLAT = 1,     // D0 diameter, D1 shell length, D3 sensor standoff
  SHAPE_HORIZONTAL_DISHED = 2,   // D0 diameter, D1 shell length, D2 depth of each dished end, D3 standoff
  SHAPE_VERTICAL_CONE = 3,       // D0 diameter, D1 overall height, D2 cone height, D3 outlet diameter, D4 standoff
  SHAPE_SPHERE = 4,              // D0 diameter, D1 standoff
  SHAPE_RECTANGULAR_SLOPED = 5,  // D0 length, D1 width, D2 overall height, D3 drop of the bottom, D4 standoff
};

// A shape with its dimensions in raw level units, checked.
struct TANK_GEOMETRY {
  std::uint8_t shape = 0;
  double a = 0, b = 0, c = 0, d = 0;  // the shape's dimensions in its order above
  double height = 0;                  // overall height
  double standoff = 0;                // sensor above the top of the tank
};

// The shape for the dimensions (dimension unit) and factor (raw level units
// per dimension unit); none with the reason in `why` when the dimensions are
// refused: not a finite positive number where one is needed, a negative one
// anywhere, a dished end deeper than the radius, a cone taller than the tank,
// an outlet wider than the tank, a tank taller than the table can cover.
std::optional<TANK_GEOMETRY> MakeGeometry(std::uint8_t shape, const std::array<double, 9>& dims, double factor,
                                          std::string* why);

// Volume in raw level units cubed at level h (clamped to 0..height).
double VolumeAt(const TANK_GEOMETRY& g, double h);
// The shape's name for the curve caption.
std::string ShapeName(std::uint8_t shape);

// The strapping table sampled from the formula.
struct STRAPPING_SAMPLE {
  std::uint16_t maxRawLevel = 0;
  std::uint8_t pointCount = 0;
  std::uint8_t step = 0;
  std::array<std::uint16_t, 249> table{};
  float volumeOffset = 0.0f;
  float volumeScale = 0.0f;
  double fullVolume = 0.0;
};
STRAPPING_SAMPLE SampleTable(const TANK_GEOMETRY& g);

}  // namespace tolvane::geometry
