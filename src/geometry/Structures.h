// The structure files of the non-linear picker as the record uses them: the
// picker pages a model offers, the structure-definition file of a type, the
// dimension factor, the repeated calculation at form start, and the
// strapping table written out for the people who commission the tank.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "defs/ModelFile.h"
#include "geometry/NonLinearData.h"

namespace tolvane::geometry {

// The number of picker tabs: the NONLINEAR entries, at most 10.
int PickerTabCount(const MODEL_DEFINITION& model);

// One shape a picker page offers.
struct SHAPE_CHOICE {
  std::string tabTitle;
  std::string picture;
  std::string caption;
  std::int16_t type = -1;
};

// Loads the structure-page file `name` (ResetStructure first): true when it
// was found. Its pictures are in tables.structurePage, their types in
// tables.model.structureTypes.
bool LoadStructurePage(CModelFile& models, const std::string& name);

// Every shape of every tab of the configuration model, in tab order. The
// structure-page files are loaded over the tables, so this is meant for a
// catalogue of its own (the command line), not for the form's.
std::vector<SHAPE_CHOICE> ListShapes(CModelFile& models, MODEL_TABLES& tables);

// Finds the structure-definition file of `type` (a file of the model family
// whose NLTYPEID list holds it), loads it over the tables (the picker page's
// and the dimension form's tables emptied first), takes CLSID and
// IID into the record and sets the selection code from SELECTID (unchanged
// when no entry matches). False when no file defines the type; the record
// is not changed then.
bool LoadStructureDefinition(CModelFile& models, const MODEL_TABLES& tables, std::int16_t type, CNonLinearData& data);

// Before a configuration file is read: loads the structure-definition file
// of the tank shape `type` the file switches on (config::FileTankShape) over
// the tables, so that the shape's volume units are known when the file's
// UNITS line names one of them. False when no file defines that shape (the
// tables are not changed then).
bool LoadTankShapeUnits(CModelFile& models, const MODEL_TABLES& tables, std::int32_t type);

// Raw level units per dimension unit for `unit`: DIMUNITCONV[unit] × TPF with
// a unit window and a unit below the number of factors, else TPF.
double DimensionFactor(const DIMENSION_LAYOUT& layout, int unit, double tpf);

// The heights a successful calculation sets, in the form's height unit.
struct STRUCTURE_HEIGHTS {
  double fillHeight = -1.0;
  double sensorHeight = -1.0;
};
STRUCTURE_HEIGHTS HeightsFromResults(const CNonLinearData& data, double heightFactor);

// The calculation for the record's structure type and dimensions without any
// dialog: 0 when the structure type is -1 or the calculation ran (then
// `heights` holds the new heights), CALC_* otherwise, and
// CALC_UNDEFINED_TYPE when no structure-definition file defines the type.
inline constexpr int CALC_UNDEFINED_TYPE = -5;
int RecalculateNonLinear(CModelFile& models, MODEL_TABLES& tables, CNonLinearData& data,
                         const CALCULATE_CONTEXT& context, double heightFactor, STRUCTURE_HEIGHTS* heights);

// One row of the strapping table: level in the dimension unit, volume in the
// chosen volume unit (the record's display unit).
struct STRAPPING_ROW {
  double level = 0.0;
  double volume = 0.0;
};
std::vector<STRAPPING_ROW> StrappingTable(const CNonLinearData& data);
// The rows as CSV: a header row, one row per table point, '.' decimals
// whatever the locale, CR LF-free ("\n" line ends).
std::string StrappingCsv(const CNonLinearData& data, const std::string& levelUnit, const std::string& volumeUnit);

}  // namespace tolvane::geometry
