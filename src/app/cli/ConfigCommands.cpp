// Configuration commands: what the unit's Customer page holds, read with the
// unit's model.
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"
#include "common/CheckedFormat.h"
#include "config/ConfigValues.h"
#include "config/PageMapping.h"
#include "config/Selection.h"

namespace tolvane::cli {
namespace {

using namespace tolvane::config;

std::string ShownValue(double v) { return v < 0.0 ? std::string("(not set)") : FormatValue(v); }

void PrintConfiguration(const MODEL_DEFINITION& model, const CONFIG_RECORD& r, const CONFIG_STATUS& status,
                        const CProgramCore& core, const NONLINEAR_PAGE& nl) {
  const std::string units = r.unitsIndex >= 0 && r.unitsIndex < model.unitsCount
                                ? model.unitNames[static_cast<std::size_t>(r.unitsIndex)]
                                : std::string("?");
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
  std::printf("Sensor height:  %s\n", ShownValue(r.sensorHeight).c_str());
  std::printf("Fill height:    %s\n", ShownValue(r.fillHeight).c_str());
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
  if (nl.dimensionUnit != 0) {
    std::printf("Tank shape:     dimension unit %u\n", static_cast<unsigned>(nl.dimensionUnit));
  }
}

int RunReadConfig(const std::string& adapter, const std::string& unitsName) {
  CliCore cli;
  if (const int rc = cli.Start(); rc != 0) {
    return rc;
  }
  if (const int rc = cli.SelectAdapter(adapter); rc != 0) {
    return rc;
  }
  CProgramCore& core = cli.core();
  IDENTIFY_RESULT result;
  if (core.IdentifyUnit(false, nullptr, result) != 1) {
    if (result.modelMissing) {
      std::fprintf(stderr, "error: %s%s\n", core.Text("ERROR_MESSAGE117").c_str(),
                   Format(core.Text("ERROR_MESSAGE119"), result.hardwareType, result.modelName).c_str());
      return 3;
    }
    return 1;  // the read error has been printed
  }
  const MODEL_DEFINITION& model = core.tables.model;
  CONFIG_RECORD& record = core.record;
  record.unitsIndex = 0;
  // The units: as asked, else the preferred units of the settings.
  const std::string wanted = unitsName.empty() ? core.settings.prefUnits : unitsName;
  for (std::int32_t u = 0; u < model.unitsCount && u < kMaxUnits; ++u) {
    if (model.unitNames[static_cast<std::size_t>(u)] == wanted) {
      record.unitsIndex = u;
    }
  }
  if (!unitsName.empty() && model.unitNames[static_cast<std::size_t>(record.unitsIndex)] != unitsName) {
    std::fprintf(stderr, "error: the model has no units \"%s\"\n", unitsName.c_str());
    return 2;
  }
  record.lastLinearUnits = record.unitsIndex;

  StartSelections(model, record);
  PageBytes page{};
  const link::PageImage& cached = core.memory.Page(link::PAGE_CUSTOMER);
  std::copy(cached.begin(), cached.end(), page.begin());
  NONLINEAR_PAGE nl;
  const int decoded = DecodeFromPage(model, record, nl, page);
  const CONFIG_STATUS status = EvaluateConfiguration(model, record, false);
  UpdateCompleteness(model, record);
  PrintConfiguration(model, record, status, core, nl);
  if (!record.valid) {
    // What the unit holds is not a configuration of its model: say so, so
    // that a script does not take the listing for a good unit.
    std::fprintf(stderr, "error: %s\n", StatusText(status, core.language, core.settings.languageNumber).c_str());
    return 1;
  }
  if (decoded != 0) {
    std::fprintf(stderr, "error: %s\n", Format(core.Text("ERROR_MESSAGE6"), decoded).c_str());
    return 1;
  }
  return 0;
}

}  // namespace

CommandRunner AddConfigCommands(CLI::App& app) {
  struct Options {
    std::string adapter;
    std::string units;
  };
  auto o = std::make_shared<Options>();
  auto* read = app.add_subcommand("read-config", "Print the configuration the unit holds, read with its model");
  read->add_option("--adapter", o->adapter, "Adapter description (when there are several)");
  read->add_option("--units", o->units, "Units to show heights and levels in (a UNITS name of the model)");

  return [read, o]() -> std::optional<int> {
    if (!read->parsed()) {
      return std::nullopt;
    }
    return RunReadConfig(o->adapter, o->units);
  };
}

}  // namespace tolvane::cli
