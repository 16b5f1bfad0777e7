// What the dimension form and the curve view decide, without windows: the
// dimension edits' key filter and placement, the picker's outcome, and the
// curve view's axes and the two sliders kept in step through the table.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "geometry/NonLinearData.h"

namespace tolvane::geometry {

// A typed character is taken only when it is a control character, a digit,
// or a "." while `text` has none yet.
bool AcceptDimensionKey(std::string_view text, char32_t key);

// A position given in thousandths of a client area of `width` × `height`.
struct PLACE {
  int x = 0;
  int y = 0;
};
PLACE PlaceInClient(int thousandthsX, int thousandthsY, int width, int height);

// The number in a dimension edit: an empty or unreadable text is 0.
double DimensionFromText(std::string_view text);

// How the structure picker was closed, and what that makes of the type.
enum PICKER_CLOSE : int {
  PICKER_DOUBLE_CLICK,  // a picture double-clicked: its type
  PICKER_OK,            // every shown page applies its selection in tab order
  PICKER_RESET,         // OK without any page applying
  PICKER_CANCEL,        // ERROR_MESSAGE72; the type stays as the pages left it
};

// The curve view's set-up from the record: curve start and step, the ranges.
struct CURVE_AXES {
  double xmin = 0, xmax = 1, ymin = 0, ymax = 1;
};
CURVE_AXES SetUpCurve(CNonLinearData& data);

// One slider moved: the raw level and raw volume both sliders then show
// (the vertical slider's value is 0xFFFF minus the raw volume).
struct CURVE_POINT {
  std::uint16_t rawLevel = 0;
  std::uint16_t rawVolume = 0;
  int verticalSlider = 0xFFFF;
};
CURVE_POINT FromHorizontalSlider(const CNonLinearData& data, int position);
CURVE_POINT FromVerticalSlider(const CNonLinearData& data, int position);

// The texts and cross-hair of a curve point.
struct CURVE_READOUT {
  double crossX = 0, crossY = 0;
  std::string levelText;   // "%3.5f" of the level in the dimension unit
  std::string volumeText;  // FormatDisplay of the raw volume
};
CURVE_READOUT ReadCurve(const CNonLinearData& data, const CURVE_POINT& p);

}  // namespace tolvane::geometry
