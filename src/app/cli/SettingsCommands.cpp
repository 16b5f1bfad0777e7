// Reading and writing single settings, as the program stores them.
#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/CliCore.h"
#include "app/cli/Commands.h"

namespace tolvane::cli {

CommandRunner AddSettingsCommands(CLI::App& app) {
  struct Options {
    std::string name;
    std::string value;
  };
  auto o = std::make_shared<Options>();
  auto* settings = app.add_subcommand("settings", "Read or write a stored setting (GUIDE, PREF_UNITS, ...)");
  settings->require_subcommand(1);
  auto* get = settings->add_subcommand("get", "Print a setting");
  get->add_option("name", o->name, "Setting name")->required();
  auto* set = settings->add_subcommand("set", "Write a setting");
  set->add_option("name", o->name, "Setting name")->required();
  set->add_option("value", o->value, "New value")->required();

  return [get, set, o]() -> std::optional<int> {
    if (!get->parsed() && !set->parsed()) {
      return std::nullopt;
    }
    CliCore cli;
    if (const int rc = cli.LoadCorporateModel(); rc != 0) {
      return rc;
    }
    CSettingsStore& store = cli.core().store;
    int code = 0;
    if (get->parsed()) {
      std::string value;
      if (store.ReadString(o->name, value, &code)) {
        std::fprintf(stderr, "error: cannot read %s (code %d)\n", o->name.c_str(), code);
        return 1;
      }
      std::printf("%s\n", value.c_str());
      return 0;
    }
    if (store.WriteString(o->name, o->value, &code)) {
      std::fprintf(stderr, "error: cannot write %s (code %d)\n", o->name.c_str(), code);
      return 1;
    }
    return 0;
  };
}

}  // namespace tolvane::cli
