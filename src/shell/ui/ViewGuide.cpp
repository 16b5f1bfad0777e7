#include "shell/ui/ViewGuide.h"

#include <QCheckBox>
#include <QDesktopServices>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QUrl>
#include <QVBoxLayout>

#include <algorithm>

namespace tolvane {

CViewGuide::CViewGuide(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : CKitDialog(parent),
      question_(WithControlId(new QLabel(this), IDC_QUESTION)),
      skip_(WithControlId(new QCheckBox(this), IDC_SKIPINTRO)),
      yes_(WithControlId(new QPushButton(this), IDC_YESBUTTON)),
      no_(WithControlId(new QPushButton(this), IDC_NOBUTTON)) {
  WithControlId(this, IDD);
  setModal(true);
  setWindowTitle(LanguageText(language, settings, "IDD_VIEWGUIDE"));
  question_->setText(LanguageText(language, settings, "IDC_VIEWGUIDE_INST"));
  yes_->setText(LanguageText(language, settings, "IDC_YES"));
  no_->setText(LanguageText(language, settings, "IDC_NO"));
  skip_->setText(LanguageText(language, settings, "IDC_SKIPINTRO"));

  question_->setWordWrap(true);
  question_->setTextFormat(Qt::PlainText);
  question_->setMinimumWidth(fontMetrics().averageCharWidth() * 56);
  question_->setMaximumWidth(fontMetrics().averageCharWidth() * 80);

  const int width = std::max({yes_->sizeHint().width(), no_->sizeHint().width(), fontMetrics().averageCharWidth() * 12});
  yes_->setFixedWidth(width);
  no_->setFixedWidth(width);
  yes_->setDefault(true);
  connect(yes_, &QPushButton::clicked, this, [this] { Answer(RESULT_OK); });
  connect(no_, &QPushButton::clicked, this, [this] { Answer(RESULT_CANCEL); });

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(yes_);
  buttons->addWidget(no_);
  buttons->addStretch(1);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(14);
  layout->addWidget(question_);
  layout->addWidget(skip_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

int CViewGuide::Show(bool& guide) {
  guide_ = &guide;
  skip_->setChecked(false);
  yes_->setFocus();
  const int result = exec();
  guide_ = nullptr;
  return result;
}

void CViewGuide::Answer(int result) {
  if (guide_ != nullptr && skip_->isChecked()) {
    *guide_ = false;
  }
  done(result);
}

bool CDesktopOpener::Open(const std::filesystem::path& file) {
  return QDesktopServices::openUrl(QUrl::fromLocalFile(QString::fromStdString(file.string())));
}

}  // namespace tolvane
