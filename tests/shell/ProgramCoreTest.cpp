// The start-up steps and the identification of a unit, against the shipped
// data and the simulated sensor on simulated time.
#include "shell/ProgramCore.h"

#include <gtest/gtest.h>

#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

class RecordingView : public IStartView {
 public:
  void SetStatus(const std::string& text) override { statuses.push_back(text); }
  void SetProgress(int percent) override { progress.push_back(percent); }
  std::vector<std::string> statuses;
  std::vector<int> progress;
};

class CountingHelp : public IHelpTable {
 public:
  int SetTopic(int, const std::string&) override { return 0; }
  void ResetDefaults() override { ++resets; }
  int resets = 0;
};

class ProgramCoreTest : public ::testing::Test {
 protected:
  ProgramCoreTest() {
    folders_.models = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";
    folders_.logs = dir_.path();
    folders_.settings = dir_ / "Settings";
  }
  void CreateSettingsKey() { ASSERT_TRUE(registry_.CreateKey({"Software", "Kestrine", "Tolvane", "01"})); }
  std::shared_ptr<link::sim::CSimSensor> AddSensor(link::sim::SimOptions options = {}) {
    auto sensor = std::make_shared<link::sim::CSimSensor>(std::move(options), clock_.now());
    link::sim::SimAdapter adapter;
    adapter.peer = sensor;
    bridge_.AddAdapter(std::move(adapter));
    return sensor;
  }
  std::unique_ptr<CProgramCore> Started() {
    auto core = std::make_unique<CProgramCore>(
        folders_, PROGRAM_SERVICES{box_, errors_, busy_, bridge_, clock_, registry_, [] { return std::tm{}; }, &help_});
    int code = 0;
    EXPECT_EQ(core->Start(code), CProgramCore::StartResult::Ok);
    core->link.SetSelectedDescription("Quenby USB Device");
    core->StartWorker();
    return core;
  }

  test::TempDir dir_;
  FOLDERS folders_;
  SimulatedClock clock_;
  link::sim::CSimBridge bridge_{clock_};
  CUserRegistry registry_{dir_ / "Settings"};
  test::RecordingMessages box_;
  test::RecordingErrorDetail errors_;
  test::RecordingBusy busy_;
  CountingHelp help_;
};

TEST(Title, ReadsUpToThreeNumbersOfTheVersion) {
  EXPECT_EQ(FormatTitle("Tolvane", "5.0.0"), "Tolvane 5.0.0");
  EXPECT_EQ(FormatTitle("Tolvane", "1.2.3.4"), "Tolvane 1.2.3");
  EXPECT_EQ(FormatTitle("Tolvane", "6.1"), "Tolvane 6.1.0");
  EXPECT_EQ(FormatTitle("Tolvane", "abc"), "Tolvane 0.0.0");
  EXPECT_EQ(FormatTitle("Tolvane", "7.x.2"), "Tolvane 7.0.0");
  EXPECT_EQ(FormatTitle("Tolvane", ""), "Tolvane 0.0.0");
}

TEST_F(ProgramCoreTest, StartLoadsEverythingAndLogsTheVersion) {
  CreateSettingsKey();
  auto core = Started();
  EXPECT_EQ(core->tables.program.programId, "Tolvane");
  EXPECT_EQ(core->Title(), "Tolvane 5.0.0");
  EXPECT_FALSE(core->Text("IDC_PNSN").empty());
  EXPECT_EQ(core->settings.demoModel, "QR27Demo");
  EXPECT_EQ(test::ReadBytes(dir_ / "logfile.txt"), "01/00/00 12:00:00AM TOLVANE->Version 5.0.0 Started\r\n");
}

TEST_F(ProgramCoreTest, StartFailures) {
  CProgramCore noKey(folders_, PROGRAM_SERVICES{box_, errors_, busy_, bridge_, clock_, registry_, SystemLocalTime()});
  int code = 0;
  EXPECT_EQ(noKey.Start(code), CProgramCore::StartResult::SettingsFailed);
  EXPECT_EQ(code, 1);

  folders_.models = dir_ / "EmptyModels";
  std::filesystem::create_directories(folders_.models);
  CProgramCore noModel(folders_, PROGRAM_SERVICES{box_, errors_, busy_, bridge_, clock_, registry_, SystemLocalTime()});
  EXPECT_EQ(noModel.Start(code), CProgramCore::StartResult::NoCorporateModel);
}

TEST_F(ProgramCoreTest, IdentifiesTheUnitAndLoadsItsModel) {
  CreateSettingsKey();
  AddSensor();
  auto core = Started();
  RecordingView view;
  IDENTIFY_RESULT result;
  ASSERT_EQ(core->IdentifyUnit(false, &view, result), 1);
  EXPECT_FALSE(result.modelMissing);
  EXPECT_EQ(core->record.firmwareName, "QR27-LVL");
  EXPECT_EQ(core->record.modelName, "QR27-4W");
  EXPECT_EQ(core->record.factorySerial, 270042);
  EXPECT_EQ(core->record.softwareRevision, 0x0203u);
  EXPECT_EQ(core->record.modelFileName, "QRModel_QR27.txt");
  EXPECT_FALSE(core->record.unitDescription.empty());
  EXPECT_GT(core->tables.model.itemCount, 0);
  EXPECT_EQ(help_.resets, 1);
  const std::vector<int> steps{20, 30, 40, 50, 50, 55, 60, 65, 70, 80};
  EXPECT_EQ(view.progress, steps);
  ASSERT_GE(view.statuses.size(), 7u);
  EXPECT_EQ(view.statuses.front(), core->Text("BUSY_MESSAGE1"));
  EXPECT_EQ(view.statuses.back(), core->Text("BUSY_MESSAGE8"));
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ProgramCoreTest, DemonstrationNeedsNoAdapter) {
  CreateSettingsKey();
  auto core = Started();
  IDENTIFY_RESULT result;
  ASSERT_EQ(core->IdentifyUnit(true, nullptr, result), 1);
  EXPECT_EQ(core->record.serialNumber, 1001);
  EXPECT_EQ(core->record.factorySerial, 1001);
  EXPECT_EQ(core->record.firmwareName, "QR27Demo");
  EXPECT_EQ(core->record.softwareRevision, 1u);
  EXPECT_EQ(core->record.modelFileName, "QRModel_QR27.txt");
  EXPECT_EQ(core->memory.Page(link::PAGE_FACTORY), link::PageImage{});
}

// DEMOSWREV is read as a decimal number, as DEMOSERIAL is.
TEST_F(ProgramCoreTest, TheDemonstrationRevisionIsADecimalNumber) {
  CreateSettingsKey();
  auto core = Started();
  for (const auto& [text, revision] : std::vector<std::pair<std::string, std::uint32_t>>{
           {"0120", 120u}, {"0001", 1u}, {"99", 99u}, {" 203", 203u}, {"12ab", 12u}, {"ab", 0u}, {"", 0u}}) {
    core->settings.demoSoftwareRevision = text;
    IDENTIFY_RESULT result;
    ASSERT_EQ(core->IdentifyUnit(true, nullptr, result), 1);
    EXPECT_EQ(core->record.softwareRevision, revision) << '"' << text << '"';
  }
}

// The settings file of REGISTRY_FILE is read by the model parser, through the
// text-file reader whose type check failures are shown.
TEST_F(ProgramCoreTest, TheSettingsFilesTypeCheckMessageIsShown) {
  namespace fs = std::filesystem;
  const fs::path models = dir_ / "Models";
  fs::create_directories(models);
  for (const auto& e : fs::directory_iterator(folders_.models)) {
    fs::copy_file(e.path(), models / e.path().filename());
  }
  std::string corporate = test::ReadBytes(models / "Corporate_Model");
  const std::size_t at = corporate.find("REGISTRY_FILE =");
  ASSERT_NE(at, std::string::npos);
  corporate.insert(at + std::string("REGISTRY_FILE =").size(), " Tolvane_Settings.txt");
  test::WriteBytes(models / "Corporate_Model", corporate);
  test::WriteBytes(models / "Tolvane_Settings.txt", "V");
  folders_.models = models;
  CProgramCore core(
      folders_, PROGRAM_SERVICES{box_, errors_, busy_, bridge_, clock_, registry_, [] { return std::tm{}; }, &help_});
  int code = 0;
  EXPECT_EQ(core.Start(code), CProgramCore::StartResult::Ok);
  EXPECT_EQ(core.settings.registryFile, "Tolvane_Settings.txt");
  using M = std::pair<std::string, unsigned>;
  EXPECT_EQ(box_.shown, (std::vector<M>{{"Error:  Cannot read file for Unicode type check.", MB_ERROR}}));
}

TEST_F(ProgramCoreTest, UnitWithoutModelFile) {
  CreateSettingsKey();
  link::sim::SimOptions options;
  options.identity.hardwareModel = "ZX90-2W";
  options.identity.firmwareName = "ZX90-LVL";
  AddSensor(options);
  auto core = Started();
  IDENTIFY_RESULT result;
  EXPECT_EQ(core->IdentifyUnit(false, nullptr, result), 0);
  EXPECT_TRUE(result.modelMissing);
  EXPECT_EQ(result.hardwareType, "ZX90");
  EXPECT_EQ(result.modelName, "ZX90-LVL");
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ProgramCoreTest, ReadFailuresAreShownWithTheirCode) {
  CreateSettingsKey();
  link::sim::SimOptions options;
  options.faults.statusByte = 2;
  options.faults.statusCommand = link::CMD_READ_INFO;
  AddSensor(options);
  auto core = Started();
  IDENTIFY_RESULT result;
  EXPECT_EQ(core->IdentifyUnit(false, nullptr, result), 0);
  EXPECT_FALSE(result.modelMissing);
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].first, Format(core->Text("ERROR_MESSAGE3"), 2));
  EXPECT_EQ(box_.shown[0].second, MB_INFO);
  EXPECT_FALSE(core->link.IsLinkOpen());
}

}  // namespace
}  // namespace tolvane
