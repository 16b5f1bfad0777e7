// The data pages viewer (template 105): the four cached memory pages of the
// unit, one at a time, as words in hexadecimal and decimal or as a hex dump
// with the bytes as text, in a fixed-pitch font.
#pragma once

#include <array>
#include <string>

#include "link/UnitMemory.h"
#include "shell/ui/DialogSupport.h"

class QPlainTextEdit;
class QRadioButton;

namespace tolvane::link {

class CCalPages : public CKitDialog {
  Q_OBJECT

 public:
  enum : int {
    IDD = 105,
    IDC_CUSTDP = 1077,
    IDC_FACTDP = 1078,
    IDC_HISTDP = 1079,
    IDC_OCMDP = 1083,
    IDC_INTEGERDISP = 1080,
    IDC_HEXDISP = 1081,
    IDC_PAGETEXT = 1082,
    IDC_OK = 1,
  };

  // `pages` is the page cache (indices 0..3); it outlives the dialog.
  CCalPages(const std::array<PageImage, kPageCount>& pages, const CLanguageFile& language, const APP_SETTINGS& settings,
            const std::string& caption, QWidget* parent);

  // Shows page `index` in the format whose button is checked (Integer when
  // neither is).
  void ShowPage(int index);
  int ShownPage() const { return shown_; }
  // The text shown, with the rows' CR LF line ends.
  const std::string& Text() const { return text_; }

 private:
  const std::array<PageImage, kPageCount>& pages_;
  std::array<QRadioButton*, kPageCount> pageButtons_{};
  QRadioButton* integer_;
  QRadioButton* hex_;
  QPlainTextEdit* edit_;
  std::string text_;
  int shown_ = 0;
};

}  // namespace tolvane::link
