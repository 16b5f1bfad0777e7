// The name dialog of Save Config File: the proposed name, the language's
// texts, and the ".txt" rule on OK.
#include "config/ui/SetFileName.h"

#include <QGuiApplication>
#include <QLineEdit>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <string>

#include "shell/ui/DialogTestSupport.h"

namespace tolvane {
namespace {

class SetFileName : public ::testing::Test {
 protected:
  // Runs the dialog on `name`; `act` works the open dialog and closes it.
  int Run(std::string& name, const std::function<void(QDialog&)>& act) {
    test::WhenModalOpens(act);
    CSetFileName dialog(name, test::ShippedLanguage(), settings_, nullptr);
    return dialog.exec();
  }
  static QLineEdit* Edit(QDialog& d) { return FindControlAs<QLineEdit>(&d, CSetFileName::IDC_FILENAME); }
  // Replaces the edit box's text as a user types it.
  static void Type(QDialog& d, const QString& text) {
    Edit(d)->selectAll();
    QTest::keyClick(Edit(d), Qt::Key_Delete);
    for (const QChar c : text) {
      if (c.unicode() < 0x80) {
        QTest::keyClick(Edit(d), c.toLatin1());
      } else {
        Edit(d)->insert(c);  // QTest types ASCII only
      }
    }
  }

  APP_SETTINGS settings_;
};

// Wide enough for its title bar: the title as the desktop shows it (with the
// program's name after it) in a bold title font, with the window menu's icon
// and the close box beside it.
bool TitleFits(QDialog& d) {
  QFont font = d.font();
  font.setBold(true);
  const QFontMetrics fm(font);
  const QString shown = d.windowTitle() + QStringLiteral(" \u2014 ") + QGuiApplication::applicationDisplayName();
  const int needed = fm.horizontalAdvance(shown) + fm.height() * 3;
  EXPECT_GE(d.width(), needed) << d.windowTitle().toStdString();
  return d.width() >= needed;
}

TEST_F(SetFileName, ShowsTheProposedNameWithTheLanguagesTexts) {
  std::string name = "Tank A[4].txt";
  const int result = Run(name, [](QDialog& d) {
    EXPECT_EQ(ControlId(&d), CSetFileName::IDD);
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Save Configuration File"));
    EXPECT_TRUE(test::ControlText(d, CSetFileName::IDC_NAMING_INST).startsWith("Enter a name for the configuration"));
    EXPECT_EQ(test::ControlText(d, CSetFileName::IDC_OK), QStringLiteral("OK"));
    EXPECT_EQ(test::ControlText(d, CSetFileName::IDC_CANCEL), QStringLiteral("Cancel"));
    ASSERT_NE(Edit(d), nullptr);
    EXPECT_EQ(Edit(d)->text(), QStringLiteral("Tank A[4].txt"));
    EXPECT_TRUE(Edit(d)->hasFocus() || !d.isActiveWindow());
    EXPECT_TRUE(TitleFits(d));
    test::Snapshot(d, "set_file_name");
    test::ClickControl(d, CSetFileName::IDC_OK);
  });
  EXPECT_EQ(result, RESULT_OK);
  EXPECT_EQ(name, "Tank A[4].txt");

  settings_.languageNumber = 1;
  Run(name, [](QDialog& d) {
    EXPECT_EQ(d.windowTitle(), QStringLiteral("Konfigurationsdatei speichern"));
    EXPECT_EQ(test::ControlText(d, CSetFileName::IDC_CANCEL), QStringLiteral("Abbrechen"));
    EXPECT_TRUE(TitleFits(d));
    test::Snapshot(d, "set_file_name_german");
    test::ClickControl(d, CSetFileName::IDC_CANCEL);
  });
}

TEST_F(SetFileName, OkAppendsTxtUnlessTheNameContainsIt) {
  std::string name = "Config[0].txt";
  EXPECT_EQ(Run(name,
                [](QDialog& d) {
                  Type(d, "Pump Station");
                  test::ClickControl(d, CSetFileName::IDC_OK);
                }),
            RESULT_OK);
  EXPECT_EQ(name, "Pump Station.txt");

  EXPECT_EQ(Run(name,
                [](QDialog& d) {
                  Type(d, QString::fromUtf8("Schacht Süd.txt.bak"));
                  QTest::keyClick(Edit(d), Qt::Key_Return);  // Enter is OK
                }),
            RESULT_OK);
  EXPECT_EQ(name, "Schacht Süd.txt.bak");
}

TEST_F(SetFileName, CancelEscapeAndTheCloseBoxLeaveTheName) {
  std::string name = "Tank[2].txt";
  const std::function<void(QDialog&)> closes[] = {
      [](QDialog& d) {
        Type(d, "Other");
        test::ClickControl(d, CSetFileName::IDC_CANCEL);
      },
      [](QDialog& d) {
        Type(d, "Other");
        QTest::keyClick(&d, Qt::Key_Escape);
      },
      [](QDialog& d) {
        Type(d, "Other");
        d.close();
      },
  };
  for (const auto& close : closes) {
    EXPECT_EQ(Run(name, close), RESULT_CANCEL);
    EXPECT_EQ(name, "Tank[2].txt");
  }
}

}  // namespace
}  // namespace tolvane
