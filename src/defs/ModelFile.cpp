#include "defs/ModelFile.h"

#include <algorithm>
#include <system_error>

#include "common/CheckedFormat.h"
#include "common/FileSystem.h"
#include "common/Folders.h"
#include "common/StdioFileEx.h"

namespace tolvane {
namespace {

constexpr std::string_view kCorporateModel = "Corporate_Model";

// Pattern of a CONFIGURATION value: ten required options, six level rows
// (word, label), the image number and the drawing file.
constexpr std::string_view kConfigurationPattern =
    "%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%d|%s|%d|%s|%d|%s|%d|%s|%d|%s|%d|%s|%d|%s";
// A CONFIG value: the number, ten option lists, six level rows, image, drawing.
constexpr std::string_view kConfigPattern =
    "%d|%s|%s|%s|%s|%s|%s|%s|%s|%s|%s|%d|%s|%d|%s|%d|%s|%d|%s|%d|%s|%d|%s|%d|%s";

// The level rows, image and drawing of a configuration line.
void AddLevelTargets(CONFIGURATION_ENTRY& c, std::vector<FieldTarget>& t) {
  for (int k = 0; k < kLevelRows; ++k) {
    t.emplace_back(&c.levelWord[static_cast<std::size_t>(k)]);
    t.emplace_back(&c.levelLabel[static_cast<std::size_t>(k)]);
  }
  t.emplace_back(&c.imageNumber);
  t.emplace_back(&c.drawingFile);
}

bool FileNameHas(const std::filesystem::path& path, std::string_view what) {
  return path.filename().string().find(what) != std::string::npos;
}

bool IsRegularFile(const std::filesystem::path& path) {
  std::error_code ec;
  return std::filesystem::is_regular_file(path, ec);
}

// ".txt" in the file name marks a plain file, ".fmf" a protected one; a
// name with neither is plain.
bool IsProtected(const std::filesystem::path& path) { return !FileNameHas(path, ".txt") && FileNameHas(path, ".fmf"); }

}  // namespace

CModelFile::CModelFile(const std::filesystem::path& modelsFolder, MODEL_TABLES& tables, APP_SETTINGS& settings,
                       const CLanguageFile& language, CONFIG_RECORD& record, IHelpTopics* help, IBusyWindow* busy,
                       const std::filesystem::path& installedModels, IMessageBox* messages)
    : folder_(modelsFolder),
      installed_(installedModels),
      tables_(tables),
      settings_(settings),
      language_(language),
      record_(record),
      help_(help),
      busy_(busy),
      messages_(messages),
      key_(ModelFileKey()) {}

// ---------------------------------------------------------------------------
// Parser

int CModelFile::ParseModelFile(const std::filesystem::path& path) {
  const bool corporate = FileNameHas(path, kCorporateModel);
  CStdioFileEx file(messages_);
  if (!file.Open(path, CStdioFileEx::modeRead)) {
    return 1;
  }
  ParseLines([&file](std::string& line) { return file.ReadString(line); }, corporate);
  file.Close();
  return 0;
}

int CModelFile::ParseModelText(std::string_view bytes, const std::filesystem::path& path) {
  const bool corporate = FileNameHas(path, kCorporateModel);
  const std::vector<std::string> lines = SplitTextLines(bytes);
  std::size_t n = 0;
  ParseLines(
      [&lines, &n](std::string& line) {
        if (n >= lines.size()) {
          return false;
        }
        line = lines[n++];
        return true;
      },
      corporate);
  return 0;
}

void CModelFile::ParseLines(const LineSource& next, bool corporate) {
  stats_ = PARSE_STATS{};
  matchingUnitType_ = 0;
  std::string line;
  MODEL_ENTRY entry;
  while (next(line)) {
    if (!ReadEntry(line, entry)) {
      continue;
    }
    ++stats_.entries;
    ApplyEntry(entry, corporate);
  }
}

void CModelFile::Applied(bool applied) {
  if (applied) {
    ++stats_.applied;
  } else {
    ++stats_.ignored;
  }
}

void CModelFile::ApplyEntry(const MODEL_ENTRY& e, bool corporate) {
  if (ApplyProgramKey(e, corporate) || ApplyConfigurationKey(e) || ApplyHelpKey(e) || ApplyNonLinearKey(e) ||
      ApplySettingsKey(e)) {
    return;
  }
  ++stats_.unknown;
}

bool CModelFile::ApplyProgramKey(const MODEL_ENTRY& e, bool corporate) {
  PROGRAM_INFO& p = tables_.program;
  const std::string& k = e.key;
  std::string* target = nullptr;
  if (k == "LOGOIMAGE") {
    tables_.images.logoImage = e.value;
    target = &p.logoImage;
  } else if (k == "PROGRAMID") {
    target = &p.programId;
  } else if (k == "PROGRAMNAME") {
    if (!corporate) {
      // Configuration models name the firmware they accept here; the
      // firmware selection reads these lines itself.
      ++stats_.deferred;
      return true;
    }
    target = &p.programName;
  } else if (k == "MODELID") {
    target = &p.modelId;
  } else if (k == "INSTALLERID") {
    target = &p.installerId;
  } else if (k == "SERVER") {
    target = &p.server;
  } else if (k == "SUBDIR") {
    target = &p.subDir;
  } else if (k == "SUPPORTMAIL") {
    target = &p.supportMail;
  } else if (k == "CORPORATEID") {
    target = &p.corporateId;
  } else if (k == "MAINHELP") {
    target = &p.mainHelp;
  } else if (k == "REGISTRY_FILE") {
    target = &settings_.registryFile;
  } else if (k == "LANGUAGE_FILE") {
    target = &settings_.languageFile;
  } else if (k == "REVISION") {
    target = &record_.modelFileRevision;
  } else if (k == "HELPFILE") {
    target = &tables_.helpFile;
  } else if (k == "LANGUAGE_NUMBER") {
    settings_.languageNumber = ParseInt32(e.value);
    Applied(true);
    return true;
  } else {
    return false;
  }
  *target = e.value;
  Applied(true);
  return true;
}

bool CModelFile::ApplyConfigurationKey(const MODEL_ENTRY& e) {
  MODEL_DEFINITION& m = tables_.model;
  IMAGE_SET& img = tables_.images;
  const std::string& k = e.key;
  const int lang = settings_.languageNumber;

  if (k == "CFGLABEL") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxItems, e.index, m.itemCount, m.itemLast);
    if (slot >= 0) {
      CONFIG_ITEM& item = m.items[static_cast<std::size_t>(slot)];
      item.present = true;
      item.optionCount = 1;
      item.optionLast = 1;
      item.optionCode[0] = -1;
      settings_.selectText = language_.Text("SELECTSTR", lang);
      item.optionText[0] = settings_.selectText;
      ParseFields(e.value, "%d|%s", {&item.wordIndex, &item.label});
    }
    Applied(slot >= 0);
  } else if (k == "CFGITEM") {
    // Item i, option j as written; option 0 is the prompt and is never overwritten.
    std::int32_t slot = -1;
    if (!e.append && e.index < kMaxItems && e.second >= 1) {
      CONFIG_ITEM& item = m.items[static_cast<std::size_t>(e.index)];
      slot = AllocateSlot(false, kMaxOptions, e.second, item.optionCount, item.optionLast);
      if (slot >= 0) {
        const auto s = static_cast<std::size_t>(slot);
        ParseFields(e.value, "%d|%s", {&item.optionCode[s], &item.optionText[s]});
      }
    }
    Applied(slot >= 0);
  } else if (k == "CONFIGURATION") {
    const std::int32_t slot =
        AllocateSlot(e.append, kMaxConfigurations, e.index, m.configurationCount, m.configurationLast);
    if (slot >= 0) {
      CONFIGURATION_ENTRY& c = m.configurations[static_cast<std::size_t>(slot)];
      c = CONFIGURATION_ENTRY{};
      c.present = true;
      c.number = slot + 1;
      std::vector<FieldTarget> t;
      t.reserve(24);
      for (auto& r : c.requiredOption) {
        t.emplace_back(&r);
      }
      AddLevelTargets(c, t);
      ParseFields(e.value, kConfigurationPattern, t);
    }
    Applied(slot >= 0);
  } else if (k == "CONFIG") {
    Applied(ExpandConfig(e.value) > 0);
  } else if (k == "UNITS") {
    m.unitsLast = 0;
    const std::int32_t slot = AllocateSlot(e.append, kMaxUnits, e.index, m.unitsCount, m.unitsLast);
    if (slot >= 0) {
      m.unitNames[static_cast<std::size_t>(slot)] = e.value;
    }
    Applied(slot >= 0);
  } else if (k == "UNITCONV") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxUnits, e.index, m.unitConvCount, m.unitsLast);
    if (slot >= 0) {
      m.unitFactors[static_cast<std::size_t>(slot)] = ParseReal(e.value);
    }
    Applied(slot >= 0);
  } else if (k == "TPF") {
    m.baseFactor = ParseReal(e.value);
    Applied(true);
  } else if (k == "DCAL") {
    // The index as written is the word number; it must lie in the page.
    const bool ok = e.hasIndex && e.written >= 0 && e.written < kPageWords && m.fixedWriteCount < kMaxFixedWrites;
    if (ok) {
      m.fixedWrites[static_cast<std::size_t>(m.fixedWriteCount++)] = {e.written, ParseInt32(e.value)};
    }
    Applied(ok);
  } else if (k == "MAXSENSORHEIGHT") {
    m.maxSensorHeight = ParseReal(e.value);
    Applied(true);
  } else if (k == "MINRANGE") {
    m.minRange = ParseReal(e.value);
    Applied(true);
  } else if (k == "DEFAULTFILE") {
    m.defaultFile = e.value;
    Applied(true);
  } else if (k == "UNITRANGE") {
    m.unitRange = e.value;
    Applied(true);
  } else if (k == "UNITTYPE") {
    const bool ok = m.unitTypeCount < kMaxUnitTypes;
    if (ok) {
      m.unitTypes[static_cast<std::size_t>(m.unitTypeCount++)] = e.value;
      if (e.value.find(record_.firmwareName) != std::string::npos) {
        matchingUnitType_ = e.index;
      }
    }
    Applied(ok);
  } else if (k == "UNITDESCRIPTION") {
    // Only the description of the unit type that matched the unit's firmware name counts.
    if (e.index == matchingUnitType_) {
      record_.unitDescription = Format("%s %s", language_.Text("IDC_MODELDESCRIPTION", lang), e.value);
    }
    Applied(true);
  } else if (k == "ADVINPUT") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxAdvanced, e.index, m.advancedInputCount, m.advancedLast);
    if (slot >= 0) {
      ADVANCED_ENTRY& a = m.advanced[static_cast<std::size_t>(slot)];
      ParseFields(e.value, "%d|%d|%s|%d|%d|%s",
                  {&a.flagWord, &a.flagBit, &a.label, &a.valueWord, &a.kind, &a.secondText});
      a.helpText.clear();
    }
    Applied(slot >= 0);
  } else if (k == "ADVTEXT") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxAdvanced, e.index, m.advancedTextCount, m.advancedLast);
    if (slot >= 0) {
      m.advanced[static_cast<std::size_t>(slot)].helpText = e.value;
    }
    Applied(slot >= 0);
  } else if (k == "TANKIMAGE") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxTankImages, e.index, img.tankImageCount, img.tankImageLast);
    if (slot >= 0) {
      img.tankImages[static_cast<std::size_t>(slot)] = e.value;
    }
    Applied(slot >= 0);
  } else if (k == "IMAGE") {
    img.overlayImage = e.value;
    img.overlayCount = 0;
    img.overlayLast = -1;
    Applied(true);
  } else if (k == "OVERLAY") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxOverlays, e.index, img.overlayCount, img.overlayLast);
    if (slot >= 0) {
      const auto s = static_cast<std::size_t>(slot);
      ParseFields(e.value, "%d|%d|%s", {&img.overlayPosition[s].x, &img.overlayPosition[s].y, &img.overlayText[s]});
    }
    Applied(slot >= 0);
  } else {
    return false;
  }
  return true;
}

int CModelFile::ExpandConfig(std::string_view value) {
  MODEL_DEFINITION& m = tables_.model;
  CONFIGURATION_ENTRY proto;
  std::array<std::string, kMaxItems> lists;
  std::vector<FieldTarget> t;
  t.reserve(25);
  t.emplace_back(&proto.number);
  for (auto& l : lists) {
    t.emplace_back(&l);
  }
  AddLevelTargets(proto, t);
  ParseFields(value, kConfigPattern, t);

  std::array<std::vector<std::int32_t>, kMaxItems> options;
  for (std::size_t i = 0; i < options.size(); ++i) {
    if (!ExpandOptionList(lists[i], options[i])) {
      return -1;
    }
  }
  // The cross product, item 9 innermost; every combination takes the next slot.
  std::array<std::size_t, kMaxItems> at{};
  int added = 0;
  for (;;) {
    std::int32_t index = m.configurationLast;
    const std::int32_t slot = AllocateSlot(true, kMaxConfigurations, index, m.configurationCount, m.configurationLast);
    if (slot < 0) {
      break;
    }
    CONFIGURATION_ENTRY& c = m.configurations[static_cast<std::size_t>(slot)];
    c = proto;
    c.present = true;
    for (std::size_t i = 0; i < at.size(); ++i) {
      c.requiredOption[i] = options[i][at[i]];
    }
    ++added;
    std::size_t i = at.size();
    while (i > 0) {
      --i;
      if (++at[i] < options[i].size()) {
        break;
      }
      at[i] = 0;
      if (i == 0) {
        return added;
      }
    }
  }
  return added;
}

void CModelFile::SetHelpTopic(int controlId, const std::string& topic) {
  if (help_ != nullptr) {
    help_->SetTopic(controlId, topic);
  }
}

bool CModelFile::ApplyHelpKey(const MODEL_ENTRY& e) {
  const std::string& k = e.key;
  if (k == "HLPCFG") {
    const bool ok = e.index >= 0 && e.index < kMaxItems;
    if (ok) {
      SetHelpTopic(kItemLabelIds[e.index], e.value);
      SetHelpTopic(kItemComboIds[e.index], e.value);
    }
    Applied(ok);
  } else if (k == "HLPLVL") {
    // The six level controls are the level boxes 1019 (row 0, lowest on the
    // form) to 1014 (row 5): HLPLVL[n] sets the box of row n - 1, HLPLVL
    // without an index all six. The row labels (1047..1042) keep the table's
    // topic: a right click on a label is about the levels group as a whole.
    const bool ok = !e.hasIndex || (e.index >= 0 && e.index < kLevelRows);
    if (ok) {
      for (int r = 0; r < kLevelRows; ++r) {
        if (!e.hasIndex || r == e.index) {
          SetHelpTopic(kLevelBoxIds[r], e.value);
        }
      }
    }
    Applied(ok);
  } else if (k == "HLPFACTORYDEFAULT") {
    SetHelpTopic(1023, e.value);
    Applied(true);
  } else if (k == "HLPRESET") {
    SetHelpTopic(1052, e.value);
    Applied(true);
  } else if (k == "HLPADV") {
    SetHelpTopic(1062, e.value);
    Applied(true);
  } else {
    return false;
  }
  return true;
}

bool CModelFile::ApplyNonLinearKey(const MODEL_ENTRY& e) {
  MODEL_DEFINITION& m = tables_.model;
  STRUCTURE_PAGE& page = tables_.structurePage;
  DIMENSION_LAYOUT& dim = tables_.dimensions;
  const std::string& k = e.key;
  // Keys of the picker and the dimension form take an index 1..n as written.
  const auto inRange = [&e](int n) { return e.hasIndex && e.written >= 1 && e.written <= n; };
  const auto slotOf = [&e]() { return static_cast<std::size_t>(e.written - 1); };

  if (k == "NLBUTTON") {
    m.nonLinearButton = e.value;
    Applied(true);
  } else if (k == "NONLINEAR") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxNonLinearFiles, e.index, m.nonLinearCount, m.nonLinearLast);
    if (slot >= 0) {
      m.nonLinearFiles[static_cast<std::size_t>(slot)] = e.value;
    }
    Applied(slot >= 0);
  } else if (k == "NLTITLE") {
    dim.title = e.value;
    m.volumeUnitsCount = 0;
    m.volumeConvCount = 0;
    m.volumeUnitsLast = 0;
    Applied(true);
  } else if (k == "NLUNITS") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxUnits, e.index, m.volumeUnitsCount, m.volumeUnitsLast);
    if (slot >= 0) {
      m.volumeUnitNames[static_cast<std::size_t>(slot)] = e.value;
    }
    Applied(slot >= 0);
  } else if (k == "NLUNITCONV") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxUnits, e.index, m.volumeConvCount, m.volumeConvLast);
    if (slot >= 0) {
      m.volumeFactors[static_cast<std::size_t>(slot)] = ParseReal(e.value);
    }
    Applied(slot >= 0);
  } else if (k == "TABTITLE") {
    const bool ok = inRange(kMaxPictures);
    if (ok) {
      page.tabTitle = e.value;
    }
    Applied(ok);
  } else if (k == "SELECTIMAGE") {
    const bool ok = inRange(kMaxPictures);
    if (ok) {
      page.pictureFiles[slotOf()] = e.value;
      page.pictureCount = std::min(page.pictureCount + 1, kMaxPictures);
    }
    Applied(ok);
  } else if (k == "IMAGECAPTION") {
    const bool ok = inRange(kMaxPictures);
    if (ok) {
      page.pictureCaptions[slotOf()] = e.value;
    }
    Applied(ok);
  } else if (k == "ALTMODELFILE") {
    const bool ok = inRange(kMaxPictures);
    if (ok) {
      page.altModelFiles[slotOf()] = e.value;
    }
    Applied(ok);
  } else if (k == "MAINIMAGE") {
    dim.mainImage = e.value;
    Applied(true);
  } else if (k == "DIMWINDOW") {
    const bool ok = inRange(kMaxDimWindows);
    if (ok) {
      const std::size_t s = slotOf();
      ParseFields(e.value, "%d|%d|%s", {&dim.windowPosition[s].x, &dim.windowPosition[s].y, &dim.windowLabel[s]});
      dim.windowCount = std::min(dim.windowCount + 1, kMaxDimWindows);
      dim.numbers[s] = 0.0;
    }
    Applied(ok);
  } else if (k == "UNITWINDOW") {
    dim.unitWindow = true;
    ParseFields(e.value, "%d|%d|%s", {&dim.unitWindowPosition.x, &dim.unitWindowPosition.y, &dim.unitWindowLabel});
    Applied(true);
  } else if (k == "DIMUNITS") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxUnits, e.index, dim.dimUnitCount, dim.dimUnitLast);
    if (slot >= 0) {
      dim.dimUnitNames[static_cast<std::size_t>(slot)] = e.value;
      dim.dimFactors[static_cast<std::size_t>(slot)] = 1.0;
    }
    Applied(slot >= 0);
  } else if (k == "DIMUNITCONV") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxUnits, e.index, dim.dimFactorCount, dim.dimFactorLast);
    if (slot >= 0) {
      dim.dimFactors[static_cast<std::size_t>(slot)] = ParseReal(e.value);
    }
    Applied(slot >= 0);
  } else if (k == "IID") {
    m.iid = e.value;
    Applied(true);
  } else if (k == "CLSID") {
    m.clsid = e.value;
    Applied(true);
  } else if (k == "NLTYPE") {
    const std::int32_t slot =
        AllocateSlot(e.append, kMaxStructureTypes, e.index, m.structureTypeCount, m.structureTypeLast);
    if (slot >= 0) {
      m.structureTypes[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(ParseInt32(e.value));
    }
    Applied(slot >= 0);
  } else if (k == "SELECTID") {
    const std::int32_t slot = AllocateSlot(e.append, kMaxStructureTypes, e.index, m.selectIdCount, m.selectIdLast);
    if (slot >= 0) {
      m.selectIds[static_cast<std::size_t>(slot)] = static_cast<std::uint8_t>(ParseInt32(e.value));
    }
    Applied(slot >= 0);
  } else if (k == "NLTYPEID") {
    const std::int32_t slot =
        AllocateSlot(e.append, kMaxStructureTypes, e.index, m.definedTypeCount, m.definedTypeLast);
    if (slot >= 0) {
      m.definedTypes[static_cast<std::size_t>(slot)] = static_cast<std::int16_t>(ParseInt32(e.value));
    }
    Applied(slot >= 0);
  } else {
    return false;
  }
  return true;
}

bool CModelFile::ApplySettingsKey(const MODEL_ENTRY& e) {
  APP_SETTINGS& s = settings_;
  const std::string& k = e.key;
  std::string* text = nullptr;
  bool* flag = nullptr;
  if (k == "DBVERSION") {
    text = &s.dbVersion;
  } else if (k == "DEMOMODEL") {
    text = &s.demoModel;
  } else if (k == "DEMOSERIAL") {
    text = &s.demoSerial;
  } else if (k == "DEMOSWREV") {
    text = &s.demoSoftwareRevision;
  } else if (k == "GFILE") {
    text = &s.guideFile;
  } else if (k == "PREF_UNITS") {
    text = &s.prefUnits;
  } else if (k == "VERSION") {
    text = &s.version;
  } else if (k == "DEMOTAB") {
    flag = &s.demoTab;
  } else if (k == "KESTRINE_MODE") {
    flag = &s.kestrineMode;
  } else if (k == "GUIDE") {
    flag = &s.guide;
  } else if (k == "OPTOUT") {
    flag = &s.optOut;
  } else if (k == "PENDING") {
    flag = &s.pending;
  } else if (k == "TECHSUPPORT") {
    flag = &s.techSupport;
  } else {
    return false;
  }
  if (text != nullptr) {
    *text = e.value;
  } else {
    *flag = ParseBool(e.value);
  }
  Applied(true);
  return true;
}

void CModelFile::ResetDefinition() {
  MODEL_DEFINITION& m = tables_.model;
  for (auto& item : m.items) {
    item = CONFIG_ITEM{};
  }
  for (std::int32_t i = 0; i <= m.configurationLast && i < kMaxConfigurations; ++i) {
    m.configurations[static_cast<std::size_t>(i)] = CONFIGURATION_ENTRY{};
  }
  for (auto& a : m.advanced) {
    a = ADVANCED_ENTRY{};
  }
  m.itemCount = 0;
  m.itemLast = -1;
  m.configurationCount = 0;
  m.configurationLast = -1;
  m.advancedInputCount = m.advancedTextCount = 0;
  m.advancedLast = -1;
  m.unitsCount = m.unitConvCount = 0;
  m.unitsLast = -1;
  m.unitNames = {};
  m.unitFactors = {};
  m.fixedWriteCount = 0;
  m.fixedWrites = {};
  m.maxSensorHeight = 0.0;
  m.minRange = 0.0;
  m.defaultFile.clear();
  m.unitTypeCount = 0;
  m.unitTypes = {};
  m.nonLinearButton.clear();
  m.nonLinearCount = 0;
  m.nonLinearLast = -1;
  m.nonLinearFiles = {};
  m.volumeUnitsCount = m.volumeConvCount = 0;
  m.volumeUnitsLast = m.volumeConvLast = -1;
  m.volumeFactors = {};
  m.volumeUnitNames = {};
  m.iid.clear();
  m.clsid.clear();
  m.structureTypeCount = 0;
  m.structureTypeLast = -1;
  m.structureTypes.fill(-1);
  m.selectIdCount = 0;
  m.selectIdLast = -1;
  m.selectIds = {};
  m.definedTypeCount = 0;
  m.definedTypeLast = -1;
  m.definedTypes = {};
  m.baseFactor = 709.0;
  m.unitRange.clear();
}

void CModelFile::ResetModel() {
  // The whole definition is emptied, not only its counts: a value the next
  // model does not set (a default file, an overlay picture) must not survive
  // from the model before.
  ResetDefinition();
  IMAGE_SET& img = tables_.images;
  img.tankImageCount = 0;
  img.tankImageLast = -1;
  img.tankImages = {};
  img.overlayImage.clear();
  img.overlayCount = 0;
  img.overlayLast = -1;
  img.overlayText = {};
  img.overlayPosition = {};
  DIMENSION_LAYOUT& dim = tables_.dimensions;
  dim.dimUnitCount = dim.dimFactorCount = 0;
  dim.dimUnitLast = dim.dimFactorLast = -1;
  dim.unitWindow = false;
}

void CModelFile::ResetStructure() {
  STRUCTURE_PAGE& page = tables_.structurePage;
  page.pictureCount = 0;
  page.pictureFiles = {};
  page.pictureCaptions = {};
  DIMENSION_LAYOUT& dim = tables_.dimensions;
  dim.mainImage.clear();
  dim.windowCount = 0;
  dim.numbers = {};
  dim.windowPosition = {};
  dim.windowLabel = {};
  dim.unitWindow = false;
  dim.unitWindowLabel.clear();
  dim.unitWindowPosition = {};
  dim.dimUnitNames = {};
  dim.dimFactors = {};
  dim.dimUnitCount = dim.dimFactorCount = 0;
  dim.dimUnitLast = dim.dimFactorLast = 0;
}

// ---------------------------------------------------------------------------
// Catalogue

int CModelFile::LoadModel(const std::filesystem::path& path, int progress) {
  stats_ = PARSE_STATS{};
  std::filesystem::path file = path;
  bool found = true;
  if (!FileNameHas(path, ".txt") && !FileNameHas(path, ".fmf")) {
    const std::filesystem::path fmf = path.string() + ".fmf";
    const std::filesystem::path txt = path.string() + ".txt";
    if (IsRegularFile(fmf)) {
      file = fmf;
    } else if (IsRegularFile(txt)) {
      file = txt;
    } else {
      // A plain file of exactly the base name (the corporate model is
      // shipped so) is read as it stands.
      found = IsRegularFile(path);
    }
  } else {
    found = IsRegularFile(path);
  }
  if (found) {
    if (!IsProtected(file)) {
      ParseModelFile(file);
    } else {
      std::string plain;
      if (DecipherFileToMemory(file, key_, plain)) {
        ParseModelText(plain, file);
      }
    }
  }
  if (progress > 0 && busy_ != nullptr) {
    busy_->SetProgress(progress);
  }
  return found ? 1 : 0;
}

int CModelFile::LoadModelByName(std::string_view name, int progress) {
  if (!IsSafeLeafName(name)) {
    if (progress > 0 && busy_ != nullptr) {
      busy_->SetProgress(progress);
    }
    return 0;
  }
  return LoadFromModels(name, progress);
}

std::filesystem::path CModelFile::File(std::string_view name) const { return ModelsFile(folder_, installed_, name); }

int CModelFile::LoadFromModels(std::string_view name, int progress) {
  const std::string base(name);
  if (!installed_.empty() && !FileNameHas(base, ".txt") && !FileNameHas(base, ".fmf")) {
    // The same order as in one folder; each candidate is the user's when the
    // user has a file of that name.
    for (const char* extension : {".fmf", ".txt", ""}) {
      const std::filesystem::path candidate = File(base + extension);
      if (IsRegularFile(candidate)) {
        return LoadModel(candidate, progress);
      }
    }
  }
  return LoadModel(File(base), progress);
}

bool CModelFile::ScanEntries(const std::filesystem::path& path,
                             const std::function<bool(const MODEL_ENTRY&)>& visit) const {
  MODEL_ENTRY e;
  if (IsProtected(path)) {
    std::string plain;
    if (!DecipherFileToMemory(path, key_, plain)) {
      return false;
    }
    for (const std::string& line : SplitTextLines(plain)) {
      if (ReadEntry(line, e) && !visit(e)) {
        break;
      }
    }
    return true;
  }
  // Plain files are read line by line, so a huge file costs no memory.
  CStdioFileEx file(messages_);
  if (!file.Open(path, CStdioFileEx::modeRead)) {
    return false;
  }
  std::string line;
  while (file.ReadString(line)) {
    if (ReadEntry(line, e) && !visit(e)) {
      break;
    }
  }
  return true;
}

int CModelFile::FindKeyValue(const std::filesystem::path& path, std::string_view key, std::string_view value,
                             std::string* outValue, bool keepLooking) const {
  int result = 0;
  ScanEntries(path, [&](const MODEL_ENTRY& e) {
    if (e.key != key) {
      return true;
    }
    if (outValue != nullptr) {
      *outValue = e.value;
    }
    if (e.value == value) {
      result = 1;
      return false;
    }
    return keepLooking;
  });
  return result;
}

std::vector<std::string> CModelFile::ListFiles(std::string_view pattern, std::string_view extension) const {
  std::vector<std::string> names;
  std::vector<std::string> userEntries;  // every name of the models folder, files or not
  // The models folder first, then the installed files it has no entry of
  // that name for; each in the order the file system lists them.
  for (const std::filesystem::path* folder : {&folder_, &installed_}) {
    if (folder->empty()) {
      continue;
    }
    std::error_code ec;
    std::filesystem::directory_iterator it(*folder, ec);
    if (ec) {
      continue;
    }
    const bool own = folder == &folder_;
    for (const auto& entry : it) {
      const std::string name = entry.path().filename().string();
      if (own) {
        userEntries.push_back(name);
      } else if (std::find(userEntries.begin(), userEntries.end(), name) != userEntries.end()) {
        continue;
      }
      std::error_code fec;
      if (!entry.is_regular_file(fec)) {
        continue;
      }
      if (name.size() >= pattern.size() + extension.size() && name.starts_with(pattern) && name.ends_with(extension)) {
        names.push_back(name);
      }
    }
  }
  return names;
}

void CModelFile::ShowBusy(std::string_view key, int progress) const {
  if (progress > 0 && busy_ != nullptr) {
    busy_->SetMessage(language_.Text(key, settings_.languageNumber));
  }
}

int CModelFile::FindModel(std::string_view pattern, std::string_view key, std::string_view value, int progress,
                          std::string& outName) const {
  return FindModelByTwoValues(pattern, key, value, value, progress, outName);
}

int CModelFile::FindModelByTwoValues(std::string_view pattern, std::string_view key, std::string_view value1,
                                     std::string_view value2, int progress, std::string& outName) const {
  static constexpr std::string_view kSteps[2][2] = {{".txt", "STATUS_MESSAGE29"}, {".fmf", "STATUS_MESSAGE30"}};
  for (const auto& step : kSteps) {
    ShowBusy(step[1], progress);
    for (const std::string& name : ListFiles(pattern, step[0])) {
      const std::filesystem::path path = File(name);
      if (FindKeyValue(path, key, value1, nullptr, true) == 1 && FindKeyValue(path, key, value2, nullptr, true) == 1) {
        outName = name;
        return 1;
      }
    }
  }
  return 0;
}

int CModelFile::LoadCorporateModel() {
  ResetModel();
  return LoadFromModels(kCorporateModel, 15);
}

std::string CModelFile::HardwareType(std::string_view modelName) {
  return std::string(modelName.substr(0, modelName.find('-')));
}

int CModelFile::LoadUnitModel() {
  const std::string hardwareType = HardwareType(record_.modelName);
  std::string name;
  if (FindModelByTwoValues(tables_.program.modelId, "UNITTYPE", hardwareType, record_.firmwareName, 85, name) != 1) {
    return 0;
  }
  record_.modelFileName = name;
  // Both describe the loaded model: nothing of the model before may stay
  // when the new one has no REVISION or no description for this unit.
  record_.unitDescription.clear();
  record_.modelFileRevision.clear();
  // Loaded by its base name, so a protected file of that name is preferred to a plain one.
  const std::size_t dot = name.rfind('.');
  ResetModel();
  return LoadFromModels(name.substr(0, dot), 95);
}

}  // namespace tolvane
