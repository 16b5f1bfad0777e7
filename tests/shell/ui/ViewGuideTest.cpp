#include "shell/ui/ViewGuide.h"

#include <QCheckBox>
#include <QTest>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace tolvane {
namespace {

class ViewGuide : public ::testing::Test {
 protected:
  // Shows the prompt with GUIDE set to `guide`, ticks the box when asked,
  // closes it with `close`, and returns the result and GUIDE afterwards.
  std::pair<int, bool> Answer(bool guide, bool tick, const std::function<void(QDialog&)>& close) {
    test::WhenModalOpens([&](QDialog& dialog) {
      if (tick) {
        FindControlAs<QCheckBox>(&dialog, CViewGuide::IDC_SKIPINTRO)->click();
      }
      close(dialog);
    });
    const int result = prompt_.Show(guide);
    return {result, guide};
  }

  static std::function<void(QDialog&)> Click(int id) {
    return [id](QDialog& dialog) { test::ClickControl(dialog, id); };
  }

  APP_SETTINGS settings_;
  CViewGuide prompt_{test::ShippedLanguage(), settings_, nullptr};
};

TEST_F(ViewGuide, OnlyATickedBoxClearsGuide) {
  using R = std::pair<int, bool>;
  EXPECT_EQ(Answer(true, true, Click(CViewGuide::IDC_NOBUTTON)), R(RESULT_CANCEL, false));
  EXPECT_EQ(Answer(true, false, Click(CViewGuide::IDC_YESBUTTON)), R(RESULT_OK, true));
  EXPECT_EQ(Answer(true, true, Click(CViewGuide::IDC_YESBUTTON)), R(RESULT_OK, false));
  EXPECT_EQ(Answer(true, false, Click(CViewGuide::IDC_NOBUTTON)), R(RESULT_CANCEL, true));
  // An unticked box never sets it.
  EXPECT_EQ(Answer(false, false, Click(CViewGuide::IDC_YESBUTTON)), R(RESULT_OK, false));
}

TEST_F(ViewGuide, EscapeAndTheCloseBoxCancelAndLeaveGuide) {
  using R = std::pair<int, bool>;
  EXPECT_EQ(Answer(true, true, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), R(RESULT_CANCEL, true));
  EXPECT_EQ(Answer(true, true, [](QDialog& d) { d.close(); }), R(RESULT_CANCEL, true));
}

TEST_F(ViewGuide, TextsComeFromTheLanguageFile) {
  Answer(true, false, [](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Quick Start Guide"));
    EXPECT_EQ(test::ControlText(d, CViewGuide::IDC_QUESTION),
              QStringLiteral("Would you like to view the quick start guide now?"));
    EXPECT_EQ(test::ControlText(d, CViewGuide::IDC_YESBUTTON), QStringLiteral("&Yes"));
    EXPECT_EQ(test::ControlText(d, CViewGuide::IDC_NOBUTTON), QStringLiteral("&No"));
    EXPECT_EQ(test::ControlText(d, CViewGuide::IDC_SKIPINTRO), QStringLiteral("&Do not show this message again"));
    test::Snapshot(d, "view_guide");
    test::ClickControl(d, CViewGuide::IDC_NOBUTTON);
  });
  APP_SETTINGS german;
  german.languageNumber = 1;
  CViewGuide prompt(test::ShippedLanguage(), german, nullptr);
  EXPECT_EQ(prompt.windowTitle(), QStringLiteral("Kurzanleitung"));
  EXPECT_EQ(test::ControlText(prompt, CViewGuide::IDC_YESBUTTON), QStringLiteral("&Ja"));
}

}  // namespace
}  // namespace tolvane
