// The Updates page offscreen against a simulated unit on simulated time: Update
// Sensor's checks, a run to its end with the forms host closed, failed and
// unplugged runs, leaving the page, the automatic update cycle, Select
// Program's order, the network seam and context help.
#include "firmware/ui/UpdateProgram.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include "firmware/ui/SelectProgram.h"
#include "link/sim/SimBridge.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane::firmware {
namespace {

using Page = CUpdateProgram;

class QuietBusy : public IBusyWindow {
 public:
  void SetMessage(const std::string&) override {}
  void SetProgress(int) override {}
};

class RecordingHelp : public IContextHelp {
 public:
  void ShowControlHelp(int) override {}
  void ShowPage(const std::string& page) override { pages.push_back(page); }
  std::vector<std::string> pages;
};

class FakeNetwork : public IUpdatePageNetwork {
 public:
  bool OnCheckForUpdates(QWidget*) override {
    ++checks;
    return installerStarted;
  }
  bool UploadOptOut() const override { return optOut; }
  void SetUploadOptOut(bool v) override { optOut = v; }
  int checks = 0;
  bool installerStarted = false;
  bool optOut = true;
};

struct PageRig {
  explicit PageRig(link::sim::SimOptions options = {}, bool demonstration = false) : noSensor(demonstration) {
    const std::filesystem::path data(TOLVANE_SOURCE_DATA);
    std::filesystem::copy(data / "Models", dir / "Models");
    std::filesystem::copy(std::filesystem::path(TOLVANE_PROTECTED_MODELS_DIR), dir / "Models",
                          std::filesystem::copy_options::overwrite_existing);
    std::filesystem::copy(data / "Programs", dir / "Programs");
    folders.models = dir / "Models";
    folders.programs = dir / "Programs";
    folders.logs = dir.path();
    folders.settings = dir / "Settings";
    registry = std::make_unique<CUserRegistry>(folders.settings);
    registry->CreateKey({"Software", "Kestrine", "Tolvane", "01"});
    if (!demonstration) {
      options.identity = *link::sim::ShippedIdentity("qr27");
      sensor = std::make_shared<link::sim::CSimSensor>(options, clock.now());
      link::sim::SimAdapter adapter;
      adapter.peer = sensor;
      bridge.AddAdapter(std::move(adapter));
    }
    core = std::make_unique<CProgramCore>(
        folders, PROGRAM_SERVICES{messages, errors, busy, bridge, clock, *registry, [] { return std::tm{}; }});
    int code = 0;
    EXPECT_EQ(core->Start(code), CProgramCore::StartResult::Ok);
    core->link.SetSelectedDescription("Quenby USB Device");
    core->StartWorker();
    Identify();
  }
  ~PageRig() {
    host.reset();
    core->StopWorker();
  }
  void Identify() {
    IDENTIFY_RESULT result;
    EXPECT_EQ(core->IdentifyUnit(noSensor, nullptr, result), 1);
  }
  // The page inside a forms host of its own, shown (which activates it).
  Page& Open(IUpdatePageNetwork* network = nullptr) {
    host = std::make_unique<QDialog>();
    page = new Page(UPDATE_PAGE_CONTEXT{*core,
                                        noSensor,
                                        filePath,
                                        network,
                                        &help,
                                        {},
                                        [this](QWidget*, const std::vector<std::string>& names) {
                                          chooserNames = names;
                                          return chooserAnswer;
                                        }},
                    host.get());
    auto* layout = new QVBoxLayout(host.get());
    layout->addWidget(page);
    QObject::connect(host.get(), &QDialog::finished, [this](int r) { hostResult = r; });
    host->show();
    return *page;
  }
  template <typename W>
  W* Control(int id) {
    return FindControlAs<W>(page, id);
  }
  // Lets the run's queued signals arrive until it has finished.
  bool WaitForRun() {
    QElapsedTimer timer;
    timer.start();
    while (page->Running() && timer.elapsed() < 60000) {
      QApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    QApplication::processEvents();
    return !page->Running();
  }
  std::string Text(const char* key) const { return core->Text(key); }
  std::vector<std::string> Shown() const {
    std::vector<std::string> texts;
    for (const auto& m : messages.shown) {
      texts.push_back(m.first);
    }
    return texts;
  }
  std::string ProgramPath(const char* name) const { return (folders.programs / name).string(); }

  bool noSensor;
  test::TempDir dir;
  FOLDERS folders;
  SimulatedClock clock;
  link::sim::CSimBridge bridge{clock};
  std::shared_ptr<link::sim::CSimSensor> sensor;
  std::unique_ptr<CUserRegistry> registry;
  test::RecordingMessages messages;
  test::RecordingErrorDetail errors;
  QuietBusy busy;
  RecordingHelp help;
  std::unique_ptr<CProgramCore> core;
  std::string filePath;
  std::unique_ptr<QDialog> host;
  Page* page = nullptr;
  int hostResult = -1;
  std::vector<std::string> chooserNames;
  std::string chooserAnswer;
};

bool Contains(const std::vector<std::string>& texts, const std::string& text) {
  return std::find(texts.begin(), texts.end(), text) != texts.end();
}

TEST(UpdatePage, UpdateSensorChecksTheFileName) {
  PageRig rig;
  Page& page = rig.Open();
  auto* file = rig.Control<QLineEdit>(Page::IDC_FILE);
  auto* program = rig.Control<QPushButton>(Page::IDC_PROGRAM);
  ASSERT_NE(file, nullptr);
  const struct {
    std::string path;
    const char* key;
  } cases[] = {{"", "ERROR_MESSAGE75"},
               {"a.fp2", "ERROR_MESSAGE102"},
               {rig.ProgramPath("QRB12ver52p1.FP2"), "ERROR_MESSAGE103"},
               {rig.ProgramPath("none.fp2"), "ERROR_MESSAGE70"}};
  for (const auto& c : cases) {
    rig.messages.shown.clear();
    file->setText(QString::fromStdString(c.path));
    program->click();
    EXPECT_FALSE(page.Running()) << c.path;
    EXPECT_EQ(rig.Shown(), std::vector<std::string>{rig.Text(c.key)}) << c.path;
    EXPECT_EQ(rig.messages.shown[0].second, MB_ERROR);
    EXPECT_EQ(page.ErrorText(), rig.Text(c.key));
    EXPECT_TRUE(program->isEnabled());
  }
  EXPECT_EQ(rig.sensor->DataPackets(), 0u);
  // Captions from the language file; without a network side its box is hidden.
  EXPECT_EQ(program->text().toStdString(), rig.Text("IDC_PROGRAM"));
  EXPECT_FALSE(rig.Control<QWidget>(Page::IDC_CHECKBOX)->isVisible());
  EXPECT_EQ(rig.Control<QProgressBar>(Page::IDC_PROGRESS)->maximum(), 1000);
}

TEST(UpdatePage, ASuccessfulRunClosesTheHostAndTheUnitRunsTheNewRevision) {
  PageRig rig;
  Page& page = rig.Open();
  rig.Control<QLineEdit>(Page::IDC_FILE)->setText(QString::fromStdString(rig.ProgramPath("QRB12ver52p1.fp2")));
  rig.Control<QPushButton>(Page::IDC_PROGRAM)->click();
  EXPECT_TRUE(page.Running());
  EXPECT_FALSE(rig.Control<QPushButton>(Page::IDC_PROGRAM)->isEnabled());
  EXPECT_FALSE(page.CanLeave());  // the page cannot be left during a run
  ASSERT_TRUE(rig.WaitForRun());
  EXPECT_TRUE(page.Completed());
  EXPECT_EQ(rig.Control<QLabel>(Page::IDC_PERCENT)->text().toStdString(), rig.Text("BUSY_MESSAGE11"));
  EXPECT_EQ(rig.hostResult, 1);
  EXPECT_EQ(rig.core->settings.startPage, 1);
  EXPECT_TRUE(rig.core->settings.autoUpdate);
  EXPECT_GT(page.ProgressSignals(), 10);
  EXPECT_LE(page.ProgressSignals(), 1001);
  EXPECT_TRUE(rig.messages.shown.empty());
  EXPECT_EQ(rig.filePath, rig.ProgramPath("QRB12ver52p1.fp2"));
  rig.Identify();
  EXPECT_EQ(rig.core->record.softwareRevision, 521u);
}

TEST(UpdatePage, FailedAndUnpluggedRunsAreNeverCompleted) {
  {
    link::sim::SimOptions o;
    o.faults.noReadyAfterPacket = 4;
    PageRig rig(o);
    Page& page = rig.Open();
    rig.Control<QLineEdit>(Page::IDC_FILE)->setText(QString::fromStdString(rig.ProgramPath("QRB12ver52p3.fep")));
    rig.Control<QPushButton>(Page::IDC_PROGRAM)->click();
    ASSERT_TRUE(rig.WaitForRun());
    EXPECT_FALSE(page.Completed());
    EXPECT_EQ(rig.hostResult, -1);
    // The run's error box reached the page's message box from the worker.
    EXPECT_TRUE(Contains(rig.Shown(), rig.Text("ERROR_MESSAGE83")));
    EXPECT_NE(rig.Control<QLabel>(Page::IDC_PERCENT)->text().toStdString(), rig.Text("BUSY_MESSAGE11"));
    EXPECT_EQ(rig.Control<QProgressBar>(Page::IDC_PROGRESS)->value(), 0);
    rig.messages.shown.clear();
    EXPECT_TRUE(page.CanLeave());
    EXPECT_EQ(rig.Shown(), std::vector<std::string>{rig.Text("STATUS_MESSAGE44")});
    EXPECT_EQ(rig.messages.shown[0].second, MB_INFO);
  }
  {
    link::sim::SimOptions o;
    o.faults.unplugAfterPacket = 6;
    PageRig rig(o);
    Page& page = rig.Open();
    rig.Control<QLineEdit>(Page::IDC_FILE)->setText(QString::fromStdString(rig.ProgramPath("QRB12ver52p1.fp2")));
    rig.Control<QPushButton>(Page::IDC_PROGRAM)->click();
    ASSERT_TRUE(rig.WaitForRun());
    EXPECT_FALSE(page.Completed());
    EXPECT_EQ(rig.hostResult, -1);
    EXPECT_NE(rig.Control<QLabel>(Page::IDC_PERCENT)->text().toStdString(), rig.Text("BUSY_MESSAGE11"));
    EXPECT_TRUE(rig.Control<QPushButton>(Page::IDC_PROGRAM)->isEnabled());
  }
}

TEST(UpdatePage, AutomaticCycleOffersProgramsAndIdentifiesTheNewRevision) {
  PageRig rig;
  rig.messages.answer = RESULT_YES;
  std::vector<std::string> offered;
  const int accepted = OfferNewerFirmware(*rig.core, rig.filePath, [&](const std::vector<std::string>& names) {
    offered = names;
    return rig.ProgramPath("QRB12ver52p4.fp2");
  });
  ASSERT_EQ(accepted, 1);
  EXPECT_EQ(rig.Shown(), std::vector<std::string>{rig.Text("STATUS_MESSAGE51")});  // 51.5 is below 52.4
  EXPECT_TRUE(Contains(offered, "QRB12ver51p0old.fp2"));
  EXPECT_FALSE(Contains(offered, "QRA8ver52p4.fp2"));
  // The forms host sets the flag; the page starts programming on activation.
  rig.core->settings.autoUpdate = true;
  Page& page = rig.Open();
  EXPECT_TRUE(page.Running());
  EXPECT_FALSE(rig.Control<QPushButton>(Page::IDC_BROWSE)->isEnabled());
  ASSERT_TRUE(rig.WaitForRun());
  EXPECT_EQ(rig.hostResult, 1);
  EXPECT_EQ(rig.core->settings.startPage, 0);
  rig.Identify();
  EXPECT_EQ(rig.core->record.softwareRevision, 524u);
  // Now nothing is newer: no question.
  rig.messages.shown.clear();
  EXPECT_EQ(OfferNewerFirmware(*rig.core, rig.filePath, [](const std::vector<std::string>&) { return ""; }), 0);
  EXPECT_TRUE(rig.messages.shown.empty());
  // And declining, or choosing nothing, accepts nothing.
  PageRig other;
  other.messages.answer = RESULT_NO;
  EXPECT_EQ(OfferNewerFirmware(*other.core, other.filePath, [](const std::vector<std::string>&) { return "x"; }), 0);
  other.messages.answer = RESULT_YES;
  EXPECT_EQ(OfferNewerFirmware(*other.core, other.filePath, [](const std::vector<std::string>&) { return ""; }), 0);
  // No compatible file at all.
  std::filesystem::remove_all(other.folders.programs);
  other.messages.shown.clear();
  EXPECT_EQ(OfferNewerFirmware(*other.core, other.filePath, [](const std::vector<std::string>&) { return "x"; }), 0);
  EXPECT_EQ(other.Shown(), std::vector<std::string>{"No firmware files found!"});
}

TEST(UpdatePage, SelectProgramListsNewestFirstAndOkTakesTheSelection) {
  PageRig rig;
  CSelectProgram dialog("12M", "51.5", {"QRB12ver51p0old.fp2", "QRB12ver52p1.fp2", "QRB12ver52p4.fp2"},
                        rig.core->language, rig.core->settings, nullptr);
  auto* files = FindControlAs<QComboBox>(&dialog, CSelectProgram::IDC_FILES);
  ASSERT_NE(files, nullptr);
  ASSERT_EQ(files->count(), 3);
  EXPECT_EQ(files->itemText(0).toStdString(), "12M  Version: 52.4");
  EXPECT_EQ(files->itemText(2).toStdString(), "12M  Version: 51.0old");
  EXPECT_EQ(FindControlAs<QLineEdit>(&dialog, CSelectProgram::IDC_CURRENTVERSION)->text().toStdString(), "51.5");
  EXPECT_EQ(dialog.windowTitle().toStdString(), rig.Text("IDD_SELECTPROGRAM"));
  files->setCurrentIndex(1);
  dialog.accept();
  EXPECT_EQ(dialog.Choice(), "QRB12ver52p1.fp2");
  CSelectProgram empty("12M", "51.5", {}, rig.core->language, rig.core->settings, nullptr);
  empty.accept();
  EXPECT_EQ(empty.Choice(), "");
  // The buttons read the language file's captions, in German too (the button
  // box's own read English whatever the language).
  rig.core->settings.languageNumber = 1;
  CSelectProgram german("12M", "51.5", {}, rig.core->language, rig.core->settings, nullptr);
  EXPECT_EQ(FindControlAs<QPushButton>(&german, 2)->text().toStdString(), rig.core->language.Text("IDCANCEL", 1));
  EXPECT_EQ(FindControlAs<QPushButton>(&german, 1)->text().toStdString(), rig.core->language.Text("IDOK", 1));
}

TEST(UpdatePage, NoSensorNetworkSeamAndContextHelp) {
  {
    PageRig rig({}, true);
    rig.Open();
    EXPECT_FALSE(rig.Control<QPushButton>(Page::IDC_PROGRAM)->isEnabled());
    EXPECT_FALSE(rig.Control<QPushButton>(Page::IDC_SELECTPROGRAM)->isEnabled());
    rig.Control<QPushButton>(Page::IDC_BROWSE)->click();
    EXPECT_EQ(rig.Shown(), std::vector<std::string>{rig.Text("STATUS_MESSAGE37")});
  }
  PageRig rig;
  FakeNetwork network;
  rig.Open(&network);
  EXPECT_TRUE(rig.Control<QWidget>(Page::IDC_CHECKBOX)->isVisible());
  rig.Control<QPushButton>(Page::IDC_DOWNLOAD)->click();
  EXPECT_EQ(network.checks, 1);
  // No installer started: the sheet stays open.
  EXPECT_EQ(rig.hostResult, -1);
  auto* optIn = rig.Control<QCheckBox>(Page::IDC_OPTIN);
  EXPECT_FALSE(optIn->isChecked());
  optIn->setChecked(true);
  EXPECT_FALSE(network.optOut);
  QTest::mouseClick(rig.Control<QWidget>(Page::IDC_FILE), Qt::RightButton);
  QTest::mouseClick(rig.Control<QWidget>(Page::IDC_SELECTPROGRAM), Qt::RightButton);
  EXPECT_EQ(rig.help.pages, (std::vector<std::string>{"UPDATE_PROGRAM.htm", "UPDATE_SENSOR.htm"}));
  // The right click acted as a click: Select Program got the unit's files.
  EXPECT_TRUE(Contains(rig.chooserNames, "QRB12ver52p4.fp2"));
  EXPECT_FALSE(Contains(rig.chooserNames, "QRA8ver52p4.fp2"));
  rig.chooserAnswer = rig.ProgramPath("QRB12ver52p4.fp2");
  rig.Control<QPushButton>(Page::IDC_SELECTPROGRAM)->click();
  EXPECT_EQ(rig.Control<QLineEdit>(Page::IDC_FILE)->text().toStdString(), rig.chooserAnswer);
}

TEST(UpdatePage, AStartedInstallerEndsTheSheetWithOne) {
  PageRig rig;
  FakeNetwork network;
  network.installerStarted = true;
  rig.Open(&network);
  rig.Control<QPushButton>(Page::IDC_DOWNLOAD)->click();
  EXPECT_EQ(network.checks, 1);
  EXPECT_EQ(rig.hostResult, 1);
}

}  // namespace
}  // namespace tolvane::firmware

int main(int argc, char** argv) {
  qputenv("QT_QPA_PLATFORM", "offscreen");
  ::testing::InitGoogleTest(&argc, argv);
  QApplication app(argc, argv);
  return RUN_ALL_TESTS();
}
