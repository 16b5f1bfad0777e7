// Which window the user works in: the start window is out of sight while the
// main window is open and back for the next start, boxes open as children of
// the main window, and leaving a page asks before the other page shows.
#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "app/gui/MainForm.h"
#include "shell/ui/MessageBox.h"

namespace tolvane {
namespace {

using test::ModalDriver;
using test::ProgramRig;

TEST(WindowOwnership, StartWindowHiddenWhileTheMainWindowIsOpenAndBoxesAreItsChildren) {
  ProgramRig rig;
  rig.CreateSettingsKey();
  rig.AddSensor();
  auto dialog = rig.MakeDialog();

  int forms = 0;
  std::vector<bool> startVisibleWithForm;
  QWidget* boxParent = nullptr;
  CMainForm* firstForm = nullptr;
  bool startShownAgain = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (forms == 1 && start->isVisible()) {
        startShownAgain = true;
      }
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      ++forms;
      // After the handler: the main window is running by then.
      QTimer::singleShot(0, form, [&, form] {
        startVisibleWithForm.push_back(dialog->isVisible());
        if (forms == 1) {
          firstForm = form;
          dialog->Core().services.messages.Show("A message while the main window is open", MB_PLAIN);
          form->CloseWithOk();
        } else {
          form->close();
        }
      });
    } else if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      boxParent = box->parentWidget();
      box->done(RESULT_OK);
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  ASSERT_EQ(forms, 2);
  EXPECT_EQ(startVisibleWithForm, (std::vector<bool>{false, false}));
  EXPECT_TRUE(startShownAgain);
  EXPECT_EQ(boxParent, firstForm);
}

// A page that records what was showing when it was asked to be left.
class AskingPage : public QWidget, public IPageLeave {
 public:
  AskingPage(QTabWidget*& tabs, QWidget* parent) : QWidget(parent), tabs_(tabs) {}
  bool CanLeave() override {
    shownWhenAsked.push_back(tabs_ != nullptr ? tabs_->currentIndex() : -1);
    return answer;
  }
  bool answer = false;
  std::vector<int> shownWhenAsked;

 private:
  QTabWidget*& tabs_;
};

class AskingPages : public IPageFactory {
 public:
  QWidget* CreatePage(int pageId, CProgramCore&, bool, IStartView*, QWidget* parent) override {
    if (pageId == kConfigurationPage) {
      first = new AskingPage(tabs, parent);
      return first;
    }
    return new QLabel(QStringLiteral("page"), parent);
  }
  int OfferNewerFirmware(CProgramCore&) override { return 0; }
  QTabWidget* tabs = nullptr;
  AskingPage* first = nullptr;
};

TEST(WindowOwnership, TheLeavePageQuestionComesBeforeTheOtherPageShows) {
  ProgramRig rig;
  rig.CreateSettingsKey();
  auto dialog = rig.MakeDialog();
  AskingPages pages;
  CMainForm form(dialog->Core(), true, "Tolvane", pages, rig.help, nullptr, nullptr);
  pages.tabs = form.Tabs();
  form.show();
  QTabBar* bar = form.Tabs()->tabBar();
  ASSERT_EQ(form.ActivePage(), 0);

  // No: the page stays, and the other one never showed.
  int seenOther = 0;
  QObject::connect(form.Tabs(), &QTabWidget::currentChanged, [&](int index) { seenOther += index == 1 ? 1 : 0; });
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  EXPECT_EQ(form.ActivePage(), 0);
  EXPECT_EQ(seenOther, 0);
  QTest::keyClick(form.Tabs(), Qt::Key_Tab, Qt::ControlModifier);
  EXPECT_EQ(form.ActivePage(), 0);
  EXPECT_EQ(seenOther, 0);
  // Yes: the other page shows after the question.
  pages.first->answer = true;
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(1).center());
  EXPECT_EQ(form.ActivePage(), 1);
  EXPECT_EQ(seenOther, 1);
  // Every question came while the asking page was still the one showing.
  EXPECT_EQ(pages.first->shownWhenAsked, (std::vector<int>{0, 0, 0}));
  // Leaving a page that does not ask needs no question.
  QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(0).center());
  EXPECT_EQ(form.ActivePage(), 0);
  EXPECT_EQ(pages.first->shownWhenAsked.size(), 3U);
}

}  // namespace
}  // namespace tolvane
