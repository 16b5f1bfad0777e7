// Qt's own texts (the file dialogs' labels and buttons, the standard buttons
// of button boxes and message boxes, the edit fields' context menus) in the
// language the run shows. The language file holds the program's texts only;
// these come from the translations Qt installs beside itself.
#pragma once

#include <QString>
#include <QTranslator>

namespace tolvane {

class CQtTranslations {
 public:
  // `folder` holds Qt's translation files (qtbase_<language>.qm); empty for
  // the folder of the Qt the program runs on.
  explicit CQtTranslations(QString folder = {});
  ~CQtTranslations();
  CQtTranslations(const CQtTranslations&) = delete;
  CQtTranslations& operator=(const CQtTranslations&) = delete;

  // Qt's texts for language column `languageNumber` (0 English, 1 German):
  // English is Qt's own; for German the translation is installed in the
  // application. False when that translation is not there (Qt's texts stay
  // English).
  bool Apply(int languageNumber);

 private:
  void Remove();

  QString folder_;
  QTranslator translator_;
  bool installed_ = false;
};

}  // namespace tolvane
