// The automation switches of the command line and the desktop entry they
// register: --register writes the entry and ends, --unregister removes it and
// ends, --embedding and --automation start the program as usual.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/Folders.h"

namespace tolvane {

struct AUTOMATION_SWITCHES {
  enum class Action { Run, Register, Unregister };
  Action action = Action::Run;
  bool embedded = false;             // started by the desktop on behalf of another program
  std::vector<std::string> ignored;  // arguments that are no switch of ours
};

// Reads the switches in any of the usual spellings ("--register", "-Register",
// "/RegServer", ...), case-insensitively. A later action switch wins.
AUTOMATION_SWITCHES ParseAutomationSwitches(const std::vector<std::string>& args);

// Where the program's desktop entry lives: $XDG_DATA_HOME/applications, by
// default ~/.local/share/applications.
std::filesystem::path ApplicationsFolder(const EnvLookup& env);
inline constexpr const char* kDesktopEntryName = "tolvane.desktop";

// The text of the desktop entry for the program at `executable` with `icon`.
std::string DesktopEntryText(const std::filesystem::path& executable, const std::filesystem::path& icon);

// Writes the entry beside its target and renames it over it. False on failure.
bool WriteDesktopEntry(const std::filesystem::path& file, const std::string& text);
// Removes the entry; true when it is gone afterwards.
bool RemoveDesktopEntry(const std::filesystem::path& file);

}  // namespace tolvane
