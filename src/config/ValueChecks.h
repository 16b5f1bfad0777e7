// The value checks run before a configuration is written: heights and levels
// against the model's limits and against each other. Each check gives its
// result and, when it is not 0, the message to show: the form and the
// command-line program show it in their own way.
#pragma once

#include <array>
#include <cstdint>
#include <string>

#include "common/Messages.h"
#include "config/ConfigValues.h"
#include "defs/ConfigRecord.h"
#include "defs/LanguageFile.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

enum CHECK_RESULT_CODE : int { CHECK_PASS = 0, CHECK_ERROR = 1, CHECK_WARNING = 2 };

struct CHECK_RESULT {
  int result = CHECK_PASS;
  unsigned boxType = MB_PLAIN;  // MB_ERROR for an error, MB_INFO for a warning
  const char* headKey = "";     // ERROR_MESSAGE46 or ERROR_MESSAGE49
  const char* textKey = "";     // ERROR_MESSAGE47, 48, 50 or 51, formatted with (name, limit)
  std::string name;
  double limit = 0.0;
};

// The text of a check's message box: the heading directly followed by the
// formatted text. Empty for a check that passed.
std::string CheckMessageText(const CHECK_RESULT& check, const CLanguageFile& language, int languageNumber);

// v against the maximum M, the lower error bound A, the upper and lower
// warning bounds B and W. A value equal to a bound passes.
CHECK_RESULT CheckRange(const std::string& name, double v, double maximum, double lowerError, double upperWarning,
                        double lowerWarning);

// What the checks compare with, in the units heights are shown in.
struct HEIGHT_LIMITS {
  double maxSensorHeight = 0.0;  // Hmax
  double minRange = 0.0;         // R
  double sensorHeight = 0.0;     // S: the sensor height when above 0, else Hmax
  double maxFillHeight = 0.0;    // T = S - R
};
HEIGHT_LIMITS HeightLimits(const MODEL_DEFINITION& model, const CONFIG_RECORD& record);

CHECK_RESULT CheckSensorHeight(const MODEL_DEFINITION& model, const CONFIG_RECORD& record);
CHECK_RESULT CheckFillHeight(const MODEL_DEFINITION& model, const CONFIG_RECORD& record);
// Level row k of the matched configuration. Its label makes it a Hi/Lo level
// ("Hi" or "Lo" in it) or an On/Off level ("On" or "Off"); it may not pass a
// neighbouring level of its own kind (error), and passing a neighbour of the
// other kind warns. Any other label, or no matched configuration, passes.
// With levels in volume units the top bound (the highest fill height) is
// the volume at that height, through `volume`; without a conversion there
// is no top bound but the neighbours (the page mapping refuses a volume
// outside the tank's table).
CHECK_RESULT CheckLevel(const MODEL_DEFINITION& model, const CONFIG_RECORD& record, int row,
                        const IVolumeLevels* volume = nullptr);

}  // namespace tolvane::config
