// The copyright notice shown once at start. It closes by itself after a
// while unless the user touches it.
#pragma once

#include <chrono>
#include <filesystem>

#include "shell/ui/DialogSupport.h"

class QLabel;
class QPushButton;
class QTimer;

namespace tolvane {

class CCopyrightBox : public CKitDialog {
  Q_OBJECT

 public:
  enum : int { IDD = 109, IDC_OKBUTTON = 1, IDC_BODY = 1096, IDC_LINE1 = 1105, IDC_LINE2 = 1106 };

  static constexpr std::chrono::milliseconds kCloseAfter{2000};

  // The notice comes from copyright.txt in `programFolder`, or from the
  // language file when there is no such file.
  CCopyrightBox(const CLanguageFile& language, const APP_SETTINGS& settings,
                const std::filesystem::path& programFolder, QWidget* parent,
                std::chrono::milliseconds closeAfter = kCloseAfter);

  // Whether the box is still waiting to close by itself.
  bool IsTimerRunning() const;

  void accept() override;
  void reject() override;

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;

 private:
  void FillText(const CLanguageFile& language, const APP_SETTINGS& settings, const std::filesystem::path& programFolder);

  QLabel* line1_;
  QLabel* line2_;
  QLabel* body_;
  QPushButton* ok_;
  QTimer* timer_;
};

}  // namespace tolvane
