// Display values and raw page counts. A height or level is shown in the
// selected linear unit; the unit's factor turns it into the counts the sensor
// keeps in its Customer page (16-bit words). All functions are pure.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

// Largest value a page word holds.
inline constexpr std::int64_t kWordMax = 0xFFFF;

// r = trunc(f * v + 0.5), the product rounded to a double first. Results that
// do not fit 32 bits (and NaN) saturate, so they can never pass as a word.
std::int32_t ToCounts(double f, double v);
// v = trunc((r / f) * 10 + 0.5) / 10: the display value of r, one decimal.
double FromCounts(double f, std::int64_t r);
// One decimal for display: trunc((x + 0.05) * 10) / 10.
double D1(double x);
// "%2.1f", the form's way of writing a value.
std::string FormatValue(double v);

// The number a height or level box holds: its leading decimal number, read
// the same in every locale; an empty, non-numeric or non-finite text is 0.
double ReadBoxNumber(std::string_view text);

// The factor of linear unit `index` (UNITCONV); none when the index lies
// outside the UNITS list or the factor is not a positive number.
std::optional<double> LinearFactor(const MODEL_DEFINITION& model, std::int32_t index);
// The factor that heights use: the selected unit, or with volume units the
// last linear unit (heights stay in it).
std::optional<double> HeightFactor(const MODEL_DEFINITION& model, const CONFIG_RECORD& record);
// The factor that levels use: the selected unit; none with volume units
// (their counts come from the tank curve).
std::optional<double> LevelFactor(const MODEL_DEFINITION& model, const CONFIG_RECORD& record);

// Levels shown in volume units: their counts come from the tank curve (the
// non-linear tank geometry provides it).
class IVolumeLevels {
 public:
  virtual ~IVolumeLevels() = default;
  // Counts of a level shown in volume unit `unitsIndex`; none when it has none.
  virtual std::optional<std::int32_t> ToCounts(std::int32_t unitsIndex, double volume) const = 0;
  virtual std::optional<double> FromCounts(std::int32_t unitsIndex, std::int32_t counts) const = 0;
};

// The nearest value the page can represent: d1(FromCounts(f, ToCounts(f, d1(x)))).
// Unchanged (nullopt) for negative values (not set) or without a factor.
std::optional<double> SnapToCounts(std::optional<double> factor, double x);

// A shown value moved from one linear unit (factor fa) to another (fb),
// through the counts, rounded to one decimal. A value not set (negative)
// stays not set; counts beyond one word are kept, not wrapped, so that the
// range checks see them.
double ConvertLinear(double fa, double fb, double v);

// A model limit (MAXSENSORHEIGHT, MINRANGE) given in the first unit, brought
// into the units heights are shown in.
double LimitInUnits(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, double limit);

}  // namespace tolvane::config
