// tolvane-cli: the configuration tool's core without windows, for production
// lines, scripts and tests.
#include <CLI/CLI.hpp>

#include <string>
#include <vector>

#include "app/cli/CliCommon.h"
#include "app/cli/Commands.h"

int main(int argc, char** argv) {
  using namespace tolvane::cli;
  CLI::App app{"Tolvane command-line tool: configure and service level sensors without windows."};
  app.name("tolvane-cli");  // the usage line names the program, not the path it was started by
  app.set_version_flag("--version", std::string("tolvane-cli ") + TOLVANE_VERSION);
  app.require_subcommand(1);

  // One line per command group.
  std::vector<CommandRunner> runners;
  runners.push_back(AddLanguageCommands(app));
  runners.push_back(AddIdentifyCommands(app));
  runners.push_back(AddSettingsCommands(app));
  runners.push_back(AddLinkCommands(app));
  runners.push_back(AddModelCommands(app));
  runners.push_back(AddConfigCommands(app));
  runners.push_back(AddWriteCommands(app));
  runners.push_back(AddServiceCommands(app));
  runners.push_back(AddTankCommands(app));
  runners.push_back(AddUpdateCommands(app));
  runners.push_back(AddFirmwareCommands(app));

  CLI11_PARSE(app, argc, argv);
  PrepareUserTreeOrSay();

  for (const auto& run : runners) {
    if (const auto rc = run()) {
      return *rc;
    }
  }
  return 0;
}
