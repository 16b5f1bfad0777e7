// The window that shows what a long operation is doing, with a progress bar.
// Modeless: the owner shows it, feeds it, and destroys it when done.
#pragma once

#include <QWidget>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"

class QLabel;
class QProgressBar;

namespace tolvane {

class CBusyWindow : public QWidget, public IBusyWindow {
  Q_OBJECT

 public:
  enum : int { IDD = 111, IDC_PROGRESS = 1101, IDC_MESSAGE = 1102 };

  CBusyWindow(const CLanguageFile& language, const APP_SETTINGS& settings, QWidget* parent);

  // Both are on screen before they return: the operation usually runs on
  // this thread and gives the event loop no chance to paint until it is
  // over, so the window (and the windows under it) paint through here.
  void SetMessage(const std::string& text) override;
  void SetProgress(int percent) override;

  // While an operation runs on the user-interface thread the window is
  // modal: the windows under it keep painting but take no input.
  void SetBlocking(bool blocking);

  int Progress() const;
  QString Message() const;

 protected:
  void showEvent(QShowEvent* event) override;
  void closeEvent(QCloseEvent* event) override;

 private:
  void PaintThrough();

  QLabel* message_;
  QProgressBar* progress_;
};

}  // namespace tolvane
