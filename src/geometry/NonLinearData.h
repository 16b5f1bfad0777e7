// The non-linear tank data: the chosen tank shape, its dimensions, and the
// strapping table the calculation component gives for them, with the
// arithmetic between raw level, level, raw volume and volume that the
// configuration form and the curve view use. One record, owned by the main
// window; the form, the dimension form and the curve view share it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "common/Clock.h"
#include "common/Messages.h"
#include "config/ConfigFile.h"
#include "config/ConfigValues.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"
#include "geometry/ComponentRegistry.h"

namespace tolvane::geometry {

inline constexpr int kTablePoints = 249;
inline constexpr int kDimensions = 9;
inline constexpr int kLevelRange = 5;
inline constexpr int kResults = 14;
inline constexpr int kFillHeightResult = 12;
inline constexpr int kSensorHeightResult = 13;
inline constexpr std::uint16_t kNoLevel = 0xFFFF;
inline constexpr double kDefaultBaseFactor = 709.0;

// Results of Calculate.
enum CALCULATE_RESULT : int {
  CALC_OK = 0,
  CALC_BAD_CLSID = -1,
  CALC_BAD_IID = -2,
  CALC_NO_COMPONENT = -3,
  // The component ran but gave no usable table (it refused the dimensions,
  // or its table has no points, more than 249, a step of 0, entries that go
  // down, or no usable volume scale). TANK_MESSAGE1 with the component's
  // caption is shown; the record keeps its previous values.
  CALC_REFUSED = -4,
};

// Opens the busy window Calculate shows (without owner); closing it is
// destroying the object.
class IBusyWindowFactory {
 public:
  virtual ~IBusyWindowFactory() = default;
  virtual std::unique_ptr<IBusyWindow> OpenBusyWindow() = 0;
};

// Busy windows that show nothing, for the calculation without windows.
class CNoBusyWindows final : public IBusyWindowFactory {
 public:
  std::unique_ptr<IBusyWindow> OpenBusyWindow() override { return std::make_unique<CNoBusyWindow>(); }
};

// What Calculate needs besides the record: the component factory, the
// dialogs, the language, and the clock for its closing pause.
struct CALCULATE_CONTEXT {
  IComponentFactory& components;
  IBusyWindowFactory& busy;
  IMessageBox& messages;
  const CLanguageFile& language;
  int languageNumber = 0;
  IClock& clock;
  bool pause = true;  // the 500 ms pause before the busy window closes
};

class CNonLinearData {
 public:
  CNonLinearData() { SetOffValues(); }

  // --- fields, in the record's order ---
  std::array<double, kDimensions> dimensions{};
  std::uint16_t dimensionUnit = 0;
  std::int16_t structureType = -1;
  std::uint8_t selectionCode = 0;
  double dimensionFactor = kDefaultBaseFactor;
  double baseFactor = kDefaultBaseFactor;
  std::array<double, kLevelRange> levelRange{0.0, 0.0, 0.0, 0.0, 1.0};
  std::array<double, kResults> results{};
  std::uint16_t maxRawLevel = 240;
  std::uint8_t pointCount = 0;
  std::uint8_t step = 0;
  std::uint16_t extraValue = 0;
  std::array<std::uint16_t, kTablePoints> table{};
  float volumeOffset = 0.0f, volumeScale = 1.0f;
  float displayOffset = 0.0f, displayScale = 1.0f;
  std::uint8_t flags = 1;  // bit 0 set: non-linear off
  std::string curveCaption;
  double curveStart = 0.0, curveStep = 1.0;
  // The structure-definition file's identifiers, as text without braces.
  std::string clsid, iid;

  bool On() const { return (flags & 1U) == 0; }
  void SetOn(bool on) { flags = on ? static_cast<std::uint8_t>(flags & ~1U) : static_cast<std::uint8_t>(flags | 1U); }

  // The values while non-linear is off (the form's initialisation).
  void SetOffValues();

  // Runs the calculation component named by `clsid` and `iid`: CALC_OK, or
  // one of the failures (the record's results keep their values then).
  int Calculate(const CALCULATE_CONTEXT& context);

  // --- table and unit arithmetic (raw values are 16-bit) ---
  std::uint16_t TableLevelToVolume(std::uint16_t rawLevel) const;
  // kNoLevel when no segment of the table encloses the raw volume.
  std::uint16_t TableVolumeToLevel(std::uint16_t rawVolume) const;
  // The raw volume of a volume in the display unit; saturates at 0 and 0xFFFF.
  std::uint16_t VolumeToRaw(double volume) const;
  // The same, none when the volume lies outside the table's volumes.
  std::optional<std::uint16_t> VolumeToRawChecked(double volume) const;
  double RawToVolume(std::uint16_t rawVolume, bool displayUnit) const;
  double RawLevelToLevel(std::uint16_t rawLevel, double divisor, double factor) const;
  // False, and nothing changes, for a factor that gives no usable unit.
  bool SetVolumeUnit(double volumeUnitFactor);
  // Nine characters, right-aligned, 4, 2 or 0 decimals.
  std::string FormatDisplay(std::uint16_t rawVolume) const;

  // The copy of the state a configuration file and the Customer page keep.
  config::CONFIG_NONLINEAR ToConfig() const;
  void FromConfig(const config::CONFIG_NONLINEAR& c);
};

// ConvertLevelDisplay's modes.
enum LEVEL_CONVERSION : int {
  CONVERT_LENGTH_TO_LENGTH = 0,
  CONVERT_VOLUME_TO_LENGTH = 1,
  CONVERT_LENGTH_TO_VOLUME = 2,
  CONVERT_VOLUME_TO_VOLUME = 3,
};

// The value of one level control moved from one unit to another (factors:
// raw level units per unit for lengths, volume unit factors for volumes),
// rounded half up to one decimal. None for an unknown mode, and for a value
// whose volume lies outside the table or whose level lies beyond it.
std::optional<double> ConvertLevelDisplay(CNonLinearData& data, int mode, double from, double to, double value);

// Levels shown in volume units, through the record's table: what the units
// change, the page mapping and the write to unit use.
class CVolumeLevels : public config::IVolumeLevels {
 public:
  CVolumeLevels(CNonLinearData& data, const MODEL_DEFINITION& model) : data_(data), model_(model) {}
  std::optional<std::int32_t> ToCounts(std::int32_t unitsIndex, double volume) const override;
  std::optional<double> FromCounts(std::int32_t unitsIndex, std::int32_t counts) const override;

 private:
  std::optional<double> Factor(std::int32_t unitsIndex) const;
  CNonLinearData& data_;
  const MODEL_DEFINITION& model_;
};

// A raw result (results 12 and 13) in a height unit: cut to 16 bits
// (saturating), divided by the factor, rounded to one decimal.
double HeightFromResult(double raw, double factor);

}  // namespace tolvane::geometry
