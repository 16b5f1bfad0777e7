// The Updates page (template 104): the firmware file chosen by browsing or
// from the files that suit the unit, the programming run on a worker thread
// with its progress, and its outcome. The run's progress, its message boxes
// and its finish reach the page as queued signals; the page joins the run's
// thread after the finish. The software update check and the upload opt-in
// box belong to the network side (IUpdatePageNetwork).
#pragma once

#include <QWidget>

#include <atomic>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "firmware/FirmwareChoice.h"
#include "firmware/ProgramRun.h"
#include "firmware/ui/UpdatePageNetwork.h"
#include "shell/ContextHelp.h"
#include "shell/ProgramCore.h"
#include "shell/ui/DialogSupport.h"

class QCheckBox;
class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace tolvane::firmware {

struct UPDATE_PAGE_CONTEXT {
  CProgramCore& core;
  bool noSensor = false;  // the forms run for the demonstration unit
  std::string& filePath;  // kept by the main window between openings
  IUpdatePageNetwork* network = nullptr;
  IContextHelp* help = nullptr;
  // Chooses a file in the system's file dialog ("" when cancelled); null for
  // the platform's own.
  std::function<std::string(QWidget*)> browse;
  // Runs Select Program over the names ("" when none was chosen); null for the dialog.
  std::function<std::string(QWidget*, const std::vector<std::string>&)> choose;
};

// The model file the unit's model definition came from.
std::filesystem::path ModelFilePath(const CProgramCore& core);

// Select Program over `names` for the unit: the chosen file's full path, or "".
std::string ChooseFirmwareFile(CProgramCore& core, const std::vector<std::string>& names, QWidget* parent);

// The newer-firmware search before the forms open: 1 when the user accepted a
// file (it is then in `filePath`), else 0.
int OfferNewerFirmware(CProgramCore& core, std::string& filePath,
                       const std::function<std::string(const std::vector<std::string>&)>& choose);

class CUpdateProgram : public QWidget, public IPageLeave, private IProgramEvents, private IMessageBox {
  Q_OBJECT

 public:
  enum : int {
    IDD = 104,
    IDC_CHECKBOX = 1152,
    IDC_UPDATEBOX = 1153,
    IDC_FILELABEL = 1154,
    IDC_FILE = 1064,
    IDC_BROWSE = 1065,
    IDC_SELECTPROGRAM = 1166,
    IDC_PROGRAM = 1063,
    IDC_PROGRESS = 1066,
    IDC_PERCENT = 1069,
    IDC_STATUS = 1104,
    IDC_DOWNLOAD = 1117,
    IDC_OPTIN = 1083,
  };

  CUpdateProgram(UPDATE_PAGE_CONTEXT context, QWidget* parent);
  ~CUpdateProgram() override;

  void OnUpdateSensor();
  void OnBrowse();
  void OnSelectProgram();
  bool CanLeave() override;

  bool Running() const { return running_; }
  bool Completed() const { return completed_; }
  const std::string& ErrorText() const { return errorText_; }
  // Progress signals the page received in the last run.
  int ProgressSignals() const { return progressSignals_; }

 signals:
  void RunProgress(int perMille);
  void RunFinished(int result);
  void RunMessage();

 protected:
  void showEvent(QShowEvent* event) override;
  void keyPressEvent(QKeyEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  // The run's side (worker thread).
  void OnProgress(int perMille) override { emit RunProgress(perMille); }
  void OnFinish(int result) override { emit RunFinished(result); }
  int Show(const std::string& text, unsigned type) override;

  void Activate();
  void SetProgress(int perMille);
  void Finish(int result);
  void DrainMessages();
  void Fail(const char* key);
  void EnableButtons(bool enable);
  QString Text(const char* key) const;

  UPDATE_PAGE_CONTEXT c_;
  CProgramTarget target_;
  std::thread worker_;
  bool running_ = false;
  bool completed_ = true;
  std::string errorText_;
  int progressSignals_ = 0;
  std::mutex messagesMutex_;
  std::deque<std::pair<std::string, unsigned>> messages_;

  QGroupBox* checkBox_;
  QPushButton* download_;
  QCheckBox* optIn_;
  QGroupBox* updateBox_;
  QLabel* fileLabel_;
  QLineEdit* file_;
  QPushButton* browse_;
  QPushButton* select_;
  QPushButton* program_;
  QProgressBar* progress_;
  QLabel* percent_;
  QLabel* status_;
};

}  // namespace tolvane::firmware
