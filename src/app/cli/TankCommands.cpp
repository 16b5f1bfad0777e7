// tolvane-cli tank ...: the tank shapes a model offers, and the strapping
// table of a shape computed headless by the same component and arithmetic
// the configuration form uses.
#include <cstdio>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "app/cli/CliCommon.h"
#include "app/cli/Commands.h"
#include "common/Clock.h"
#include "defs/ModelFile.h"
#include "geometry/Structures.h"

namespace tolvane::cli {
namespace {

struct TankSession {
  TankSession()
      : folders(ProgramFolders()),
        tables(std::make_unique<MODEL_TABLES>()),
        language(folders.models, nullptr, folders.installedModels),
        parser(folders.models, *tables, settings, language, record, nullptr, nullptr, folders.installedModels) {}
  // The corporate model, the language and the configuration model `model`.
  int Load(const std::string& model) {
    parser.ResetModel();
    if (parser.LoadCorporateModel() != 1) {
      std::fprintf(stderr, "error: the corporate model was not found in %s\n", folders.models.c_str());
      return 1;
    }
    language.Load(settings.languageFile.empty() ? LanguageFileName() : settings.languageFile);
    if (parser.LoadModelByName(model, 0) != 1) {
      std::fprintf(stderr, "error: no model file %s\n", model.c_str());
      return 2;
    }
    return 0;
  }
  FOLDERS folders;
  std::unique_ptr<MODEL_TABLES> tables;
  APP_SETTINGS settings;
  CLanguageFile language;
  CONFIG_RECORD record;
  CModelFile parser;
};

// An index into `names` by name (case as written) or by number from 1.
int Pick(const std::string& wanted, const std::array<std::string, kMaxUnits>& names, int count) {
  for (int i = 0; i < count && i < kMaxUnits; ++i) {
    if (names[static_cast<std::size_t>(i)] == wanted) {
      return i;
    }
  }
  try {
    std::size_t used = 0;
    const int n = std::stoi(wanted, &used);
    if (used == wanted.size() && n >= 1 && n <= count) {
      return n - 1;
    }
  } catch (const std::exception&) {
  }
  return -1;
}

int RunShapes(const std::string& model) {
  TankSession s;
  if (const int rc = s.Load(model)) {
    return rc;
  }
  const auto shapes = geometry::ListShapes(s.parser, *s.tables);
  if (shapes.empty()) {
    std::printf("%s offers no tank shapes\n", model.c_str());
    return 0;
  }
  std::printf("%-6s %-16s %s\n", "type", "tab", "shape");
  for (const auto& shape : shapes) {
    std::printf("%-6d %-16s %s\n", shape.type, shape.tabTitle.c_str(), shape.caption.c_str());
  }
  return 0;
}

int RunTable(const std::string& model, int type, const std::vector<double>& dims, const std::string& dimUnit,
             const std::string& volumeUnit, bool csv) {
  TankSession s;
  if (const int rc = s.Load(model)) {
    return rc;
  }
  if (dims.size() > 9) {
    std::fprintf(stderr, "error: at most 9 dimensions\n");
    return 2;
  }
  geometry::CNonLinearData data;
  const double tpf = s.tables->model.baseFactor;
  if (!geometry::LoadStructureDefinition(s.parser, *s.tables, static_cast<std::int16_t>(type), data)) {
    std::fprintf(stderr, "error: no structure file defines the tank shape %d\n", type);
    return 2;
  }
  const DIMENSION_LAYOUT& layout = s.tables->dimensions;
  int unit = 0;
  if (!dimUnit.empty()) {
    unit = Pick(dimUnit, layout.dimUnitNames, layout.dimUnitCount);
    if (unit < 0) {
      std::fprintf(stderr, "error: the shape has no dimension unit %s\n", dimUnit.c_str());
      return 2;
    }
  }
  const MODEL_DEFINITION& m = s.tables->model;
  int volume = 0;
  if (!volumeUnit.empty()) {
    volume = Pick(volumeUnit, m.volumeUnitNames, m.volumeUnitsCount);
    if (volume < 0) {
      std::fprintf(stderr, "error: the shape has no volume unit %s\n", volumeUnit.c_str());
      return 2;
    }
  }
  data.structureType = static_cast<std::int16_t>(type);
  data.dimensionUnit = static_cast<std::uint16_t>(unit);
  data.dimensionFactor = geometry::DimensionFactor(layout, unit, tpf);
  data.baseFactor = tpf;
  for (std::size_t i = 0; i < dims.size(); ++i) {
    data.dimensions[i] = dims[i];
  }
  geometry::CComponentLoader loader(s.folders.components);
  geometry::CNoBusyWindows busy;
  CConsoleMessages messages;
  RealClock clock;
  const geometry::CALCULATE_CONTEXT cx{loader, busy, messages, s.language, s.settings.languageNumber, clock, false};
  const int rc = data.Calculate(cx);
  if (rc != geometry::CALC_OK) {
    if (rc == geometry::CALC_NO_COMPONENT) {
      std::fprintf(stderr, "error: the calculation component could not be created from %s\n",
                   s.folders.components.c_str());
    }
    return 4;
  }
  const double factor = volume < m.volumeConvCount ? m.volumeFactors[static_cast<std::size_t>(volume)] : 1.0;
  if (!data.SetVolumeUnit(factor)) {
    std::fprintf(stderr, "error: the volume unit has no usable factor\n");
    return 2;
  }
  const std::string levelName = layout.dimUnitNames[static_cast<std::size_t>(unit)];
  const std::string volumeName = m.volumeUnitNames[static_cast<std::size_t>(volume)];
  if (csv) {
    std::fputs(geometry::StrappingCsv(data, levelName, volumeName).c_str(), stdout);
    return 0;
  }
  std::printf("%s\n", data.curveCaption.c_str());
  const auto heights = geometry::HeightsFromResults(data, tpf);
  std::printf("fill height %.1f, sensor height %.1f (inches at TPF %.4g); %d points, step %d\n", heights.fillHeight,
              heights.sensorHeight, tpf, data.pointCount, data.step);
  std::printf("%14s  %14s\n", ("level " + levelName).c_str(), volumeName.c_str());
  for (const auto& row : geometry::StrappingTable(data)) {
    std::printf("%14.3f  %14.4f\n", row.level, row.volume);
  }
  return 0;
}

std::vector<double> ParseDims(const std::string& text, bool& ok) {
  std::vector<double> dims;
  std::stringstream in(text);
  std::string item;
  ok = true;
  while (std::getline(in, item, ',')) {
    try {
      std::size_t used = 0;
      dims.push_back(std::stod(item, &used));
      ok = ok && used == item.size();
    } catch (const std::exception&) {
      ok = false;
    }
  }
  return dims;
}

}  // namespace

CommandRunner AddTankCommands(CLI::App& app) {
  struct Options {
    std::string model = "QRModel_QR27";
    int type = -1;
    std::string dims, dimUnit, volumeUnit;
    bool csv = false;
  };
  auto o = std::make_shared<Options>();
  CLI::App* tank = app.add_subcommand("tank", "Tank shapes and their strapping tables");
  tank->require_subcommand(1);
  CLI::App* shapes = tank->add_subcommand("shapes", "List the tank shapes a model offers");
  shapes->add_option("--model", o->model, "Configuration model (base name)");
  CLI::App* table = tank->add_subcommand("table", "Compute the strapping table of a tank shape");
  table->add_option("--model", o->model, "Configuration model (base name)");
  table->add_option("--type", o->type, "Tank shape type (see tank shapes)")->required();
  table->add_option("--dims", o->dims, "Dimensions D0,D1,... in the dimension unit")->required();
  table->add_option("--dim-unit", o->dimUnit, "Dimension unit (name or number from 1)");
  table->add_option("--volume-unit", o->volumeUnit, "Volume unit (name or number from 1)");
  table->add_flag("--csv", o->csv, "Write CSV: a header row, then level and volume per table point");
  return [o, shapes, table]() -> std::optional<int> {
    if (shapes->parsed()) {
      return RunShapes(o->model);
    }
    if (table->parsed()) {
      bool ok = false;
      const auto dims = ParseDims(o->dims, ok);
      if (!ok || dims.empty()) {
        std::fprintf(stderr, "error: --dims takes numbers separated by commas\n");
        return 2;
      }
      return RunTable(o->model, o->type, dims, o->dimUnit, o->volumeUnit, o->csv);
    }
    return std::nullopt;
  };
}

}  // namespace tolvane::cli
