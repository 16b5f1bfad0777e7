// Arbitrary bytes as the component registry file, and as identifier text:
// every library kept is a plain file name, every identifier kept reads back
// to itself.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "common/FileSystem.h"
#include "geometry/ComponentRegistry.h"

namespace {
void Check(bool ok) {
  if (!ok) {
    std::abort();
  }
}
}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace tolvane::geometry;
  const std::string_view text(reinterpret_cast<const char*>(data), size);
  const COMPONENT_REGISTRY r = ParseRegistryText(text);
  for (const auto& [id, library] : r.libraries) {
    Check(tolvane::IsSafeLeafName(library));
    const auto parsed = ClassIdFromString("{" + id + "}");
    Check(parsed.has_value() && ClassIdToString(*parsed) == id);
  }
  if (const auto g = ClassIdFromString(text)) {
    const auto again = ClassIdFromString("{" + ClassIdToString(*g) + "}");
    Check(again.has_value() && SameId(*g, *again));
  }
  return 0;
}
