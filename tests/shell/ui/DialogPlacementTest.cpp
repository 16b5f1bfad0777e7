// Where the kit's dialogs open without a shown owner, that Enter presses
// their default button, and the smooth scaling of pictures for screens with
// a scale factor.
#include <QApplication>
#include <QScreen>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "shell/ui/ErrorDetail.h"
#include "shell/ui/MessageBox.h"
#include "shell/ui/SetOptions.h"

namespace tolvane {
namespace {

// The centre of the dialog's window as it opens.
QPoint CentreWhenOpen(CMessageBox& box) {
  QPoint centre;
  test::WhenModalOpens([&centre](QDialog& dialog) {
    centre = dialog.frameGeometry().center();
    dialog.done(RESULT_OK);
  });
  box.Show("A box that has no window to open over", MB_PLAIN);
  return centre;
}

bool Near(QPoint a, QPoint b) { return (a - b).manhattanLength() <= 4; }

TEST(DialogPlacement, ABoxWithoutAShownOwnerOpensCentredNotAtTheTopLeft) {
  APP_SETTINGS settings;
  const QPoint screen = QGuiApplication::primaryScreen()->availableGeometry().center();
  // No owner at all (the first start's problems, before any window).
  CMessageBox parentless(test::ShippedLanguage(), settings, nullptr);
  EXPECT_TRUE(Near(CentreWhenOpen(parentless), screen)) << CentreWhenOpen(parentless).x();
  // An owner never shown (the start window before its start has run).
  QWidget hidden;
  CMessageBox unshown(test::ShippedLanguage(), settings, &hidden);
  const QPoint centre = CentreWhenOpen(unshown);
  EXPECT_TRUE(Near(centre, screen)) << centre.x() << "," << centre.y();

  // With a window the user works in: centred on that window.
  QWidget working;
  working.setGeometry(60, 50, 420, 300);
  working.show();
  QApplication::setActiveWindow(&working);
  ASSERT_TRUE(QTest::qWaitForWindowActive(&working));
  CMessageBox over(test::ShippedLanguage(), settings, nullptr);
  const QPoint onWorking = CentreWhenOpen(over);
  EXPECT_TRUE(Near(onWorking, working.frameGeometry().center())) << onWorking.x() << "," << onWorking.y();
}

TEST(DialogKeys, EnterPressesTheDefaultButton) {
  APP_SETTINGS settings;
  auto enter = [](QDialog& dialog) {
    QWidget* focus = dialog.focusWidget() != nullptr ? dialog.focusWidget() : &dialog;
    QTest::keyClick(focus, Qt::Key_Return);
  };
  // A question: Yes, the first button.
  CMessageBox box(test::ShippedLanguage(), settings, nullptr);
  test::WhenModalOpens(enter);
  EXPECT_EQ(box.Show("Write the same configuration to another unit?", MB_YESNO), RESULT_YES);
  // The upload notice: OK, whether the focus is on the button or on the box beside it.
  CSetOptions notice(test::ShippedLanguage(), settings, nullptr);
  bool again = true;
  test::WhenModalOpens(enter);
  EXPECT_EQ(notice.Show("Written configurations are sent to the manufacturer.", false, again), RESULT_OK);
  test::WhenModalOpens([](QDialog& dialog) {
    FindControl(&dialog, CSetOptions::IDC_SKIP)->setFocus();
    QTest::keyClick(FindControl(&dialog, CSetOptions::IDC_SKIP), Qt::Key_Enter, Qt::KeypadModifier);
  });
  EXPECT_EQ(notice.Show("Written configurations are sent to the manufacturer.", false, again), RESULT_OK);
  // The error details: OK closes them.
  CErrorDetail errors(test::ShippedLanguage(), settings, nullptr);
  bool closed = false;
  test::WhenModalOpens([&](QDialog& dialog) {
    enter(dialog);
    closed = !dialog.isVisible();
  });
  errors.Show("The unit did not answer.", "No ready frame within 500 ms after the write of the Customer page.");
  EXPECT_TRUE(closed);
}

TEST(PictureScaling, PicturesAreScaledSmoothlyForTheDevicesPixels) {
  // A hard black and white edge.
  QImage picture(8, 4, QImage::Format_RGB32);
  picture.fill(Qt::white);
  for (int y = 0; y < 4; ++y) {
    for (int x = 0; x < 4; ++x) {
      picture.setPixel(x, y, qRgb(0, 0, 0));
    }
  }
  EXPECT_EQ(ScaledForDevice(picture, 1.0), picture);
  for (const qreal ratio : {1.5, 2.0}) {
    const QImage scaled = ScaledForDevice(picture, ratio);
    EXPECT_EQ(scaled.size(), QSize(qRound(8 * ratio), qRound(4 * ratio)));
    EXPECT_DOUBLE_EQ(scaled.devicePixelRatio(), ratio);
    // Painted at the picture's own size.
    EXPECT_EQ(scaled.deviceIndependentSize().toSize(), picture.size());
    // Smooth: grey between black and white along the edge (pixel doubling
    // would leave only the two colours).
    bool grey = false;
    for (int x = 0; x < scaled.width(); ++x) {
      const int value = qGray(scaled.pixel(x, 1));
      grey = grey || (value > 20 && value < 235);
    }
    EXPECT_TRUE(grey) << ratio;
  }
}

}  // namespace
}  // namespace tolvane
