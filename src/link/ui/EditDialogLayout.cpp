#include "link/ui/EditDialogLayout.h"

#include <QHBoxLayout>
#include <QPushButton>
#include <QVBoxLayout>

namespace tolvane::link {

void LayOutEditDialog(CKitDialog& dialog, QLayout* fields, int updateId, int cancelId, const CLanguageFile& language,
                      const APP_SETTINGS& settings, const std::function<void()>& onUpdate) {
  auto* update = WithControlId(new QPushButton(LanguageText(language, settings, "IDC_UPDATE"), &dialog), updateId);
  auto* cancel = WithControlId(new QPushButton(LanguageText(language, settings, "IDCANCEL"), &dialog), cancelId);
  update->setDefault(true);
  QObject::connect(update, &QPushButton::clicked, &dialog, onUpdate);
  QObject::connect(cancel, &QPushButton::clicked, &dialog, &CKitDialog::reject);
  auto* buttons = new QHBoxLayout;
  buttons->addStretch(1);
  buttons->addWidget(update);
  buttons->addWidget(cancel);

  auto* layout = new QVBoxLayout(&dialog);
  layout->setContentsMargins(18, 18, 18, 14);
  layout->setSpacing(14);
  layout->addLayout(fields);
  layout->addLayout(buttons);
  // Wide enough for the caption the window manager shows in its title bar.
  const int caption = dialog.fontMetrics().horizontalAdvance(dialog.windowTitle()) * 3 / 2 + 160;
  layout->addItem(new QSpacerItem(caption, 0, QSizePolicy::Fixed, QSizePolicy::Minimum));
  layout->setSizeConstraint(QLayout::SetFixedSize);
}

}  // namespace tolvane::link
