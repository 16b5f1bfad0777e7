// Arbitrary bytes as a model file: as plain text (8-bit or UTF-16) and as a
// protected file. Every table must stay within its capacity.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <memory>
#include <string>

#include "defs/FileCipher.h"
#include "defs/ModelFile.h"

namespace {

void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}

void CheckTables(const tolvane::MODEL_TABLES& t) {
  const tolvane::MODEL_DEFINITION& m = t.model;
  Check(m.itemCount <= tolvane::kMaxItems && m.itemLast < tolvane::kMaxItems);
  Check(m.configurationCount <= tolvane::kMaxConfigurations && m.configurationLast < tolvane::kMaxConfigurations);
  Check(m.advancedInputCount <= tolvane::kMaxAdvanced && m.advancedLast < tolvane::kMaxAdvanced);
  Check(m.unitsCount <= tolvane::kMaxUnits && m.unitsLast < tolvane::kMaxUnits);
  Check(m.fixedWriteCount <= tolvane::kMaxFixedWrites && m.unitTypeCount <= tolvane::kMaxUnitTypes);
  for (const auto& item : m.items) {
    Check(item.optionCount <= tolvane::kMaxOptions && item.optionLast < tolvane::kMaxOptions);
  }
  Check(t.images.tankImageCount <= tolvane::kMaxTankImages && t.images.overlayCount <= tolvane::kMaxOverlays);
  Check(t.structurePage.pictureCount <= tolvane::kMaxPictures);
  Check(t.dimensions.windowCount <= tolvane::kMaxDimWindows && t.dimensions.dimUnitCount <= tolvane::kMaxUnits);
}

void Parse(std::string_view bytes, const char* name) {
  auto tables = std::make_unique<tolvane::MODEL_TABLES>();
  tolvane::APP_SETTINGS settings;
  tolvane::CLanguageFile language("/nonexistent", nullptr);
  tolvane::CONFIG_RECORD record;
  record.firmwareName = "QR27-LVL";
  tolvane::CModelFile parser("/nonexistent", *tables, settings, language, record);
  parser.ResetModel();
  parser.ParseModelText(bytes, name);
  CheckTables(*tables);
  const tolvane::PARSE_STATS& s = parser.LastParseStats();
  Check(s.applied + s.ignored + s.unknown + s.deferred == s.entries);
  parser.ResetStructure();
  parser.ResetModel();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string_view bytes(reinterpret_cast<const char*>(data), size);
  Parse(bytes, "QRModel_Fuzz.txt");
  Parse(bytes, "Corporate_Model");
  Parse(tolvane::DecipherBytes(bytes, tolvane::ModelFileKey()), "QRModel_Fuzz.fmf");
  return 0;
}
