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

  // Both repaint at once: the operation usually runs on this thread and
  // gives the event loop no chance to paint until it is over.
  void SetMessage(const std::string& text) override;
  void SetProgress(int percent) override;

  int Progress() const;
  QString Message() const;

 private:
  QLabel* message_;
  QProgressBar* progress_;
};

}  // namespace tolvane
