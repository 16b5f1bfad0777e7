// The direct memory entry (template 108): one word of the Customer or the
// Factory page and its new value. Update checks the entry and closes with OK;
// the caller writes it.
#pragma once

#include "common/Messages.h"
#include "link/MemoryEdits.h"
#include "shell/ui/DialogSupport.h"

class QLineEdit;
class QRadioButton;

namespace tolvane::link {

class CDirectEntry : public CKitDialog {
  Q_OBJECT

 public:
  enum : int {
    IDD = 108,
    IDC_ADDRESS = 1089,
    IDC_VALUE = 1085,
    IDC_CUSTPAGE = 1086,
    IDC_FACTPAGE = 1087,
    IDC_UPDATE = 1088,
    IDC_CANCEL = 2,
    IDC_ADDRESS_LABEL = 1142,
    IDC_VALUE_LABEL = 1143,
  };

  // A refused entry is shown in `messages` and the dialog stays open.
  CDirectEntry(const CLanguageFile& language, const APP_SETTINGS& settings, IMessageBox& messages, QWidget* parent);

  // The entry, after the dialog closed with OK.
  const DIRECT_ENTRY& Entry() const { return entry_; }

  void OnUpdate();

 private:
  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  IMessageBox& messages_;
  QLineEdit* address_;
  QLineEdit* value_;
  QRadioButton* customer_;
  QRadioButton* factory_;
  DIRECT_ENTRY entry_;
};

}  // namespace tolvane::link
