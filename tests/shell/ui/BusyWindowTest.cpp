#include "shell/ui/BusyWindow.h"

#include <QLabel>
#include <QProgressBar>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace tolvane {
namespace {

// Counts the paint events a widget receives.
class PaintCounter : public QObject {
 public:
  explicit PaintCounter(QWidget* widget) { widget->installEventFilter(this); }
  int count = 0;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      ++count;
    }
    return QObject::eventFilter(watched, event);
  }
};

class BusyWindow : public ::testing::Test {
 protected:
  void SetUp() override {
    window_.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&window_));
  }
  APP_SETTINGS settings_;
  CBusyWindow window_{test::ShippedLanguage(), settings_, nullptr};
};

TEST_F(BusyWindow, IsModelessWithItsCaptionAndAnEmptyBar) {
  EXPECT_FALSE(window_.isModal());
  EXPECT_EQ(window_.windowTitle(), QString::fromUtf8("Please wait..."));
  auto* bar = FindControlAs<QProgressBar>(&window_, CBusyWindow::IDC_PROGRESS);
  ASSERT_NE(bar, nullptr);
  EXPECT_EQ(bar->minimum(), 0);
  EXPECT_EQ(bar->maximum(), 100);
  EXPECT_EQ(window_.Progress(), 0);
}

TEST_F(BusyWindow, ProgressIsClampedToTheBar) {
  window_.SetProgress(40);
  EXPECT_EQ(window_.Progress(), 40);
  window_.SetProgress(-5);
  EXPECT_EQ(window_.Progress(), 0);
  window_.SetProgress(130);
  EXPECT_EQ(window_.Progress(), 100);
  window_.SetProgress(100);
  EXPECT_EQ(window_.Progress(), 100);
  window_.SetProgress(0);
  EXPECT_EQ(window_.Progress(), 0);
  // The bar itself shows the clamped value.
  window_.SetProgress(1000);
  EXPECT_EQ(FindControlAs<QProgressBar>(&window_, CBusyWindow::IDC_PROGRESS)->value(), 100);
}

TEST_F(BusyWindow, PaintsAtOnceWithoutTheEventLoop) {
  PaintCounter windowPaints(&window_);
  window_.SetProgress(30);
  EXPECT_GT(windowPaints.count, 0) << "the window waited for the event loop to paint";

  auto* label = FindControlAs<QLabel>(&window_, CBusyWindow::IDC_MESSAGE);
  ASSERT_NE(label, nullptr);
  PaintCounter labelPaints(label);
  window_.SetMessage("Reading the Customer page \xE2\x80\xA6");
  EXPECT_GT(labelPaints.count, 0);
  EXPECT_EQ(label->text(), QString::fromUtf8("Reading the Customer page \xE2\x80\xA6"));
  test::Snapshot(window_, "busy_window");
}

}  // namespace
}  // namespace tolvane
