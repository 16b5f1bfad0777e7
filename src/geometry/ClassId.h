// Class and interface identifiers as text: our reading of the braced form
// that component names are written in.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "geometry/ComponentAbi.h"

namespace tolvane::geometry {

// "{XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX}" (hexadecimal digits, either case)
// into an identifier; none for any other text (no spaces, no missing braces).
std::optional<TolvaneGuid> ClassIdFromString(std::string_view text);
// The identifier as "XXXXXXXX-XXXX-XXXX-XXXX-XXXXXXXXXXXX", upper case, no braces.
std::string ClassIdToString(const TolvaneGuid& id);
bool SameId(const TolvaneGuid& a, const TolvaneGuid& b);

}  // namespace tolvane::geometry
