#include "link/ui/InfoMemory.h"

#include <QFormLayout>
#include <QLabel>
#include <QLineEdit>

#include "link/ui/EditDialogLayout.h"

namespace tolvane::link {

CInfoMemory::CInfoMemory(InfoImage& info, const CLanguageFile& language, const APP_SETTINGS& settings,
                         IMessageBox& messages, QWidget* parent)
    : CKitDialog(parent), info_(info), language_(language), settings_(settings), messages_(messages) {
  WithControlId(this, IDD);
  setModal(true);
  setWindowTitle(LanguageText(language, settings, "IDD_INFOMEMORY"));

  // The labels are the fields' names in the sensor's memory map, the same
  // in every language.
  const INFO_TEXTS texts = InfoMemoryTexts(info_);
  auto* fields = new QFormLayout;
  for (int f = 0; f < INFO_FIELD_COUNT; ++f) {
    const auto at = static_cast<std::size_t>(f);
    auto* edit = WithControlId(new QLineEdit(FromUtf8(texts[at]), this), kEdits[at]);
    edit->setMinimumWidth(fontMetrics().averageCharWidth() * (f == INFO_HWMODEL ? 20 : 14));
    edits_[at] = edit;
    auto* label = new QLabel(QString::fromLatin1(InfoFieldName(f)), this);
    label->setBuddy(edit);
    fields->addRow(label, edit);
  }

  LayOutEditDialog(*this, fields, IDC_UPDATE, IDC_CANCEL, language, settings, [this] { OnUpdate(); });
}

void CInfoMemory::OnUpdate() {
  INFO_TEXTS texts;
  for (std::size_t f = 0; f < texts.size(); ++f) {
    texts[f] = edits_[f]->text().toUtf8().toStdString();
  }
  if (const char* refused = ApplyInfoMemoryTexts(texts, info_)) {
    messages_.Show(language_.Text(refused, settings_.languageNumber), MB_ERROR);
    return;
  }
  accept();
}

}  // namespace tolvane::link
