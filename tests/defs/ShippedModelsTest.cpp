// The model files Tolvane ships: every line is understood, the tables are
// consistent with what the configuration form and the page mapping expect,
// and the catalogue picks the right model for every unit we sell.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <set>

#include "common/FileSystem.h"
#include "defs/FileCipher.h"
#include "defs/ModelFile.h"
#include "defs/ModelTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

const fs::path kShipped = fs::path(TOLVANE_SOURCE_DATA) / "Models";
const fs::path kProtected = fs::path(TOLVANE_PROTECTED_MODELS_DIR);
const fs::path kProtectedSources = fs::path(TOLVANE_SOURCE_DATA).parent_path() / "data-src" / "Models";

bool IsLanguageFile(const fs::path& p) { return p.filename().string().starts_with("Tolvane_Language"); }

// Every model file of the installed Models folder: the plain ones beside the
// language file, and the protected ones the build makes.
std::vector<fs::path> ShippedModelFiles() {
  std::vector<fs::path> files;
  for (const auto& e : fs::directory_iterator(kShipped)) {
    if (e.is_regular_file() && !IsLanguageFile(e.path())) {
      files.push_back(e.path());
    }
  }
  for (const auto& e : fs::directory_iterator(kProtected)) {
    if (e.path().extension() == ".fmf") {
      files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end());
  return files;
}

// The installed Models folder, laid out in a temporary folder.
class InstalledModels : public ::testing::Test {
 protected:
  InstalledModels() {
    fs::create_directories(models_);
    for (const auto& e : fs::directory_iterator(kShipped)) {
      fs::copy_file(e.path(), models_ / e.path().filename());
    }
    for (const auto& e : fs::directory_iterator(kProtected)) {
      if (e.path().extension() == ".fmf") {
        fs::copy_file(e.path(), models_ / e.path().filename());
      }
    }
  }
  // A fixture with the corporate model and the language file loaded.
  std::unique_ptr<test::ModelFixture> Loaded() {
    auto f = std::make_unique<test::ModelFixture>(models_);
    EXPECT_EQ(f->parser.LoadCorporateModel(), 1);
    EXPECT_EQ(f->language.Load(f->settings.languageFile), 0);
    return f;
  }

  test::TempDir home_;
  fs::path models_ = home_.path() / "Models";
};

TEST(ShippedModels, EveryLineOfEveryFileIsUnderstood) {
  const std::vector<fs::path> files = ShippedModelFiles();
  ASSERT_GE(files.size(), 9u);
  bool sawProtected = false;
  for (const fs::path& file : files) {
    test::ModelFixture f(file.parent_path(), kShipped);
    ASSERT_EQ(f.parser.LoadModel(file, 0), 1) << file;
    const PARSE_STATS& s = f.parser.LastParseStats();
    EXPECT_GT(s.entries, 0) << file;
    EXPECT_EQ(s.ignored, 0) << file;
    EXPECT_EQ(s.unknown, 0) << file;
    EXPECT_EQ(s.entries, s.applied + s.deferred) << file;
    sawProtected = sawProtected || file.extension() == ".fmf";
  }
  EXPECT_TRUE(sawProtected);
}

TEST(ShippedModels, TheProtectedModelIsItsPlainSource) {
  int checked = 0;
  for (const auto& e : fs::directory_iterator(kProtectedSources)) {
    const std::string source = test::ReadBytes(e.path());
    const fs::path fmf = kProtected / (e.path().stem().string() + ".fmf");
    ASSERT_TRUE(fs::exists(fmf)) << fmf;
    EXPECT_FALSE(fs::exists(kShipped / e.path().filename())) << "the plain source is not shipped";
    std::string plain;
    ASSERT_TRUE(DecipherFileToMemory(fmf, ModelFileKey(), plain));
    ASSERT_EQ(plain.size() % kCipherBlockBytes, 0u);
    ASSERT_GE(plain.size(), source.size());
    EXPECT_EQ(plain.substr(0, source.size()), source);
    EXPECT_EQ(plain.find_first_not_of('\0', source.size()), std::string::npos);
    EXPECT_EQ(test::ReadBytes(fmf).find("UNITTYPE"), std::string::npos);
    ++checked;
  }
  EXPECT_GE(checked, 1);
}

TEST_F(InstalledModels, TheCorporateModel) {
  auto f = Loaded();
  const PROGRAM_INFO& p = f->tables->program;
  EXPECT_EQ(p.programId, "Tolvane");
  EXPECT_FALSE(p.programName.empty());
  EXPECT_EQ(p.modelId, "QRModel_");
  EXPECT_FALSE(p.installerId.empty());
  EXPECT_FALSE(p.corporateId.empty());
  EXPECT_FALSE(p.mainHelp.empty());
  EXPECT_FALSE(p.server.empty());
  EXPECT_FALSE(p.subDir.empty());
  EXPECT_NE(p.supportMail.find("|"), std::string::npos);
  EXPECT_NE(p.supportMail.find("@"), std::string::npos);
  EXPECT_EQ(f->settings.languageFile, "Tolvane_Language.txt");
  EXPECT_EQ(f->settings.languageNumber, 0);
  EXPECT_EQ(f->settings.registryFile, "");
  EXPECT_FALSE(f->language.Text("SELECTSTR", 0).empty());
}

struct Identity {
  const char* hardwareModel;
  const char* firmwareName;
  const char* modelFile;
  const char* description;
};

const Identity kIdentities[] = {
    {"QR25-2W", "QR25-LVL", "QRModel_QR25.txt", "QR25-LVL two-wire level transmitter, 4-20 mA"},
    {"QR27-4W", "QR27-LVL", "QRModel_QR27.txt", "QR27-LVL level transmitter, 4-20 mA and two relays"},
    {"QR30-RLY", "QR30-RLY", "QRModel_QR30.fmf", "QR30-RLY level controller, four relays"},
    {"QR27Demo", "QR27Demo", "QRModel_QR27.txt", "QR27 demonstration unit"},
};

TEST_F(InstalledModels, TheCatalogueFindsTheModelOfEveryUnit) {
  for (const Identity& id : kIdentities) {
    auto f = Loaded();
    f->record.modelName = id.hardwareModel;
    f->record.firmwareName = id.firmwareName;
    ASSERT_EQ(f->parser.LoadUnitModel(), 1) << id.hardwareModel;
    EXPECT_EQ(f->record.modelFileName, id.modelFile);
    EXPECT_EQ(f->record.unitDescription, f->language.Text("IDC_MODELDESCRIPTION", 0) + " " + id.description);
    EXPECT_GE(f->model().configurationCount, 40);
    EXPECT_FALSE(f->record.modelFileRevision.empty());
  }
}

TEST_F(InstalledModels, UnitsOfOtherFamiliesOrMixedIdentitiesFindNoModel) {
  const std::pair<const char*, const char*> strangers[] = {{"QR27-4W", "QR25-LVL"},  {"QR25-2W", "QR27-LVL"},
                                                           {"QR30-RLY", "QR27-LVL"}, {"qr27-4W", "qr27-lvl"},
                                                           {"QR99-X", "QR99-X"},     {"", ""}};
  for (const auto& [hardware, firmware] : strangers) {
    auto f = Loaded();
    f->record.modelName = hardware;
    f->record.firmwareName = firmware;
    EXPECT_EQ(f->parser.LoadUnitModel(), 0) << hardware << " " << firmware;
  }
}

// --- Consistency of the configuration models --------------------------------

bool HasAny(const std::string& label, std::initializer_list<const char*> parts) {
  return std::any_of(parts.begin(), parts.end(), [&](const char* p) { return label.find(p) != std::string::npos; });
}

// Two configurations overlap when one full selection matches both.
bool Overlap(const CONFIGURATION_ENTRY& a, const CONFIGURATION_ENTRY& b) {
  for (std::size_t i = 0; i < kMaxItems; ++i) {
    const auto x = a.requiredOption[i];
    const auto y = b.requiredOption[i];
    if (x != -1 && y != -1 && x != y) {
      return false;
    }
  }
  return true;
}

void CheckConfigurationModel(const std::string& name, const MODEL_TABLES& t, const fs::path& folder,
                             const CModelFile& catalogue) {
  SCOPED_TRACE(name);
  const MODEL_DEFINITION& m = t.model;
  std::set<std::int32_t> reserved = {1, 3};  // sensor height, fill height
  for (std::int32_t w = 205; w < 256; ++w) {
    reserved.insert(w);  // non-linear data and notes
  }
  for (int i = 0; i < m.fixedWriteCount; ++i) {
    const FIXED_WRITE& d = m.fixedWrites[static_cast<std::size_t>(i)];
    EXPECT_TRUE(d.word >= 0 && d.word < 205);
    EXPECT_TRUE(d.value >= 0 && d.value <= 0xFFFF);
    EXPECT_TRUE(reserved.insert(d.word).second) << "fixed word " << d.word;
  }

  // Items: defined from the first on, each with real options and a word of its own.
  ASSERT_GE(m.itemCount, 3);
  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = m.items[static_cast<std::size_t>(i)];
    EXPECT_EQ(item.present, i < m.itemCount) << "item " << i;
    if (!item.present) {
      continue;
    }
    EXPECT_GE(item.optionCount, 3) << item.label;
    EXPECT_TRUE(reserved.insert(item.wordIndex).second) << "item word " << item.wordIndex;
    std::set<std::int32_t> codes;
    std::set<std::string> texts;
    for (int j = 1; j < item.optionCount; ++j) {
      const auto s = static_cast<std::size_t>(j);
      EXPECT_TRUE(codes.insert(item.optionCode[s]).second) << item.label << " code " << item.optionCode[s];
      EXPECT_TRUE(texts.insert(item.optionText[s]).second) << item.label;
      EXPECT_FALSE(item.optionText[s].empty());
    }
  }

  // Configurations: enough of them, options that exist, never two for one selection.
  ASSERT_GE(m.configurationCount, 40);
  ASSERT_EQ(m.configurationCount, m.configurationLast + 1);
  std::set<int> rowsUsed;
  std::set<std::int32_t> levelWords;
  for (int n = 0; n < m.configurationCount; ++n) {
    const CONFIGURATION_ENTRY& c = m.configurations[static_cast<std::size_t>(n)];
    SCOPED_TRACE("configuration #" + std::to_string(c.number));
    ASSERT_TRUE(c.present);
    for (int i = 0; i < kMaxItems; ++i) {
      const std::int32_t r = c.requiredOption[static_cast<std::size_t>(i)];
      if (i >= m.itemCount) {
        EXPECT_EQ(r, -1);
      } else {
        EXPECT_TRUE(r == -1 || (r >= 1 && r < m.items[static_cast<std::size_t>(i)].optionCount)) << r;
      }
    }
    for (int o = n + 1; o < m.configurationCount; ++o) {
      EXPECT_FALSE(Overlap(c, m.configurations[static_cast<std::size_t>(o)]))
          << "#" << c.number << " and #" << m.configurations[static_cast<std::size_t>(o)].number;
    }
    std::set<std::int32_t> words;
    for (int k = 0; k < kLevelRows; ++k) {
      const std::int32_t w = c.levelWord[static_cast<std::size_t>(k)];
      const std::string& label = c.levelLabel[static_cast<std::size_t>(k)];
      EXPECT_EQ(w > 0, !label.empty()) << "row " << k;
      if (w <= 0) {
        continue;
      }
      rowsUsed.insert(k);
      levelWords.insert(w);
      EXPECT_TRUE(words.insert(w).second) << "level word " << w << " twice";
      EXPECT_EQ(reserved.count(w), 0u) << "level word " << w;
      // Every level takes part in the range checks: Hi/Lo or On/Off.
      EXPECT_TRUE(HasAny(label, {"Hi", "Lo", "On", "Off"})) << label;
      // A pump point is no alarm: an On/Off label must not read as Hi/Lo.
      if (HasAny(label, {"Pump"})) {
        EXPECT_FALSE(HasAny(label, {"Hi", "Lo"})) << label;
      }
    }
    if (t.images.overlayImage.empty()) {
      EXPECT_TRUE(c.imageNumber >= 0 && c.imageNumber < t.images.tankImageCount);
    }
    EXPECT_TRUE(IsSafeLeafName(c.drawingFile)) << c.drawingFile;
  }
  EXPECT_EQ(rowsUsed.size(), static_cast<std::size_t>(kLevelRows)) << "every level row is used somewhere";
  for (const std::int32_t w : levelWords) {
    EXPECT_TRUE(w > 0 && w < 205);
  }

  // Units: five lengths, millimetre counts.
  ASSERT_EQ(m.unitsCount, 5);
  ASSERT_EQ(m.unitConvCount, 5);
  std::map<std::string, double> f;
  for (std::size_t u = 0; u < 5; ++u) {
    f[m.unitNames[u]] = m.unitFactors[u];
  }
  ASSERT_EQ(f.size(), 5u);
  EXPECT_DOUBLE_EQ(f["Millimeters"], 1.0);
  EXPECT_DOUBLE_EQ(f["Centimeters"], 10.0 * f["Millimeters"]);
  EXPECT_DOUBLE_EQ(f["Meters"], 1000.0 * f["Millimeters"]);
  EXPECT_DOUBLE_EQ(f["Inches"], 25.4 * f["Millimeters"]);
  EXPECT_NEAR(f["Feet"], 12.0 * f["Inches"], 1e-9);
  EXPECT_GT(m.maxSensorHeight, m.minRange);
  EXPECT_GT(m.minRange, 0.0);
  EXPECT_LE(m.maxSensorHeight * m.unitFactors[0], 65535.0);
  EXPECT_DOUBLE_EQ(m.baseFactor, f["Inches"]);
  EXPECT_FALSE(m.defaultFile.empty());
  EXPECT_FALSE(m.unitRange.empty());

  // Advanced entries: every kind, each flag bit and value word once.
  ASSERT_GE(m.advancedInputCount, 3);
  ASSERT_LE(m.advancedInputCount, 30);
  std::set<std::pair<std::int32_t, std::int32_t>> bits;
  std::set<std::int32_t> kinds;
  bool onOff = false;
  for (int r = 0; r < m.advancedInputCount; ++r) {
    const ADVANCED_ENTRY& a = m.advanced[static_cast<std::size_t>(r)];
    EXPECT_FALSE(a.label.empty());
    EXPECT_FALSE(a.helpText.empty()) << a.label;
    EXPECT_TRUE(a.flagBit >= 1 && a.flagBit <= 16);
    EXPECT_TRUE(bits.insert({a.flagWord, a.flagBit}).second) << a.label;
    if (a.valueWord < 0) {
      onOff = true;
      continue;
    }
    kinds.insert(a.kind);
    EXPECT_TRUE(reserved.insert(a.valueWord).second) << a.label;
    if (a.kind == 1) {
      EXPECT_FALSE(a.secondText.empty()) << a.label;
    }
  }
  for (const auto& b : bits) {
    EXPECT_EQ(levelWords.count(b.first), 0u);
    EXPECT_EQ(reserved.count(b.first), 0u) << "flag word " << b.first << " shared with a value";
  }
  EXPECT_TRUE(onOff);
  EXPECT_EQ(kinds.count(1), 1u);
  EXPECT_EQ(kinds.count(2), 1u);

  // Pictures and the non-linear shapes named by the model.
  EXPECT_FALSE(t.images.logoImage.empty());
  for (int i = 0; i < t.images.tankImageCount; ++i) {
    EXPECT_TRUE(IsSafeLeafName(t.images.tankImages[static_cast<std::size_t>(i)]));
  }
  if (!t.images.overlayImage.empty()) {
    EXPECT_EQ(t.images.overlayCount, kMaxOverlays);
    for (const std::string& o : t.images.overlayText) {
      EXPECT_TRUE(IsSafeLeafName(o)) << o;
    }
  }
  EXPECT_FALSE(t.helpFile.empty());
  EXPECT_FALSE(m.nonLinearButton.empty());
  ASSERT_GE(m.nonLinearCount, 1);
  for (int i = 0; i < m.nonLinearCount; ++i) {
    const std::string& page = m.nonLinearFiles[static_cast<std::size_t>(i)];
    EXPECT_TRUE(IsSafeLeafName(page) && fs::exists(folder / page)) << page;
  }
  std::string found;
  EXPECT_EQ(catalogue.FindKeyValue(folder / name, "PROGRAMNAME", "", &found, true), 0);
  EXPECT_FALSE(found.empty()) << "the model names the firmware it accepts";
}

TEST_F(InstalledModels, ConfigurationModelsAreConsistent) {
  for (const Identity& id : kIdentities) {
    auto f = Loaded();
    f->record.modelName = id.hardwareModel;
    f->record.firmwareName = id.firmwareName;
    ASSERT_EQ(f->parser.LoadUnitModel(), 1);
    CheckConfigurationModel(f->record.modelFileName, *f->tables, models_, f->parser);
  }
}

TEST_F(InstalledModels, EveryPickerShapeHasItsDefinition) {
  auto f = Loaded();
  const std::string pattern = f->tables->program.modelId;
  int shapes = 0;
  for (const char* page : {"QRShapes_Cylinders.txt", "QRShapes_Spheres.txt", "QRShapes_Boxes.txt"}) {
    f->parser.ResetModel();
    f->parser.ResetStructure();
    ASSERT_EQ(f->parser.LoadModelByName(page, 0), 1);
    const STRUCTURE_PAGE p = f->tables->structurePage;
    const MODEL_DEFINITION& m = f->model();
    EXPECT_FALSE(p.tabTitle.empty());
    ASSERT_GE(p.pictureCount, 1);
    ASSERT_EQ(m.structureTypeCount, p.pictureCount);
    const auto types = m.structureTypes;
    for (int i = 0; i < p.pictureCount; ++i) {
      const auto s = static_cast<std::size_t>(i);
      EXPECT_TRUE(IsSafeLeafName(p.pictureFiles[s]));
      EXPECT_FALSE(p.pictureCaptions[s].empty());
      std::string definition;
      ASSERT_EQ(f->parser.FindModel(pattern, "NLTYPEID", std::to_string(types[s]), 0, definition), 1)
          << "type " << types[s];
      f->parser.ResetModel();
      f->parser.ResetStructure();
      ASSERT_EQ(f->parser.LoadModelByName(definition, 0), 1);
      const MODEL_DEFINITION& d = f->model();
      const DIMENSION_LAYOUT& dim = f->tables->dimensions;
      EXPECT_FALSE(d.clsid.empty());
      EXPECT_FALSE(d.iid.empty());
      EXPECT_NE(d.clsid, d.iid);
      EXPECT_EQ(d.selectIdCount, d.definedTypeCount);
      EXPECT_FALSE(dim.title.empty());
      EXPECT_FALSE(dim.mainImage.empty());
      EXPECT_GE(dim.windowCount, 1);
      EXPECT_TRUE(dim.unitWindow);
      EXPECT_EQ(dim.dimUnitCount, 5);
      EXPECT_EQ(dim.dimFactorCount, 5);
      EXPECT_GE(d.volumeUnitsCount, 3);
      EXPECT_EQ(d.volumeUnitsCount, d.volumeConvCount);
      for (int u = 0; u < d.volumeConvCount; ++u) {
        EXPECT_GT(d.volumeFactors[static_cast<std::size_t>(u)], 0.0);
      }
      ++shapes;
    }
  }
  EXPECT_GE(shapes, 4);
}

}  // namespace
}  // namespace tolvane
