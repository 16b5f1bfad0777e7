#include "link/LiveTrend.h"

#include <algorithm>

#include "common/CheckedFormat.h"

namespace tolvane::link {

CTrendHistory::CTrendHistory(std::size_t capacity) : ring_(std::max<std::size_t>(capacity, 1)) {}

void CTrendHistory::Add(const TREND_POINT& point) {
  if (size_ < ring_.size()) {
    ring_[(first_ + size_) % ring_.size()] = point;
    ++size_;
  } else {
    ring_[first_] = point;
    first_ = (first_ + 1) % ring_.size();
  }
}

void CTrendHistory::Clear() {
  first_ = 0;
  size_ = 0;
}

TREND_POINT MakeTrendPoint(double t, const LIVE_READING& reading) {
  TREND_POINT p;
  p.t = t;
  p.raw = reading.distance;
  p.level = reading.level;
  p.distance = reading.distanceUnits;
  for (std::size_t i = 0; i < 4; ++i) {
    if (reading.relays[i]) {
      p.relays = static_cast<std::uint8_t>(p.relays | (1u << i));
    }
  }
  return p;
}

namespace {
// First index with t >= from (points are in time order).
std::size_t FirstAt(const CTrendHistory& h, double from) {
  std::size_t lo = 0, hi = h.Size();
  while (lo < hi) {
    const std::size_t mid = (lo + hi) / 2;
    if (h.At(mid).t < from) {
      lo = mid + 1;
    } else {
      hi = mid;
    }
  }
  return lo;
}
}  // namespace

std::vector<TREND_XY> TrendLevels(const CTrendHistory& h, double from, double to, std::size_t maxPoints) {
  std::vector<TREND_XY> out;
  const std::size_t begin = FirstAt(h, from);
  std::size_t end = begin;
  while (end < h.Size() && h.At(end).t <= to) {
    ++end;
  }
  const std::size_t n = end - begin;
  if (n == 0 || maxPoints == 0) {
    return out;
  }
  const std::size_t buckets = std::max<std::size_t>(maxPoints / 2, 1);
  const std::size_t per = (n + buckets - 1) / buckets;
  out.reserve(std::min(n, maxPoints));
  for (std::size_t b = begin; b < end; b += per) {
    const std::size_t e = std::min(end, b + per);
    const TREND_POINT* lo = nullptr;
    const TREND_POINT* hi = nullptr;
    for (std::size_t i = b; i < e; ++i) {
      const TREND_POINT& p = h.At(i);
      if (!p.level) {
        continue;
      }
      if (lo == nullptr || *p.level < *lo->level) {
        lo = &p;
      }
      if (hi == nullptr || *p.level > *hi->level) {
        hi = &p;
      }
    }
    if (lo == nullptr) {
      continue;
    }
    if (lo == hi) {
      out.push_back({lo->t, *lo->level});
    } else if (lo->t < hi->t) {
      out.push_back({lo->t, *lo->level});
      out.push_back({hi->t, *hi->level});
    } else {
      out.push_back({hi->t, *hi->level});
      out.push_back({lo->t, *lo->level});
    }
  }
  return out;
}

std::vector<TREND_XY> TrendRelaySteps(const CTrendHistory& h, int relay, double from, double to, double base) {
  std::vector<TREND_XY> out;
  if (relay < 0 || relay > 3) {
    return out;
  }
  const auto bit = static_cast<unsigned>(1u << relay);
  std::size_t i = FirstAt(h, from);
  if (i >= h.Size() || h.At(i).t > to) {
    return out;
  }
  auto y = [&](const TREND_POINT& p) { return (p.relays & bit) != 0 ? base + 0.8 : base; };
  double last = y(h.At(i));
  out.push_back({h.At(i).t, last});
  double lastT = h.At(i).t;
  for (++i; i < h.Size() && h.At(i).t <= to; ++i) {
    const TREND_POINT& p = h.At(i);
    const double v = y(p);
    if (v != last) {
      out.push_back({p.t, last});
      out.push_back({p.t, v});
      last = v;
    }
    lastT = p.t;
  }
  out.push_back({lastT, last});
  return out;
}

std::string TrendCsvText(const CTrendHistory& h, std::string_view units) {
  std::string text = "time,raw,level";
  if (!units.empty()) {
    text += Format(" (%s),distance (%s)", std::string(units), std::string(units));
  } else {
    text += ",distance";
  }
  text += ",relay 1,relay 2,relay 3,relay 4\n";
  for (std::size_t i = 0; i < h.Size(); ++i) {
    const TREND_POINT& p = h.At(i);
    std::string level;
    if (const char* word = LiveStatusWord(p.raw)) {
      level = word;
    } else if (p.level) {
      level = Format("%.1f", *p.level);
    }
    const std::string distance = p.distance ? Format("%.1f", *p.distance) : std::string();
    text += Format("%.3f,%u,%s,%s,%d,%d,%d,%d\n", p.t, p.raw, level, distance, p.relays & 1, p.relays >> 1 & 1,
                   p.relays >> 2 & 1, p.relays >> 3 & 1);
  }
  return text;
}

}  // namespace tolvane::link
