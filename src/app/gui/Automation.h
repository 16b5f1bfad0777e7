// The automation switches of the command line and the desktop entry they
// register: --register writes the entry and ends, --unregister removes it and
// ends, --embedding and --automation start the program as usual; --help and
// --version print and end. None of these needs a display.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "common/Folders.h"

namespace tolvane {

struct AUTOMATION_SWITCHES {
  enum class Action { Run, Register, Unregister, Help, Version };
  Action action = Action::Run;
  bool embedded = false;             // started by the desktop on behalf of another program
  std::vector<std::string> ignored;  // arguments that are no switch of ours
};

// Reads the switches in any of the usual spellings ("--register", "-Register",
// "/RegServer", ...), case-insensitively. A later action switch wins, except
// that --help and --version win over every other.
AUTOMATION_SWITCHES ParseAutomationSwitches(const std::vector<std::string>& args);

// What --help prints (the manual page is written from it).
std::string ProgramHelpText();
// What --version prints: the program's name and `version`.
std::string ProgramVersionText(const std::string& version);
// The line printed for an argument that is no switch of ours.
std::string IgnoredArgumentLine(const std::string& arg);

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
