// A notice or yes/no question with a "Do not show this message again" box.
#pragma once

#include <string>

#include "common/Messages.h"
#include "shell/ui/DialogSupport.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace tolvane {

class CSetOptions : public CKitDialog, public IOptionsPrompt {
  Q_OBJECT

 public:
  enum : int { IDD = 115, IDC_MESSAGE = 1115, IDC_SKIP = 1116, IDC_YESBUTTON = 1122, IDC_NOBUTTON = 1123 };

  CSetOptions(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);

  // RESULT_OK for yes (or OK), RESULT_CANCEL for no, Escape and the close
  // box. Either button sets `showAgain` to whether the box is unticked;
  // Escape and the close box leave it alone. With `okOnly` there is one
  // button, "OK", centred where the two buttons were.
  int Show(const std::string& message, bool okOnly, bool& showAgain) override;

 private:
  void Answer(int result);

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  bool* showAgain_ = nullptr;
  QLabel* message_;
  QCheckBox* skip_;
  QPushButton* yes_;
  QPushButton* no_;
};

}  // namespace tolvane
