#include "shell/ui/DialogSupport.h"

#include <QVariant>

#include "common/Messages.h"

namespace tolvane {

int ControlId(const QWidget* widget) {
  bool ok = false;
  const int id = widget->property(kControlIdProperty).toInt(&ok);
  return ok ? id : 0;
}

QWidget* FindControl(QWidget* root, int id) {
  if (root == nullptr) {
    return nullptr;
  }
  if (ControlId(root) == id) {
    return root;
  }
  const auto children = root->findChildren<QWidget*>();
  for (QWidget* child : children) {
    if (ControlId(child) == id) {
      return child;
    }
  }
  return nullptr;
}

QString FromUtf8(const std::string& text) {
  return QString::fromUtf8(text.data(), static_cast<qsizetype>(text.size()));
}

QString LanguageText(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key) {
  return FromUtf8(language.Text(key, settings.languageNumber));
}

CKitDialog::CKitDialog(QWidget* parent) : QDialog(parent) {
  // No "?" button in the title bar: context help has its own way in.
  setWindowFlag(Qt::WindowContextHelpButtonHint, false);
}

void CKitDialog::accept() { done(RESULT_OK); }

void CKitDialog::reject() { done(RESULT_CANCEL); }

}  // namespace tolvane
