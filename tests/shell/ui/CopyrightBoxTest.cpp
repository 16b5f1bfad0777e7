#include "shell/ui/CopyrightBox.h"

#include <QTest>
#include <QTimer>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

using namespace std::chrono_literals;

class CopyrightBox : public ::testing::Test {
 protected:
  APP_SETTINGS settings_;
  test::TempDir program_;
};

TEST_F(CopyrightBox, WithoutTheFileShowsTheLanguageTextsAndClosesByItself) {
  CCopyrightBox box(test::ShippedLanguage(), settings_, program_.path(), nullptr, 30ms);
  EXPECT_EQ(box.windowTitle(), QStringLiteral("Copyright"));
  EXPECT_EQ(test::ControlText(box, CCopyrightBox::IDC_LINE1),
            QString::fromUtf8(test::ShippedLanguage().Text("IDC_COPYRIGHT1", 0)));
  EXPECT_EQ(test::ControlText(box, CCopyrightBox::IDC_LINE2),
            QString::fromUtf8("Copyright \xC2\xA9 Kestrine. All rights reserved."));
  EXPECT_EQ(test::ControlText(box, CCopyrightBox::IDC_BODY),
            QString::fromUtf8(test::ShippedLanguage().Text("IDC_COPYRIGHT3", 0)));
  test::WhenModalOpens([](QDialog& d) { test::Snapshot(d, "copyright_box"); });
  // Nothing closes it but its timer.
  EXPECT_EQ(box.exec(), RESULT_OK);
  EXPECT_FALSE(box.IsTimerRunning());
}

TEST_F(CopyrightBox, WaitsTwoSecondsByDefault) {
  CCopyrightBox box(test::ShippedLanguage(), settings_, program_.path(), nullptr);
  EXPECT_FALSE(box.IsTimerRunning());
  box.show();
  EXPECT_TRUE(box.IsTimerRunning());
  const auto* timer = box.findChild<QTimer*>();
  ASSERT_NE(timer, nullptr);
  EXPECT_EQ(timer->interval(), 2000);
  EXPECT_TRUE(timer->isSingleShot());
}

TEST_F(CopyrightBox, ReadsTheNoticeFromCopyrightTxt) {
  test::WriteBytes(program_ / "copyright.txt",
                   test::Utf16File("Tolvane 5\r\n\xC2\xA9 2026 Kestrine GmbH\r\nLicensed to: Plant 4\r\n\r\nEnd\r\n"));
  CCopyrightBox box(test::ShippedLanguage(), settings_, program_.path(), nullptr);
  EXPECT_EQ(test::ControlText(box, CCopyrightBox::IDC_LINE1), QStringLiteral("Tolvane 5"));
  EXPECT_EQ(test::ControlText(box, CCopyrightBox::IDC_LINE2), QString::fromUtf8("\xC2\xA9 2026 Kestrine GmbH"));
  EXPECT_EQ(test::ControlText(box, CCopyrightBox::IDC_BODY), QStringLiteral("Licensed to: Plant 4\n\nEnd\n"));

  test::WriteBytes(program_ / "copyright.txt", "Only one line\n");
  CCopyrightBox shortBox(test::ShippedLanguage(), settings_, program_.path(), nullptr);
  EXPECT_EQ(test::ControlText(shortBox, CCopyrightBox::IDC_LINE1), QStringLiteral("Only one line"));
  EXPECT_EQ(test::ControlText(shortBox, CCopyrightBox::IDC_LINE2), QString());
  EXPECT_EQ(test::ControlText(shortBox, CCopyrightBox::IDC_BODY), QString());
}

TEST_F(CopyrightBox, AKeyStopsTheTimer) {
  CCopyrightBox box(test::ShippedLanguage(), settings_, program_.path(), nullptr, 30ms);
  bool stillOpen = false;
  test::WhenModalOpens([&](QDialog& d) {
    QTest::keyClick(&d, Qt::Key_Shift);
    EXPECT_FALSE(box.IsTimerRunning());
    QTest::qWait(120);  // four times the interval
    stillOpen = d.isVisible();
    test::ClickControl(d, CCopyrightBox::IDC_OKBUTTON);
  });
  EXPECT_EQ(box.exec(), RESULT_OK);
  EXPECT_TRUE(stillOpen);
}

TEST_F(CopyrightBox, EscapeClosesWithCancel) {
  CCopyrightBox box(test::ShippedLanguage(), settings_, program_.path(), nullptr, 10s);
  test::WhenModalOpens([](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); });
  EXPECT_EQ(box.exec(), RESULT_CANCEL);
  EXPECT_FALSE(box.IsTimerRunning());
}

}  // namespace
}  // namespace tolvane
