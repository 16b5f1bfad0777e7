// The command groups of tolvane-cli. Each group adds its subcommands to the
// program and returns a function that runs the one that was chosen (or
// nullopt when none of its commands was).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>
#include <string>

namespace tolvane::cli {

using CommandRunner = std::function<std::optional<int>()>;

CommandRunner AddLanguageCommands(CLI::App& app);
CommandRunner AddIdentifyCommands(CLI::App& app);
CommandRunner AddSettingsCommands(CLI::App& app);
CommandRunner AddLinkCommands(CLI::App& app);
CommandRunner AddModelCommands(CLI::App& app);
CommandRunner AddConfigCommands(CLI::App& app);
CommandRunner AddWriteCommands(CLI::App& app);
CommandRunner AddServiceCommands(CLI::App& app);
CommandRunner AddTankCommands(CLI::App& app);
CommandRunner AddUpdateCommands(CLI::App& app);
CommandRunner AddFirmwareCommands(CLI::App& app);

// Reads page `page` (customer, factory, history, ocm) of the unit on
// `adapter` and prints it in the data pages viewer's rows. The exit status.
int RunPages(const std::string& adapter, const std::string& page, bool hex);
// Prints rows of the data pages viewer (CR LF line ends) with line feeds.
void PrintViewerText(const std::string& text);

}  // namespace tolvane::cli
