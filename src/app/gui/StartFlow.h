// The decisions of the start dialog and the main window that do not depend on
// any window: what an adapter count leads to, what follows a failed
// identification, the main window's caption, pages and start page. The
// windows bind these to their controls.
#pragma once

#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "shell/ProgramCore.h"

namespace tolvane {

// The outcome of FindAdapters for a connection attempt.
enum class AdapterOutcome {
  Unsupported,  // -1: adapters cannot be driven here; the attempt stops for good
  NoAdapter,    // 0: the user may plug one in and try again
  One,          // exactly one: it is selected
  Choose,       // several: the user chooses in the selection dialog
};
AdapterOutcome ClassifyAdapters(int found);

// Texts of the start result line (control 1000).
using TextLookup = std::function<std::string(const char* key)>;
std::string NoAdapterText(const TextLookup& text, const std::string& programId);
std::string ConnectingText(const TextLookup& text, const std::string& description);
std::string ConnectFailedText(const TextLookup& text, int code);

// The message when the unit's model has no model file.
std::string ModelMissingText(const TextLookup& text, const IDENTIFY_RESULT& result);

// Message box type of the missing-model message: an error box.
inline constexpr unsigned kModelMissingType = 0x30;

// The question asked in the maker's service mode after a failed identification.
inline constexpr const char* kExitQuestion = "Would you like to exit";

// What follows an identification.
struct ATTEMPT_DECISION {
  bool openForms = false;  // open the main window in the attempt's mode
  bool endDialog = false;  // the start dialog ends (now, or after the main window)
};

// Decides what follows IdentifyUnit's result. Read errors have already been
// shown by the identification; a missing model is shown here on `messages`.
// In the service mode `question` asks whether to exit; No opens the main
// window anyway. Yes (or no service mode) stops the attempt, and after a
// missing model ends the start dialog.
ATTEMPT_DECISION AfterIdentification(int identified, const IDENTIFY_RESULT& result, bool kestrineMode,
                                     const TextLookup& text, IMessageBox& messages, IMessageBox& question);

// The main window's caption: the title, and in demonstration mode " - " and
// the demonstration text, once.
std::string MainFormCaption(const std::string& title, bool demonstration, const std::string& demonstrationText);

// The pages of the main window, in tab order.
struct FORM_PAGE {
  int id;                  // the page's template id
  const char* captionKey;  // its caption in the language file
};
inline constexpr int kConfigurationPage = 103;
inline constexpr int kUpdatesPage = 104;
inline constexpr int kLiveDisplayPage = 110;
std::vector<FORM_PAGE> MainFormPages(bool demoTab);

// The page the main window opens on (index into the pages). Takes the stored
// start page; in normal mode with no accepted offer yet, `offerNewerFirmware`
// asks (1: accepted), which sets the auto-update flag and the stored start
// page to the updates page. Every other case clears both.
int DecideStartPage(APP_SETTINGS& settings, bool demonstration, const std::function<int()>& offerNewerFirmware);

// What the main window's status bar shows: the adapter, the unit, the
// configuration file in use.
struct MAIN_STATUS {
  bool demonstration = false;
  std::string adapter;  // the selected adapter's description; empty: none
  bool adapterGone = false;
  std::string modelName;  // the identified unit; empty: none
  int serialNumber = 0;
  std::string fileName;     // the configuration file opened or saved last; empty: none
  bool configured = false;  // the form holds a valid, complete configuration
  bool unsaved = false;     // ... that no file holds yet
};
struct MAIN_STATUS_TEXTS {
  std::string adapter;
  std::string unit;
  std::string file;
};
MAIN_STATUS_TEXTS MainStatusTexts(const TextLookup& text, const MAIN_STATUS& status);

// The main window's size and position as kept between runs, in the settings
// value kMainWindowPlacement: "x,y,width,height" in device-independent pixels.
struct WINDOW_PLACEMENT {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
struct SCREEN_AREA {
  int x = 0;
  int y = 0;
  int width = 0;
  int height = 0;
};
inline constexpr const char* kMainWindowPlacement = "MAINWINDOW";
std::string FormatPlacement(const WINDOW_PLACEMENT& placement);
// Nothing for a value that is not four integers with a positive size.
std::optional<WINDOW_PLACEMENT> ParsePlacement(const std::string& value);
// The placement brought onto `area` (the screen's available area): no larger
// than the area and no smaller than `minimum`, moved in so that it lies
// wholly on the area.
WINDOW_PLACEMENT FitPlacement(WINDOW_PLACEMENT placement, const SCREEN_AREA& area, int minimumWidth, int minimumHeight);

}  // namespace tolvane
