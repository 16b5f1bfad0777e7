#include "shell/ui/MessageBox.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QThread>

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <vector>

#include "DialogTestSupport.h"

namespace tolvane {
namespace {

using Sound = CMessageBox::Sound;

struct SHOWN {
  bool yes = false;
  bool ok = false;
  bool no = false;
  QImage icon;
  QString text;
  QString caption;
};

class MessageBox : public ::testing::Test {
 protected:
  // Shows `text` with `type`, records what the box showed, then closes it
  // with `close`; returns the box's result.
  int ShowAndClose(const std::string& text, unsigned type, const std::function<void(QDialog&)>& close) {
    test::WhenModalOpens([this, close](QDialog& dialog) {
      shown_.yes = FindControl(&dialog, CMessageBox::IDC_YESBUTTON)->isVisible();
      shown_.ok = FindControl(&dialog, CMessageBox::IDC_OKBUTTON)->isVisible();
      shown_.no = FindControl(&dialog, CMessageBox::IDC_NOBUTTON)->isVisible();
      shown_.icon = FindControlAs<QLabel>(&dialog, CMessageBox::IDC_ICON)->pixmap().toImage();
      shown_.text = test::ControlText(dialog, CMessageBox::IDC_TEXT);
      shown_.caption = dialog.windowTitle();
      close(dialog);
    });
    return box_.Show(text, type);
  }

  QImage StandardIcon(QStyle::StandardPixmap which) {
    const int size = box_.style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, &box_);
    return box_.style()->standardIcon(which, nullptr, &box_).pixmap(size, size).toImage();
  }

  static std::function<void(QDialog&)> Click(int id) {
    return [id](QDialog& dialog) { test::ClickControl(dialog, id); };
  }

  APP_SETTINGS settings_;
  std::vector<Sound> sounds_;
  CMessageBox box_{test::ShippedLanguage(), settings_, nullptr, [this](Sound sound) { sounds_.push_back(sound); }};
  SHOWN shown_;
};

TEST_F(MessageBox, TypeChoosesButtonsIconAndSoundWithTheLaterRuleWinning) {
  struct CASE {
    unsigned type;
    bool yes, ok, no;
    QStyle::StandardPixmap icon;
    Sound sound;
  };
  const CASE cases[] = {
      {0x00, false, true, false, QStyle::SP_MessageBoxInformation, Sound::Exclamation},
      {0x04, true, false, true, QStyle::SP_MessageBoxQuestion, Sound::Exclamation},
      {0x40, false, true, false, QStyle::SP_MessageBoxInformation, Sound::Simple},
      {0x10, false, true, false, QStyle::SP_MessageBoxCritical, Sound::Exclamation},
      // yes/no and information: only OK
      {0x44, false, true, false, QStyle::SP_MessageBoxInformation, Sound::Simple},
      // 0x30 contains the error flag
      {0x30, false, true, false, QStyle::SP_MessageBoxCritical, Sound::Exclamation},
      {0x14, false, true, false, QStyle::SP_MessageBoxCritical, Sound::Exclamation},
      {0x54, false, true, false, QStyle::SP_MessageBoxCritical, Sound::Exclamation},
      // A type no rule covers is a plain notice, never all three buttons.
      {0x20, false, true, false, QStyle::SP_MessageBoxInformation, Sound::Exclamation},
  };
  // One box for all of them, as the program keeps one for the whole run.
  for (const CASE& c : cases) {
    sounds_.clear();
    const int id = c.yes ? CMessageBox::IDC_NOBUTTON : CMessageBox::IDC_OKBUTTON;
    ShowAndClose("Message", c.type, Click(id));
    SCOPED_TRACE(testing::Message() << "type 0x" << std::hex << c.type);
    EXPECT_EQ(shown_.yes, c.yes);
    EXPECT_EQ(shown_.ok, c.ok);
    EXPECT_EQ(shown_.no, c.no);
    EXPECT_EQ(shown_.icon, StandardIcon(c.icon));
    EXPECT_EQ(sounds_, std::vector<Sound>{c.sound});
  }
  EXPECT_NE(StandardIcon(QStyle::SP_MessageBoxInformation), StandardIcon(QStyle::SP_MessageBoxCritical));
}

TEST_F(MessageBox, ButtonsEndWithThePlatformResults) {
  EXPECT_EQ(ShowAndClose("Write?", MB_YESNO, Click(CMessageBox::IDC_YESBUTTON)), RESULT_YES);
  EXPECT_EQ(ShowAndClose("Write?", MB_YESNO, Click(CMessageBox::IDC_NOBUTTON)), RESULT_NO);
  EXPECT_EQ(ShowAndClose("Done", MB_INFO, Click(CMessageBox::IDC_OKBUTTON)), RESULT_OK);
  // Enter presses the first visible button.
  EXPECT_EQ(ShowAndClose("Write?", MB_YESNO, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }), RESULT_YES);
  EXPECT_EQ(ShowAndClose("Done", MB_PLAIN, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Return); }), RESULT_OK);
}

TEST_F(MessageBox, EscapeAndTheCloseBoxAnswerCancel) {
  EXPECT_EQ(ShowAndClose("Write?", MB_YESNO, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), RESULT_CANCEL);
  EXPECT_EQ(ShowAndClose("Failed", MB_ERROR, [](QDialog& d) { QTest::keyClick(&d, Qt::Key_Escape); }), RESULT_CANCEL);
  EXPECT_EQ(ShowAndClose("Write?", MB_YESNO, [](QDialog& d) { d.close(); }), RESULT_CANCEL);
}

TEST_F(MessageBox, TextsComeFromTheLanguageFileAndTheCaptionFromTheOwner) {
  QString yes, ok, no;
  auto read = [&](QDialog& dialog) {
    yes = test::ControlText(dialog, CMessageBox::IDC_YESBUTTON);
    ok = test::ControlText(dialog, CMessageBox::IDC_OKBUTTON);
    no = test::ControlText(dialog, CMessageBox::IDC_NOBUTTON);
  };
  ShowAndClose("Do you want to write the configuration\ninto the next unit?", MB_YESNO, [&](QDialog& dialog) {
    read(dialog);
    test::Snapshot(dialog, "message_box_question");
    test::ClickControl(dialog, CMessageBox::IDC_NOBUTTON);
  });
  EXPECT_EQ(shown_.caption, QString());
  EXPECT_EQ(shown_.text, QString::fromUtf8("Do you want to write the configuration\ninto the next unit?"));
  EXPECT_EQ(yes, QStringLiteral("&Yes"));
  EXPECT_EQ(ok, QStringLiteral("OK"));
  EXPECT_EQ(no, QStringLiteral("&No"));

  settings_.languageNumber = 1;
  box_.SetCaption("Tolvane");
  ShowAndClose("Fehler", MB_ERROR, [&](QDialog& dialog) {
    read(dialog);
    test::Snapshot(dialog, "message_box_error");
    test::ClickControl(dialog, CMessageBox::IDC_OKBUTTON);
  });
  EXPECT_EQ(shown_.caption, QStringLiteral("Tolvane"));
  EXPECT_EQ(yes, QStringLiteral("&Ja"));
  EXPECT_EQ(no, QStringLiteral("&Nein"));
}

TEST_F(MessageBox, ABoxWhileTheBoxIsOpenComesUpOnTop) {
  int inner = 0;
  QString outerTextAfter;
  test::WhenModalOpens([&](QDialog& outer) {
    test::WhenModalOpens([&](QDialog& second) {
      EXPECT_NE(&second, &outer);
      EXPECT_EQ(test::ControlText(second, CMessageBox::IDC_TEXT), QStringLiteral("Second"));
      test::ClickControl(second, CMessageBox::IDC_OKBUTTON);
    });
    inner = box_.Show("Second", MB_INFO);
    outerTextAfter = test::ControlText(outer, CMessageBox::IDC_TEXT);
    EXPECT_TRUE(outer.isVisible());
    test::ClickControl(outer, CMessageBox::IDC_NOBUTTON);
  });
  EXPECT_EQ(box_.Show("First", MB_YESNO), RESULT_NO);
  EXPECT_EQ(inner, RESULT_OK);
  EXPECT_EQ(outerTextAfter, QStringLiteral("First"));
}

TEST_F(MessageBox, AWorkerThreadsBoxRunsOnTheUserInterfaceThread) {
  std::atomic<int> result{0};
  QThread* ranOn = nullptr;
  test::WhenModalOpens([&](QDialog& dialog) {
    ranOn = QThread::currentThread();
    EXPECT_EQ(test::ControlText(dialog, CMessageBox::IDC_TEXT), QStringLiteral("Programming failed"));
    test::ClickControl(dialog, CMessageBox::IDC_YESBUTTON);
  });
  std::thread worker([&] { result = box_.Show("Programming failed", MB_YESNO); });
  EXPECT_TRUE(QTest::qWaitFor([&] { return result.load() != 0; }, 10000));
  worker.join();
  EXPECT_EQ(result.load(), RESULT_YES);
  EXPECT_EQ(ranOn, qApp->thread());
}

}  // namespace
}  // namespace tolvane

namespace tolvane {
namespace {

// Before the language file is loaded (the missing corporate model is told
// then) the buttons still have captions.
TEST(MessageBoxButtons, CaptionsBeforeTheLanguageFileIsLoaded) {
  const CLanguageFile unloaded(std::filesystem::path("/nonexistent"), nullptr);
  APP_SETTINGS settings;
  CMessageBox box(unloaded, settings, nullptr, [](CMessageBox::Sound) {});
  QString okText;
  test::WhenModalOpens([&](QDialog& dialog) {
    okText = qobject_cast<QPushButton*>(FindControl(&dialog, CMessageBox::IDC_OKBUTTON))->text();
    dialog.done(RESULT_OK);
  });
  EXPECT_EQ(box.Show("Corporate model file not found!", MB_PLAIN), RESULT_OK);
  EXPECT_EQ(okText, QStringLiteral("OK"));
  EXPECT_EQ(CMessageBox::ButtonCaption(unloaded, settings, "IDC_YES"), QStringLiteral("&Yes"));
  EXPECT_EQ(CMessageBox::ButtonCaption(unloaded, settings, "IDC_NO"), QStringLiteral("&No"));
  // With the language file the file's own captions win.
  settings.languageNumber = 1;
  EXPECT_EQ(CMessageBox::ButtonCaption(test::ShippedLanguage(), settings, "IDC_NO"),
            QString::fromStdString(test::ShippedLanguage().Text("IDC_NO", 1)));
}

}  // namespace
}  // namespace tolvane
