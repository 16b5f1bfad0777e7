// The configuration record: the connected unit's identity and its
// configuration in display units. Plain data shared by identification, the
// model catalogue, the configuration form and the upload.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

#include "defs/ModelTables.h"

namespace tolvane {

// The record's arrays are indexed by the model's int numbers.
inline constexpr std::size_t At(int i) { return static_cast<std::size_t>(i); }

struct ADVANCED_SLOT {
  bool present = false;
  double value = -1.0;  // -1: no value
};

struct CONFIG_RECORD {
  std::string firmwareName;  // name text of the Factory page
  std::string fileName;      // configuration file last opened or saved
  std::int32_t factorySerial = 0;
  std::uint32_t softwareRevision = 0;
  std::string unitDescription;    // filled while the unit's model is parsed
  std::string tankDescription;    // the notes
  std::string modelFileName;      // the model file the catalogue picked
  std::string modelFileRevision;  // REVISION of that model file
  std::array<std::int32_t, kMaxItems> selection{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};
  std::int32_t configIndex = -1;
  bool valid = false;
  bool complete = false;
  std::int32_t unitsIndex = 0;
  double sensorHeight = -1.0;
  double fillHeight = -1.0;
  std::array<double, kLevelRows> level{-1.0, -1.0, -1.0, -1.0, -1.0, -1.0};
  std::array<ADVANCED_SLOT, kMaxAdvanced> advanced{};
  std::int32_t serialNumber = 0;  // HWSERIAL of the information memory
  std::string modelName;          // HWMODEL of the information memory
  bool volumeUnits = false;
  std::int32_t lastLinearUnits = 0;
};

}  // namespace tolvane
