// Context help in the whole program: the start dialog reaches the main window
// with the configuration form on a simulated unit; a right click on a control
// opens the help window on that control's page, from the model's help file
// when it has the page, else from the main help file; the Help button opens
// the getting-started page.
#include <QApplication>
#include <QComboBox>
#include <QTabWidget>
#include <QTest>
#include <QToolButton>

#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "app/gui/MainForm.h"
#include "app/gui/ProgramPages.h"
#include "config/ui/GenericForm.h"
#include "shell/ui/DialogSupport.h"
#include "shell/ui/HelpViewer.h"

namespace tolvane {
namespace {

struct PAGE_SEEN {
  std::string file;
  std::string topic;
};

PAGE_SEEN ShownPage() {
  for (QWidget* w : QApplication::topLevelWidgets()) {
    if (auto* viewer = qobject_cast<CHelpViewer*>(w); viewer != nullptr && viewer->isVisible()) {
      return {viewer->CurrentFile().filename().string(), viewer->CurrentTopic()};
    }
  }
  return {};
}

TEST(HelpEndToEnd, RightClickOnTheFormOpensTheControlsPage) {
  test::ProgramRig rig;
  rig.CreateSettingsKey();
  rig.AddSensor();
  rig.folders.help = TOLVANE_HELP_DIR;
  rig.folders.bitmaps = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Bitmaps";
  rig.folders.configs = rig.dir / "Configs";
  CHelpTopicTable topics;
  config::CNoUpload upload;
  CProgramPages pages(topics, rig.opener, upload);
  START_ENVIRONMENT env{rig.folders, rig.bridge, rig.clock, rig.registry, [] { return std::tm{}; },
                        rig.network, pages,      pages,     rig.opener,   rig.firstRun};
  env.copyrightInterval = std::chrono::milliseconds(1);
  env.helpTable = &topics;
  auto dialog = std::make_unique<COstrelDlg>(std::move(env));

  std::vector<PAGE_SEEN> seen;
  test::ModalDriver driver([&](QWidget& modal) {
    auto* main = qobject_cast<CMainForm*>(&modal);
    if (main == nullptr) {
      return;
    }
    QTimer::singleShot(0, main, [&, main] {
      auto* form = qobject_cast<CGenericForm*>(main->Tabs()->widget(0));
      ASSERT_NE(form, nullptr);
      ASSERT_TRUE(form->Start());
      QApplication::processEvents();  // the window grows to the page
      test::Snapshot(*main, "main-window-configuration");
      // The units box: the levels group's page, which the model's help file
      // does not have.
      QTest::mouseClick(FindControl(form, CGenericForm::IDC_UNITS), Qt::RightButton);
      seen.push_back(ShownPage());
      // The first item box: the model names its own page.
      QTest::mouseClick(FindControlAs<QComboBox>(form, CGenericForm::kItemBoxes[0]), Qt::RightButton);
      seen.push_back(ShownPage());
      // The Help button of the main window.
      FindControlAs<QToolButton>(main, CMainForm::IDC_HELPBUTTON)->click();
      seen.push_back(ShownPage());
      for (QWidget* w : QApplication::topLevelWidgets()) {
        if (qobject_cast<CHelpViewer*>(w) != nullptr) {
          test::Snapshot(*w, "help-viewer-from-form");
        }
      }
      main->close();
    });
  });
  dialog->Run();

  ASSERT_EQ(seen.size(), 3U);
  EXPECT_EQ(seen[0].file, "Tolvane.chm");
  EXPECT_EQ(seen[0].topic, "TANK_LEVELS_GROUP.htm");
  EXPECT_EQ(seen[1].file, "QR27.chm");
  EXPECT_EQ(seen[1].topic, "QR27_APPLICATION.htm");
  EXPECT_EQ(seen[2].file, "Tolvane.chm");
  EXPECT_EQ(seen[2].topic, "GETTING_STARTED.htm");
  // No message box on the way (a missing help file would have shown one).
  EXPECT_EQ(std::count(driver.seen.begin(), driver.seen.end(), "tolvane::CMessageBox"), 0);
}

}  // namespace
}  // namespace tolvane
