#include "geometry/NonLinearData.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdlib>
#include <limits>

#include "common/CheckedFormat.h"

namespace tolvane::geometry {

namespace {

std::uint16_t Cut16(double x) {
  if (!(x > 0.0)) {
    return 0;
  }
  if (x >= 65535.0) {
    return 0xFFFF;
  }
  return static_cast<std::uint16_t>(x);
}

std::uint16_t Cut16(std::int64_t x) { return static_cast<std::uint16_t>(std::clamp<std::int64_t>(x, 0, 0xFFFF)); }

double RoundOneDecimal(double x) { return std::floor(x * 10.0 + 0.5) / 10.0; }

std::string Utf16ToUtf8(const char16_t* w) {
  std::string out;
  for (std::size_t i = 0; w[i] != 0 && i < 4096; ++i) {
    std::uint32_t c = w[i];
    if (c >= 0xD800 && c < 0xDC00 && w[i + 1] >= 0xDC00 && w[i + 1] < 0xE000) {
      c = 0x10000 + ((c - 0xD800) << 10) + (static_cast<std::uint32_t>(w[i + 1]) - 0xDC00);
      ++i;
    } else if (c >= 0xD800 && c < 0xE000) {
      c = 0xFFFD;
    }
    if (c < 0x80) {
      out += static_cast<char>(c);
    } else if (c < 0x800) {
      out += static_cast<char>(0xC0 | (c >> 6));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else if (c < 0x10000) {
      out += static_cast<char>(0xE0 | (c >> 12));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    } else {
      out += static_cast<char>(0xF0 | (c >> 18));
      out += static_cast<char>(0x80 | ((c >> 12) & 0x3F));
      out += static_cast<char>(0x80 | ((c >> 6) & 0x3F));
      out += static_cast<char>(0x80 | (c & 0x3F));
    }
  }
  return out;
}

// What one run of the component gives, before it is taken into the record.
struct RUN_OUTPUT {
  std::array<double, kLevelRange> levelRange{};
  std::array<double, kResults> results{};
  std::uint16_t maxRawLevel = 0;
  std::uint8_t pointCount = 0;
  std::uint8_t step = 0;
  std::uint16_t extraValue = 0;
  std::array<std::uint16_t, kTablePoints> table{};
  std::array<float, 2> volumePair{};
  std::string caption;
};

// A table the arithmetic can use: at least two points, a step, entries that
// never go down, and a finite, positive volume scale.
bool UsableTable(const RUN_OUTPUT& o) {
  if (o.pointCount < 2 || o.step == 0 || !std::isfinite(o.volumePair[0]) || !std::isfinite(o.volumePair[1]) ||
      !(o.volumePair[1] > 0.0f)) {
    return false;
  }
  for (int i = 1; i < o.pointCount; ++i) {
    if (o.table[static_cast<std::size_t>(i)] < o.table[static_cast<std::size_t>(i - 1)]) {
      return false;
    }
  }
  return std::all_of(o.results.begin(), o.results.end(), [](double r) { return std::isfinite(r); }) &&
         std::isfinite(o.levelRange[0]) && std::isfinite(o.levelRange[4]);
}

}  // namespace

void CNonLinearData::SetOffValues() {
  displayOffset = 0.0f;
  displayScale = 1.0f;
  baseFactor = kDefaultBaseFactor;
  levelRange[0] = 0.0;
  levelRange[4] = 92.4333;
  maxRawLevel = 0xFFFF;
}

int CNonLinearData::Calculate(const CALCULATE_CONTEXT& cx) {
  const auto text = [&cx](const char* key) { return cx.language.Text(key, cx.languageNumber); };
  std::unique_ptr<IBusyWindow> busy = cx.busy.OpenBusyWindow();
  busy->SetProgress(20);
  busy->SetMessage(text("BUSY_MESSAGE12"));

  const auto classId = ClassIdFromString(Format("{%s}", clsid));
  if (!classId) {
    cx.messages.Show(text("ERROR_MESSAGE14"), MB_ERROR);
    return CALC_BAD_CLSID;
  }
  const auto interfaceId = ClassIdFromString(Format("{%s}", iid));
  if (!interfaceId) {
    cx.messages.Show(text("ERROR_MESSAGE71"), MB_ERROR);
    return CALC_BAD_IID;
  }
  busy->SetProgress(30);
  CComponentRef component = cx.components.Create(*classId, *interfaceId);
  if (!component) {
    return CALC_NO_COMPONENT;
  }

  busy->SetMessage(text("STATUS_MESSAGE31"));
  busy->SetProgress(40);
  component.Call(SLOT_BEGIN);
  busy->SetProgress(50);
  std::array<double, kDimensions> dims = dimensions;
  std::uint8_t code = selectionCode;
  double factor = dimensionFactor;
  component.Call(SLOT_DIMENSIONS, dims.data());
  component.Call(SLOT_SELECTION, &code);
  component.Call(SLOT_FACTOR, &factor);
  busy->SetProgress(60);
  component.Call(SLOT_COMPUTE);

  RUN_OUTPUT out;
  busy->SetMessage(text("STATUS_MESSAGE32"));
  busy->SetProgress(70);
  component.Call(SLOT_LEVEL_RANGE, out.levelRange.data());
  component.Call(SLOT_RESULTS, out.results.data());
  component.Call(SLOT_MAX_RAW_LEVEL, &out.maxRawLevel);
  component.Call(SLOT_POINT_COUNT, &out.pointCount);
  component.Call(SLOT_STEP, &out.step);
  busy->SetProgress(80);
  component.Call(SLOT_EXTRA, &out.extraValue);
  component.Call(SLOT_TABLE, out.table.data());
  component.Call(SLOT_VOLUME_PAIR, out.volumePair.data());
  char16_t* caption = nullptr;
  component.Call(SLOT_CAPTION, static_cast<void*>(&caption));
  if (caption != nullptr) {
    out.caption = Utf16ToUtf8(caption);
    std::free(caption);
  }

  busy->SetMessage(text("STATUS_MESSAGE33"));
  busy->SetProgress(90);
  component.Reset();
  if (!UsableTable(out) || out.pointCount > kTablePoints) {
    busy.reset();
    cx.messages.Show(Format(text("TANK_MESSAGE1"), out.caption), MB_ERROR);
    return CALC_REFUSED;
  }
  levelRange = out.levelRange;
  results = out.results;
  maxRawLevel = out.maxRawLevel;
  pointCount = out.pointCount;
  step = out.step;
  extraValue = out.extraValue;
  table = out.table;
  volumeOffset = out.volumePair[0];
  volumeScale = out.volumePair[1];
  curveCaption = out.caption;
  SetOn(true);

  busy->SetMessage(text("BUSY_MESSAGE11"));
  busy->SetProgress(100);
  if (cx.pause) {
    cx.clock.sleep_for(std::chrono::milliseconds(500));
  }
  return CALC_OK;
}

std::uint16_t CNonLinearData::TableLevelToVolume(std::uint16_t a) const {
  if (pointCount == 0) {
    return 0;
  }
  const std::size_t last = std::min<std::size_t>(pointCount, kTablePoints) - 1;
  if (step == 0) {
    return table[0];
  }
  const std::uint32_t s = step;
  const std::size_t i = a / s;
  const std::uint32_t d = a % s;
  // Past the last point the tank is as full as the table goes.
  if (i >= last) {
    return table[last];
  }
  const std::uint32_t v = ((s - d) * table[i] + d * table[i + 1]) / s;
  return static_cast<std::uint16_t>(std::min<std::uint32_t>(v, 0xFFFF));
}

std::uint16_t CNonLinearData::TableVolumeToLevel(std::uint16_t v) const {
  const int count = std::min<int>(pointCount, kTablePoints);
  const std::int64_t s = step;
  for (int i = 0; i + 1 < count; ++i) {
    const std::int64_t lo = table[static_cast<std::size_t>(i)];
    const std::int64_t hi = table[static_cast<std::size_t>(i + 1)];
    if (!((lo <= v && v <= hi) || (hi <= v && v <= lo))) {
      continue;
    }
    const std::int64_t span = hi - lo;
    if (span == 0) {
      // A flat segment: the level where the volume is first reached.
      return Cut16(i * s);
    }
    // Wide arithmetic: (v - lo) * s does not fit 16 bits for a full table.
    return Cut16(((v - lo) * s + span / 2) / span + i * s);
  }
  return kNoLevel;
}

std::uint16_t CNonLinearData::VolumeToRaw(double x) const {
  if (displayScale == 0.0f) {
    return 0;
  }
  return Cut16((x - displayOffset) / displayScale + 0.5);
}

std::optional<std::uint16_t> CNonLinearData::VolumeToRawChecked(double x) const {
  if (!std::isfinite(x) || displayScale == 0.0f || pointCount < 1) {
    return std::nullopt;
  }
  const double raw = (x - displayOffset) / displayScale + 0.5;
  if (!(raw >= 0.0) || raw >= 65536.0) {
    return std::nullopt;
  }
  const auto r = static_cast<std::uint16_t>(raw);
  const auto [lo, hi] = std::minmax_element(table.begin(), table.begin() + std::min<int>(pointCount, kTablePoints));
  if (r < *lo || r > *hi) {
    return std::nullopt;
  }
  return r;
}

double CNonLinearData::RawToVolume(std::uint16_t v, bool displayUnit) const {
  return displayUnit ? static_cast<double>(displayOffset) + static_cast<double>(displayScale) * v
                     : static_cast<double>(volumeOffset) + static_cast<double>(volumeScale) * v;
}

double CNonLinearData::RawLevelToLevel(std::uint16_t a, double divisor, double factor) const {
  double x = std::min(a, maxRawLevel);
  if (divisor != 1.0 && divisor != 0.0) {
    x /= divisor;
  }
  if (factor != 1.0) {
    x *= factor;
  }
  return x;
}

bool CNonLinearData::SetVolumeUnit(double f) {
  const auto k = static_cast<float>(f * baseFactor * baseFactor * baseFactor);
  if (!std::isfinite(k) || !(k > 0.0f)) {
    return false;
  }
  displayOffset = volumeOffset / k;
  displayScale = volumeScale / k;
  return true;
}

std::string CNonLinearData::FormatDisplay(std::uint16_t v) const {
  const float x = std::fabs(displayOffset + displayScale * static_cast<float>(v));
  const int d = !(x >= 10.0f) ? 4 : x < 1000.0f ? 2 : 0;
  const double scaled = std::isfinite(x) ? static_cast<double>(x) * std::pow(10.0, d) + 0.5 : 0.0;
  // Digits beyond the nine places are not shown.
  auto n = static_cast<std::uint64_t>(std::min(std::floor(scaled), 1e18));
  std::string s(9, ' ');
  for (int p = 0; p < 9; ++p) {
    char& c = s[static_cast<std::size_t>(8 - p)];
    if (p == d) {
      c = '.';
    } else if (n > 0) {
      c = static_cast<char>('0' + n % 10);
      n /= 10;
    } else if (p < d || p == d + 1) {
      c = '0';
    }
  }
  return s;
}

config::CONFIG_NONLINEAR CNonLinearData::ToConfig() const {
  config::CONFIG_NONLINEAR c;
  c.on = On();
  c.structureType = structureType;
  c.page.dimensionUnit = dimensionUnit;
  for (std::size_t i = 0; i < dimensions.size(); ++i) {
    c.page.dimensions[i] = static_cast<float>(dimensions[i]);
  }
  return c;
}

void CNonLinearData::FromConfig(const config::CONFIG_NONLINEAR& c) {
  SetOn(c.on);
  structureType = static_cast<std::int16_t>(std::clamp<std::int32_t>(c.structureType, -1, 0x7FFF));
  dimensionUnit = c.page.dimensionUnit;
  for (std::size_t i = 0; i < dimensions.size(); ++i) {
    dimensions[i] = static_cast<double>(c.page.dimensions[i]);
  }
}

std::optional<double> ConvertLevelDisplay(CNonLinearData& data, int mode, double from, double to, double v) {
  double result = 0.0;
  switch (mode) {
    case CONVERT_LENGTH_TO_LENGTH: {
      const double raw = std::floor(v * from + 0.5);
      result = raw / to;
      break;
    }
    case CONVERT_VOLUME_TO_LENGTH: {
      if (!data.SetVolumeUnit(from)) {
        return std::nullopt;
      }
      const auto rawVolume = data.VolumeToRawChecked(v);
      if (!rawVolume) {
        return std::nullopt;
      }
      const std::uint16_t rawLevel = data.TableVolumeToLevel(*rawVolume);
      if (rawLevel == kNoLevel) {
        return std::nullopt;
      }
      result = rawLevel / to;
      break;
    }
    case CONVERT_LENGTH_TO_VOLUME: {
      const double raw = std::floor(v * from + 0.5);
      if (!(raw >= 0.0) || raw > 65535.0) {
        return std::nullopt;
      }
      const std::uint16_t rawVolume = data.TableLevelToVolume(static_cast<std::uint16_t>(raw));
      if (!data.SetVolumeUnit(to)) {
        return std::nullopt;
      }
      result = data.RawToVolume(rawVolume, true);
      break;
    }
    case CONVERT_VOLUME_TO_VOLUME: {
      if (!data.SetVolumeUnit(from)) {
        return std::nullopt;
      }
      const auto raw = data.VolumeToRawChecked(v);
      if (!raw || !data.SetVolumeUnit(to)) {
        return std::nullopt;
      }
      result = data.RawToVolume(*raw, true);
      break;
    }
    default:
      return std::nullopt;
  }
  if (!std::isfinite(result)) {
    return std::nullopt;
  }
  return RoundOneDecimal(result);
}

std::optional<double> CVolumeLevels::Factor(std::int32_t unitsIndex) const {
  if (unitsIndex < 0 || unitsIndex >= std::min(model_.volumeUnitsCount, kMaxUnits)) {
    return std::nullopt;
  }
  const double f =
      unitsIndex < model_.volumeConvCount ? model_.volumeFactors[static_cast<std::size_t>(unitsIndex)] : 1.0;
  if (!std::isfinite(f) || !(f > 0.0)) {
    return std::nullopt;
  }
  return f;
}

std::optional<std::int32_t> CVolumeLevels::ToCounts(std::int32_t unitsIndex, double volume) const {
  const auto f = Factor(unitsIndex);
  if (!f || !data_.On() || !data_.SetVolumeUnit(*f)) {
    return std::nullopt;
  }
  const auto raw = data_.VolumeToRawChecked(volume);
  if (!raw) {
    return std::nullopt;
  }
  const std::uint16_t level = data_.TableVolumeToLevel(*raw);
  if (level == kNoLevel) {
    return std::nullopt;
  }
  return level;
}

std::optional<double> CVolumeLevels::FromCounts(std::int32_t unitsIndex, std::int32_t counts) const {
  const auto f = Factor(unitsIndex);
  if (!f || !data_.On() || counts < 0 || counts > 0xFFFF || !data_.SetVolumeUnit(*f)) {
    return std::nullopt;
  }
  const std::uint16_t raw = data_.TableLevelToVolume(static_cast<std::uint16_t>(counts));
  return RoundOneDecimal(data_.RawToVolume(raw, true));
}

double HeightFromResult(double raw, double factor) {
  if (!(factor > 0.0) || !std::isfinite(factor)) {
    return -1.0;
  }
  return RoundOneDecimal(Cut16(raw) / factor);
}

}  // namespace tolvane::geometry
