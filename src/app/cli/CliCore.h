// The program's core as the command-line program runs it: the real adapters
// and clock, the per-user settings store, and dialogs that print.
#pragma once

#include <memory>
#include <string>

#include "app/cli/CliCommon.h"
#include "common/Clock.h"
#include "config/PageMapping.h"
#include "config/Selection.h"
#include "link/TtyBridge.h"
#include "shell/ProgramCore.h"
#include "shell/UserRegistry.h"

namespace tolvane::cli {

// Error details and busy messages of the headless program: errors go to
// standard error, progress is silent unless asked for.
class CConsoleErrors : public IErrorDetail {
 public:
  void Show(const std::string& message, const std::string& detail) override;
};

class CConsoleBusy : public IBusyWindow {
 public:
  explicit CConsoleBusy(bool verbose) : verbose_(verbose) {}
  void SetMessage(const std::string& text) override;
  void SetProgress(int) override {}

 private:
  bool verbose_;
};

// Finds the adapters and selects one on `link` (`wanted` by its description,
// or the only one). 0, or an exit status after printing why.
int SelectAdapter(link::CUsbLink& link, const std::string& wanted);

// The unit's configuration, decoded from its cached Customer page into
// `record` in the record's units (its identity kept), as the form shows it at
// start. DecodeFromPage's result: 0, or -1 when it is not complete.
int DecodeUnit(CProgramCore& core, CONFIG_RECORD& record, config::NONLINEAR_PAGE& nl, config::CONFIG_STATUS& status,
               const config::IVolumeLevels* volume = nullptr);

class CliCore {
 public:
  // `answer`: how the console answers yes/no questions (RESULT_YES or RESULT_NO).
  explicit CliCore(bool verbose = false, int answer = RESULT_NO);
  ~CliCore();
  CliCore(const CliCore&) = delete;
  CliCore& operator=(const CliCore&) = delete;

  // Loads the corporate model, the language file and the settings, logs the
  // start and starts the link worker. 0, or the exit status after printing why.
  int Start();
  // Only the corporate model (for the settings commands). 0 or an exit status.
  int LoadCorporateModel();

  int SelectAdapter(const std::string& wanted) { return cli::SelectAdapter(core_->link, wanted); }

  // Start(), SelectAdapter(adapter), then identifies the unit and loads its
  // model. 0, or the exit status after printing why: 3 when there is no model
  // for the unit, 1 when the unit cannot be read, another when the start or
  // the adapter failed.
  int StartWithUnit(const std::string& adapter);

  CProgramCore& core() { return *core_; }

 private:
  RealClock clock_;
  link::TtyBridge bridge_;
  CConsoleMessages messages_;
  CConsoleErrors errors_;
  CConsoleBusy busy_;
  FOLDERS folders_;
  CUserRegistry registry_;
  std::unique_ptr<CProgramCore> core_;
};

}  // namespace tolvane::cli
