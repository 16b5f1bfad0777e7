#include "firmware/ui/SelectProgram.h"

#include <QComboBox>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

#include "firmware/ProgramFiles.h"

namespace tolvane::firmware {

CSelectProgram::CSelectProgram(const std::string& range, const std::string& version, std::vector<std::string> names,
                               const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent)
    : CKitDialog(parent), names_(std::move(names)), files_(WithControlId(new QComboBox(this), IDC_FILES)) {
  setWindowTitle(LanguageText(language, settings, "IDD_SELECTPROGRAM"));
  SortProgramNames(names_);
  auto* rangeEdit = WithControlId(new QLineEdit(FromUtf8(range), this), IDC_CURRENTRANGE);
  auto* versionEdit = WithControlId(new QLineEdit(FromUtf8(version), this), IDC_CURRENTVERSION);
  rangeEdit->setReadOnly(true);
  versionEdit->setReadOnly(true);
  for (const std::string& name : names_) {
    files_->addItem(FromUtf8(ProgramItemText(name)));
  }
  files_->setCurrentIndex(names_.empty() ? -1 : 0);
  files_->setMinimumContentsLength(28);
  auto* form = new QFormLayout;
  form->addRow(
      WithControlId(new QLabel(LanguageText(language, settings, "IDC_CURRENTRANGELABEL"), this), IDC_RANGELABEL),
      rangeEdit);
  form->addRow(
      WithControlId(new QLabel(LanguageText(language, settings, "IDC_CURRENTVERSIONLABEL"), this), IDC_VERSIONLABEL),
      versionEdit);
  form->addRow(
      WithControlId(new QLabel(LanguageText(language, settings, "IDC_SELECTFIRMWARELABEL"), this), IDC_FILESLABEL),
      files_);
  auto* buttons = new QDialogButtonBox(QDialogButtonBox::Ok | QDialogButtonBox::Cancel, this);
  // The program's own captions, not the button box's.
  WithControlId(buttons->button(QDialogButtonBox::Ok), 1)->setText(LanguageText(language, settings, "IDOK"));
  WithControlId(buttons->button(QDialogButtonBox::Cancel), 2)->setText(LanguageText(language, settings, "IDCANCEL"));
  connect(buttons, &QDialogButtonBox::accepted, this, &CSelectProgram::accept);
  connect(buttons, &QDialogButtonBox::rejected, this, &CSelectProgram::reject);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(form);
  layout->addWidget(buttons);
}

void CSelectProgram::accept() {
  const int index = files_->currentIndex();
  choice_ = index >= 0 && index < static_cast<int>(names_.size()) ? names_[static_cast<std::size_t>(index)] : "";
  CKitDialog::accept();
}

}  // namespace tolvane::firmware
