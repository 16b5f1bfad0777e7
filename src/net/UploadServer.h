// The program's web session with its maker's server: the directory of
// installers and the download of a newer program (the start-up check and the
// updates page's button), and the queue of configuration records sent to the
// server after units were written.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/Clock.h"
#include "common/Folders.h"
#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"
#include "net/HttpSession.h"
#include "net/PendingUploads.h"
#include "net/SoftwareDirectory.h"
#include "shell/GuideProcedure.h"
#include "shell/LogFile.h"
#include "shell/SettingsStore.h"

namespace tolvane::net {

// The agent names of the three sessions.
inline constexpr const char* kAgentUpdatesPage = "CheckForUpdates";
inline constexpr const char* kAgentWrite = "New Write";
inline constexpr const char* kAgentApplication = "tolvane";

// The three header lines of the directory and upload requests.
std::vector<std::string> CallHeaderLines();

// Opens and closes the busy window that a download reports to.
class IBusyHost {
 public:
  virtual ~IBusyHost() = default;
  virtual IBusyWindow& OpenBusy() = 0;
  virtual void CloseBusy() = 0;
};

// What a session works with; its owner fills it in.
struct UPLOAD_CONTEXT {
  const PROGRAM_INFO& program;  // PROGRAMID, PROGRAMNAME, INSTALLERID, CORPORATEID, MAINHELP, SERVER, SUBDIR
  const FOLDERS& folders;       // programs: downloads; logs: the upload queue; help
  const CLanguageFile& language;
  APP_SETTINGS& settings;  // the language number, VERSION, DBVERSION, OPTOUT in memory
  CSettingsStore& store;
  IMessageBox& messages;
  IErrorDetail& errors;
  IClock& clock;
  CLogFile* log = nullptr;            // the start-up check's log lines
  IDocumentOpener* opener = nullptr;  // hands the installer to the desktop
  IBusyHost* busy = nullptr;          // the download's busy window
  HTTP_LIMITS limits{};
};

// What UploadPending did, for the command-line program.
struct UPLOAD_REPORT {
  int requests = 0;                // requests sent that got an answer
  int recordsSent = 0;             // record lines answered with 2xx
  int recordsKept = 0;             // record lines still queued
  std::vector<int> refusedStatus;  // the non-2xx answers, in order
  std::string internetError;       // the error that stopped the sending
};

// Results of CheckServerForUpdates.
struct STARTUP_CHECK {
  int result = 0;             // 0, or 1 after a shown failure
  bool closeProgram = false;  // the installer was handed on: the program ends
};

class CUploadServer {
 public:
  CUploadServer(std::string agent, UPLOAD_CONTEXT context);

  // The directory check. Outputs are left as they are when the server's
  // name cannot be resolved and on errors that show nothing.
  bool CheckDirectory(const std::string& pattern, int major, int minor, int& outcome, int& newMajor, int& newMinor,
                      std::string& fileName);

  // The download of `fileName` into the Programs folder, with progress in
  // the progress window (set it first). True when it failed.
  bool DownloadProgram(const std::string& fileName);
  void SetProgressWindow(IBusyWindow* window) { progress_ = window; }

  // The start-up check of the main window.
  STARTUP_CHECK CheckServerForUpdates();

  // The updates page's check button. True when the installer was handed on
  // and the page's sheet is to end with the result 1.
  bool OnCheckForUpdates();

  // Queues the record of a written configuration. True when it failed.
  bool QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model);

  // Sends the queue. True when it failed. `report` (may be null) receives
  // what was sent.
  bool UploadPending(UPLOAD_REPORT* report = nullptr);

  // The opt-out box was clicked; `checked` is its state, set back when the
  // user keeps the upload on.
  void OnOptOutClicked(bool& checked);

  // The page's context help topic.
  std::string ContextHelpTopic() const;

  // Where the installer `fileName` is written.
  std::filesystem::path DownloadPath(const std::string& fileName) const;
  std::filesystem::path PendingFile() const;

 private:
  std::string Text(const char* key) const;
  void Error(const std::string& text) { ctx_.messages.Show(text, MB_ERROR); }
  // Reads a flag of the settings store; true, with ERROR_MESSAGE107 shown,
  // when it cannot be read.
  bool ReadFlagOrSay(const char* key, bool& value);
  void Log(const std::string& text);

  std::string agent_;
  UPLOAD_CONTEXT ctx_;
  IBusyWindow* progress_ = nullptr;
};

}  // namespace tolvane::net
