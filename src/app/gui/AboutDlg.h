// The About box: the program's icon, name and version, and its copyright.
#pragma once

#include <string>

#include "shell/ui/DialogSupport.h"

namespace tolvane {

// The window menu's and the start window's item that opens the About box,
// from the language file (this text until one is loaded).
inline constexpr char kAboutItem[] = "&About Tolvane...";
QString AboutItemText(const CLanguageFile& language, const APP_SETTINGS& settings);

class CAboutDlg : public CKitDialog {
  Q_OBJECT

 public:
  enum : int { IDD = 100, IDC_ICON = 1001, IDC_VERSION = 1002, IDC_COPYRIGHT = 1003, IDC_OK = 1 };

  CAboutDlg(const CLanguageFile& language, const APP_SETTINGS& settings, const std::string& programId, QWidget* parent);
};

}  // namespace tolvane
