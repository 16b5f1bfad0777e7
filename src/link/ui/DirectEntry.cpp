#include "link/ui/DirectEntry.h"

#include <QButtonGroup>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QVBoxLayout>

#include "link/ui/EditDialogLayout.h"

namespace tolvane::link {
namespace {

std::string Utf8(const QString& s) { return s.toUtf8().toStdString(); }

}  // namespace

CDirectEntry::CDirectEntry(const CLanguageFile& language, const APP_SETTINGS& settings, IMessageBox& messages,
                           QWidget* parent)
    : CKitDialog(parent),
      language_(language),
      settings_(settings),
      messages_(messages),
      address_(WithControlId(new QLineEdit(this), IDC_ADDRESS)),
      value_(WithControlId(new QLineEdit(this), IDC_VALUE)),
      customer_(WithControlId(new QRadioButton(this), IDC_CUSTPAGE)),
      factory_(WithControlId(new QRadioButton(this), IDC_FACTPAGE)) {
  WithControlId(this, IDD);
  setModal(true);
  setWindowTitle(LanguageText(language, settings, "IDD_DIRECTENTRY"));

  auto* addressLabel =
      WithControlId(new QLabel(LanguageText(language, settings, "IDC_ADDRESS_LABEL"), this), IDC_ADDRESS_LABEL);
  auto* valueLabel =
      WithControlId(new QLabel(LanguageText(language, settings, "IDC_VALUE_LABEL"), this), IDC_VALUE_LABEL);
  addressLabel->setBuddy(address_);
  valueLabel->setBuddy(value_);
  const int width = fontMetrics().averageCharWidth() * 10;
  address_->setFixedWidth(width);
  value_->setFixedWidth(width);

  customer_->setText(LanguageText(language, settings, "IDC_CUSTPAGE"));
  factory_->setText(LanguageText(language, settings, "IDC_FACTPAGE"));
  auto* pages = new QButtonGroup(this);
  pages->addButton(customer_);
  pages->addButton(factory_);
  customer_->setChecked(true);

  auto* fields = new QFormLayout;
  fields->addRow(addressLabel, address_);
  fields->addRow(valueLabel, value_);
  auto* pageBox = new QVBoxLayout;
  pageBox->addWidget(customer_);
  pageBox->addWidget(factory_);
  auto* top = new QHBoxLayout;
  top->addLayout(fields);
  top->addSpacing(18);
  top->addLayout(pageBox);
  LayOutEditDialog(*this, top, IDC_UPDATE, IDC_CANCEL, language, settings, [this] { OnUpdate(); });
  address_->setFocus();
}

void CDirectEntry::OnUpdate() {
  const int page = customer_->isChecked() ? 1 : factory_->isChecked() ? 2 : 0;
  if (const char* refused = CheckDirectEntry(Utf8(address_->text()), Utf8(value_->text()), page, entry_)) {
    messages_.Show(language_.Text(refused, settings_.languageNumber), MB_ERROR);
    return;
  }
  accept();
}

}  // namespace tolvane::link
