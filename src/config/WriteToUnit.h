// Writing the configuration into units: the value checks, the identity check
// of the connected unit, the page image written and verified, the first
// unit's page decoded back, the log lines and the upload record, then the
// next unit of the series. The form runs it with its windows; the
// command-line program with console dialogs and a wait for the next unit.
#pragma once

#include <cstdint>
#include <string>

#include "common/Messages.h"
#include "config/ConfigFile.h"
#include "config/PageMapping.h"
#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"
#include "link/UnitMemory.h"
#include "shell/LogFile.h"

namespace tolvane::config {

// Records of written units for the maker's server. The upload itself comes
// with the network services.
class IUploadQueue {
 public:
  virtual ~IUploadQueue() = default;
  virtual void QueueRecord(const CONFIG_RECORD& record, const MODEL_DEFINITION& model) = 0;
  // Sends the queued records (and any left from earlier runs).
  virtual void UploadPending() = 0;
};

// No upload service: records are not kept.
class CNoUpload final : public IUploadQueue {
 public:
  void QueueRecord(const CONFIG_RECORD&, const MODEL_DEFINITION&) override {}
  void UploadPending() override {}
};

// What the window that runs the write shows and asks.
class IWriteView {
 public:
  virtual ~IWriteView() = default;
  // The shown heights and levels changed (snapped before the checks).
  virtual void ShowValues() = 0;
  // Empties the file name box and the file date.
  virtual void ClearFileName() = 0;
  // The Write to Unit button shown pushed while units are written.
  virtual void SetWritePushed(bool pushed) = 0;
  // The unit's identity lines after the serial changed.
  virtual void ShowIdentity() = 0;
  // The first unit's page was decoded back into the record.
  virtual void ShowDecoded() = 0;
  // Asks whether another unit is to be written; true once the next unit is
  // connected. The form asks the user; the command-line program waits.
  virtual bool NextUnit() = 0;
  // The busy window of the run is no longer needed (before the upload).
  virtual void CloseBusy() = 0;
};

// What a run works on: the form's objects, by reference.
struct WRITE_CONTEXT {
  const MODEL_DEFINITION& model;
  CONFIG_RECORD& record;
  CONFIG_NONLINEAR& nonLinear;
  link::CUnitMemory& memory;
  CLogFile& log;
  const CLanguageFile& language;
  const APP_SETTINGS& settings;
  IMessageBox& messages;
  IErrorDetail& errors;
  IBusyWindow& busy;
  IOptionsPrompt* notice;  // the upload notice; null: never shown
  IUploadQueue& upload;
  bool demonstration = false;
  // The form's upload notice flag: set at form start, cleared when the user
  // asks not to see the notice again.
  bool* uploadNotice = nullptr;
  // Levels shown in volume units: their counts come from the tank curve.
  const IVolumeLevels* volume = nullptr;
};

// CheckUnitIdentity results.
enum : int {
  IDENTITY_SAME_UNIT = 0,
  IDENTITY_OTHER_SERIAL = 1,
  IDENTITY_OTHER_MODEL = 2,
  IDENTITY_UNREADABLE = -1,  // the information memory holds no identity
  IDENTITY_NO_READ = -2,     // the information memory cannot be read
};

// Reads the information memory into a buffer of its own and compares its
// identity with the record. `serial` receives the unit's serial unless the
// result is negative.
int CheckUnitIdentity(link::CUnitMemory& memory, const CONFIG_RECORD& record, std::int32_t& serial);

struct WRITE_RUN {
  int unitsWritten = 0;       // verified and logged
  std::string failure;        // the text of the step that failed, empty when none
  bool checksFailed = false;  // stopped by a value check before any unit was touched
};

// The whole run, from the value checks to the upload. `writeInProgress` is
// the process-wide guard against a second run started from a modal box.
WRITE_RUN WriteToUnit(WRITE_CONTEXT& context, IWriteView& view, bool& writeInProgress);

}  // namespace tolvane::config
