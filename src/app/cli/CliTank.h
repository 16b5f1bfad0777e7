// Levels shown in volume units need the strapping table of the tank shape
// they were entered for. The command line computes it as the form does when
// it opens a configuration file: the shape's structure-definition file, the
// dimensions, and the calculation component, without dialogs.
#pragma once

#include <filesystem>
#include <memory>

#include "config/ConfigFile.h"
#include "geometry/NonLinearData.h"
#include "shell/ProgramCore.h"

namespace tolvane::cli {

class CliTank {
 public:
  // The table for the tank shape and dimensions of `state`. 0 when it was
  // computed; otherwise what went wrong has been printed and the result is
  // the calculation's failure (CALC_* or CALC_UNDEFINED_TYPE).
  int Calculate(CProgramCore& core, const config::CONFIG_NONLINEAR& state);

  // The conversion of levels in volume units through the computed table;
  // null before a successful Calculate.
  const config::IVolumeLevels* Volume() const { return volume_.get(); }

  geometry::CNonLinearData data;

 private:
  std::unique_ptr<geometry::CVolumeLevels> volume_;
};

// Before a configuration file is read: the volume units of the tank shape it
// switches on. False, with the reason printed, when no structure file
// defines that shape: its levels might be volumes that would otherwise be
// taken for lengths.
bool LoadTankUnitsOrSay(CProgramCore& core, const std::filesystem::path& file);

}  // namespace tolvane::cli
