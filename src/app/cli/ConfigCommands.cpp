// Configuration commands: what the unit's Customer page holds, read with the
// unit's model, listed or written as a configuration file, and compared with
// a configuration file.
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "app/cli/CliCore.h"
#include "app/cli/CliTank.h"
#include "app/cli/Commands.h"
#include "common/CheckedFormat.h"
#include "config/ConfigFile.h"
#include "config/ConfigValues.h"
#include "config/PageMapping.h"
#include "config/Selection.h"
#include "geometry/Structures.h"

namespace tolvane::cli {
namespace {

using namespace tolvane::config;

std::string ShownValue(double v) { return v < 0.0 ? std::string("(not set)") : FormatValue(v); }

// The model's length units, or its volume units.
std::span<const std::string> UnitNames(const MODEL_DEFINITION& model, bool volume) {
  const std::int32_t count = std::clamp(volume ? model.volumeUnitsCount : model.unitsCount, 0, kMaxUnits);
  const auto& names = volume ? model.volumeUnitNames : model.unitNames;
  return {names.data(), static_cast<std::size_t>(count)};
}

std::string UnitsName(const MODEL_DEFINITION& model, std::int32_t index, bool volume) {
  const std::span<const std::string> names = UnitNames(model, volume);
  return index >= 0 && static_cast<std::size_t>(index) < names.size() ? names[static_cast<std::size_t>(index)]
                                                                      : std::string("?");
}

std::optional<std::int32_t> UnitIndex(const MODEL_DEFINITION& model, const std::string& name, bool volume) {
  const std::span<const std::string> names = UnitNames(model, volume);
  const auto at = std::find(names.begin(), names.end(), name);
  return at == names.end() ? std::nullopt : std::optional<std::int32_t>(static_cast<std::int32_t>(at - names.begin()));
}

void PrintConfiguration(const MODEL_DEFINITION& model, const CONFIG_RECORD& r, const CONFIG_STATUS& status,
                        const CProgramCore& core, const NONLINEAR_PAGE& nl, const CliTank* tank) {
  const std::string units = UnitsName(model, r.unitsIndex, r.volumeUnits);
  const std::string heightUnits = UnitsName(model, r.volumeUnits ? r.lastLinearUnits : r.unitsIndex, false);
  std::printf("Unit:           %s serial %d\n", r.modelName.c_str(), r.serialNumber);
  std::printf("Model file:     %s (revision %s)\n", r.modelFileName.c_str(), r.modelFileRevision.c_str());
  std::printf("Configuration:  %s\n", StatusText(status, core.language, core.settings.languageNumber).c_str());
  for (int i = 0; i < kMaxItems; ++i) {
    const CONFIG_ITEM& item = model.items[static_cast<std::size_t>(i)];
    if (!item.present) {
      continue;
    }
    const std::int32_t s = r.selection[static_cast<std::size_t>(i)];
    const std::string text = s >= 0 && s < OptionSlots(item) ? item.optionText[static_cast<std::size_t>(s)] : "?";
    std::printf("  %-22s %s\n", (item.label + ":").c_str(), text.c_str());
  }
  std::printf("Units:          %s\n", units.c_str());
  if (r.volumeUnits) {
    std::printf("Sensor height:  %s %s\n", ShownValue(r.sensorHeight).c_str(), heightUnits.c_str());
    std::printf("Fill height:    %s %s\n", ShownValue(r.fillHeight).c_str(), heightUnits.c_str());
  } else {
    std::printf("Sensor height:  %s\n", ShownValue(r.sensorHeight).c_str());
    std::printf("Fill height:    %s\n", ShownValue(r.fillHeight).c_str());
  }
  if (const CONFIGURATION_ENTRY* c = ConfigurationAt(model, r.configIndex)) {
    // Highest row first, as the form shows them.
    for (int k = kLevelRows - 1; k >= 0; --k) {
      const auto row = static_cast<std::size_t>(k);
      if (c->levelWord[row] > 0) {
        std::printf("  %-22s %s\n", (c->levelLabel[row] + ":").c_str(), ShownValue(r.level[row]).c_str());
      }
    }
  }
  const int advanced = AdvancedSlots(model);
  bool heading = false;
  for (int a = 0; a < advanced; ++a) {
    const ADVANCED_ENTRY& e = model.advanced[static_cast<std::size_t>(a)];
    const ADVANCED_SLOT& slot = r.advanced[static_cast<std::size_t>(a)];
    if (e.label.empty() || !slot.present) {
      continue;
    }
    if (!heading) {
      std::printf("Advanced:\n");
      heading = true;
    }
    const std::string value = slot.value >= 0.0 ? Format("%.0f", slot.value) : std::string("on");
    std::printf("  %-22s %s\n", (e.label + ":").c_str(), value.c_str());
  }
  std::printf("Notes:          %s\n", r.tankDescription.c_str());
  if (tank != nullptr) {
    std::printf("Tank shape:     type %d, %s\n", static_cast<int>(tank->data.structureType),
                tank->data.curveCaption.c_str());
  }
  const bool dimensions = std::any_of(nl.dimensions.begin(), nl.dimensions.end(), [](float d) { return d != 0.0f; });
  if (nl.dimensionUnit != 0 || dimensions) {
    std::string list;
    for (const float d : nl.dimensions) {
      list += (list.empty() ? "" : ", ") + FormatValue(static_cast<double>(d));
    }
    std::printf("Tank dimensions: %s (dimension unit %u)\n", list.c_str(), static_cast<unsigned>(nl.dimensionUnit));
  }
}

int RunReadConfig(const std::string& adapter, const std::string& unitsName, const std::string& output, int tankType) {
  CliCore cli;
  if (const int rc = cli.StartWithUnit(adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  const MODEL_DEFINITION& model = core.tables.model;
  CONFIG_RECORD& record = core.record;
  record.unitsIndex = 0;
  // The units: as asked, else the preferred units of the settings; with a
  // tank shape, the name may be one of the model's volume units.
  const std::string wanted = unitsName.empty() ? core.settings.prefUnits : unitsName;
  const std::optional<std::int32_t> linearUnit = UnitIndex(model, wanted, false);
  const bool found = linearUnit.has_value();
  record.unitsIndex = linearUnit.value_or(0);
  if (!unitsName.empty() && !found && tankType < 0) {
    std::fprintf(stderr, "error: the model has no units \"%s\" (volume units need --tank-type)\n", unitsName.c_str());
    return 2;
  }
  record.lastLinearUnits = record.unitsIndex;

  CONFIG_STATUS status;
  NONLINEAR_PAGE nl;
  int decoded = DecodeUnit(core, record, nl, status);
  // The unit keeps the tank's dimensions but not its shape: with the shape
  // named, the table is computed from the unit's dimensions, and the levels
  // can be shown in one of the shape's volume units.
  CliTank tank;
  CONFIG_NONLINEAR state;
  state.page = nl;
  if (tankType >= 0) {
    state.on = true;
    state.structureType = tankType;
    if (tank.Calculate(core, state) != 0) {
      return 2;
    }
    const std::optional<std::int32_t> volumeUnit = found ? std::nullopt : UnitIndex(model, unitsName, true);
    if (!unitsName.empty() && !found && !volumeUnit) {
      std::fprintf(stderr, "error: neither the model nor tank shape %d has units \"%s\"\n", tankType,
                   unitsName.c_str());
      return 2;
    }
    if (volumeUnit) {
      record.volumeUnits = true;
      record.unitsIndex = *volumeUnit;
      decoded = DecodeUnit(core, record, nl, status, tank.Volume());
    }
  }
  if (output.empty()) {
    PrintConfiguration(model, record, status, core, nl, tankType >= 0 ? &tank : nullptr);
  }
  if (!record.valid) {
    // What the unit holds is not a configuration of its model: say so, so
    // that a script does not take the listing for a good unit (and no file
    // is written that the form could not have saved).
    std::fprintf(stderr, "error: %s\n", StatusText(status, core.language, core.settings.languageNumber).c_str());
    return 1;
  }
  if (decoded != 0) {
    std::fprintf(stderr, "error: %s\n", Format(core.Text("ERROR_MESSAGE6"), decoded).c_str());
    return 1;
  }
  if (!output.empty()) {
    // Without --tank-type the unit's non-linear state is off, as at form
    // start.
    if (!WriteConfigFile(output, model, record, state)) {
      std::fprintf(stderr, "error: %s\n       %s\n", Format(core.Text("ERROR_MESSAGE57"), 1).c_str(), output.c_str());
      return 2;
    }
  }
  return 0;
}

// Exit statuses of diff.
enum : int {
  DIFF_AGREE = 0,
  DIFF_DIFFERENT = 1,
  DIFF_FILE_ERROR = 2,  // the file cannot be read, belongs to another model, or cannot be compared
  DIFF_NO_MODEL = 3,    // no model file for the unit
  DIFF_UNIT_ERROR = 4,  // the program could not start, or the unit could not be found or read
};

int RunDiff(const std::string& adapter, const std::string& file) {
  CliCore cli;
  if (const int rc = cli.StartWithUnit(adapter); rc != 0) {
    return rc == 3 ? DIFF_NO_MODEL : DIFF_UNIT_ERROR;
  }
  CProgramCore& core = cli.core();
  const MODEL_DEFINITION& model = core.tables.model;
  const int language = core.settings.languageNumber;

  // The file, read as Open reads it into a form that holds nothing yet, so
  // that a line the file lacks shows as a difference.
  CONFIG_RECORD fromFile = core.record;
  StartSelections(model, fromFile);
  CONFIG_NONLINEAR fileState;
  if (!LoadTankUnitsOrSay(core, file)) {
    return DIFF_FILE_ERROR;
  }
  switch (ReadConfigFile(file, model, fromFile, fileState, core.services.messages, core.language, language)) {
    case READ_CONFIG_OK:
      break;
    case READ_CONFIG_OTHER_MODEL:
      return DIFF_FILE_ERROR;  // the message has been printed
    default:
      std::fprintf(stderr, "error: %s\n       %s\n", core.Text("ERROR_MESSAGE53").c_str(), file.c_str());
      return DIFF_FILE_ERROR;
  }
  // Levels in volume units are compared through the file's tank table: the
  // unit's levels are shown in the file's volume unit.
  CliTank tank;
  if (fromFile.volumeUnits && tank.Calculate(core, fileState) != 0) {
    std::fprintf(stderr,
                 "error: the file shows its levels in volume units, and the table of its tank shape cannot be "
                 "computed\n");
    return DIFF_FILE_ERROR;
  }
  if (const config::IVolumeLevels* volume = tank.Volume()) {
    // A volume reaches the unit as the level count nearest to it: the file
    // agrees with the unit when it gives the count the unit holds.
    for (double& level : fromFile.level) {
      if (level >= 0.0) {
        if (const auto counts = volume->ToCounts(fromFile.unitsIndex, level)) {
          level = volume->FromCounts(fromFile.unitsIndex, *counts).value_or(level);
        }
      }
    }
  }

  // The unit, decoded in the file's units. Its page keeps no non-linear
  // state or structure type: those are the file's, so only the dimensions
  // are compared.
  CONFIG_RECORD fromUnit = core.record;
  fromUnit.unitsIndex = fromFile.unitsIndex;
  fromUnit.lastLinearUnits = fromFile.volumeUnits ? fromFile.lastLinearUnits : fromFile.unitsIndex;
  fromUnit.volumeUnits = fromFile.volumeUnits;
  CONFIG_NONLINEAR unitState;
  CONFIG_STATUS status;
  DecodeUnit(core, fromUnit, unitState.page, status, tank.Volume());
  unitState.on = fileState.on;
  unitState.structureType = fileState.structureType;

  const std::vector<CONFIG_DIFFERENCE> diffs = DiffConfigurations(model, fromFile, fileState, fromUnit, unitState);
  for (const CONFIG_DIFFERENCE& d : diffs) {
    std::printf("%s: file \"%s\", unit \"%s\"\n", d.field.c_str(), d.fileValue.c_str(), d.unitValue.c_str());
  }
  return diffs.empty() ? DIFF_AGREE : DIFF_DIFFERENT;
}

}  // namespace

CommandRunner AddConfigCommands(CLI::App& app) {
  struct Options {
    std::string adapter;
    std::string units;
    std::string output;
    std::string file;
    int tankType = -1;
  };
  auto o = std::make_shared<Options>();
  auto* read = app.add_subcommand("read-config", "Print the configuration the unit holds, read with its model");
  read->add_option("--adapter", o->adapter, "Adapter description (when there are several)");
  read->add_option("--units", o->units,
                   "Units to show heights and levels in (a UNITS name of the model; with --tank-type also a volume "
                   "unit, for the levels)");
  read->add_option("--tank-type", o->tankType,
                   "The tank shape the unit's dimensions belong to (see tank shapes): shows its strapping table's "
                   "caption and allows levels in volume units; -o then saves the shape with the file")
      ->check(CLI::Range(0, 0x7FFF));
  read->add_option("-o,--output", o->output,
                   "Write the configuration as a configuration file (UTF-16, as the program saves it) instead "
                   "of listing it; nothing is written when the unit holds no valid, complete configuration");

  auto* diff = app.add_subcommand(
      "diff",
      "Compare a configuration file with the unit's configuration, field by field in the file's units. Exit "
      "status: 0 they agree, 1 they differ, 2 the file cannot be read or belongs to another model, 3 no model "
      "file for the unit, 4 the unit cannot be found or read");
  diff->add_option("FILE", o->file, "Configuration file")->required();
  diff->add_option("--adapter", o->adapter, "Adapter description (when there are several)");

  return [read, diff, o]() -> std::optional<int> {
    if (read->parsed()) {
      return RunReadConfig(o->adapter, o->units, o->output, o->tankType);
    }
    if (diff->parsed()) {
      return RunDiff(o->adapter, o->file);
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
