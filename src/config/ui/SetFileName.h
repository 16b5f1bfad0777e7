// The small dialog that confirms the name of a configuration file before it
// is saved (template 116): the proposed name in an edit box, an instruction,
// OK and Cancel.
#pragma once

#include <string>

#include "shell/ui/DialogSupport.h"

class QLabel;
class QLineEdit;
class QPushButton;

namespace tolvane {

class CSetFileName : public CKitDialog {
  Q_OBJECT

 public:
  enum : int { IDD = 116, IDC_FILENAME = 1084, IDC_NAMING_INST = 1157, IDC_OK = 1, IDC_CANCEL = 2 };

  // `name` holds the proposed name; on OK it receives the edited name, with
  // ".txt" appended when it does not contain ".txt". Cancel leaves it as it
  // was. exec() gives RESULT_OK or RESULT_CANCEL.
  CSetFileName(std::string& name, const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);

  void accept() override;

 private:
  std::string& name_;
  QLabel* instruction_;
  QLineEdit* edit_;
  QPushButton* ok_;
  QPushButton* cancel_;
};

}  // namespace tolvane
