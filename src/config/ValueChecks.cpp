#include "config/ValueChecks.h"

#include <algorithm>
#include <limits>
#include <optional>

#include "common/CheckedFormat.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"

namespace tolvane::config {

namespace {

enum class LevelKind { None, HiLo, OnOff };

LevelKind KindOf(const std::string& label) {
  const auto has = [&](const char* part) { return label.find(part) != std::string::npos; };
  if (has("Hi") || has("Lo")) {
    return LevelKind::HiLo;
  }
  if (has("On") || has("Off")) {
    return LevelKind::OnOff;
  }
  return LevelKind::None;
}

CHECK_RESULT Message(int result, const char* textKey, const std::string& name, double limit) {
  CHECK_RESULT r;
  r.result = result;
  r.boxType = result == CHECK_ERROR ? MB_ERROR : MB_INFO;
  r.headKey = result == CHECK_ERROR ? "ERROR_MESSAGE46" : "ERROR_MESSAGE49";
  r.textKey = textKey;
  r.name = name;
  r.limit = limit;
  return r;
}

}  // namespace

std::string CheckMessageText(const CHECK_RESULT& check, const CLanguageFile& language, int languageNumber) {
  if (check.result == CHECK_PASS) {
    return {};
  }
  return language.Text(check.headKey, languageNumber) +
         Format(language.Text(check.textKey, languageNumber), check.name, check.limit);
}

CHECK_RESULT CheckRange(const std::string& name, double v, double maximum, double lowerError, double upperWarning,
                        double lowerWarning) {
  // A value that is not a number (a file's "nan") fails like one above the maximum.
  if (!(v <= maximum)) {
    return Message(CHECK_ERROR, "ERROR_MESSAGE47", name, maximum);
  }
  if (v < lowerError) {
    return Message(CHECK_ERROR, "ERROR_MESSAGE48", name, maximum);
  }
  if (v > upperWarning) {
    return Message(CHECK_WARNING, "ERROR_MESSAGE50", name, maximum);
  }
  if (v < lowerWarning) {
    return Message(CHECK_WARNING, "ERROR_MESSAGE51", name, maximum);
  }
  return {};
}

HEIGHT_LIMITS HeightLimits(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  HEIGHT_LIMITS l;
  l.maxSensorHeight = LimitInUnits(model, record, model.maxSensorHeight);
  l.minRange = LimitInUnits(model, record, model.minRange);
  l.sensorHeight = record.sensorHeight > 0.0 ? record.sensorHeight : l.maxSensorHeight;
  l.maxFillHeight = l.sensorHeight - l.minRange;
  return l;
}

CHECK_RESULT CheckSensorHeight(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  const HEIGHT_LIMITS l = HeightLimits(model, record);
  return CheckRange("Sensor height", record.sensorHeight, l.maxSensorHeight, 0.0, l.maxSensorHeight, 0.0);
}

CHECK_RESULT CheckFillHeight(const MODEL_DEFINITION& model, const CONFIG_RECORD& record) {
  const HEIGHT_LIMITS l = HeightLimits(model, record);
  return CheckRange("Fill height", record.fillHeight, l.maxFillHeight, 0.0, l.maxFillHeight, 0.0);
}

namespace {

// The highest a level may be, in the units levels are shown in.
double LevelTop(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, const IVolumeLevels* volume) {
  const double top = HeightLimits(model, record).maxFillHeight;
  if (!record.volumeUnits) {
    return top;
  }
  const std::optional<double> f = HeightFactor(model, record);
  if (volume == nullptr || !f || !(top >= 0.0)) {
    return std::numeric_limits<double>::infinity();
  }
  const std::optional<double> v = volume->FromCounts(record.unitsIndex, std::min(ToCounts(*f, top), 0xFFFF));
  return v && *v >= 0.0 ? *v : std::numeric_limits<double>::infinity();
}

}  // namespace

CHECK_RESULT CheckLevel(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, int row,
                        const IVolumeLevels* volume) {
  const CONFIGURATION_ENTRY* c = ConfigurationAt(model, record.configIndex);
  if (c == nullptr || row < 0 || row >= kLevelRows) {
    return {};
  }
  const auto label = [&](int k) -> const std::string& { return c->levelLabel[static_cast<std::size_t>(k)]; };
  const auto value = [&](int k) { return record.level[static_cast<std::size_t>(k)]; };
  const LevelKind kind = KindOf(label(row));
  if (kind == LevelKind::None) {
    return {};
  }
  const double top = LevelTop(model, record, volume);
  // The nearest row above (step +1) or below (step -1) of the given kind.
  const auto nearest = [&](LevelKind wanted, int step, double otherwise) {
    for (int k = row + step; k >= 0 && k < kLevelRows; k += step) {
      if (KindOf(label(k)) == wanted) {
        return value(k);
      }
    }
    return otherwise;
  };
  const double hiLoAbove = nearest(LevelKind::HiLo, +1, top);
  const double onOffAbove = nearest(LevelKind::OnOff, +1, top);
  const double hiLoBelow = nearest(LevelKind::HiLo, -1, 0.0);
  const double onOffBelow = nearest(LevelKind::OnOff, -1, 0.0);
  const std::string& name = label(row);
  if (kind == LevelKind::HiLo) {
    return CheckRange(name, value(row), hiLoAbove, hiLoBelow, onOffAbove, onOffBelow);
  }
  return CheckRange(name, value(row), onOffAbove, onOffBelow, hiLoAbove, hiLoBelow);
}

}  // namespace tolvane::config
