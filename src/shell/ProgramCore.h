// The long-lived objects of a run and the start-up steps that need no
// windows: folders, log, corporate model, language file, settings, the link
// worker, and the identification of a unit (or of the demonstration unit).
// The start dialog owns one and binds its results to its controls; the
// command-line program runs the same steps headless.
#pragma once

#include <string>
#include <thread>

#include "common/Clock.h"
#include "common/Folders.h"
#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelFile.h"
#include "defs/ModelTables.h"
#include "link/Bridge.h"
#include "link/UnitMemory.h"
#include "link/UsbLink.h"
#include "shell/LogFile.h"
#include "shell/SettingsStore.h"
#include "shell/UserRegistry.h"

namespace tolvane {

// The start dialog's status line and progress bar.
class IStartView {
 public:
  virtual ~IStartView() = default;
  virtual void SetStatus(const std::string& text) = 0;
  virtual void SetProgress(int percent) = 0;
};

// The help-topic table as the start-up sees it: back to its defaults at every
// identification.
class IHelpTable : public IHelpTopics {
 public:
  virtual void ResetDefaults() = 0;
};

struct IDENTIFY_RESULT {
  bool modelMissing = false;  // identified, but no model file for the unit
  std::string hardwareType;   // for the message when the model is missing
  std::string modelName;      // the Factory page's name text
};

// The dialogs and services the core reports through.
struct PROGRAM_SERVICES {
  IMessageBox& messages;
  IErrorDetail& errors;
  IBusyWindow& busy;
  link::IBridge& bridge;
  IClock& clock;
  IRegistry& registry;
  LocalTimeSource now;
  IHelpTable* help = nullptr;
};

class CProgramCore {
 public:
  CProgramCore(FOLDERS folders, PROGRAM_SERVICES services);
  ~CProgramCore();
  CProgramCore(const CProgramCore&) = delete;
  CProgramCore& operator=(const CProgramCore&) = delete;

  enum class StartResult { Ok, NoCorporateModel, SettingsFailed };

  // Opens the log, loads the corporate model, the language file and the
  // settings, and logs the start. On SettingsFailed `settingsCode` holds the
  // store's failure code.
  StartResult Start(int& settingsCode);

  // Starts the link worker thread (once).
  void StartWorker();
  // Signals the worker to quit and waits up to 1000 ms for it.
  void StopWorker();

  // Identifies the unit on the link (or the demonstration unit) and loads its
  // model. 1 when a model was loaded, 0 otherwise; read errors have then been
  // shown, a missing model is left to the caller (`result.modelMissing`).
  int IdentifyUnit(bool demonstration, IStartView* view, IDENTIFY_RESULT& result);

  // The program's title: PROGRAMID and the first three numbers of VERSION.
  std::string Title() const;

  // A text of the language file in the run's language.
  std::string Text(const char* key) const { return language.Text(key, settings.languageNumber); }

  FOLDERS folders;
  PROGRAM_SERVICES services;
  CLogFile log;
  CLanguageFile language;
  APP_SETTINGS settings;
  MODEL_TABLES tables;
  CONFIG_RECORD record;
  CModelFile models;
  CSettingsStore store;
  link::CUsbLink link;
  link::CUnitMemory memory;

 private:
  void Step(IStartView* view, const char* key, int progress);
  void Progress(IStartView* view, int progress);

  std::thread worker_;
};

// "%s %d.%d.%d": the program id and the first three of up to four
// dot-separated numbers of the version; missing numbers count as 0.
std::string FormatTitle(const std::string& programId, const std::string& version);

}  // namespace tolvane
