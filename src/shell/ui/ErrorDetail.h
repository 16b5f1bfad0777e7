// An error message with a detail text that the user can show and hide. The
// window's height follows the number of lines in both texts.
#pragma once

#include <string>

#include "common/Messages.h"
#include "shell/ui/DialogSupport.h"

class QPushButton;
class QTextEdit;

namespace tolvane {

class CErrorDetail : public CKitDialog, public IErrorDetail {
  Q_OBJECT

 public:
  enum : int { IDD = 117, IDC_OKBUTTON = 1, IDC_DETAILSBUTTON = 2, IDC_MESSAGE = 1119, IDC_DETAIL = 1120 };

  CErrorDetail(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);

  // Runs the dialog until OK is pressed.
  void Show(const std::string& message, const std::string& detail) override;

  // The details button carries the cancel role: Escape and the close box
  // show or hide the details, and only OK closes the dialog.
  void reject() override;

  bool IsExpanded() const { return expanded_; }
  // The height of "Test" in the dialog's font, less 3 pixels, yet at least
  // the font's line spacing.
  int LineHeight() const;

 private:
  void Toggle();
  void Relayout();
  void SizeButtons();
  QString DetailsText(bool expanded) const;

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  bool expanded_ = false;
  std::string message_;
  std::string detail_;
  QTextEdit* messageText_;
  QTextEdit* detailText_;
  QPushButton* ok_;
  QPushButton* details_;
};

}  // namespace tolvane
