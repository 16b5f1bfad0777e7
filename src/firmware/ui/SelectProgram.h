// The Select Program dialog (template 174): the unit's range and version and
// the compatible program files, newest first.
#pragma once

#include <string>
#include <vector>

#include "shell/ui/DialogSupport.h"

class QComboBox;

namespace tolvane::firmware {

class CSelectProgram : public CKitDialog {
  Q_OBJECT

 public:
  enum : int {
    IDD = 174,
    IDC_CURRENTRANGE = 1084,
    IDC_CURRENTVERSION = 1168,
    IDC_FILES = 1167,
    IDC_RANGELABEL = 1169,
    IDC_VERSIONLABEL = 1170,
    IDC_FILESLABEL = 1171,
  };
  CSelectProgram(const std::string& range, const std::string& version, std::vector<std::string> names,
                 const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);
  // The name at the selected position after OK; empty when there is none.
  std::string Choice() const { return choice_; }
  const std::vector<std::string>& Names() const { return names_; }
  void accept() override;

 private:
  std::vector<std::string> names_;
  QComboBox* files_;
  std::string choice_;
};

}  // namespace tolvane::firmware
