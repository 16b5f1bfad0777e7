#include "config/UnitsChange.h"

#include <algorithm>
#include <array>
#include <cmath>

#include "common/CheckedFormat.h"
#include "config/Selection.h"

namespace tolvane::config {

namespace {

int LinearCount(const MODEL_DEFINITION& model) { return std::clamp(model.unitsCount, 0, kMaxUnits); }
int VolumeCount(const MODEL_DEFINITION& model) { return std::clamp(model.volumeUnitsCount, 0, kMaxUnits); }

}  // namespace

int UnitsEntryCount(const MODEL_DEFINITION& model) { return LinearCount(model) + VolumeCount(model); }

std::string UnitsEntryName(const MODEL_DEFINITION& model, int entry) {
  const int linear = LinearCount(model);
  if (entry < 0 || entry >= UnitsEntryCount(model)) {
    return {};
  }
  return entry < linear ? model.unitNames[static_cast<std::size_t>(entry)]
                        : model.volumeUnitNames[static_cast<std::size_t>(entry - linear)];
}

bool ChangeUnits(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int entry, const IVolumeLevels* volume) {
  if (entry < 0 || entry >= UnitsEntryCount(model)) {
    return false;
  }
  const int linear = LinearCount(model);
  const bool toVolume = entry >= linear;
  const std::int32_t to = toVolume ? entry - linear : entry;
  const bool fromVolume = record.volumeUnits;
  const std::int32_t from = record.unitsIndex;

  // The levels the matched configuration uses; the others are not shown.
  std::array<bool, kLevelRows> used{};
  if (const CONFIGURATION_ENTRY* c = ConfigurationAt(model, record.configIndex)) {
    for (std::size_t k = 0; k < used.size(); ++k) {
      used[k] = c->levelWord[k] > 0;
    }
  }
  CONFIG_RECORD next = record;
  next.volumeUnits = toVolume;
  next.unitsIndex = to;

  // Heights are shown in linear units only: they move when a linear unit is
  // selected, from the unit they are shown in now.
  if (!toVolume) {
    const auto fa = LinearFactor(model, fromVolume ? record.lastLinearUnits : from);
    const auto fb = LinearFactor(model, to);
    if (!fa || !fb) {
      return false;
    }
    next.sensorHeight = ConvertLinear(*fa, *fb, record.sensorHeight);
    next.fillHeight = ConvertLinear(*fa, *fb, record.fillHeight);
    // The heights are now in this unit, also after volume units.
    next.lastLinearUnits = to;
  }

  for (std::size_t k = 0; k < used.size(); ++k) {
    const double v = record.level[k];
    if (!used[k] || v < 0.0) {
      continue;
    }
    std::optional<std::int32_t> counts;
    if (fromVolume) {
      if (volume == nullptr) {
        return false;
      }
      counts = volume->ToCounts(from, v);
    } else {
      const auto fa = LinearFactor(model, from);
      if (!fa) {
        return false;
      }
      counts = ToCounts(*fa, v);
    }
    if (!counts) {
      return false;
    }
    if (toVolume) {
      const std::optional<double> shown = volume != nullptr ? volume->FromCounts(to, *counts) : std::nullopt;
      if (!shown) {
        return false;
      }
      next.level[k] = *shown;
    } else {
      const auto fb = LinearFactor(model, to);
      if (!fb) {
        return false;
      }
      const double w = FromCounts(*fb, *counts);
      next.level[k] = std::trunc(w * 10.0 + 0.5) / 10.0;
    }
  }
  record = next;
  return true;
}

std::optional<std::string> PreferredUnitsToStore(const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                                                 const std::string& prefUnits) {
  if (record.volumeUnits || record.unitsIndex < 0 || record.unitsIndex >= LinearCount(model)) {
    return std::nullopt;
  }
  const std::string& name = model.unitNames[static_cast<std::size_t>(record.unitsIndex)];
  if (name == prefUnits) {
    return std::nullopt;
  }
  return name;
}

std::string SoftwareRevisionText(const std::string& label, std::uint32_t revision) {
  if (revision >= 100) {
    return Format("%s:  %2.1f", label, revision / 10.0);
  }
  return Format("%s:  %d", label, revision);
}

}  // namespace tolvane::config
