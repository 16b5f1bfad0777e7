#include "geometry/TankShapes.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace tolvane::geometry {

namespace {

constexpr double kPi = std::numbers::pi;
// The table covers at most 248 steps of 255 raw level units.
constexpr double kMaxHeight = 248.0 * 255.0;

// Area of the circular segment of radius r filled to depth h.
double SegmentArea(double r, double h) {
  h = std::clamp(h, 0.0, 2.0 * r);
  const double x = std::clamp((r - h) / r, -1.0, 1.0);
  return r * r * std::acos(x) - (r - h) * std::sqrt(std::max(0.0, h * (2.0 * r - h)));
}

// Volume of a sphere of radius r filled to depth h.
double SphereCap(double r, double h) {
  h = std::clamp(h, 0.0, 2.0 * r);
  return kPi * h * h * (3.0 * r - h) / 3.0;
}

bool Positive(double x) { return std::isfinite(x) && x > 0.0; }
bool NotNegative(double x) { return std::isfinite(x) && x >= 0.0; }

}  // namespace

std::string ShapeName(std::uint8_t shape) {
  switch (shape) {
    case SHAPE_HORIZONTAL_FLAT:
      return "Horizontal cylinder, flat ends";
    case SHAPE_HORIZONTAL_DISHED:
      return "Horizontal cylinder, dished ends";
    case SHAPE_VERTICAL_CONE:
      return "Vertical cylinder, cone bottom";
    case SHAPE_SPHERE:
      return "Sphere";
    case SHAPE_RECTANGULAR_SLOPED:
      return "Rectangular tank, sloped bottom";
    default:
      return "Unknown shape";
  }
}

std::optional<TANK_GEOMETRY> MakeGeometry(std::uint8_t shape, const std::array<double, 9>& dims, double factor,
                                          std::string* why) {
  const auto refuse = [why](const char* text) -> std::optional<TANK_GEOMETRY> {
    if (why != nullptr) {
      *why = text;
    }
    return std::nullopt;
  };
  if (!Positive(factor)) {
    return refuse("the dimension unit has no usable factor");
  }
  for (const double x : dims) {
    if (!NotNegative(x)) {
      return refuse("a dimension is negative or not a number");
    }
  }
  TANK_GEOMETRY g;
  g.shape = shape;
  const auto raw = [&](std::size_t i) { return dims[i] * factor; };
  switch (shape) {
    case SHAPE_HORIZONTAL_FLAT:
    case SHAPE_HORIZONTAL_DISHED:
      g.a = raw(0);
      g.b = raw(1);
      g.c = shape == SHAPE_HORIZONTAL_DISHED ? raw(2) : 0.0;
      g.standoff = raw(3);
      if (!Positive(g.a) || !Positive(g.b)) {
        return refuse("the diameter and the shell length must be above 0");
      }
      if (shape == SHAPE_HORIZONTAL_DISHED && !Positive(g.c)) {
        return refuse("the depth of the dished ends must be above 0");
      }
      if (g.c > g.a / 2.0) {
        return refuse("a dished end cannot be deeper than the radius");
      }
      g.height = g.a;
      break;
    case SHAPE_VERTICAL_CONE:
      g.a = raw(0);
      g.height = raw(1);
      g.c = raw(2);
      g.d = raw(3);
      g.standoff = raw(4);
      if (!Positive(g.a) || !Positive(g.height) || !Positive(g.c)) {
        return refuse("the diameter and both heights must be above 0");
      }
      if (g.c > g.height) {
        return refuse("the cone cannot be taller than the tank");
      }
      if (g.d >= g.a) {
        return refuse("the outlet must be narrower than the tank");
      }
      break;
    case SHAPE_SPHERE:
      g.a = raw(0);
      g.standoff = raw(1);
      if (!Positive(g.a)) {
        return refuse("the diameter must be above 0");
      }
      g.height = g.a;
      break;
    case SHAPE_RECTANGULAR_SLOPED:
      g.a = raw(0);
      g.b = raw(1);
      g.height = raw(2);
      g.c = raw(3);
      g.standoff = raw(4);
      if (!Positive(g.a) || !Positive(g.b) || !Positive(g.height)) {
        return refuse("the length, the width and the height must be above 0");
      }
      if (g.c > g.height) {
        return refuse("the bottom cannot drop more than the tank is high");
      }
      break;
    default:
      return refuse("the component does not know this shape");
  }
  if (g.height < 2.0) {
    return refuse("the tank is too small for the sensor's resolution");
  }
  if (g.height > kMaxHeight || g.height + g.standoff > 65535.0) {
    return refuse("the tank is too tall for the sensor's range");
  }
  return g;
}

double VolumeAt(const TANK_GEOMETRY& g, double h) {
  h = std::clamp(h, 0.0, g.height);
  switch (g.shape) {
    case SHAPE_HORIZONTAL_FLAT:
    case SHAPE_HORIZONTAL_DISHED: {
      const double r = g.a / 2.0;
      // The two dished ends together are an ellipsoid of semi-axes r, r and
      // the depth: a sphere's cap scaled by depth / r along the tank's axis.
      return g.b * SegmentArea(r, h) + (g.c / r) * SphereCap(r, h);
    }
    case SHAPE_VERTICAL_CONE: {
      const double R = g.a / 2.0;
      const double r0 = g.d / 2.0;
      const double hc = std::min(h, g.c);
      const double r = r0 + (R - r0) * hc / g.c;
      const double frustum = kPi * hc * (r0 * r0 + r0 * r + r * r) / 3.0;
      return frustum + kPi * R * R * std::max(0.0, h - g.c);
    }
    case SHAPE_SPHERE:
      return SphereCap(g.a / 2.0, h);
    case SHAPE_RECTANGULAR_SLOPED: {
      // The bottom falls along the length by the drop: below it the liquid
      // is a wedge, above it a full box.
      const double area = g.a * g.b;
      if (g.c <= 0.0) {
        return area * h;
      }
      if (h <= g.c) {
        return area * h * h / (2.0 * g.c);
      }
      return area * g.c / 2.0 + area * (h - g.c);
    }
    default:
      return 0.0;
  }
}

STRAPPING_SAMPLE SampleTable(const TANK_GEOMETRY& g) {
  STRAPPING_SAMPLE s;
  const auto top = static_cast<std::uint32_t>(std::ceil(g.height));
  s.maxRawLevel = static_cast<std::uint16_t>(std::min<std::uint32_t>(top, 0xFFFF));
  const std::uint32_t step = std::max<std::uint32_t>(1, (top + 247) / 248);
  s.step = static_cast<std::uint8_t>(std::min<std::uint32_t>(step, 255));
  const std::uint32_t points = (top + s.step - 1) / s.step + 1;
  s.pointCount = static_cast<std::uint8_t>(std::min<std::uint32_t>(points, 249));
  s.fullVolume = VolumeAt(g, g.height);
  s.volumeOffset = 0.0f;
  s.volumeScale = static_cast<float>(s.fullVolume / 65535.0);
  const double scale = static_cast<double>(s.volumeScale);
  std::uint16_t previous = 0;
  for (std::uint32_t i = 0; i < s.pointCount; ++i) {
    const double v = VolumeAt(g, static_cast<double>(i * s.step)) / scale;
    auto raw = static_cast<std::uint16_t>(std::clamp(std::floor(v + 0.5), 0.0, 65535.0));
    raw = std::max(raw, previous);  // rounding never lets the table go down
    s.table[i] = raw;
    previous = raw;
  }
  return s;
}

}  // namespace tolvane::geometry
