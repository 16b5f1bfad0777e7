// The program's own message box: up to three buttons (Yes, OK, No), an icon
// and a sound chosen from the box type. Also usable from worker threads: the
// box then runs on the user-interface thread and the worker waits for it.
#pragma once

#include <QStyle>

#include <functional>
#include <string>
#include <utility>

#include "common/Messages.h"
#include "shell/ui/DialogSupport.h"

class QLabel;
class QPushButton;

namespace tolvane {

class CMessageBox : public CKitDialog, public IMessageBox {
  Q_OBJECT

 public:
  enum : int {
    IDD = 125,
    IDC_YESBUTTON = 1127,
    IDC_OKBUTTON = 1128,
    IDC_NOBUTTON = 1129,
    IDC_TEXT = 1155,
    IDC_ICON = 1156,
  };

  enum class Sound { Simple, Exclamation };
  using SoundPlayer = std::function<void(Sound)>;

  // What a box type shows.
  struct LOOK {
    bool yes = false;
    bool ok = true;
    bool no = false;
    Sound sound = Sound::Exclamation;
    QStyle::StandardPixmap icon = QStyle::SP_MessageBoxInformation;
  };
  static LOOK LookOf(unsigned type);

  // `sound` plays the box's sound; by default the desktop's bell.
  CMessageBox(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent, SoundPlayer sound = {});

  void SetCaption(const std::string& caption);

  // Returns RESULT_YES, RESULT_OK, RESULT_NO, or RESULT_CANCEL for Escape and
  // the close box. Callable from any thread.
  int Show(const std::string& text, unsigned type) override;

  // The caption of a button (IDC_YES, IDC_OK, IDC_NO) in the run's
  // language, or its English caption when the language file has none.
  static QString ButtonCaption(const CLanguageFile& language, const APP_SETTINGS& settings, std::string_view key);

 private:
  int ShowHere(const std::string& text, unsigned type);
  void Apply();

  const CLanguageFile& language_;
  const APP_SETTINGS& settings_;
  SoundPlayer sound_;
  std::string caption_;
  std::string message_;
  unsigned type_ = 0;
  QLabel* text_;
  QLabel* icon_;
  QPushButton* yes_;
  QPushButton* ok_;
  QPushButton* no_;
};

}  // namespace tolvane
