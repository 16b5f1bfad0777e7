// The start dialog: runs for the whole life of the program. It owns the
// program's long-lived objects (through CProgramCore), goes through the start
// (folders, log, corporate model, language, settings, title, update check,
// guide, uploads, link worker), then connects to and identifies the unit and
// opens the main window; after the main window closes with OK it does so again.
#pragma once

#include <QDialog>

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "app/gui/FormServices.h"
#include "app/gui/NetworkServices.h"
#include "app/gui/StartFlow.h"
#include "shell/ProgramCore.h"
#include "shell/ui/QtTranslations.h"
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
  // The help-topic table: back to its defaults at every identification.
  IHelpTable* helpTable = nullptr;
};

// Calls handed from the thread of the link work to the user-interface thread.
// Only standard locks guard it (the sanitizers see every hand-over); the start
// dialog drains it on a short timer while the link work runs.
class CGuiMailbox {
 public:
  // The constructing thread is the user-interface thread.
  CGuiMailbox();

  bool OnGuiThread() const { return std::this_thread::get_id() == gui_; }
  // Runs `call` on the user-interface thread: at once when called there,
  // else at the next drain.
  void Post(std::function<void()> call);
  // Runs `call` on the user-interface thread and waits for it to finish.
  // False when the mailbox was closed before it ran.
  bool Call(const std::function<void()>& call);
  // User-interface thread: runs every call waiting, in order.
  void Drain();
  // User-interface thread: drops what is waiting; later calls return at once.
  void Close();

 private:
  std::thread::id gui_;
  std::mutex m_;
  std::condition_variable cv_;
  std::deque<std::function<void()>> calls_;
  std::uint64_t posted_ = 0;
  std::uint64_t done_ = 0;
  bool closed_ = false;
  bool draining_ = false;  // user-interface thread only
};

// The dialog kit's windows as core code sees them, filled in once the windows
// exist and reachable from any thread.
class CGuiThreadBusy final : public IBusyWindow {
 public:
  explicit CGuiThreadBusy(CGuiMailbox& mailbox) : mailbox_(mailbox) {}
  void SetTarget(IBusyWindow* target) { target_ = target; }
  void SetMessage(const std::string& text) override;
  void SetProgress(int percent) override;

 private:
  CGuiMailbox& mailbox_;
  IBusyWindow* target_ = nullptr;
};

class CGuiThreadErrors final : public IErrorDetail {
 public:
  explicit CGuiThreadErrors(CGuiMailbox& mailbox) : mailbox_(mailbox) {}
  void SetTarget(IErrorDetail* target) { target_ = target; }
  void Show(const std::string& message, const std::string& detail) override;

 private:
  CGuiMailbox& mailbox_;
  IErrorDetail* target_ = nullptr;
};

class CGuiThreadMessages final : public IMessageBox {
 public:
  explicit CGuiThreadMessages(CGuiMailbox& mailbox) : mailbox_(mailbox) {}
  void SetTarget(IMessageBox* target) { target_ = target; }
  // RESULT_CANCEL when the box cannot be shown any more (the program ends).
  int Show(const std::string& text, unsigned type) override;

 private:
  CGuiMailbox& mailbox_;
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
  CGuiMailbox mailbox_;
  CGuiThreadMessages messageProxy_;
  CGuiThreadErrors errorProxy_;
  CGuiThreadBusy busyProxy_;
  std::unique_ptr<CProgramCore> core_;
  CMessageBox* messages_ = nullptr;
  CErrorDetail* errors_ = nullptr;
  CBusyWindow* busy_ = nullptr;
  CPlatformQuestion question_;
  // Qt's own texts (file dialogs, standard buttons) in the run's language.
  CQtTranslations qtTexts_;
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
  QTimer* mailTimer_;

  std::thread attempt_;
  bool attempting_ = false;
  bool ended_ = false;
  int endCode_ = END_NORMAL;
  CMainForm* mainForm_ = nullptr;
};

}  // namespace tolvane
