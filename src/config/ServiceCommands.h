// The service commands a technician types into the configuration file name
// box instead of a file name, today's service code, and the two test aids for
// model authors (stepping through the configurations and through the tank
// picture's overlays). The form and the command-line program decide with
// these functions; the form only shows the results.
#pragma once

#include <array>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>

#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/ModelTables.h"

namespace tolvane::config {

enum class SERVICE_COMMAND {
  None,                // not a command: the text names a file to open
  TestConfigurations,  // "test configurations": show the test aids
  InfoMemory,          // "info memory": the information memory dialog
  ShowServiceCode,     // "tech support": today's service code
  CalPages,            // "cal pages": the data pages viewer
  DirectEntry,         // "direct entry": the direct memory entry
  TechSupport,         // today's service code: the technical support dialog
  CodeRevision,        // "code revision": the program's version
  Restart,             // "restart": identify the unit again
};

// The date of `local` written as "%y%m%d" and read as a decimal number.
int ServiceDateNumber(const std::tm& local);

// The six-digit number of the service code of the date number `yymmdd`.
int ServiceCodeNumber(int yymmdd);

// Today's service code: "TS" and six digits, different every day.
std::string ServiceCode(const std::tm& local);

// The command the file name box text stands for, tested in a fixed order on
// the lower-case text, which must equal a command exactly. A command whose
// switch is off (KESTRINE_MODE for the first three, TECHSUPPORT for the
// service code) is not recognised, and the text goes on to the next test.
SERVICE_COMMAND RecognizeServiceCommand(std::string_view boxText, const APP_SETTINGS& settings, const std::tm& today);

// The counters of the two test aids; they live for the whole run.
struct TEST_AID_COUNTERS {
  int configuration = 1;  // position of the configuration Test Configs shows next (1 = the first)
  int picture = 0;        // overlay bits of the picture View Tanks shows next (0..255)
};

// Test Configs: the selections of the configuration at the counter's position
// (each defined item takes the option the configuration requires, option 1
// where it requires any option or none), then the counter advances, starting
// again at 1 after the model's last configuration. The position shown.
// `record`'s selections should have been reset first (Clear Screen's reset).
int TakeTestConfiguration(const MODEL_DEFINITION& model, TEST_AID_COUNTERS& counters, CONFIG_RECORD& record);

// View Tanks: the picture counter to show; the counter advances, from 255
// back to 0.
int TakeTankPicture(TEST_AID_COUNTERS& counters);

// The four numbers of a dotted version "major.minor.build.revision"; nullopt
// when it is not four numbers.
std::optional<std::array<int, 4>> VersionNumbers(std::string_view version);

// "code revision": `pattern` (STATUS_MESSAGE41) formatted with the program id
// and the four numbers of `version`; nullopt when the version cannot be read,
// and then nothing is shown.
std::optional<std::string> CodeRevisionText(std::string_view pattern, const std::string& programId,
                                            std::string_view version);

}  // namespace tolvane::config
