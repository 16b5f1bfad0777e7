// The advanced entries dialog (template 107), laid out at run time from the
// model as the core computes it (config/AdvancedEntries.h), and the frame that
// marks the form's Advanced button while any entry is on.
#pragma once

#include <QCheckBox>
#include <QDialog>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QScrollBar>

#include <array>
#include <filesystem>
#include <functional>
#include <string>

#include "common/Messages.h"
#include "config/AdvancedEntries.h"
#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"

namespace tolvane {

class CAdvancedForm : public QDialog {
  Q_OBJECT

 public:
  enum : int { IDC_UPDATE_BUTTON = 1088, IDC_CANCEL_BUTTON = 2 };

  // `working` is the copy the dialog edits; `help` opens the Advanced
  // button's help topic.
  CAdvancedForm(const MODEL_DEFINITION& model, std::array<ADVANCED_SLOT, kMaxAdvanced>& working,
                const std::string& currentUnits, const std::string& lengthUnits, const CLanguageFile& language,
                const APP_SETTINGS& settings, std::function<void()> help, QWidget* parent = nullptr);

  const config::ADVANCED_LAYOUT& Layout() const { return layout_; }
  QScrollBar* ScrollBar() const { return scroll_; }
  int Beeps() const { return beeps_; }
  // Update: the boxes into the working copy, then close with OK.
  void Update();

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void NumberEdited(int row);
  void Scrolled(int value);

  const MODEL_DEFINITION& model_;
  std::array<ADVANCED_SLOT, kMaxAdvanced>& slots_;
  std::function<void()> help_;
  config::ADVANCED_LAYOUT layout_;
  QWidget* content_;
  QScrollBar* scroll_;
  std::array<QCheckBox*, config::kAdvancedRows> checks_{};
  std::array<QLineEdit*, config::kAdvancedRows> numbers_{};
  int beeps_ = 0;
};

// The frame (picture 1124) around the Advanced button: shown with the button
// 2 pixels inside it, or hidden with the button taking its place.
class CAdvancedMarker : public QFrame {
  Q_OBJECT

 public:
  CAdvancedMarker(QPushButton* button, QWidget* parent);
  // Setting the state it already has does nothing.
  void SetMarker(bool on);
  bool Marked() const { return on_; }

 private:
  QPushButton* button_;
  bool on_ = false;
};

// The Advanced button: ERROR_MESSAGE62 without entries, the notice (the
// program folder's "advancednotice.txt" or STATUS_MESSAGE26) as a yes/no
// question, then the dialog on a working copy. True when Update took it over
// into `record`.
bool RunAdvancedButton(const MODEL_DEFINITION& model, CONFIG_RECORD& record, const std::filesystem::path& programFolder,
                       IMessageBox& messages, const CLanguageFile& language, const APP_SETTINGS& settings,
                       std::function<void()> help, QWidget* parent);

}  // namespace tolvane
