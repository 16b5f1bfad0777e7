// The quick start guide prompt shown at start, and the desktop opener that
// shows the guide document.
#pragma once

#include "shell/GuideProcedure.h"
#include "shell/ui/DialogSupport.h"

class QCheckBox;
class QLabel;
class QPushButton;

namespace tolvane {

class CViewGuide : public CKitDialog, public IViewGuide {
  Q_OBJECT

 public:
  enum : int { IDD = 106, IDC_SKIPINTRO = 1090, IDC_YESBUTTON = 1091, IDC_NOBUTTON = 1092, IDC_QUESTION = 1158 };

  CViewGuide(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);

  // RESULT_OK for yes, RESULT_CANCEL for no, Escape and the close box. Either
  // button clears `guide` when the box is ticked; nothing else changes it.
  int Show(bool& guide) override;

 private:
  void Answer(int result);

  bool* guide_ = nullptr;
  QLabel* question_;
  QCheckBox* skip_;
  QPushButton* yes_;
  QPushButton* no_;
};

// Opens documents with the desktop's opener (xdg-open and friends).
class CDesktopOpener : public IDocumentOpener {
 public:
  bool Open(const std::filesystem::path& file) override;
};

}  // namespace tolvane
