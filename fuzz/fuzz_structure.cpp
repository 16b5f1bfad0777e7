// Arbitrary bytes as a structure file (picker page or structure definition)
// through the model parser, then as the record takes them: the identifiers,
// the dimension factor of every unit, and the dimensions read from the bytes
// fed to the tank shapes. The tables stay within their capacity, a refused
// shape says why, and a table that is made never goes down.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <string>

#include "defs/ModelFile.h"
#include "geometry/ClassId.h"
#include "geometry/Structures.h"
#include "geometry/TankShapes.h"

namespace {
void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane;
  auto tables = std::make_unique<MODEL_TABLES>();
  APP_SETTINGS settings;
  const CLanguageFile language("/nonexistent", nullptr);
  CONFIG_RECORD record;
  CModelFile parser("/nonexistent", *tables, settings, language, record);
  parser.ResetModel();
  parser.ResetStructure();
  const std::string text(reinterpret_cast<const char*>(data), size);
  parser.ParseModelText(text, "QRModel_Shape_Fuzz.txt");
  const STRUCTURE_PAGE& page = tables->structurePage;
  const DIMENSION_LAYOUT& dim = tables->dimensions;
  Check(page.pictureCount <= kMaxPictures && dim.dimUnitCount <= kMaxUnits && dim.dimFactorCount <= kMaxUnits);
  Check(geometry::PickerTabCount(tables->model) <= kMaxNonLinearFiles);
  (void)geometry::ClassIdFromString("{" + tables->model.clsid + "}");
  (void)geometry::ClassIdFromString("{" + tables->model.iid + "}");
  for (int u = -1; u <= kMaxUnits; ++u) {
    (void)geometry::DimensionFactor(dim, u, tables->model.baseFactor);
  }
  // The first bytes as a shape and nine dimensions.
  if (size >= 1 + 9 * sizeof(double) + sizeof(double)) {
    std::array<double, 9> dims{};
    std::memcpy(dims.data(), data + 1, sizeof(dims));
    double factor = 0;
    std::memcpy(&factor, data + 1 + sizeof(dims), sizeof(factor));
    std::string why;
    const auto g = geometry::MakeGeometry(data[0], dims, factor, &why);
    Check(g.has_value() || !why.empty());
    if (g) {
      const geometry::STRAPPING_SAMPLE s = geometry::SampleTable(*g);
      Check(s.pointCount >= 2 && s.pointCount <= 249 && s.step >= 1);
      for (std::size_t i = 1; i < s.pointCount; ++i) {
        Check(s.table[i] >= s.table[i - 1]);
      }
    }
  }
  return 0;
}
