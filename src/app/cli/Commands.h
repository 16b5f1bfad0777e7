// The command groups of tolvane-cli. Each group adds its subcommands to the
// program and returns a function that runs the one that was chosen (or
// nullopt when none of its commands was).
#pragma once

#include <CLI/CLI.hpp>

#include <functional>
#include <optional>

namespace tolvane::cli {

using CommandRunner = std::function<std::optional<int>()>;

CommandRunner AddLanguageCommands(CLI::App& app);
CommandRunner AddIdentifyCommands(CLI::App& app);
CommandRunner AddSettingsCommands(CLI::App& app);
CommandRunner AddLinkCommands(CLI::App& app);
CommandRunner AddModelCommands(CLI::App& app);
CommandRunner AddConfigCommands(CLI::App& app);
CommandRunner AddWriteCommands(CLI::App& app);

}  // namespace tolvane::cli
