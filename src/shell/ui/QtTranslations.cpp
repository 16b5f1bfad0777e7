#include "shell/ui/QtTranslations.h"

#include <QCoreApplication>
#include <QLibraryInfo>

namespace tolvane {

CQtTranslations::CQtTranslations(QString folder)
    : folder_(folder.isEmpty() ? QLibraryInfo::path(QLibraryInfo::TranslationsPath) : std::move(folder)) {}

CQtTranslations::~CQtTranslations() { Remove(); }

void CQtTranslations::Remove() {
  if (installed_) {
    QCoreApplication::removeTranslator(&translator_);
    installed_ = false;
  }
}

bool CQtTranslations::Apply(int languageNumber) {
  Remove();
  if (languageNumber != 1) {
    return true;
  }
  if (!translator_.load(QStringLiteral("qtbase_de"), folder_)) {
    return false;
  }
  installed_ = QCoreApplication::installTranslator(&translator_);
  return installed_;
}

}  // namespace tolvane
