#include <cstdio>
#include <memory>
#include <string>

#include "app/cli/CliCommon.h"
#include "app/cli/Commands.h"
#include "defs/LanguageFile.h"

namespace tolvane::cli {

CommandRunner AddLanguageCommands(CLI::App& app) {
  struct Options {
    std::string key;
    int column = 0;
  };
  auto opts = std::make_shared<Options>();
  auto* lang = app.add_subcommand("lang", "Print the text of a language key");
  lang->add_option("key", opts->key, "The key, e.g. IDC_PNSN")->required();
  lang->add_option("--column", opts->column, "Language column: 0 English, 1 German")->check(CLI::Range(0, 1));

  return [lang, opts]() -> std::optional<int> {
    if (!lang->parsed()) {
      return std::nullopt;
    }
    CConsoleMessages messages;
    const FOLDERS folders = ProgramFolders();
    CLanguageFile language(folders.models, &messages, folders.installedModels);
    if (language.Load(LanguageFileName()) != 0) {
      return 2;
    }
    std::string text;
    if (!language.Lookup(opts->key, opts->column, text)) {
      std::fprintf(stderr, "error: no text for key %s\n", opts->key.c_str());
      return 1;
    }
    // As the windows show it: a caption without its access-key marks.
    std::printf("%s\n", WithoutAccessKeys(text).c_str());
    return 0;
  };
}

}  // namespace tolvane::cli
