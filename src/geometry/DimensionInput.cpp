#include "geometry/DimensionInput.h"

#include <algorithm>
#include <charconv>
#include <cmath>

#include "common/CheckedFormat.h"

namespace tolvane::geometry {

bool AcceptDimensionKey(std::string_view text, char32_t key) {
  if (key < 32) {
    return true;
  }
  if (key >= '0' && key <= '9') {
    return true;
  }
  return key == '.' && text.find('.') == std::string_view::npos;
}

PLACE PlaceInClient(int tx, int ty, int width, int height) {
  return {static_cast<int>(static_cast<long long>(width) * tx / 1000),
          static_cast<int>(static_cast<long long>(height) * ty / 1000)};
}

double DimensionFromText(std::string_view text) {
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), v);
  if (ec != std::errc{} || !std::isfinite(v)) {
    return 0.0;
  }
  (void)end;
  return v;
}

CURVE_AXES SetUpCurve(CNonLinearData& d) {
  d.curveStart = d.levelRange[0];
  d.curveStep = d.pointCount > 1 ? (d.levelRange[4] - d.levelRange[0]) / (d.pointCount - 1) : 1.0;
  CURVE_AXES a;
  a.xmin = d.curveStart;
  a.xmax = d.curveStart + (d.pointCount > 1 ? d.pointCount - 1 : 1) * d.curveStep;
  a.ymin = d.volumeOffset;
  a.ymax = static_cast<double>(d.volumeOffset) + static_cast<double>(d.volumeScale) * 65535.0;
  return a;
}

CURVE_POINT FromHorizontalSlider(const CNonLinearData& d, int position) {
  CURVE_POINT p;
  p.rawLevel = static_cast<std::uint16_t>(std::clamp(position, 0, 0xFFFF));
  p.rawVolume = d.TableLevelToVolume(p.rawLevel);
  p.verticalSlider = 0xFFFF - p.rawVolume;
  return p;
}

CURVE_POINT FromVerticalSlider(const CNonLinearData& d, int position) {
  CURVE_POINT p;
  p.verticalSlider = std::clamp(position, 0, 0xFFFF);
  p.rawVolume = static_cast<std::uint16_t>(0xFFFF - p.verticalSlider);
  p.rawLevel = d.TableVolumeToLevel(p.rawVolume);
  return p;
}

CURVE_READOUT ReadCurve(const CNonLinearData& d, const CURVE_POINT& p) {
  CURVE_READOUT r;
  r.crossX = d.RawLevelToLevel(p.rawLevel, 1, 1);
  r.crossY = static_cast<double>(d.volumeOffset) + static_cast<double>(d.volumeScale) * p.rawVolume;
  r.levelText = Format("%3.5f", d.RawLevelToLevel(p.rawLevel, d.dimensionFactor, 1));
  r.volumeText = d.FormatDisplay(p.rawVolume);
  return r;
}

}  // namespace tolvane::geometry
