// The readings the live page's trend chart holds: a bounded ring of points
// (the oldest go first), the part of it a chart window shows, thinned to a
// number of points a chart draws quickly, and its text as CSV.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "link/LiveDisplay.h"

namespace tolvane::link {

struct TREND_POINT {
  double t = 0.0;  // seconds since the first reading
  unsigned raw = 0;
  std::optional<double> level;  // none for LOST, FULL, EMPTY or without a scale
  std::optional<double> distance;
  std::uint8_t relays = 0;  // bit 0 = relay 1
};

class CTrendHistory {
 public:
  // 30 minutes at 50 packets a second.
  static constexpr std::size_t kDefaultCapacity = 90000;
  explicit CTrendHistory(std::size_t capacity = kDefaultCapacity);

  void Add(const TREND_POINT& point);
  void Clear();
  std::size_t Size() const { return size_; }
  std::size_t Capacity() const { return ring_.size(); }
  // Point i, 0 the oldest.
  const TREND_POINT& At(std::size_t i) const { return ring_[(first_ + i) % ring_.size()]; }

 private:
  std::vector<TREND_POINT> ring_;
  std::size_t first_ = 0;
  std::size_t size_ = 0;
};

TREND_POINT MakeTrendPoint(double t, const LIVE_READING& reading);

struct TREND_XY {
  double x;
  double y;
};

// The levels of the points with t in [from, to], at most `maxPoints`: each
// bucket of points keeps its lowest and highest level in time order, so a
// short peak stays visible. Points without a level are left out.
std::vector<TREND_XY> TrendLevels(const CTrendHistory& h, double from, double to, std::size_t maxPoints);
// Relay `relay` (0..3) as steps: y is `base` when off and `base` + 0.8 when
// on; one point at each change plus the window's ends.
std::vector<TREND_XY> TrendRelaySteps(const CTrendHistory& h, int relay, double from, double to, double base);

// "time,raw,level,distance,relays" and one line per point; the level and
// distance in `units` with one decimal, the status word for 0, 1, 2.
std::string TrendCsvText(const CTrendHistory& h, std::string_view units);

}  // namespace tolvane::link
