#include "config/ConfigValues.h"

#include <charconv>
#include <cmath>
#include <limits>

#include "common/CheckedFormat.h"

namespace tolvane::config {

namespace {

std::int32_t Saturate(double x) {
  constexpr double lo = std::numeric_limits<std::int32_t>::min();
  constexpr double hi = std::numeric_limits<std::int32_t>::max();
  if (std::isnan(x) || x <= lo) {
    return std::numeric_limits<std::int32_t>::min();
  }
  if (x >= hi) {
    return std::numeric_limits<std::int32_t>::max();
  }
  return static_cast<std::int32_t>(x);
}

}  // namespace

std::int32_t ToCounts(double f, double v) {
  // The product is rounded to a double before the half is added.
  const double product = f * v;
  return Saturate(std::trunc(product + 0.5));
}

double FromCounts(double f, std::int64_t r) {
  const double ratio = static_cast<double>(r) / f;
  return std::trunc(ratio * 10.0 + 0.5) / 10.0;
}

double D1(double x) { return std::trunc((x + 0.05) * 10.0) / 10.0; }

std::string FormatValue(double v) { return Format("%2.1f", v); }

std::optional<double> LinearFactor(const MODEL_DEFINITION& model, std::int32_t index) {
  if (index < 0 || index >= model.unitsCount || index >= kMaxUnits) {
    return std::nullopt;
  }
  const double f = model.unitFactors[static_cast<std::size_t>(index)];
  if (!std::isfinite(f) || f <= 0.0) {
    return std::nullopt;
  }
  return f;
}

std::optional<double> HeightFactor(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  return LinearFactor(model, record.volumeUnits ? record.lastLinearUnits : record.unitsIndex);
}

std::optional<double> LevelFactor(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  if (record.volumeUnits) {
    return std::nullopt;
  }
  return LinearFactor(model, record.unitsIndex);
}

std::optional<double> SnapToCounts(std::optional<double> factor, double x) {
  if (!(x >= 0.0) || !factor) {
    return std::nullopt;
  }
  return D1(FromCounts(*factor, ToCounts(*factor, D1(x))));
}

double ConvertLinear(double fa, double fb, double v) {
  if (v < 0.0) {
    return v;
  }
  const double w = FromCounts(fb, ToCounts(fa, v));
  return std::trunc(w * 10.0 + 0.5) / 10.0;
}

double LimitInUnits(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, double limit) {
  const std::int32_t units = record.volumeUnits ? record.lastLinearUnits : record.unitsIndex;
  if (units == 0) {
    return limit;
  }
  const auto first = LinearFactor(model, 0);
  const auto f = LinearFactor(model, units);
  if (!first || !f) {
    return limit;
  }
  return D1(FromCounts(*f, ToCounts(*first, limit)));
}

double ReadBoxNumber(std::string_view text) {
  std::size_t p = 0;
  while (p < text.size() && (text[p] == ' ' || text[p] == '\t')) {
    ++p;
  }
  if (p < text.size() && text[p] == '+') {
    ++p;
  }
  double v = 0.0;
  const auto [end, ec] = std::from_chars(text.data() + p, text.data() + text.size(), v, std::chars_format::fixed);
  (void)end;
  if (ec != std::errc() || !std::isfinite(v)) {
    return 0.0;
  }
  return v;
}

}  // namespace tolvane::config
