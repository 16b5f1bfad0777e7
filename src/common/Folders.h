// The folders the program works in. By default they follow the desktop's
// conventions (XDG); TOLVANE_HOME roots the whole tree in one folder for a
// portable or demonstration installation and for tests.
//
// The program's own data and its calculation components are found relative
// to the running program: an installed program at <prefix>/bin/tolvane reads
// <prefix>/share/tolvane and <prefix>/lib/tolvane/components, whatever the
// prefix and wherever the tree was moved to. A program in a build tree finds
// the build's folders through the links the build writes beside it.
#pragma once

#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <string_view>

namespace tolvane {

struct FOLDERS {
  std::filesystem::path models;    // model files, language file, corporate model
  std::filesystem::path configs;   // configuration files (documents)
  std::filesystem::path programs;  // firmware program files
  std::filesystem::path logs;      // logfile.txt
  std::filesystem::path program;   // the program's own data: drawings, help, bitmaps
  std::filesystem::path drawings;
  std::filesystem::path help;
  std::filesystem::path bitmaps;
  std::filesystem::path settings;  // the per-user settings store
  // The installed models: read when the user's models folder has no file of
  // the name asked for. Empty in a portable tree, which holds its own models.
  std::filesystem::path installedModels;
  std::filesystem::path components;  // the calculation component libraries
};

// Where the program's installed data and its components are.
struct PROGRAM_LOCATION {
  std::filesystem::path data;        // <prefix>/share/tolvane
  std::filesystem::path components;  // <prefix>/lib/tolvane/components
};

// The two folders relative to the folder that holds the programs, as the
// build installs them ("../share/tolvane", "../lib/tolvane/components").
struct INSTALL_LAYOUT {
  std::string_view dataFromPrograms;
  std::string_view componentsFromPrograms;
};
INSTALL_LAYOUT CompiledInstallLayout();

// The links a build writes beside each of its programs, to its data folder
// and to its component folder.
inline constexpr const char* kBuildDataLink = "tolvane-data";
inline constexpr const char* kBuildComponentsLink = "tolvane-components";

// The folders for the program at `executable`: the build's when the build's
// data link lies beside it, else the installed layout below the program's
// folder. The paths are made absolute and lexically normal.
PROGRAM_LOCATION LocateProgramFolders(const std::filesystem::path& executable,
                                      const INSTALL_LAYOUT& layout = CompiledInstallLayout());

// The running program's file (/proc/self/exe); `fallback` (argv[0]) when it
// cannot be read.
std::filesystem::path RunningProgram(const std::filesystem::path& fallback = {});

// LocateProgramFolders for the running program.
PROGRAM_LOCATION RunningProgramLocation();

// Reads one environment variable; empty optional when it is not set.
using EnvLookup = std::function<std::optional<std::string>(std::string_view)>;

// The process environment.
EnvLookup ProcessEnvironment();

// Resolves the folder set. `appName` is the program's name (the folder name
// under the data and documents folders); `location` is where the program's
// own data and components were installed.
FOLDERS ResolveFolders(const EnvLookup& env, std::string_view appName, const PROGRAM_LOCATION& location);
// The same with only the data folder known (no component folder).
FOLDERS ResolveFolders(const EnvLookup& env, std::string_view appName, const std::filesystem::path& installedData);

// The file `name` of the models folder as the program reads it: the user's
// own (`userModels`) when there is one of that name, else the installed one
// when that exists; else the user's path (which then does not exist).
std::filesystem::path ModelsFile(const std::filesystem::path& userModels, const std::filesystem::path& installedModels,
                                 std::string_view name);

}  // namespace tolvane
