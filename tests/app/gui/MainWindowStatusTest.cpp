// The main window's status bar as the start, the form's files and edits change
// what it reports; its size and position kept for the next run in the
// settings store; F1 on a page that is not the form.
#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QScreen>
#include <QStatusBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "app/gui/MainForm.h"
#include "common/CheckedFormat.h"
#include "config/WriteToUnit.h"
#include "config/ui/GenericForm.h"
#include "shell/ui/MessageBox.h"

namespace tolvane {
namespace {

using test::ModalDriver;
using test::ProgramRig;

class NoContextHelp : public IContextHelp {
 public:
  void ShowControlHelp(int) override {}
  void ShowPage(const std::string&) override {}
};

class SavingFiles : public IConfigFileDialogs {
 public:
  std::filesystem::path ChooseFile(const std::filesystem::path&, const std::string&) override { return choose; }
  bool ConfirmName(std::string&) override { return true; }
  void Print(const std::filesystem::path&) override {}
  std::filesystem::path choose;
};

// The configuration form with file dialogs the test answers; other pages are
// placeholders.
class FormPages : public IPageFactory {
 public:
  QWidget* CreatePage(int pageId, CProgramCore& core, bool demonstration, IStartView*, QWidget* parent) override {
    if (pageId != kConfigurationPage) {
      return new QLabel(QStringLiteral("page"), parent);
    }
    return new CGenericForm(GENERIC_FORM_SERVICES{core, demonstration, help, opener, upload, files, nullptr, nullptr},
                            parent);
  }
  int OfferNewerFirmware(CProgramCore&) override { return 0; }
  NoContextHelp help;
  test::RecordingOpener opener;
  config::CNoUpload upload;
  SavingFiles files;
};

struct STATUS_SEEN {
  std::string adapter;
  std::string unit;
  std::string file;
};

STATUS_SEEN StatusOf(CMainForm& main) {
  auto field = [&main](const char* name) {
    auto* label = main.StatusBar()->findChild<QLabel*>(QString::fromLatin1(name));
    return label == nullptr ? std::string("(none)") : label->text().toStdString();
  };
  return {field("statusAdapter"), field("statusUnit"), field("statusFile")};
}

TEST(MainWindowStatus, FollowsTheUnitTheFileAndItsUnsavedMark) {
  ProgramRig rig;
  rig.CreateSettingsKey();
  auto sensor = rig.AddSensor();
  rig.folders.configs = rig.dir / "Configs";
  std::filesystem::create_directories(rig.folders.configs);
  rig.folders.bitmaps = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Bitmaps";
  FormPages pages;
  START_ENVIRONMENT env{rig.folders, rig.bridge, rig.clock, rig.registry, [] { return std::tm{}; },
                        rig.network, pages,      rig.help,  rig.opener,   rig.firstRun};
  env.copyrightInterval = std::chrono::milliseconds(1);
  auto dialog = std::make_unique<COstrelDlg>(std::move(env));

  std::vector<STATUS_SEEN> seen;
  std::string expectedUnit;
  int boxes = 0;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      ++boxes;  // the save's notice
      box->done(RESULT_OK);
      return;
    }
    auto* main = qobject_cast<CMainForm*>(&modal);
    if (main == nullptr) {
      return;
    }
    QTimer::singleShot(0, main, [&, main] {
      CProgramCore& core = dialog->Core();
      expectedUnit = Format(core.Text("STATUSBAR_UNIT"), core.record.modelName, core.record.serialNumber);
      auto* form = qobject_cast<CGenericForm*>(main->Tabs()->widget(0));
      ASSERT_NE(form, nullptr);
      ASSERT_TRUE(form->Start());
      seen.push_back(StatusOf(*main));  // identified: the unit's own configuration, in no file
      // An edit: the configuration is not saved.
      auto* height = FindControlAs<QLineEdit>(form, CGenericForm::IDC_SENSORHEIGHT);
      height->setText(QStringLiteral("4.5"));
      form->StoreValue(7);
      seen.push_back(StatusOf(*main));
      // Saved under a name: the file, no mark.
      FindControlAs<QLineEdit>(form, CGenericForm::IDC_FILENAME)->setText(QStringLiteral("Tank7"));
      form->OnSaveConfigFile();
      seen.push_back(StatusOf(*main));
      // Edited again, then another file opened.
      height->setText(QStringLiteral("5.5"));
      form->StoreValue(7);
      seen.push_back(StatusOf(*main));
      pages.files.choose = core.folders.configs / "Tank7[0].txt";
      form->OnOpenConfigFile();
      seen.push_back(StatusOf(*main));
      test::Snapshot(*main, "main-window-status-bar");
      main->close();
    });
  });
  dialog->Run();

  CProgramCore& core = dialog->Core();
  const std::string adapter = Format(core.Text("STATUSBAR_ADAPTER"), "Quenby USB Device");
  const std::string noFile = core.Text("STATUSBAR_NOFILE");
  const std::string file = Format(core.Text("STATUSBAR_FILE"), "Tank7[0].txt");
  auto unsaved = [&core](const std::string& text) { return Format(core.Text("STATUSBAR_UNSAVED"), text); };
  ASSERT_EQ(seen.size(), 5U);
  EXPECT_EQ(boxes, 1);
  for (const STATUS_SEEN& s : seen) {
    EXPECT_EQ(s.adapter, adapter);
    EXPECT_EQ(s.unit, expectedUnit);
  }
  EXPECT_NE(expectedUnit.find("QR27"), std::string::npos);
  EXPECT_EQ(seen[0].file, noFile);
  EXPECT_EQ(seen[1].file, unsaved(noFile));
  EXPECT_EQ(seen[2].file, file);
  EXPECT_EQ(seen[3].file, unsaved(file));
  EXPECT_EQ(seen[4].file, file);
}

TEST(MainWindowStatus, NoUnitAndTheDemonstrationUnitInBothLanguages) {
  ProgramRig rig;
  rig.CreateSettingsKey();
  auto dialog = rig.MakeDialog();
  int code = 0;
  ASSERT_EQ(dialog->Core().Start(code), CProgramCore::StartResult::Ok);
  CProgramCore& core = dialog->Core();
  for (int language = 0; language < 2; ++language) {
    core.settings.languageNumber = language;
    CMainForm none(core, false, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
    const STATUS_SEEN s = StatusOf(none);
    EXPECT_EQ(s.unit, core.language.Text("STATUSBAR_NOUNIT", language));
    EXPECT_EQ(s.adapter, core.language.Text("STATUSBAR_NOADAPTER", language));
    EXPECT_EQ(s.file, core.language.Text("STATUSBAR_NOFILE", language));
    CMainForm demo(core, true, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
    EXPECT_EQ(StatusOf(demo).unit, core.language.Text("STATUSBAR_DEMO", language));
    EXPECT_FALSE(StatusOf(demo).unit.empty());
  }
}

TEST(MainWindowPlacement, SizeAndPositionComeBackOnTheNextStart) {
  ProgramRig rig;
  rig.CreateSettingsKey();
  auto dialog = rig.MakeDialog();
  int code = 0;
  ASSERT_EQ(dialog->Core().Start(code), CProgramCore::StartResult::Ok);
  CProgramCore& core = dialog->Core();
  const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
  {
    // The first start: nothing kept, the window lies on the screen.
    CMainForm first(core, true, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
    EXPECT_TRUE(area.contains(first.geometry())) << area.width() << "x" << area.height();
    first.show();
    first.setGeometry(37, 41, 520, 390);
    QApplication::processEvents();
    first.done(RESULT_CANCEL);
  }
  std::string kept;
  ASSERT_FALSE(core.store.ReadString(kMainWindowPlacement, kept));
  EXPECT_EQ(kept, "37,41,520,390");
  {
    CMainForm second(core, true, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
    EXPECT_EQ(second.geometry(), QRect(37, 41, 520, 390));
    second.show();
    QApplication::processEvents();
    EXPECT_EQ(second.geometry(), QRect(37, 41, 520, 390));
    second.done(RESULT_OK);
  }
  {
    // Closed on the Updates page (a firmware update ends the window there):
    // the size the form was worked in stays kept.
    CMainForm updating(core, true, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
    updating.show();
    updating.RequestPage(1);
    ASSERT_EQ(updating.ActivePage(), 1);
    updating.setGeometry(60, 70, 300, 200);
    QApplication::processEvents();
    updating.done(1);
  }
  ASSERT_FALSE(core.store.ReadString(kMainWindowPlacement, kept));
  EXPECT_EQ(kept, "37,41,520,390");
  // Kept on a larger screen: brought onto this one.
  ASSERT_FALSE(core.store.WriteString(kMainWindowPlacement, "3000,2000,4000,3000"));
  CMainForm third(core, true, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
  EXPECT_TRUE(area.contains(third.geometry())) << third.geometry().x() << "," << third.geometry().y();
}

TEST(MainWindowKeys, F1OnAPageOtherThanTheFormOpensThatPagesHelp) {
  ProgramRig rig;
  rig.CreateSettingsKey();
  auto dialog = rig.MakeDialog();
  int code = 0;
  ASSERT_EQ(dialog->Core().Start(code), CProgramCore::StartResult::Ok);
  CMainForm main(dialog->Core(), true, "Tolvane", rig.pages, rig.help, nullptr, nullptr);
  main.show();
  QApplication::setActiveWindow(&main);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&main));
  main.RequestPage(1);
  ASSERT_EQ(main.ActivePage(), 1);
  main.Tabs()->currentWidget()->setFocus();
  QTest::keyClick(main.Tabs()->currentWidget(), Qt::Key_F1);
  EXPECT_EQ(rig.help.pages, (std::vector<int>{kUpdatesPage}));
}

}  // namespace
}  // namespace tolvane
