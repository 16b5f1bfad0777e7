#include "common/Folders.h"

#include <unistd.h>

#include <array>
#include <cstdlib>
#include <system_error>

#ifndef TOLVANE_DATA_FROM_PROGRAMS
#define TOLVANE_DATA_FROM_PROGRAMS "../share/tolvane"
#endif
#ifndef TOLVANE_COMPONENTS_FROM_PROGRAMS
#define TOLVANE_COMPONENTS_FROM_PROGRAMS "../lib/tolvane/components"
#endif

namespace tolvane {
namespace {

namespace fs = std::filesystem;

fs::path Absolute(const fs::path& p) {
  std::error_code ec;
  const fs::path a = fs::absolute(p, ec);
  return (ec ? p : a).lexically_normal();
}

bool Exists(const fs::path& p) {
  std::error_code ec;
  return fs::symlink_status(p, ec).type() != fs::file_type::not_found && !ec;
}

}  // namespace

INSTALL_LAYOUT CompiledInstallLayout() { return {TOLVANE_DATA_FROM_PROGRAMS, TOLVANE_COMPONENTS_FROM_PROGRAMS}; }

PROGRAM_LOCATION LocateProgramFolders(const fs::path& executable, const INSTALL_LAYOUT& layout) {
  const fs::path programs = Absolute(executable).parent_path();
  std::error_code ec;
  PROGRAM_LOCATION location;
  if (fs::is_directory(programs / kBuildDataLink, ec)) {
    // A build tree: the links name the build's own folders. They are read, so
    // that messages and the tree's paths name the folders themselves.
    const auto target = [&](const char* link) {
      std::error_code lec;
      const fs::path resolved = fs::canonical(programs / link, lec);
      return lec ? (programs / link) : resolved;
    };
    location.data = target(kBuildDataLink);
    location.components = target(kBuildComponentsLink);
    return location;
  }
  location.data = (programs / fs::path(layout.dataFromPrograms)).lexically_normal();
  location.components = (programs / fs::path(layout.componentsFromPrograms)).lexically_normal();
  return location;
}

fs::path RunningProgram(const fs::path& fallback) {
  std::array<char, 4096> buffer{};
  const ssize_t n = ::readlink("/proc/self/exe", buffer.data(), buffer.size() - 1);
  if (n <= 0 || static_cast<std::size_t>(n) >= buffer.size() - 1) {
    return fallback;
  }
  return fs::path(std::string(buffer.data(), static_cast<std::size_t>(n)));
}

PROGRAM_LOCATION RunningProgramLocation() { return LocateProgramFolders(RunningProgram()); }

EnvLookup ProcessEnvironment() {
  return [](std::string_view name) -> std::optional<std::string> {
    const std::string key(name);
    const char* v = std::getenv(key.c_str());
    if (v == nullptr || *v == '\0') {
      return std::nullopt;
    }
    return std::string(v);
  };
}

FOLDERS ResolveFolders(const EnvLookup& env, std::string_view appName, const PROGRAM_LOCATION& location) {
  FOLDERS f;
  const std::string app(appName);
  if (const auto home = env("TOLVANE_HOME")) {
    const fs::path root(*home);
    f.models = root / "Models";
    f.configs = root / "Configs";
    f.programs = root / "Programs";
    f.logs = root / "Logs";
    f.program = root;
    f.settings = root / "Settings";
  } else {
    const fs::path userHome = env("HOME").value_or("/tmp");
    const fs::path data = env("XDG_DATA_HOME") ? fs::path(*env("XDG_DATA_HOME")) : userHome / ".local/share";
    const fs::path config = env("XDG_CONFIG_HOME") ? fs::path(*env("XDG_CONFIG_HOME")) : userHome / ".config";
    const fs::path docs = env("XDG_DOCUMENTS_DIR") ? fs::path(*env("XDG_DOCUMENTS_DIR")) : userHome / "Documents";
    f.models = data / app / "Models";
    f.configs = docs / app / "Configs";
    f.programs = data / app / "Programs";
    f.logs = data / app / "Logs";
    f.program = location.data;
    f.settings = config / app;
    if (!location.data.empty()) {
      f.installedModels = location.data / "Models";
    }
  }
  f.drawings = f.program / "Drawings";
  f.help = f.program / "Help";
  f.bitmaps = f.program / "Bitmaps";
  f.components = location.components;
  return f;
}

FOLDERS ResolveFolders(const EnvLookup& env, std::string_view appName, const fs::path& installedData) {
  return ResolveFolders(env, appName, PROGRAM_LOCATION{installedData, {}});
}

fs::path ModelsFile(const fs::path& userModels, const fs::path& installedModels, std::string_view name) {
  const fs::path own = userModels / std::string(name);
  if (installedModels.empty() || Exists(own)) {
    return own;
  }
  const fs::path installed = installedModels / std::string(name);
  return Exists(installed) ? installed : own;
}

}  // namespace tolvane
