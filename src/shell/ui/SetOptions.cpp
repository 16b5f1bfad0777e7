#include "shell/ui/SetOptions.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvane {

CSetOptions::CSetOptions(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : CKitDialog(parent),
      language_(language),
      settings_(settings),
      message_(WithControlId(new QLabel(this), IDC_MESSAGE)),
      skip_(WithControlId(new QCheckBox(this), IDC_SKIP)),
      yes_(WithControlId(new QPushButton(this), IDC_YESBUTTON)),
      no_(WithControlId(new QPushButton(this), IDC_NOBUTTON)) {
  WithControlId(this, IDD);
  setModal(true);

  message_->setWordWrap(true);
  message_->setTextFormat(Qt::PlainText);
  message_->setTextInteractionFlags(Qt::TextSelectableByMouse);
  message_->setMinimumWidth(fontMetrics().averageCharWidth() * 56);
  message_->setMaximumWidth(fontMetrics().averageCharWidth() * 80);

  connect(yes_, &QPushButton::clicked, this, [this] { Answer(RESULT_OK); });
  connect(no_, &QPushButton::clicked, this, [this] { Answer(RESULT_CANCEL); });

  // The two buttons are of one width and sit as a pair in the middle, so a
  // lone button in the middle stands exactly between their two places.
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(yes_);
  buttons->addWidget(no_);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(14);
  layout->addWidget(message_);
  layout->addWidget(skip_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CSetOptions::Show(const std::string& message, bool okOnly, bool& showAgain) {
  showAgain_ = &showAgain;
  message_->setText(FromUtf8(message));
  no_->setVisible(!okOnly);
  setWindowTitle(LanguageText(language_, settings_, "IDD_SETOPTIONS"));
  // The yes button reads OK in both forms: a notice and a question alike.
  yes_->setText(LanguageText(language_, settings_, "IDOK"));
  no_->setText(LanguageText(language_, settings_, "IDCANCEL"));
  skip_->setText(LanguageText(language_, settings_, "IDC_SKIP"));
  skip_->setChecked(false);

  const int width = std::max({yes_->sizeHint().width(), no_->sizeHint().width(), fontMetrics().averageCharWidth() * 12});
  yes_->setFixedWidth(width);
  no_->setFixedWidth(width);
  yes_->setDefault(true);
  yes_->setFocus();

  const int result = exec();
  showAgain_ = nullptr;
  return result;
}

void CSetOptions::Answer(int result) {
  if (showAgain_ != nullptr) {
    *showAgain_ = !skip_->isChecked();
  }
  done(result);
}

}  // namespace tolvane
