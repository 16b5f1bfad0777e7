#include "shell/ui/MessageBox.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QThread>
#include <QVBoxLayout>

namespace tolvane {

QString CMessageBox::ButtonCaption(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key) {
  // Before the language file is loaded (or when it lacks the key) a button
  // still says what it does.
  const char* fallback = key == "IDC_YES" ? "&Yes" : key == "IDC_NO" ? "&No" : "OK";
  return LanguageTextOr(language, settings, key, fallback);
}

CMessageBox::LOOK CMessageBox::LookOf(unsigned type) {
  // The rules apply in this order; a later rule overrides an earlier one.
  // A type that no rule covers shows as a plain notice.
  LOOK look;
  auto okOnly = [&look] {
    look.yes = false;
    look.ok = true;
    look.no = false;
  };
  if (type == MB_PLAIN) {
    okOnly();
    look.sound = Sound::Exclamation;
    look.icon = QStyle::SP_MessageBoxInformation;
  }
  if ((type & MB_YESNO) != 0) {
    look.yes = true;
    look.ok = false;
    look.no = true;
    look.sound = Sound::Exclamation;
    look.icon = QStyle::SP_MessageBoxQuestion;
  }
  if ((type & MB_INFO) != 0) {
    okOnly();
    look.sound = Sound::Simple;
    look.icon = QStyle::SP_MessageBoxInformation;
  }
  if ((type & MB_ERROR) != 0) {
    okOnly();
    look.sound = Sound::Exclamation;
    look.icon = QStyle::SP_MessageBoxCritical;
  }
  return look;
}

CMessageBox::CMessageBox(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent,
                         SoundPlayer sound)
    : CKitDialog(parent),
      language_(language),
      settings_(settings),
      sound_(sound ? std::move(sound) : SoundPlayer([](Sound) { QApplication::beep(); })),
      text_(WithControlId(new QLabel(this), IDC_TEXT)),
      icon_(WithControlId(new QLabel(this), IDC_ICON)),
      yes_(WithControlId(new QPushButton(this), IDC_YESBUTTON)),
      ok_(WithControlId(new QPushButton(this), IDC_OKBUTTON)),
      no_(WithControlId(new QPushButton(this), IDC_NOBUTTON)) {
  WithControlId(this, IDD);
  setModal(true);

  text_->setWordWrap(true);
  text_->setTextFormat(Qt::PlainText);
  text_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  text_->setMinimumWidth(fontMetrics().averageCharWidth() * 40);
  text_->setMaximumWidth(fontMetrics().averageCharWidth() * 80);
  text_->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
  icon_->setAlignment(Qt::AlignTop | Qt::AlignHCenter);

  const int buttonWidth = fontMetrics().averageCharWidth() * 12;
  for (QPushButton* button : {yes_, ok_, no_}) {
    button->setMinimumWidth(buttonWidth);
  }
  connect(yes_, &QPushButton::clicked, this, [this] { done(RESULT_YES); });
  connect(ok_, &QPushButton::clicked, this, [this] { done(RESULT_OK); });
  connect(no_, &QPushButton::clicked, this, [this] { done(RESULT_NO); });

  auto* body = new QHBoxLayout;
  body->setSpacing(16);
  body->addWidget(icon_, 0, Qt::AlignTop);
  body->addWidget(text_, 1);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(yes_);
  buttons->addWidget(ok_);
  buttons->addWidget(no_);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(18);
  layout->addLayout(body);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CMessageBox::SetCaption(const std::string& caption) {
  caption_ = caption;
  setWindowTitle(FromUtf8(caption_));
}

int CMessageBox::Show(const std::string& text, unsigned type) {
  if (QThread::currentThread() == thread()) {
    return ShowHere(text, type);
  }
  // A worker thread: widgets live on the user-interface thread only, so the
  // box runs there and this thread waits for the answer.
  int result = RESULT_CANCEL;
  QMetaObject::invokeMethod(
      this, [this, &text, type] { return ShowHere(text, type); }, Qt::BlockingQueuedConnection, &result);
  return result;
}

int CMessageBox::ShowHere(const std::string& text, unsigned type) {
  if (isVisible()) {
    // Already open, say a worker's box while the user still answers another
    // one: the new message comes up in a second box on top.
    CMessageBox second(language_, settings_, this, sound_);
    second.SetCaption(caption_);
    return second.ShowHere(text, type);
  }
  message_ = text;
  type_ = type;
  const WorkingWindowScope working(this);
  Apply();
  return exec();
}

void CMessageBox::Apply() {
  setWindowTitle(FromUtf8(caption_));
  text_->setText(FromUtf8(message_));
  yes_->setText(ButtonCaption(language_, settings_, "IDC_YES"));
  ok_->setText(ButtonCaption(language_, settings_, "IDC_OK"));
  no_->setText(ButtonCaption(language_, settings_, "IDC_NO"));

  const LOOK look = LookOf(type_);
  yes_->setVisible(look.yes);
  ok_->setVisible(look.ok);
  no_->setVisible(look.no);
  QPushButton* first = look.yes ? yes_ : ok_;
  for (QPushButton* button : {yes_, ok_, no_}) {
    button->setDefault(button == first);
  }
  first->setFocus();

  const int size = style()->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, this);
  icon_->setPixmap(style()->standardIcon(look.icon, nullptr, this).pixmap(size, size));
  sound_(look.sound);
}

}  // namespace tolvane
