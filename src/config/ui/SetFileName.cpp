#include "config/ui/SetFileName.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

#include "config/ConfigFile.h"

namespace tolvane {

CSetFileName::CSetFileName(std::string& name, const CLanguageFile& language, const APP_SETTINGS& settings,
                           QWidget* parent)
    : CKitDialog(parent),
      name_(name),
      instruction_(WithControlId(new QLabel(this), IDC_NAMING_INST)),
      edit_(WithControlId(new QLineEdit(this), IDC_FILENAME)),
      ok_(WithControlId(new QPushButton(this), IDC_OK)),
      cancel_(WithControlId(new QPushButton(this), IDC_CANCEL)) {
  WithControlId(this, IDD);
  setModal(true);
  setWindowTitle(LanguageText(language, settings, "IDD_SETFILENAME"));

  instruction_->setText(LanguageText(language, settings, "IDC_NAMING_INST"));
  instruction_->setWordWrap(true);
  instruction_->setTextFormat(Qt::PlainText);
  instruction_->setMinimumWidth(fontMetrics().averageCharWidth() * 48);
  instruction_->setMaximumWidth(fontMetrics().averageCharWidth() * 72);
  instruction_->setBuddy(edit_);

  edit_->setText(FromUtf8(name_));
  edit_->selectAll();
  edit_->setFocus();

  ok_->setText(LanguageText(language, settings, "IDOK"));
  cancel_->setText(LanguageText(language, settings, "IDCANCEL"));
  const int width =
      std::max({ok_->sizeHint().width(), cancel_->sizeHint().width(), fontMetrics().averageCharWidth() * 12});
  ok_->setFixedWidth(width);
  cancel_->setFixedWidth(width);
  ok_->setDefault(true);
  connect(ok_, &QPushButton::clicked, this, &CSetFileName::accept);
  connect(cancel_, &QPushButton::clicked, this, &CSetFileName::reject);

  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(ok_);
  buttons->addWidget(cancel_);

  auto* layout = new QVBoxLayout(this);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(12);
  layout->addWidget(instruction_);
  layout->addWidget(edit_);
  layout->addLayout(buttons);
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

void CSetFileName::accept() {
  const QByteArray typed = edit_->text().toUtf8();
  name_ = config::WithTxtExtension(std::string(typed.constData(), static_cast<std::size_t>(typed.size())));
  CKitDialog::accept();
}

}  // namespace tolvane
