// write-config: the production line's way of configuring units. A
// configuration file is read as the form opens it, checked as the form checks
// it, and written into the connected unit with the same procedure (identity
// check, page image, write, verify, decode, log lines). With --series the
// program then waits for the next unit with another serial and writes it
// too, until it is interrupted.
#include <csignal>
#include <cstdio>
#include <ctime>
#include <memory>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/CliTank.h"
#include "app/cli/Commands.h"
#include "app/cli/InterruptGate.h"
#include "app/cli/UploadQueue.h"
#include "common/CheckedFormat.h"
#include "config/ConfigFile.h"
#include "config/PageMapping.h"
#include "config/Selection.h"
#include "config/WriteToUnit.h"
#include "geometry/Structures.h"

namespace tolvane::cli {
namespace {

using namespace tolvane::config;

// The command line's side of a write run: one line per unit written, and a
// wait for the next unit instead of a question.
class CliWriteView final : public IWriteView {
 public:
  CliWriteView(CProgramCore& core, bool series, CInterruptGate& gate) : core_(core), series_(series), gate_(gate) {}

  void ShowValues() override {}
  void ClearFileName() override {}
  void SetWritePushed(bool) override {}
  void ShowIdentity() override {}
  void ShowDecoded() override {}
  void CloseBusy() override {}

  bool NextUnit() override {
    std::printf("written: %s serial %d\n", core_.record.modelName.c_str(), core_.record.serialNumber);
    std::fflush(stdout);
    if (!series_) {
      return false;
    }
    std::fprintf(stderr, "Connect the next unit (Ctrl+C ends the series).\n");
    // Until a unit with another serial (or of another model, which the run
    // then reports) answers.
    while (!gate_.Wait(500)) {
      std::int32_t serial = 0;
      const int identity = CheckUnitIdentity(core_.memory, core_.record, serial);
      if (identity == IDENTITY_OTHER_SERIAL || identity == IDENTITY_OTHER_MODEL) {
        return true;
      }
    }
    return false;
  }

 private:
  CProgramCore& core_;
  bool series_;
  CInterruptGate& gate_;
};

int RunWriteConfig(const std::string& file, const std::string& adapter, bool series, bool acceptWarnings) {
  CInterruptGate gate;
  CliCore cli(false, acceptWarnings ? RESULT_YES : RESULT_NO);
  if (const int rc = cli.StartWithUnit(adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  const MODEL_DEFINITION& model = core.tables.model;
  CONFIG_RECORD& record = core.record;

  // As the form: the unit's own configuration first, then the file over it;
  // but only what the file itself supplies counts as the configuration.
  record.unitsIndex = 0;
  record.lastLinearUnits = 0;
  CONFIG_NONLINEAR nonLinear;
  CONFIG_STATUS status;
  DecodeUnit(core, record, nonLinear.page, status);
  CConsoleMessages fileMessages;
  if (!LoadTankUnitsOrSay(core, file)) {
    return 2;
  }
  const int read =
      ReadCompleteConfigFile(file, model, record, nonLinear, fileMessages, core.language, core.settings.languageNumber);
  if (read == READ_CONFIG_INCOMPLETE) {
    std::fprintf(stderr,
                 "error: %s does not hold a complete configuration of its own (a valid configuration, the sensor "
                 "and fill heights and every level it uses); nothing was written\n",
                 file.c_str());
    return 2;
  }
  if (read != READ_CONFIG_OK) {
    std::fprintf(stderr, "error: %s\n", core.Text("ERROR_MESSAGE53").c_str());
    return 2;
  }
  // Levels saved in volume units reach the unit through the file's tank
  // table, computed as the form computes it when it opens the file.
  CliTank tank;
  if (record.volumeUnits && tank.Calculate(core, nonLinear) != 0) {
    std::fprintf(stderr,
                 "error: %s shows its levels in volume units, and the table of its tank shape cannot be "
                 "computed; nothing was written\n",
                 file.c_str());
    return 2;
  }
  EvaluateConfiguration(model, record, false);
  UpdateCompleteness(model, record);
  if (!record.valid || !record.complete) {
    std::fprintf(stderr, "error: %s\n", core.Text("ERROR_MESSAGE55").c_str());
    return 2;
  }

  CNoBusyWindow busy;
  RealClock clock;
  CConsoleErrors uploadErrors;
  net::UPLOAD_CONTEXT uploadContext{core.tables.program, core.folders,           core.language, core.settings,
                                    core.store,          core.services.messages, uploadErrors,  clock};
  uploadContext.log = &core.log;
  net::CUploadServer server(net::kAgentWrite, uploadContext);
  cli::CServerUploadQueue upload(server);
  CliWriteView view(core, series, gate);
  WRITE_CONTEXT context{model,
                        record,
                        nonLinear,
                        core.memory,
                        core.log,
                        core.language,
                        core.settings,
                        core.services.messages,
                        core.services.errors,
                        busy,
                        nullptr,
                        upload};
  context.volume = tank.Volume();
  bool inProgress = false;
  const WRITE_RUN run = WriteToUnit(context, view, inProgress);
  if (!run.failure.empty() || run.checksFailed) {
    return 1;
  }
  return run.unitsWritten > 0 ? 0 : 1;
}

}  // namespace

CommandRunner AddWriteCommands(CLI::App& app) {
  struct Options {
    std::string file;
    std::string adapter;
    bool series = false;
    bool acceptWarnings = false;
  };
  auto o = std::make_shared<Options>();
  auto* write = app.add_subcommand("write-config", "Write a configuration file into the connected unit and verify it");
  write->add_option("FILE", o->file, "Configuration file")->required()->check(CLI::ExistingFile);
  write->add_option("--adapter", o->adapter, "Adapter description (when there are several)");
  write->add_flag("--series", o->series,
                  "After each unit, wait for the next one with another serial and write it too, until interrupted");
  write->add_flag("--accept-warnings", o->acceptWarnings,
                  "Write although a level passes a neighbouring level of the other kind");
  return [write, o]() -> std::optional<int> {
    if (!write->parsed()) {
      return std::nullopt;
    }
    return RunWriteConfig(o->file, o->adapter, o->series, o->acceptWarnings);
  };
}

}  // namespace tolvane::cli
