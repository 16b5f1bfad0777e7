#include "common/Folders.h"

#include <cstdlib>

namespace tolvane {

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

FOLDERS ResolveFolders(const EnvLookup& env, std::string_view appName,
                       const std::filesystem::path& installedData) {
  namespace fs = std::filesystem;
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
    f.program = installedData;
    f.settings = config / app;
  }
  f.drawings = f.program / "Drawings";
  f.help = f.program / "Help";
  f.bitmaps = f.program / "Bitmaps";
  return f;
}

}  // namespace tolvane
