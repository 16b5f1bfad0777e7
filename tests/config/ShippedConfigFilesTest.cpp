// The configuration files we ship in data/Configs: each shipped model's
// DEFAULTFILE and a few named examples. This file also describes them: with
// TOLVANE_WRITE_SHIPPED_CONFIGS set to a folder, the description test writes
// them there instead of comparing (tools/make-shipped-configs.sh does that).
//
// Every shipped file reads with its model as a valid, complete configuration
// whose values pass the form's checks, and writing it again gives the same
// bytes.
#include <gtest/gtest.h>

#include <array>
#include <cctype>
#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "ShippedModelRig.h"
#include "config/ConfigFile.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"
#include "config/ValueChecks.h"
#include "support/TestSupport.h"

namespace tolvane::config {
namespace {

namespace fs = std::filesystem;

struct SHIPPED_CONFIG {
  const char* file;
  const char* unit;                  // the shipped unit whose model it is for
  std::vector<const char*> options;  // the option of each defined item, by its text
  const char* units;
  double sensorHeight;
  double fillHeight;
  std::vector<std::pair<int, double>> levels;            // level row, value
  std::vector<std::pair<const char*, double>> advanced;  // entry label, value (-1: on)
  const char* notes;
  bool nonLinear = false;
  std::int32_t structureType = -1;
  std::array<float, kDimensionCount> dimensions{};
};

const std::vector<SHIPPED_CONFIG>& ShippedConfigs() {
  static const std::vector<SHIPPED_CONFIG> configs{
      {"QR25_Factory.cfg",
       "qr25",
       {"Level", "4-20 mA", "None", "Hold Last Value", "Medium"},
       "Inches",
       120.0,
       108.0,
       {{0, 0.0}, {5, 108.0}},
       {{"Damping", 2.0}},
       "Factory configuration"},
      {"QR27_Factory.cfg",
       "qr27",
       {"Level", "4-20 mA", "Lo Alarm", "Hi Alarm", "Hold Last Value", "De-energize", "Medium"},
       "Inches",
       144.0,
       132.0,
       {{0, 0.0}, {1, 12.0}, {4, 120.0}, {5, 132.0}},
       {{"Damping", 2.0}},
       "Factory configuration"},
      {"QR30_Factory.cfg",
       "qr30",
       {"Pump Down (Empty)", "One Pump", "Hi Alarm", "De-energize", "Level", "Medium"},
       "Inches",
       240.0,
       216.0,
       {{1, 24.0}, {2, 96.0}, {4, 180.0}},
       {{"Damping", 2.0}, {"Pump Run-On", 10.0}},
       "Factory configuration"},
      {"QR27 Pump Down Sump.txt",
       "qr27",
       {"Level", "4-20 mA", "Pump Down", "Hi Alarm", "Go to 3.6 mA", "De-energize", "Slow"},
       "Feet",
       12.0,
       10.5,
       {{0, 0.0}, {2, 1.5}, {3, 6.0}, {4, 9.0}, {5, 10.5}},
       {{"Damping", 10.0}, {"Echo Lock", -1.0}, {"Relay Delay", 3.0}},
       "Lift station sump, duty pump on relay 1"},
      {"QR25 Diesel Day Tank.txt",
       "qr25",
       {"Volume", "4-20 mA", "Lo and Hi Alarm", "Go to 22 mA", "Medium"},
       "Centimeters",
       150.0,
       120.0,
       {{0, 0.0}, {1, 20.0}, {4, 105.0}, {5, 120.0}},
       {{"Damping", 5.0}, {"Blanking Distance", 15.0}},
       "Generator day tank, horizontal with dished ends",
       true,
       2,
       {120.0f, 300.0f, 15.0f}},
      {"QR30 Lift Station Duplex.txt",
       "qr30",
       {"Pump Down (Empty)", "Two Pumps, Lead and Lag", "Lo, Hi and Hi Hi Alarm", "De-energize", "Level", "Fast"},
       "Meters",
       5.0,
       4.2,
       {{0, 0.3}, {1, 0.6}, {2, 1.8}, {3, 2.4}, {4, 3.4}, {5, 3.8}},
       {{"Pump Run-On", 15.0}, {"Alternate Pumps Daily", -1.0}, {"Relay Delay", 2.0}},
       "Duplex lift station, lead pump alternates daily"},
  };
  return configs;
}

void PrintTo(const SHIPPED_CONFIG& c, std::ostream* os) { *os << c.file; }

fs::path ShippedFolder() { return fs::path(TOLVANE_SOURCE_DATA) / "Configs"; }

class ShippedConfigFiles : public ::testing::TestWithParam<SHIPPED_CONFIG> {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig_.Load(GetParam().unit)); }
  const MODEL_DEFINITION& model() const { return rig_.model(); }

  // The unit's identity as a shipped file carries it: no unit's serial number.
  CONFIG_RECORD Identity() {
    CONFIG_RECORD r = rig_.record();
    r.serialNumber = 0;
    StartSelections(model(), r);
    return r;
  }

  // The record and non-linear state the description gives.
  void Describe(CONFIG_RECORD& r, CONFIG_NONLINEAR& nl) {
    const SHIPPED_CONFIG& d = GetParam();
    r = Identity();
    std::size_t next = 0;
    for (int i = 0; i < kMaxItems; ++i) {
      if (!model().items[At(i)].present) {
        continue;
      }
      ASSERT_LT(next, d.options.size()) << "an option for every item";
      const std::int32_t option = OptionByText(model(), i, d.options[next++]);
      ASSERT_GT(option, 0) << d.options[next - 1];
      r.selection[At(i)] = option;
    }
    ASSERT_EQ(next, d.options.size());
    EvaluateConfiguration(model(), r, true);
    ASSERT_TRUE(r.valid) << "the options name one configuration";
    r.unitsIndex = -1;
    for (int u = 0; u < model().unitsCount; ++u) {
      if (model().unitNames[At(u)] == d.units) {
        r.unitsIndex = r.lastLinearUnits = u;
      }
    }
    ASSERT_GE(r.unitsIndex, 0) << d.units;
    const std::optional<double> f = LinearFactor(model(), r.unitsIndex);
    r.sensorHeight = *SnapToCounts(f, d.sensorHeight);
    r.fillHeight = *SnapToCounts(f, d.fillHeight);
    EXPECT_EQ(r.sensorHeight, d.sensorHeight) << "values the page holds exactly";
    EXPECT_EQ(r.fillHeight, d.fillHeight);
    const CONFIGURATION_ENTRY& c = model().configurations[At(r.configIndex)];
    for (const auto& [row, value] : d.levels) {
      EXPECT_GT(c.levelWord[At(row)], 0) << "row " << row << " is used";
      r.level[At(row)] = *SnapToCounts(f, value);
      EXPECT_EQ(r.level[At(row)], value);
    }
    for (const auto& [label, value] : d.advanced) {
      int found = -1;
      for (int a = 0; a < AdvancedSlots(model()); ++a) {
        if (model().advanced[At(a)].label == label) {
          found = a;
        }
      }
      ASSERT_GE(found, 0) << label;
      r.advanced[At(found)] = ADVANCED_SLOT{true, value};
    }
    r.tankDescription = d.notes;
    nl = CONFIG_NONLINEAR{};
    nl.on = d.nonLinear;
    nl.structureType = d.nonLinear ? d.structureType : -1;
    nl.page.dimensions = d.dimensions;
    UpdateCompleteness(model(), r);
    ASSERT_TRUE(r.complete) << "every used level is given";
  }

  test::ShippedModelRig rig_;
  test::TempDir dir_;
  test::RecordingMessages box_;
};

TEST_P(ShippedConfigFiles, AreWhatTheirDescriptionWrites) {
  CONFIG_RECORD r;
  CONFIG_NONLINEAR nl;
  ASSERT_NO_FATAL_FAILURE(Describe(r, nl));
  if (const char* out = std::getenv("TOLVANE_WRITE_SHIPPED_CONFIGS")) {
    fs::create_directories(out);
    ASSERT_TRUE(WriteConfigFile(fs::path(out) / GetParam().file, model(), r, nl));
    return;
  }
  ASSERT_TRUE(WriteConfigFile(dir_ / "described.txt", model(), r, nl));
  EXPECT_EQ(test::ReadBytes(ShippedFolder() / GetParam().file), test::ReadBytes(dir_ / "described.txt"))
      << GetParam().file << " differs from its description: run tools/make-shipped-configs.sh";
}

TEST_P(ShippedConfigFiles, ReadAsValidCompleteConfigurationsAndWriteTheSameBytes) {
  const fs::path file = ShippedFolder() / GetParam().file;
  CONFIG_RECORD r = Identity();
  CONFIG_NONLINEAR nl;
  ASSERT_EQ(ReadConfigFile(file, model(), r, nl, box_, rig_.language(), 0), READ_CONFIG_OK) << file;
  EXPECT_TRUE(box_.shown.empty());
  EXPECT_TRUE(r.valid);
  EXPECT_TRUE(r.complete);
  EXPECT_EQ(nl.on, GetParam().nonLinear);
  // The values are ones the form lets a user write.
  EXPECT_EQ(CheckSensorHeight(model(), r).result, CHECK_PASS);
  EXPECT_EQ(CheckFillHeight(model(), r).result, CHECK_PASS);
  for (int k = 0; k < kLevelRows; ++k) {
    const CHECK_RESULT check = CheckLevel(model(), r, k);
    EXPECT_EQ(check.result, CHECK_PASS) << "row " << k << ": " << CheckMessageText(check, rig_.language(), 0);
  }
  ASSERT_TRUE(WriteConfigFile(dir_ / "again.txt", model(), r, nl));
  EXPECT_EQ(test::ReadBytes(dir_ / "again.txt"), test::ReadBytes(file));
}

INSTANTIATE_TEST_SUITE_P(Shipped, ShippedConfigFiles, ::testing::ValuesIn(ShippedConfigs()),
                         [](const ::testing::TestParamInfo<SHIPPED_CONFIG>& p) {
                           std::string name;
                           for (const char c : std::string(p.param.file)) {
                             name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
                           }
                           return name;
                         });

TEST(ShippedConfigFolder, HoldsEachShippedModelsDefaultFileAndOnlyDescribedFiles) {
  std::set<std::string> described;
  for (const SHIPPED_CONFIG& c : ShippedConfigs()) {
    described.insert(c.file);
  }
  std::set<std::string> present;
  for (const auto& e : fs::directory_iterator(ShippedFolder())) {
    present.insert(e.path().filename().string());
  }
  EXPECT_EQ(present, described);
  for (const char* unit : {"qr25", "qr27", "qr30"}) {
    test::ShippedModelRig rig;
    ASSERT_NO_FATAL_FAILURE(rig.Load(unit));
    ASSERT_FALSE(rig.model().defaultFile.empty()) << unit;
    EXPECT_TRUE(described.count(rig.model().defaultFile)) << rig.model().defaultFile;
  }
}

}  // namespace
}  // namespace tolvane::config
