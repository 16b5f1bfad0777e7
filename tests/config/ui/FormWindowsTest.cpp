// The configuration form as a technician meets it: the busy window of a
// write paints each step while the write runs, the buttons follow the record
// after a failed write and after text that matches no entry, and the busy
// window blocks the form's input while the work runs on its thread.
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QTimer>

#include <gtest/gtest.h>

#include "config/ui/FormRig.h"
#include "shell/ui/BusyWindow.h"
#include "shell/ui/DialogSupport.h"
#include "shell/ui/SetOptions.h"

namespace tolvane::test {
namespace {

struct PAINTED {
  QString message;
  int progress;
  std::size_t sent;  // bytes sent to the unit by the time of the paint
  bool modal;
};

// Records what every busy window looked like each time it was painted.
class BusyPaintRecorder : public QObject {
 public:
  explicit BusyPaintRecorder(const link::sim::CSimBridge& bridge) : bridge_(bridge) { qApp->installEventFilter(this); }
  ~BusyPaintRecorder() override { qApp->removeEventFilter(this); }
  std::vector<PAINTED> painted;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override {
    if (event->type() == QEvent::Paint) {
      if (auto* busy = qobject_cast<CBusyWindow*>(watched)) {
        const PAINTED now{busy->Message(), busy->Progress(), bridge_.Written().size(), busy->isModal()};
        if (painted.empty() || painted.back().message != now.message || painted.back().progress != now.progress) {
          painted.push_back(now);
        }
      }
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  const link::sim::CSimBridge& bridge_;
};

TEST(FormWindows, TheWritesBusyWindowShowsEachStepWhileTheWriteRuns) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  form.show();
  rig.messages.answer = RESULT_NO;  // no further unit
  BusyPaintRecorder recorder(rig.bridge);
  rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET)->click();
  ASSERT_TRUE(rig.errors.shown.empty());

  // Each step of the write, in order, with its progress, was on screen.
  const std::vector<std::pair<const char*, int>> steps{
      {"BUSY_MESSAGE13", 10},   {"STATUS_MESSAGE10", 20}, {"STATUS_MESSAGE12", 30},
      {"STATUS_MESSAGE13", 40}, {"STATUS_MESSAGE14", 50}, {"STATUS_MESSAGE15", 60},
      {"STATUS_MESSAGE16", 70}, {"STATUS_MESSAGE17", 80}, {"STATUS_MESSAGE22", 100}};
  std::size_t at = 0;
  std::vector<std::size_t> times;
  for (const auto& [key, progress] : steps) {
    const QString text = QString::fromStdString(rig.Text(key));
    while (at < recorder.painted.size() &&
           !(recorder.painted[at].message == text && recorder.painted[at].progress == progress)) {
      ++at;
    }
    ASSERT_LT(at, recorder.painted.size()) << key << " " << progress << " was never painted";
    times.push_back(recorder.painted[at].sent);
    EXPECT_TRUE(recorder.painted[at].modal) << key;
  }
  // The paints came as the write went on, not all at its end: the unit was
  // sent more between the first step's paint and the last one's.
  EXPECT_LT(times.front(), times.back());
  // The busy window is gone and the button is drawn released.
  EXPECT_TRUE(form.findChildren<CBusyWindow*>().isEmpty());
  auto* write = rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET);
  EXPECT_FALSE(write->isDown());
  EXPECT_FALSE(write->isChecked());
  EXPECT_TRUE(write->isEnabled());
}

TEST(FormWindows, WriteToUnitFollowsTheRecordAfterAFailedWrite) {
  FormRig rig("qr27");
  rig.Form();
  auto* write = rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET);
  ASSERT_TRUE(write->isEnabled());
  // The unit is unplugged before the write.
  rig.bridge.SetPresent(0, false);
  write->click();
  ASSERT_FALSE(rig.errors.shown.empty());
  // The record is as valid and complete as before: the button may be used again.
  ASSERT_TRUE(rig.core->record.valid && rig.core->record.complete);
  EXPECT_TRUE(write->isEnabled());
  EXPECT_TRUE(rig.Control<QPushButton>(CGenericForm::IDC_SAVEFILE)->isEnabled());
}

TEST(FormWindows, TextThatBeginsNoEntryKeepsTheRememberedOptionUntilTheListCloses) {
  FormRig rig("qr27");
  CGenericForm& form = rig.Form();
  const CONFIG_RECORD& r = rig.core->record;
  auto* write = rig.Control<QPushButton>(CGenericForm::IDC_WRITETARGET);
  form.OnItemEditChange(6, QStringLiteral("s"));
  ASSERT_EQ(r.selection[6], 3);
  ASSERT_TRUE(write->isEnabled());
  form.OnItemEditChange(6, QStringLiteral("Sideways"));
  // The search found nothing: the option chosen before stays, and so do the
  // buttons that go with it.
  EXPECT_EQ(r.selection[6], 3);
  EXPECT_TRUE(r.valid);
  EXPECT_TRUE(write->isEnabled());
  EXPECT_EQ(rig.Control<QComboBox>(CGenericForm::kItemBoxes[6])->currentText(), QStringLiteral("Sideways"));
  // Closing the list reports the text; now nothing is chosen and the
  // buttons that need a configuration are off.
  form.OnItemCloseUp(6);
  EXPECT_FALSE(r.valid);
  EXPECT_FALSE(write->isEnabled());
  EXPECT_FALSE(rig.Control<QPushButton>(CGenericForm::IDC_SAVEFILE)->isEnabled());
}

// The form's own upload notice is a window of its own: Enter presses its OK
// there (the form's Enter-to-Tab rule is for the form's own controls), and
// Escape closes it.
TEST(FormWindows, EnterPressesOkInTheFormsOwnUploadNotice) {
  FormRig rig("qr27");
  rig.form = std::make_unique<CGenericForm>(
      GENERIC_FORM_SERVICES{*rig.core, false, rig.help, rig.opener, rig.upload, rig.files, nullptr, nullptr}, nullptr);
  ASSERT_TRUE(rig.form->Start());
  auto* notice = rig.form->findChild<CSetOptions*>();
  ASSERT_NE(notice, nullptr);
  for (const auto& [key, expected] : {std::pair{Qt::Key_Return, RESULT_OK}, std::pair{Qt::Key_Escape, RESULT_CANCEL}}) {
    const Qt::Key pressed = key;
    bool keySent = false;
    QTimer::singleShot(0, notice, [&, pressed] {
      notice->activateWindow();
      QApplication::processEvents();
      QWidget* target = QApplication::focusWidget() != nullptr ? QApplication::focusWidget() : notice;
      QKeyEvent press(QEvent::KeyPress, pressed, Qt::NoModifier);
      QApplication::sendEvent(target, &press);
      QKeyEvent release(QEvent::KeyRelease, pressed, Qt::NoModifier);
      QApplication::sendEvent(target, &release);
      keySent = true;
      // A key that was swallowed leaves the dialog open: it is ended here
      // with a result the test does not expect.
      QTimer::singleShot(0, notice, [notice] {
        if (notice->isVisible()) {
          notice->done(99);
        }
      });
    });
    bool showAgain = false;
    EXPECT_EQ(notice->Show("Uploads", true, showAgain), expected) << pressed;
    EXPECT_TRUE(keySent);
  }
}

}  // namespace
}  // namespace tolvane::test
