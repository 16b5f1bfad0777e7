// The whole start on the offscreen platform: from the start dialog to the
// main window against the in-process simulated sensor, in demonstration
// mode, through the adapter selection, and every way the start can fail.
#include <QApplication>
#include <QComboBox>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include "ProgramRig.h"
#include "app/gui/AboutDlg.h"
#include "app/gui/MainForm.h"
#include "common/CheckedFormat.h"
#include "link/ui/PortSelect.h"
#include "shell/ui/CopyrightBox.h"
#include "shell/ui/ErrorDetail.h"
#include "shell/ui/MessageBox.h"

namespace tolvane {
namespace {

using test::ModalDriver;
using test::ProgramRig;

constexpr const char* kDemoSuffix = " - Sample Program - no unit connected";

// What a main window showed.
struct FORM_SEEN {
  QString title;
  QStringList tabs;
  QString summary;  // every label text of the first page
};

FORM_SEEN Look(CMainForm& form) {
  FORM_SEEN seen;
  seen.title = form.windowTitle();
  for (int i = 0; i < form.PageCount(); ++i) {
    seen.tabs << form.PageCaption(i);
  }
  for (auto* label : form.Tabs()->widget(0)->findChildren<QLabel*>()) {
    seen.summary += label->text() + "\n";
  }
  return seen;
}

bool Idle(COstrelDlg& dialog) { return !dialog.Attempting() && dialog.isVisible(); }

class StartDialogTest : public ::testing::Test {
 protected:
  std::string Lang(const char* key) { return test::ShippedLanguage().Text(key, 0); }
  ProgramRig rig;
};

TEST_F(StartDialogTest, ReachesTheMainWindowWithTheSimulatedUnitAndRestartsOnOk) {
  rig.CreateSettingsKey();
  link::sim::SimOptions options;
  options.identity.serial = 270077;
  options.identity.hardwareSerial = 270077;
  rig.AddSensor(options);
  auto dialog = rig.MakeDialog();

  std::vector<FORM_SEEN> forms;
  std::vector<QString> startTitles;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      forms.push_back(Look(*form));
      startTitles.push_back(dialog->windowTitle());
      test::Snapshot(*form, "main-window");
      if (forms.size() == 1) {
        EXPECT_FALSE(rig.firstRun);
        form->CloseWithOk();  // the start runs again, for the next unit
      } else {
        form->close();  // the close box ends the program
      }
    } else if (auto* box = qobject_cast<CCopyrightBox*>(&modal)) {
      test::Snapshot(*box, "copyright-box");
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);

  ASSERT_EQ(forms.size(), 2u);
  for (const auto& form : forms) {
    EXPECT_EQ(form.title, "Tolvane 5.0.0");
    EXPECT_EQ(form.tabs, (QStringList{"Configuration", "Updates"}));
    EXPECT_TRUE(form.summary.contains("QRModel_QR27.txt")) << form.summary.toStdString();
    EXPECT_TRUE(form.summary.contains("270077")) << form.summary.toStdString();
    EXPECT_TRUE(form.summary.contains("QR27-LVL")) << form.summary.toStdString();
    EXPECT_TRUE(form.summary.contains("0203")) << form.summary.toStdString();
  }
  EXPECT_EQ(startTitles[0], "Tolvane 5.0.0");
  // The copyright box showed once, before the first attempt only.
  EXPECT_EQ(std::count(driver.seen.begin(), driver.seen.end(), "tolvane::CCopyrightBox"), 1);
  EXPECT_EQ(driver.seen.front(), "tolvane::CCopyrightBox");
  EXPECT_EQ(rig.network.checks, 1);
  EXPECT_EQ(rig.network.uploads, 1);
  EXPECT_TRUE(rig.opener.opened.empty());
  EXPECT_NE(test::ReadBytes(rig.dir / "logfile.txt").find("TOLVANE->Version 5.0.0 Started"), std::string::npos);
}

TEST_F(StartDialogTest, SampleProgramWithoutAnyAdapterTwiceHasOneSuffix) {
  rig.CreateSettingsKey();
  auto dialog = rig.MakeDialog();
  std::vector<FORM_SEEN> forms;
  int noAdapterSeen = 0;
  bool clicked = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (Idle(*start) && !clicked && test::Enabled(*start, COstrelDlg::IDC_STUBBEDMODE)) {
        ++noAdapterSeen;
        EXPECT_EQ(test::ControlText(*start, COstrelDlg::IDC_START_STATUS).toStdString(),
                  Format(Lang("IDC_START_STATUS2"), "Tolvane"));
        EXPECT_TRUE(test::Enabled(*start, COstrelDlg::IDC_RESTART));
        EXPECT_EQ(FindControlAs<QProgressBar>(start, COstrelDlg::IDC_PROGRESS)->value(), 0);
        test::Snapshot(*start, "start-dialog-no-adapter");
        clicked = true;
        qobject_cast<QPushButton*>(FindControl(start, COstrelDlg::IDC_STUBBEDMODE))->click();
      }
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      forms.push_back(Look(*form));
      clicked = false;
      test::Snapshot(*form, "main-window-demo");
      if (forms.size() == 1) {
        form->CloseWithOk();
      } else {
        form->close();
      }
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(noAdapterSeen, 2);
  ASSERT_EQ(forms.size(), 2u);
  for (const auto& form : forms) {
    EXPECT_EQ(form.title, QString("Tolvane 5.0.0") + kDemoSuffix);
    EXPECT_EQ(form.tabs.size(), 2);
    EXPECT_TRUE(form.summary.contains("QR27Demo")) << form.summary.toStdString();
    EXPECT_TRUE(form.summary.contains("1001")) << form.summary.toStdString();
  }
}

TEST_F(StartDialogTest, TwoAdaptersOpenTheSelection) {
  rig.CreateSettingsKey();
  link::sim::SimOptions first;
  first.identity.serial = first.identity.hardwareSerial = 111;
  link::sim::SimOptions second;
  second.identity.serial = second.identity.hardwareSerial = 222;
  rig.AddSensor(first, "Quenby USB Device A");
  rig.AddSensor(second, "Quenby USB Device B");
  auto dialog = rig.MakeDialog();
  QString summary;
  QString connecting;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* select = qobject_cast<link::CPortSelect*>(&modal)) {
      auto* list = select->findChild<QComboBox*>();
      ASSERT_NE(list, nullptr);
      EXPECT_EQ(list->count(), 2);
      list->setFocus();
      QTest::keyClick(list, Qt::Key_Down);  // takes the second adapter
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      summary = Look(*form).summary;
      connecting = test::ControlText(*dialog, COstrelDlg::IDC_START_STATUS);
      form->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_TRUE(summary.contains("222")) << summary.toStdString();
  EXPECT_EQ(connecting.toStdString(), Format(Lang("IDC_START_STATUS4"), "Quenby USB Device B"));
  EXPECT_EQ(dialog->Core().link.SelectedDescription(), "Quenby USB Device B");
}

// Closing the selection without a choice on the first attempt keeps the
// description selected before, which is none: the connection fails.
TEST_F(StartDialogTest, SelectionClosedWithoutChoiceOnTheFirstAttempt) {
  rig.CreateSettingsKey();
  rig.AddSensor({}, "Quenby USB Device A");
  rig.AddSensor({}, "Quenby USB Device B");
  auto dialog = rig.MakeDialog();
  QString result;
  bool formOpened = false;
  bool rejected = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* select = qobject_cast<link::CPortSelect*>(&modal)) {
      rejected = true;
      select->reject();
    } else if (qobject_cast<CMainForm*>(&modal) != nullptr) {
      formOpened = true;
      qobject_cast<QDialog*>(&modal)->close();
    } else if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (rejected && Idle(*start) && test::Enabled(*start, COstrelDlg::IDC_RESTART)) {
        result = test::ControlText(*start, COstrelDlg::IDC_START_STATUS);
        start->reject();
      }
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_FALSE(formOpened);
  EXPECT_TRUE(result.startsWith(FromUtf8(Format(Lang("IDC_START_STATUS3"), -1)).left(20))) << result.toStdString();
  EXPECT_EQ(dialog->Core().link.SelectedDescription(), "");
}

TEST_F(StartDialogTest, AdapterThatVanishesBeforeItIsOpened) {
  rig.CreateSettingsKey();
  rig.AddSensor({}, "Quenby USB Device A");
  rig.AddSensor({}, "Quenby USB Device B");
  auto dialog = rig.MakeDialog();
  QString result;
  bool formOpened = false;
  bool chosen = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* select = qobject_cast<link::CPortSelect*>(&modal)) {
      // Pulled out while the user looks at the list.
      rig.bridge.SetPresent(0, false);
      chosen = true;
      select->accept();
    } else if (qobject_cast<CMainForm*>(&modal) != nullptr) {
      formOpened = true;
      qobject_cast<QDialog*>(&modal)->close();
    } else if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (chosen && Idle(*start) && test::Enabled(*start, COstrelDlg::IDC_RESTART)) {
        result = test::ControlText(*start, COstrelDlg::IDC_START_STATUS);
        EXPECT_TRUE(test::Enabled(*start, COstrelDlg::IDC_STUBBEDMODE));
        start->reject();
      }
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_FALSE(formOpened);
  const QString failed = FromUtf8(Format(Lang("IDC_START_STATUS3"), 0));
  EXPECT_TRUE(result.startsWith(failed.left(failed.indexOf('('))) && result != failed) << result.toStdString();
}

// While the unit is being connected the window keeps turning its event loop:
// the buttons are disabled, closing is refused, and the result comes back.
TEST_F(StartDialogTest, WindowStaysLiveWhileTheUnitIsConnected) {
  rig.CreateSettingsKey();
  rig.AddSensor();
  test::GatedBridge gate(rig.bridge);
  auto dialog = rig.MakeDialog(&gate);
  int pollsWhileHeld = 0;
  bool closeRefused = false;
  bool buttonsDisabled = false;
  int forms = 0;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal); start != nullptr && gate.Waiting()) {
      EXPECT_TRUE(start->Attempting());
      buttonsDisabled =
          !test::Enabled(*start, COstrelDlg::IDC_RESTART) && !test::Enabled(*start, COstrelDlg::IDC_STUBBEDMODE);
      start->close();
      closeRefused = start->isVisible();
      if (pollsWhileHeld == 10) {
        test::Snapshot(*start, "start-dialog-connecting");
      }
      if (++pollsWhileHeld == 20) {
        gate.Release();
      }
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      ++forms;
      form->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_GE(pollsWhileHeld, 20);
  EXPECT_TRUE(buttonsDisabled);
  EXPECT_TRUE(closeRefused);
  EXPECT_EQ(forms, 1);
}

TEST_F(StartDialogTest, UnsupportedPlatformStopsForGood) {
  rig.CreateSettingsKey();
  rig.bridge.SetAvailable(false);
  auto dialog = rig.MakeDialog();
  QString result;
  bool disabled = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal);
        start != nullptr && Idle(*start) && !test::ControlText(*start, COstrelDlg::IDC_START_STATUS).isEmpty()) {
      result = test::ControlText(*start, COstrelDlg::IDC_START_STATUS);
      disabled = !test::Enabled(*start, COstrelDlg::IDC_RESTART) && !test::Enabled(*start, COstrelDlg::IDC_STUBBEDMODE);
      start->reject();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(result.toStdString(), Lang("IDC_START_STATUS1"));
  EXPECT_TRUE(disabled);
}

TEST_F(StartDialogTest, AboutBoxFromTheStartWindow) {
  rig.CreateSettingsKey();
  auto dialog = rig.MakeDialog();
  QString version;
  QString title;
  QString item;
  bool asked = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* about = qobject_cast<CAboutDlg*>(&modal)) {
      version = test::ControlText(*about, CAboutDlg::IDC_VERSION);
      title = about->windowTitle();
      test::Snapshot(*about, "about-box");
      test::ClickControl(*about, CAboutDlg::IDC_OK);
    } else if (auto* start = qobject_cast<COstrelDlg*>(&modal); start != nullptr && Idle(*start)) {
      if (!asked) {
        asked = true;
        item = test::ControlText(*start, COstrelDlg::IDM_ABOUTBOX);
        // Clicked after this poll: a timer is not called again while its call still runs.
        QMetaObject::invokeMethod(
            start, [start] { test::ClickControl(*start, COstrelDlg::IDM_ABOUTBOX); }, Qt::QueuedConnection);
      } else {
        start->reject();
      }
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(version, QString("Tolvane Version ") + TOLVANE_VERSION);
  // The item, the caption and the version line are the language file's.
  EXPECT_EQ(item.toStdString(), Lang("IDM_ABOUTBOX"));
  EXPECT_EQ(title, QStringLiteral("About Tolvane"));
}

TEST_F(StartDialogTest, WithoutCorporateModelTheProgramEnds) {
  rig.folders.models = rig.dir / "EmptyModels";
  std::filesystem::create_directories(rig.folders.models);
  auto dialog = rig.MakeDialog();
  QString message;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      message = test::ControlText(*box, CMessageBox::IDC_TEXT);
      test::ClickControl(*box, CMessageBox::IDC_OKBUTTON);
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NO_CORPORATE_MODEL);
  EXPECT_EQ(message, "Corporate model file not found!\nUpdate to the latest software version.\nApplication will exit.");
  EXPECT_EQ(driver.seen, (std::vector<std::string>{"tolvane::CMessageBox"}));
  EXPECT_EQ(rig.network.checks, 0);
}

TEST_F(StartDialogTest, WithoutSettingsKeyTheProgramEnds) {
  auto dialog = rig.MakeDialog();
  std::string message;
  std::string detail;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* box = qobject_cast<CErrorDetail*>(&modal)) {
      message = test::ControlText(*box, CErrorDetail::IDC_MESSAGE).toStdString();
      detail = test::ControlText(*box, CErrorDetail::IDC_DETAIL).toStdString();
      test::ClickControl(*box, CErrorDetail::IDC_OKBUTTON);
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_SETTINGS_FAILED);
  EXPECT_EQ(message, Format(Lang("ERROR_MESSAGE16"), 1));
  EXPECT_EQ(detail, Lang("ERROR_MESSAGE17"));
  EXPECT_EQ(rig.network.checks, 0);
}

class ModelMissingTest : public StartDialogTest {
 protected:
  void AddUnknownUnit() {
    link::sim::SimOptions options;
    options.identity.hardwareModel = "ZX90-2W";
    options.identity.firmwareName = "ZX90-LVL";
    rig.AddSensor(options);
  }
  std::string Expected() { return Lang("ERROR_MESSAGE117") + Format(Lang("ERROR_MESSAGE119"), "ZX90", "ZX90-LVL"); }
};

TEST_F(ModelMissingTest, MessageThenTheProgramEnds) {
  rig.CreateSettingsKey();
  AddUnknownUnit();
  auto dialog = rig.MakeDialog();
  QString message;
  bool formOpened = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      message = test::ControlText(*box, CMessageBox::IDC_TEXT);
      test::ClickControl(*box, CMessageBox::IDC_OKBUTTON);
    } else if (qobject_cast<CMainForm*>(&modal) != nullptr) {
      formOpened = true;
      qobject_cast<QDialog*>(&modal)->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(message.toStdString(), Expected());
  EXPECT_FALSE(formOpened);
}

TEST_F(ModelMissingTest, ServiceModeAnsweredNoOpensTheMainWindowThenEnds) {
  rig.CreateSettingsKey({{"GUIDE", "FALSE"}, {"KESTRINE_MODE", "TRUE"}});
  AddUnknownUnit();
  auto dialog = rig.MakeDialog();
  QString message;
  QString question;
  int forms = 0;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      message = test::ControlText(*box, CMessageBox::IDC_TEXT);
      test::ClickControl(*box, CMessageBox::IDC_OKBUTTON);
    } else if (auto* ask = qobject_cast<QMessageBox*>(&modal)) {
      question = ask->text();
      ask->button(QMessageBox::No)->click();
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      ++forms;
      // Even OK ends the program: the start dialog has ended with the message.
      form->CloseWithOk();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(message.toStdString(), Expected());
  EXPECT_EQ(question, "Would you like to exit");
  EXPECT_EQ(forms, 1);
}

TEST_F(StartDialogTest, ReadErrorStopsTheAttempt) {
  rig.CreateSettingsKey();
  link::sim::SimOptions options;
  options.faults.statusByte = 2;
  options.faults.statusCommand = link::CMD_READ_INFO;
  rig.AddSensor(options);
  auto dialog = rig.MakeDialog();
  QString message;
  bool stopped = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* box = qobject_cast<CMessageBox*>(&modal)) {
      message = test::ControlText(*box, CMessageBox::IDC_TEXT);
      test::ClickControl(*box, CMessageBox::IDC_OKBUTTON);
    } else if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (!message.isEmpty() && Idle(*start)) {
        // Stopped: both buttons stay disabled, only closing remains.
        stopped =
            !test::Enabled(*start, COstrelDlg::IDC_RESTART) && !test::Enabled(*start, COstrelDlg::IDC_STUBBEDMODE);
        start->reject();
      }
    } else if (qobject_cast<CMainForm*>(&modal) != nullptr) {
      ADD_FAILURE() << "main window opened";
      qobject_cast<QDialog*>(&modal)->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(message.toStdString(), Format(Lang("ERROR_MESSAGE3"), 2));
  EXPECT_TRUE(stopped);
}

TEST_F(StartDialogTest, UnitThatAnswersGarbage) {
  rig.CreateSettingsKey();
  link::sim::SimOptions options;
  options.faults.corruptEvery = 1;
  rig.AddSensor(options);
  auto dialog = rig.MakeDialog();
  QString result;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (Idle(*start) && test::Enabled(*start, COstrelDlg::IDC_RESTART)) {
        result = test::ControlText(*start, COstrelDlg::IDC_START_STATUS);
        start->reject();
      }
    } else if (auto* dialogWindow = qobject_cast<QDialog*>(&modal)) {
      if (qobject_cast<CCopyrightBox*>(dialogWindow) == nullptr) {
        ADD_FAILURE() << "unexpected window " << modal.metaObject()->className();
        dialogWindow->done(-1);
      }
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  const QString failed = FromUtf8(Format(Lang("IDC_START_STATUS3"), 0));
  EXPECT_TRUE(result.startsWith(failed.left(failed.indexOf('(')))) << result.toStdString();
}

TEST_F(StartDialogTest, VersionThatIsNoNumberGivesZeroes) {
  rig.CreateSettingsKey({{"GUIDE", "FALSE"}, {"VERSION", "abc"}});
  auto dialog = rig.MakeDialog();
  QString title;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal); start != nullptr && Idle(*start)) {
      title = start->windowTitle();
      test::Snapshot(*start, "start-dialog");
      start->reject();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(title, "Tolvane 0.0.0");
}

TEST_F(StartDialogTest, DemoTabEscapeRightButtonAndHelp) {
  rig.CreateSettingsKey({{"GUIDE", "FALSE"}, {"DEMOTAB", "TRUE"}});
  auto dialog = rig.MakeDialog();
  QStringList tabs;
  bool openAfterEscape = false;
  ModalDriver driver([&](QWidget& modal) {
    if (auto* start = qobject_cast<COstrelDlg*>(&modal)) {
      if (Idle(*start) && test::Enabled(*start, COstrelDlg::IDC_STUBBEDMODE)) {
        qobject_cast<QPushButton*>(FindControl(start, COstrelDlg::IDC_STUBBEDMODE))->click();
      }
    } else if (auto* form = qobject_cast<CMainForm*>(&modal)) {
      tabs = Look(*form).tabs;
      for (int page = 0; page < form->PageCount(); ++page) {
        form->Tabs()->setCurrentIndex(page);
        QTest::keyClick(form->Tabs()->currentWidget(), Qt::Key_Escape);
        QTest::mouseClick(form->Tabs()->currentWidget(), Qt::RightButton);
      }
      openAfterEscape = form->isVisible();
      form->Tabs()->setCurrentIndex(2);
      qobject_cast<QAbstractButton*>(FindControl(form, CMainForm::IDC_HELPBUTTON))->click();
      form->close();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  EXPECT_EQ(tabs, (QStringList{"Configuration", "Updates", "Live Display"}));
  EXPECT_TRUE(openAfterEscape);
  EXPECT_EQ(rig.help.pages, (std::vector<int>{kLiveDisplayPage}));
}

TEST_F(StartDialogTest, GuideIsOfferedWhenSet) {
  rig.CreateSettingsKey({});  // GUIDE defaults to TRUE
  auto dialog = rig.MakeDialog();
  std::vector<std::string> order;
  ModalDriver driver([&](QWidget& modal) {
    order.emplace_back(modal.metaObject()->className());
    if (auto* guide = qobject_cast<CViewGuide*>(&modal)) {
      test::ClickControl(*guide, CViewGuide::IDC_NOBUTTON);
    } else if (auto* start = qobject_cast<COstrelDlg*>(&modal); start != nullptr && Idle(*start)) {
      start->reject();
    }
  });
  EXPECT_EQ(dialog->Run(), COstrelDlg::END_NORMAL);
  ASSERT_FALSE(order.empty());
  EXPECT_EQ(order.front(), "tolvane::CViewGuide");
  EXPECT_TRUE(rig.opener.opened.empty());
}

}  // namespace
}  // namespace tolvane
