// The folders the program works in. By default they follow the desktop's
// conventions (XDG); TOLVANE_HOME roots the whole tree in one folder for a
// portable or demonstration installation and for tests.
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
};

// Reads one environment variable; empty optional when it is not set.
using EnvLookup = std::function<std::optional<std::string>(std::string_view)>;

// The process environment.
EnvLookup ProcessEnvironment();

// Resolves the folder set. `appName` is the program's name (the folder name
// under the data and documents folders); `installedData` is where the
// program's own data was installed.
FOLDERS ResolveFolders(const EnvLookup& env, std::string_view appName,
                       const std::filesystem::path& installedData);

}  // namespace tolvane
