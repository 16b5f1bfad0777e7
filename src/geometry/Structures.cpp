#include "geometry/Structures.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include <fmt/format.h>

#include "common/CheckedFormat.h"

namespace tolvane::geometry {

int PickerTabCount(const MODEL_DEFINITION& model) { return std::clamp(model.nonLinearCount, 0, kMaxNonLinearFiles); }

bool LoadStructurePage(CModelFile& models, const std::string& name) {
  models.ResetStructure();
  return models.LoadModelByName(name, 0) == 1;
}

std::vector<SHAPE_CHOICE> ListShapes(CModelFile& models, MODEL_TABLES& tables) {
  std::vector<SHAPE_CHOICE> shapes;
  const MODEL_DEFINITION model = tables.model;  // the page files overwrite the types
  for (int t = 0; t < PickerTabCount(model); ++t) {
    if (!LoadStructurePage(models, model.nonLinearFiles[static_cast<std::size_t>(t)])) {
      continue;
    }
    const STRUCTURE_PAGE& page = tables.structurePage;
    for (int i = 0; i < std::min(page.pictureCount, kMaxPictures); ++i) {
      const auto s = static_cast<std::size_t>(i);
      shapes.push_back({page.tabTitle, page.pictureFiles[s], page.pictureCaptions[s], tables.model.structureTypes[s]});
    }
  }
  return shapes;
}

bool LoadStructureDefinition(CModelFile& models, const MODEL_TABLES& tables, std::int16_t type, CNonLinearData& data) {
  std::string name;
  if (type < 0 || models.FindModel(tables.program.modelId, "NLTYPEID", Format("%d", type), 0, name) != 1) {
    return false;
  }
  // The dimension lists start empty: a file loaded twice would otherwise
  // append its units after its own.
  models.ResetStructure();
  if (models.LoadModelByName(name, 0) != 1) {
    return false;
  }
  const MODEL_DEFINITION& m = tables.model;
  data.clsid = m.clsid;
  data.iid = m.iid;
  const int n = std::clamp(std::min(m.definedTypeLast + 1, m.selectIdLast + 1), 0, kMaxStructureTypes);
  for (int i = 0; i < n; ++i) {
    if (m.definedTypes[static_cast<std::size_t>(i)] == type) {
      data.selectionCode = m.selectIds[static_cast<std::size_t>(i)];
      break;
    }
  }
  return true;
}

double DimensionFactor(const DIMENSION_LAYOUT& layout, int unit, double tpf) {
  if (layout.unitWindow && unit >= 0 && unit < std::min(layout.dimFactorCount, kMaxUnits)) {
    return layout.dimFactors[static_cast<std::size_t>(unit)] * tpf;
  }
  return tpf;
}

STRUCTURE_HEIGHTS HeightsFromResults(const CNonLinearData& data, double heightFactor) {
  return {HeightFromResult(data.results[kFillHeightResult], heightFactor),
          HeightFromResult(data.results[kSensorHeightResult], heightFactor)};
}

bool LoadTankShapeUnits(CModelFile& models, const MODEL_TABLES& tables, std::int32_t type) {
  if (type < 0 || type > std::numeric_limits<std::int16_t>::max()) {
    return false;
  }
  CNonLinearData scratch;
  return LoadStructureDefinition(models, tables, static_cast<std::int16_t>(type), scratch);
}

int RecalculateNonLinear(CModelFile& models, MODEL_TABLES& tables, CNonLinearData& data,
                         const CALCULATE_CONTEXT& context, double heightFactor, STRUCTURE_HEIGHTS* heights) {
  if (data.structureType == -1) {
    return 0;
  }
  if (!LoadStructureDefinition(models, tables, data.structureType, data)) {
    context.messages.Show(
        Format(context.language.Text("TANK_MESSAGE2", context.languageNumber), static_cast<int>(data.structureType)),
        MB_ERROR);
    return CALC_UNDEFINED_TYPE;
  }
  const double tpf = tables.model.baseFactor;
  data.dimensionFactor = DimensionFactor(tables.dimensions, data.dimensionUnit, tpf);
  data.baseFactor = tpf;
  const int rc = data.Calculate(context);
  if (rc != 0) {
    return rc;
  }
  if (heights != nullptr) {
    *heights = HeightsFromResults(data, heightFactor);
  }
  return 0;
}

std::vector<STRAPPING_ROW> StrappingTable(const CNonLinearData& data) {
  std::vector<STRAPPING_ROW> rows;
  const int n = std::min<int>(data.pointCount, kTablePoints);
  for (int i = 0; i < n; ++i) {
    const auto raw = static_cast<std::uint16_t>(std::min(i * data.step, 0xFFFF));
    const double level = data.RawLevelToLevel(raw, data.dimensionFactor, 1.0);
    rows.push_back({level, data.RawToVolume(data.table[static_cast<std::size_t>(i)], true)});
  }
  return rows;
}

namespace {
std::string CsvField(const std::string& s) {
  std::string q = "\"";
  for (const char c : s) {
    q += c == '"' ? std::string("\"\"") : std::string(1, c < 32 ? ' ' : c);
  }
  return q + "\"";
}
}  // namespace

std::string StrappingCsv(const CNonLinearData& data, const std::string& levelUnit, const std::string& volumeUnit) {
  std::string t = CsvField("Level (" + levelUnit + ")") + "," + CsvField("Volume (" + volumeUnit + ")") + "\n";
  for (const STRAPPING_ROW& r : StrappingTable(data)) {
    // fmt formats without the locale: '.' decimals everywhere.
    t += fmt::format("{:.3f},{:.4f}\n", r.level, r.volume);
  }
  return t;
}

}  // namespace tolvane::geometry
