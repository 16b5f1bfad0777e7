// The start dialog: runs for the whole life of the program. It owns the
// program's long-lived objects (through CProgramCore), goes through the start
// (folders, log, corporate model, language, settings, title, update check,
// guide, uploads, link worker), then connects to and identifies the unit and
// opens the main window; after the main window closes with OK it does so again.
#pragma once

#include <QDialog>

#include <atomic>
#include <chrono>
#include <memory>
#include <string>
#include <thread>

#include "app/gui/FormServices.h"
#include "app/gui/NetworkServices.h"
#include "app/gui/StartFlow.h"
#include "shell/ProgramCore.h"
#include "shell/ui/ViewGuide.h"

class QLabel;
class QProgressBar;
class QPushButton;
class QGroupBox;
class QTimer;
class QToolButton;

namespace tolvane {

class CBusyWindow;
class CErrorDetail;
class CMessageBox;
class CMainForm;

// Everything the start dialog is given rather than makes.
struct START_ENVIRONMENT {
  FOLDERS folders;
  link::IBridge& bridge;
  IClock& clock;
  IRegistry& registry;
  LocalTimeSource now;
  INetworkServices& network;
  IPageFactory& pages;
  IHelpHook& help;
  IDocumentOpener& opener;
  // The application's first-run flag: the copyright box shows once per process.
  bool& firstRun;
  std::chrono::milliseconds copyrightInterval{2000};
  std::chrono::milliseconds timerInterval{10};
};

// A dialog kit's window as core code sees it, filled in once the window exists
// and reached from any thread: calls from a worker run on the window's thread.
class CGuiThreadBusy final : public IBusyWindow {
 public:
  explicit CGuiThreadBusy(QObject& context) : context_(context) {}
  void SetTarget(IBusyWindow* target) { target_ = target; }
  void SetMessage(const std::string& text) override;
  void SetProgress(int percent) override;

 private:
  QObject& context_;
  IBusyWindow* target_ = nullptr;
};

class CGuiThreadErrors final : public IErrorDetail {
 public:
  explicit CGuiThreadErrors(QObject& context) : context_(context) {}
  void SetTarget(IErrorDetail* target) { target_ = target; }
  void Show(const std::string& message, const std::string& detail) override;

 private:
  QObject& context_;
  IErrorDetail* target_ = nullptr;
};

// The program's message box, once it exists (it shows itself on the
// user-interface thread when called from a worker).
class CForwardMessages final : public IMessageBox {
 public:
  void SetTarget(IMessageBox* target) { target_ = target; }
  int Show(const std::string& text, unsigned type) override {
    return target_ != nullptr ? target_->Show(text, type) : RESULT_CANCEL;
  }

 private:
  IMessageBox* target_ = nullptr;
};

// A yes/no question in the desktop's own message box.
class CPlatformQuestion final : public IMessageBox {
 public:
  explicit CPlatformQuestion(QWidget& parent) : parent_(parent) {}
  void SetCaption(const std::string& caption) { caption_ = caption; }
  int Show(const std::string& text, unsigned type) override;

 private:
  QWidget& parent_;
  std::string caption_;
};

class COstrelDlg : public QDialog, public IStartView {
  Q_OBJECT

 public:
  enum : int {
    IDD = 102,
    IDC_START_STATUS = 1000,
    IDC_STUBBEDMODE = 1072,
    IDC_PROGRESS = 1160,
    IDC_STATUS = 1161,
    IDC_FRAME_STARTUP = 1164,
    IDC_FRAME_STATUS = 1165,
    IDC_RESTART = 57671,
    IDM_ABOUTBOX = 0x10,
  };

  // How the start dialog ended.
  enum : int { END_NORMAL = 0, END_NO_CORPORATE_MODEL = 2, END_SETTINGS_FAILED = 3 };

  explicit COstrelDlg(START_ENVIRONMENT environment, QWidget* parent = nullptr);
  ~COstrelDlg() override;

  // Runs the start and then the dialog until the program ends; returns how it ended.
  int Run();

  // IStartView: the status line and the progress bar, from any thread.
  void SetStatus(const std::string& text) override;
  void SetProgress(int percent) override;

  CProgramCore& Core() { return *core_; }
  const std::string& Title() const { return title_; }
  bool Attempting() const { return attempting_; }
  // The main window while it is open, else null.
  CMainForm* MainForm() const { return mainForm_; }

  void ShowAbout();

 public slots:
  void reject() override;

 protected:
  void closeEvent(QCloseEvent* event) override;
  void contextMenuEvent(QContextMenuEvent* event) override;

 private:
  bool InitDialog();
  void SetLabels();
  void OnTimer();
  void StartAttempt();
  void StartSample();
  void RunIdentification(bool demonstration, bool connect);
  void FinishAttempt(bool demonstration, int connectResult, int identified, const IDENTIFY_RESULT& result);
  void ShowForms(bool demonstration, bool endAfterwards);
  void EnableButtons(bool enable);
  void EndDialog(int code);
  std::string Text(const char* key) const { return core_->Text(key); }

  START_ENVIRONMENT env_;
  CForwardMessages messageProxy_;
  CGuiThreadErrors errorProxy_;
  CGuiThreadBusy busyProxy_;
  std::unique_ptr<CProgramCore> core_;
  CMessageBox* messages_ = nullptr;
  CErrorDetail* errors_ = nullptr;
  CBusyWindow* busy_ = nullptr;
  CPlatformQuestion question_;
  std::string title_;

  QGroupBox* statusFrame_;
  QLabel* status_;
  QProgressBar* progress_;
  QGroupBox* startupFrame_;
  QLabel* result_;
  QPushButton* restart_;
  QPushButton* sample_;
  QToolButton* about_;
  QTimer* timer_;

  std::thread attempt_;
  bool attempting_ = false;
  bool ended_ = false;
  int endCode_ = END_NORMAL;
  CMainForm* mainForm_ = nullptr;
};

}  // namespace tolvane
