#include "app/cli/CliTank.h"

#include <cstdio>
#include <optional>

#include "app/cli/CliCommon.h"
#include "common/Clock.h"
#include "config/ConfigFile.h"
#include "geometry/Structures.h"

namespace tolvane::cli {
int CliTank::Calculate(CProgramCore& core, const config::CONFIG_NONLINEAR& state) {
  volume_.reset();
  data = geometry::CNonLinearData();
  data.FromConfig(state);
  if (state.structureType < 0) {
    std::fprintf(stderr, "error: the levels are in volume units but no tank shape is chosen\n");
    return geometry::CALC_UNDEFINED_TYPE;
  }
  geometry::CComponentLoader loader(core.folders.components);
  geometry::CNoBusyWindows busy;
  CConsoleMessages messages;
  RealClock clock;
  const geometry::CALCULATE_CONTEXT context{loader, busy, messages, core.language, core.settings.languageNumber,
                                            clock,  false};
  const int rc = geometry::RecalculateNonLinear(core.models, core.tables, data, context, 1.0, nullptr);
  if (rc != 0) {
    if (rc == geometry::CALC_NO_COMPONENT) {
      std::fprintf(stderr, "error: the calculation component could not be created from %s\n",
                   core.folders.components.c_str());
    } else if (rc != geometry::CALC_UNDEFINED_TYPE) {
      std::fprintf(stderr, "error: the strapping table of tank shape %d cannot be computed (%d)\n",
                   static_cast<int>(state.structureType), rc);
    }
    return rc;
  }
  // Levels in volume units convert only while non-linear is on.
  data.SetOn(true);
  volume_ = std::make_unique<geometry::CVolumeLevels>(data, core.tables.model);
  return 0;
}

bool LoadTankUnitsOrSay(CProgramCore& core, const std::filesystem::path& file) {
  const std::optional<std::int32_t> shape = config::FileTankShape(file);
  if (shape && !geometry::LoadTankShapeUnits(core.models, core.tables, *shape)) {
    std::fprintf(stderr, "error: %s switches on tank shape %d, which no tank structure file defines\n", file.c_str(),
                 static_cast<int>(*shape));
    return false;
  }
  return true;
}

}  // namespace tolvane::cli
