// The program as a user runs it: tolvane-sim as a separate process on a
// pseudo-terminal, found through the tty adapter discovery, on real time.
#include <QLabel>
#include <QTabWidget>

#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "link/TtyBridge.h"
#include "link/sim/SimProcess.h"
#include "shell/ui/MessageBox.h"

namespace tolvane {
namespace {

TEST(TtyEndToEnd, ReachesTheMainWindowWithTolvaneSim) {
  test::ProgramRig rig;
  rig.CreateSettingsKey();
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr25"});
  ASSERT_TRUE(sim.Running());
  RealClock clock;
  link::TtyBridge bridge(sim.root());
  auto dialog = rig.MakeDialog(&bridge, &clock);
  QString summary;
  QString title;
  QString startText;
  test::ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      startText = test::ControlText(*start, COstrelDlg::IDC_START_STATUS) + " | " +
                  test::ControlText(*start, COstrelDlg::IDC_STATUS);
    } else if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      ADD_FAILURE() << test::ControlText(*box, CMessageBox::IDC_TEXT).toStdString();
      test::ClickControl(*box, CMessageBox::IDC_OKBUTTON);
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      title = form->windowTitle();
      for (auto* label : form->Tabs()->widget(0)->findChildren<QLabel*>()) {
        summary += label->text() + "\n";
      }
      form->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(title, "Tolvane 5.0.0") << startText.toStdString() << " | windows: " << driver.seen.size();
  EXPECT_TRUE(summary.contains("QR25")) << summary.toStdString();
  EXPECT_TRUE(summary.contains("QRModel_QR25.txt")) << summary.toStdString();
}

}  // namespace
}  // namespace tolvane
