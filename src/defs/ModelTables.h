// The tables a model file fills: the configuration model of a sensor family,
// the program identity of the corporate model, the tank pictures and the two
// kinds of non-linear structure file. Plain data; CModelFile fills them and the
// forms read them.
#pragma once

#include <array>
#include <cstdint>
#include <string>

namespace tolvane {

inline constexpr int kMaxItems = 10;
inline constexpr int kMaxOptions = 100;
inline constexpr int kMaxConfigurations = 1000;
inline constexpr int kLevelRows = 6;
inline constexpr int kMaxAdvanced = 31;
inline constexpr int kMaxUnits = 10;
inline constexpr int kMaxFixedWrites = 100;
inline constexpr int kMaxUnitTypes = 10;
inline constexpr int kMaxNonLinearFiles = 10;
inline constexpr int kMaxStructureTypes = 10;
inline constexpr int kMaxTankImages = 100;
inline constexpr int kMaxOverlays = 8;
inline constexpr int kMaxPictures = 10;
inline constexpr int kMaxDimWindows = 9;
// Words of a memory page (fixed writes must name one of them).
inline constexpr int kPageWords = 256;

// One selection item of the configuration form. Option 0 is the prompt.
struct CONFIG_ITEM {
  std::string label;
  bool present = false;
  std::int32_t wordIndex = -1;  // Customer-page word of the item; negative: not stored
  std::int32_t optionCount = 1;
  std::int32_t optionLast = 1;
  std::array<std::int32_t, kMaxOptions> optionCode{};
  std::array<bool, kMaxOptions> optionEnabled{};
  std::array<std::string, kMaxOptions> optionText;
};

// One valid combination of options.
struct CONFIGURATION_ENTRY {
  bool present = false;
  std::int32_t number = 0;
  std::array<std::int32_t, kMaxItems> requiredOption{};  // -1: any option
  std::array<std::int32_t, kLevelRows> levelWord{};      // 0 or negative: row unused
  std::array<std::string, kLevelRows> levelLabel;
  std::int32_t imageNumber = 0;
  std::string drawingFile;
};

struct ADVANCED_ENTRY {
  std::int32_t flagWord = -1;
  std::int32_t flagBit = 0;  // 1-based
  std::string label;
  std::int32_t valueWord = -1;
  std::int32_t kind = 0;  // 1: second text is the units text; 2: length units
  std::string secondText;
  std::string helpText;
};

struct FIXED_WRITE {
  std::int32_t word = 0;
  std::int32_t value = 0;
};

struct MODEL_DEFINITION {
  std::int32_t itemCount = 0, itemLast = -1;
  std::array<CONFIG_ITEM, kMaxItems> items;

  std::int32_t configurationCount = 0, configurationLast = -1;
  std::array<CONFIGURATION_ENTRY, kMaxConfigurations> configurations;

  std::int32_t advancedInputCount = 0, advancedTextCount = 0, advancedLast = -1;
  std::array<ADVANCED_ENTRY, kMaxAdvanced> advanced;

  std::int32_t unitsCount = 0, unitConvCount = 0, unitsLast = -1;
  std::array<std::string, kMaxUnits> unitNames;
  std::array<double, kMaxUnits> unitFactors{};

  std::int32_t fixedWriteCount = 0;
  std::array<FIXED_WRITE, kMaxFixedWrites> fixedWrites{};

  double maxSensorHeight = 0.0;
  double minRange = 0.0;
  std::string defaultFile;

  std::int32_t unitTypeCount = 0;
  std::array<std::string, kMaxUnitTypes> unitTypes;

  std::string nonLinearButton;
  std::int32_t nonLinearCount = 0, nonLinearLast = -1;
  std::array<std::string, kMaxNonLinearFiles> nonLinearFiles;

  std::int32_t volumeUnitsCount = 0, volumeUnitsLast = -1, volumeConvCount = 0, volumeConvLast = -1;
  std::array<double, kMaxUnits> volumeFactors{};
  std::array<std::string, kMaxUnits> volumeUnitNames;

  std::string iid, clsid;

  std::int32_t structureTypeCount = 0, structureTypeLast = -1;
  std::array<std::int16_t, kMaxStructureTypes> structureTypes{-1, -1, -1, -1, -1, -1, -1, -1, -1, -1};

  std::int32_t selectIdCount = 0, selectIdLast = -1;
  std::array<std::uint8_t, kMaxStructureTypes> selectIds{};

  std::array<std::int16_t, kMaxStructureTypes> definedTypes{};
  std::int32_t definedTypeCount = 0, definedTypeLast = -1;

  double baseFactor = 709.0;
  std::string unitRange;
};

// The program identity, from the corporate model.
struct PROGRAM_INFO {
  std::string logoImage;
  std::string programId;
  std::string programName;
  std::string modelId;
  std::string installerId;
  std::string corporateId;
  std::string mainHelp;
  std::string server;
  std::string subDir;
  std::string supportMail;  // SUPPORTMAIL: the support mailbox, "friendly name|address"
};

struct OVERLAY_POSITION {
  std::int32_t x = 0;
  std::int32_t y = 0;
};

struct IMAGE_SET {
  std::string logoImage;
  std::int32_t tankImageCount = 0, tankImageLast = -1;
  std::array<std::string, kMaxTankImages> tankImages;
  std::string overlayImage;
  std::int32_t overlayCount = 0, overlayLast = -1;
  std::array<std::string, kMaxOverlays> overlayText;
  std::array<OVERLAY_POSITION, kMaxOverlays> overlayPosition{};
};

// One tab of the non-linear structure picker.
struct STRUCTURE_PAGE {
  std::string tabTitle;
  std::int32_t pictureCount = 0;
  std::array<std::string, kMaxPictures> pictureFiles;
  std::array<std::string, kMaxPictures> pictureCaptions;
  std::array<std::string, kMaxPictures> altModelFiles;
};

// The dimension form of one non-linear structure.
struct DIMENSION_LAYOUT {
  std::string title;
  std::string mainImage;
  std::int32_t windowCount = 0;
  std::array<double, 10> numbers{};
  std::array<OVERLAY_POSITION, kMaxDimWindows> windowPosition{};
  std::array<std::string, kMaxDimWindows> windowLabel;
  bool unitWindow = false;
  std::string unitWindowLabel;
  OVERLAY_POSITION unitWindowPosition{};
  std::int32_t dimUnitCount = 0, dimUnitLast = -1;
  std::array<std::string, kMaxUnits> dimUnitNames;
  std::int32_t dimFactorCount = 0, dimFactorLast = -1;
  std::array<double, kMaxUnits> dimFactors{};
};

// Everything a model file can fill besides the settings block and the
// configuration record: owned by the main dialog, filled by CModelFile.
struct MODEL_TABLES {
  MODEL_DEFINITION model;
  PROGRAM_INFO program;
  IMAGE_SET images;
  STRUCTURE_PAGE structurePage;
  DIMENSION_LAYOUT dimensions;
  std::string helpFile;  // HELPFILE of the configuration model
};

}  // namespace tolvane
