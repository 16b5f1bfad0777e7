#include "shell/ui/SetOptions.h"

#include <QCheckBox>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace tolvane {
namespace {

class SetOptions : public ::testing::Test {
 protected:
  // Shows the prompt, ticks the box when asked, then closes it with `close`.
  int Answer(bool okOnly, bool tick, bool& showAgain, const std::function<void(QDialog&)>& close) {
    test::WhenModalOpens([&](QDialog& dialog) {
      if (tick) {
        FindControlAs<QCheckBox>(&dialog, CSetOptions::IDC_SKIP)->click();
      }
      close(dialog);
    });
    return prompt_.Show("The configuration was written.", okOnly, showAgain);
  }

  static std::function<void(QDialog&)> Click(int id) {
    return [id](QDialog& dialog) { test::ClickControl(dialog, id); };
  }

  APP_SETTINGS settings_;
  CSetOptions prompt_{test::ShippedLanguage(), settings_, nullptr};
};

TEST_F(SetOptions, ButtonsSetTheFlagFromTheBox) {
  bool showAgain = false;
  EXPECT_EQ(Answer(false, false, showAgain, Click(CSetOptions::IDC_YESBUTTON)), RESULT_OK);
  EXPECT_TRUE(showAgain);
  EXPECT_EQ(Answer(false, true, showAgain, Click(CSetOptions::IDC_NOBUTTON)), RESULT_CANCEL);
  EXPECT_FALSE(showAgain);
  // Each showing starts with the box clear.
  EXPECT_EQ(Answer(false, false, showAgain, Click(CSetOptions::IDC_NOBUTTON)), RESULT_CANCEL);
  EXPECT_TRUE(showAgain);
  EXPECT_EQ(Answer(true, true, showAgain, Click(CSetOptions::IDC_YESBUTTON)), RESULT_OK);
  EXPECT_FALSE(showAgain);
}

TEST_F(SetOptions, EscapeAndTheCloseBoxCancelAndLeaveTheFlag) {
  for (const bool start : {true, false}) {
    bool showAgain = start;
    EXPECT_EQ(Answer(false, true, showAgain, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }),
              RESULT_CANCEL);
    EXPECT_EQ(showAgain, start);
    EXPECT_EQ(Answer(true, !start, showAgain, [](QDialog& d) { d.close(); }), RESULT_CANCEL);
    EXPECT_EQ(showAgain, start);
  }
}

TEST_F(SetOptions, OkOnlyPutsOneOkButtonBetweenTheTwoPlaces) {
  bool showAgain = true;
  QRect yes, no, alone;
  Answer(false, false, showAgain, [&](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Notice"));
    EXPECT_EQ(test::ControlText(d, CSetOptions::IDC_MESSAGE), QStringLiteral("The configuration was written."));
    EXPECT_EQ(test::ControlText(d, CSetOptions::IDC_SKIP), QStringLiteral("&Do not show this message again"));
    EXPECT_EQ(test::ControlText(d, CSetOptions::IDC_NOBUTTON), QStringLiteral("Cancel"));
    yes = FindControl(&d, CSetOptions::IDC_YESBUTTON)->geometry();
    no = FindControl(&d, CSetOptions::IDC_NOBUTTON)->geometry();
    test::Snapshot(d, "set_options_question");
    test::ClickControl(d, CSetOptions::IDC_NOBUTTON);
  });
  Answer(true, false, showAgain, [&](QDialog& d) {
    EXPECT_FALSE(FindControl(&d, CSetOptions::IDC_NOBUTTON)->isVisible());
    EXPECT_EQ(test::ControlText(d, CSetOptions::IDC_YESBUTTON), QStringLiteral("OK"));
    alone = FindControl(&d, CSetOptions::IDC_YESBUTTON)->geometry();
    test::Snapshot(d, "set_options_ok_only");
    test::ClickControl(d, CSetOptions::IDC_YESBUTTON);
  });
  EXPECT_EQ(alone.top(), yes.top());
  EXPECT_EQ(alone.left(), (yes.left() + no.left()) / 2);
  EXPECT_EQ(alone.right(), (yes.right() + no.right()) / 2);
  // And back: a question after the notice shows both buttons again.
  Answer(false, false, showAgain, [&](QDialog& d) {
    EXPECT_TRUE(FindControl(&d, CSetOptions::IDC_NOBUTTON)->isVisible());
    EXPECT_EQ(FindControl(&d, CSetOptions::IDC_YESBUTTON)->geometry(), yes);
    test::ClickControl(d, CSetOptions::IDC_YESBUTTON);
  });
}

}  // namespace
}  // namespace tolvane
