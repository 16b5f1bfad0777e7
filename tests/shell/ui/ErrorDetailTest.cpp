#include "shell/ui/ErrorDetail.h"

#include <QPushButton>
#include <QScrollBar>
#include <QTest>
#include <QTextEdit>

#include <gtest/gtest.h>

#include "DialogTestSupport.h"

namespace tolvane {
namespace {

class ErrorDetail : public ::testing::Test {
 protected:
  // Shows the dialog and runs `inside` while it is open; `inside` must end
  // with a click on OK.
  void ShowWith(const std::string& message, const std::string& detail, const std::function<void(QDialog&)>& inside) {
    bool ran = false;
    test::WhenModalOpens([&](QDialog& dialog) {
      ran = true;
      inside(dialog);
    });
    dialog_.Show(message, detail);
    EXPECT_TRUE(ran);
  }

  static QWidget* Control(QDialog& dialog, int id) { return FindControl(&dialog, id); }

  APP_SETTINGS settings_;
  CErrorDetail dialog_{test::ShippedLanguage(), settings_, nullptr};
};

TEST_F(ErrorDetail, PlacesItsControlsByTheLineRule) {
  const int line = dialog_.LineHeight();
  ASSERT_GT(line, 5);
  // Lines set this far apart do not overlap: the rule's "Test" height less
  // 3 is less than a line of this font needs.
  EXPECT_GE(line, dialog_.fontMetrics().lineSpacing());
  ShowWith("Write failed.\nThe unit did not answer.\nCheck the cable.", "one\ntwo\nthree", [&](QDialog& d) {
    const QRect message = Control(d, CErrorDetail::IDC_MESSAGE)->geometry();
    EXPECT_EQ(message.top(), 10);
    EXPECT_EQ(message.height(), 3 * line);
    const QRect ok = Control(d, CErrorDetail::IDC_OKBUTTON)->geometry();
    const QRect details = Control(d, CErrorDetail::IDC_DETAILSBUTTON)->geometry();
    EXPECT_EQ(ok.top(), 10 + 3 * line + 10);
    EXPECT_EQ(details.top(), ok.top());
    EXPECT_EQ(d.height(), ok.top() + ok.height() + 10);
    EXPECT_FALSE(Control(d, CErrorDetail::IDC_DETAIL)->isVisible());
    test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
  });
}

TEST_F(ErrorDetail, ThreeDetailLinesGrowTheWindowAndTogglingTwiceRestoresIt) {
  const int line = dialog_.LineHeight();
  ShowWith("Write failed.", "Step: copy to Customer page\nCommand 0x34\nStatus 0x02", [&](QDialog& d) {
    auto* button = qobject_cast<QPushButton*>(Control(d, CErrorDetail::IDC_DETAILSBUTTON));
    auto* detail = qobject_cast<QTextEdit*>(Control(d, CErrorDetail::IDC_DETAIL));
    const QSize collapsed = d.size();
    const QSize buttonSize = button->size();
    EXPECT_EQ(button->text(), QStringLiteral("Show &Details"));
    test::Snapshot(d, "error_detail_collapsed");

    button->click();
    EXPECT_TRUE(dialog_.IsExpanded());
    EXPECT_EQ(d.height(), collapsed.height() + 3 * line + 10);
    EXPECT_EQ(d.width(), collapsed.width());
    EXPECT_EQ(detail->geometry().top(), collapsed.height());
    EXPECT_EQ(detail->height(), 3 * line);
    EXPECT_TRUE(detail->isVisible());
    EXPECT_EQ(button->text(), QStringLiteral("Hide &Details"));
    EXPECT_EQ(button->size(), buttonSize);
    // All three lines fit in the height the rule gives them.
    EXPECT_EQ(detail->verticalScrollBar()->maximum(), 0);
    EXPECT_EQ(detail->toPlainText(), QStringLiteral("Step: copy to Customer page\nCommand 0x34\nStatus 0x02"));
    test::Snapshot(d, "error_detail_expanded");

    button->click();
    EXPECT_FALSE(dialog_.IsExpanded());
    EXPECT_EQ(d.size(), collapsed);
    EXPECT_EQ(button->text(), QStringLiteral("Show &Details"));
    test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
  });
}

TEST_F(ErrorDetail, EscapeAndTheCloseBoxToggleTheDetailsOnlyOkCloses) {
  ShowWith("Write failed.", "detail", [&](QDialog& d) {
    const int collapsed = d.height();
    QTest::keyClick(&d, Qt::Key_Escape);
    EXPECT_TRUE(d.isVisible());
    EXPECT_TRUE(dialog_.IsExpanded());
    EXPECT_GT(d.height(), collapsed);
    d.close();
    EXPECT_TRUE(d.isVisible());
    EXPECT_FALSE(dialog_.IsExpanded());
    EXPECT_EQ(d.height(), collapsed);
    QTest::keyClick(&d, Qt::Key_Return);  // OK is the default button
    EXPECT_FALSE(d.isVisible());
  });
}

TEST_F(ErrorDetail, TextsComeFromTheLanguageFileAndEachShowStartsCollapsed) {
  ShowWith("Message", "Detail", [&](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Error"));
    EXPECT_EQ(test::ControlText(d, CErrorDetail::IDC_OKBUTTON), QStringLiteral("OK"));
    EXPECT_EQ(test::ControlText(d, CErrorDetail::IDC_MESSAGE), QStringLiteral("Message"));
    EXPECT_EQ(test::ControlText(d, CErrorDetail::IDC_DETAIL), QStringLiteral("Detail"));
    test::ClickControl(d, CErrorDetail::IDC_DETAILSBUTTON);
    test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
  });
  settings_.languageNumber = 1;
  ShowWith("Nachricht", "", [&](QDialog& d) {
    EXPECT_FALSE(dialog_.IsExpanded());
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Fehler"));
    EXPECT_EQ(test::ControlText(d, CErrorDetail::IDC_DETAILSBUTTON), QStringLiteral("&Details anzeigen"));
    test::ClickControl(d, CErrorDetail::IDC_DETAILSBUTTON);
    EXPECT_EQ(test::ControlText(d, CErrorDetail::IDC_DETAILSBUTTON), QStringLiteral("&Details ausblenden"));
    test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
  });
}

TEST(ErrorDetailWithoutLanguage, TheDetailsButtonStillSaysWhatItDoesAndFitsItsText) {
  // An error before the language file is loaded.
  const CLanguageFile none(std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);  // not loaded
  const APP_SETTINGS settings;
  CErrorDetail dialog(none, settings, nullptr);
  bool ran = false;
  test::WhenModalOpens([&](QDialog& d) {
    ran = true;
    auto* button = qobject_cast<QPushButton*>(FindControl(&d, CErrorDetail::IDC_DETAILSBUTTON));
    ASSERT_NE(button, nullptr);
    EXPECT_EQ(button->text(), QStringLiteral("Show &Details"));
    button->click();
    EXPECT_EQ(button->text(), QStringLiteral("Hide &Details"));
    EXPECT_GE(button->width(), button->sizeHint().width());
    test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
  });
  dialog.Show("Corporate model file not found!", "");
  EXPECT_TRUE(ran);
}

TEST_F(ErrorDetail, ALongDetailLineIsShownWholeInBothLanguages) {
  // One detail line of some 250 characters: it wraps, and every wrapped
  // line has its room (nothing squeezed into one line with a scroll bar).
  const std::string detail =
      "The unit did not acknowledge the configuration page after three attempts; check that the adapter is "
      "plugged in, that the unit is powered and that the cable is no longer than the installation guide allows.";
  for (int language : {0, 1}) {
    settings_.languageNumber = language;
    ShowWith("Write failed.", detail, [&](QDialog& d) {
      test::ClickControl(d, CErrorDetail::IDC_DETAILSBUTTON);
      auto* edit = qobject_cast<QTextEdit*>(Control(d, CErrorDetail::IDC_DETAIL));
      EXPECT_GE(edit->height(), 2 * dialog_.LineHeight()) << language;
      EXPECT_EQ(edit->height() % dialog_.LineHeight(), 0);
      EXPECT_EQ(edit->verticalScrollBar()->maximum(), 0) << language;
      EXPECT_LE(edit->geometry().bottom(), d.height());
      if (language == 0) {
        test::Snapshot(d, "error_detail_wrapped");
      }
      test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
    });
  }
}

TEST_F(ErrorDetail, ALongDetailKeepsEveryLineWithinReach) {
  std::string detail;
  for (int i = 0; i < 12; ++i) {
    detail += "Word " + std::to_string(i) +
              " of a detail line that runs on and on and on and on and on and on "
              "and on and on and on and on and on and on and on and on and on and on and on and on.\n";
  }
  ShowWith("Message", detail, [&](QDialog& d) {
    test::ClickControl(d, CErrorDetail::IDC_DETAILSBUTTON);
    auto* edit = qobject_cast<QTextEdit*>(Control(d, CErrorDetail::IDC_DETAIL));
    // The wrapped lines need more than a sensible height: the text gets
    // that height and scrolls.
    EXPECT_EQ(edit->height(), 16 * dialog_.LineHeight());
    EXPECT_GT(edit->verticalScrollBar()->maximum(), 0);
    EXPECT_LE(d.width(), dialog_.fontMetrics().averageCharWidth() * 100);
    test::Snapshot(d, "error_detail_long");
    test::ClickControl(d, CErrorDetail::IDC_OKBUTTON);
  });
}

}  // namespace
}  // namespace tolvane
