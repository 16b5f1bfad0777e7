// The units box of the configuration form: its entries are the model's
// linear units followed by its volume units. Changing the entry converts the
// heights and the levels the matched configuration uses into the new units.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "config/ConfigValues.h"
#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

// Entries of the units box: the UNITS names, then the NLUNITS names.
int UnitsEntryCount(const MODEL_DEFINITION& model);
std::string UnitsEntryName(const MODEL_DEFINITION& model, int entry);

// Selects entry `entry` of the units box and converts the shown values:
// between linear units both heights and the used levels; to or from volume
// units the levels through `volume` (the tank curve), while the heights stay
// in (or return from) the last linear units. False, and nothing changes, when
// the entry is not in the box or a conversion it needs has no factor or no
// tank curve.
bool ChangeUnits(const MODEL_DEFINITION& model, CONFIG_RECORD& record, int entry,
                 const IVolumeLevels* volume = nullptr);

// The name to store as the preferred units after a change: the selected
// linear unit's name when it differs from `prefUnits`; none otherwise (and
// none while volume units are selected).
std::optional<std::string> PreferredUnitsToStore(const MODEL_DEFINITION& model, const CONFIG_RECORD& record,
                                                 const std::string& prefUnits);

// The software revision line: "%s:  %d", or from 100 on the revision in
// tenths, "%s:  %2.1f".
std::string SoftwareRevisionText(const std::string& label, std::uint32_t revision);

}  // namespace tolvane::config
