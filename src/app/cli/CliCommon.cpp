#include "app/cli/CliCommon.h"

#include <cstdio>
#include <memory>

#include "common/FileSystem.h"
#include "defs/ModelFile.h"
#include "shell/UserTree.h"

namespace tolvane::cli {

int CConsoleMessages::Show(const std::string& text, unsigned type) {
  std::fprintf(stderr, "%s%s\n", (type & MB_ERROR) != 0 ? "error: " : "", text.c_str());
  return (type & MB_YESNO) != 0 ? answer_ : RESULT_OK;
}

FOLDERS ProgramFolders() { return ResolveFolders(ProcessEnvironment(), "tolvane", RunningProgramLocation()); }

void PrepareUserTreeOrSay() {
  const FOLDERS folders = ProgramFolders();
  CUserRegistry registry(folders.settings);
  for (const TREE_PROBLEM& problem : PrepareUserTree(folders, registry, TOLVANE_VERSION).problems) {
    std::fprintf(stderr, "error: %s\n", DescribeProblem(problem).c_str());
  }
}

// LANGUAGE_FILE of the corporate model; the shipped file when the corporate
// model is missing or names none.
std::string LanguageFileName() {
  const FOLDERS folders = ProgramFolders();
  auto tables = std::make_unique<MODEL_TABLES>();
  APP_SETTINGS settings;
  const CLanguageFile noTexts(folders.models, nullptr);
  CONFIG_RECORD record;
  CModelFile corporate(folders.models, *tables, settings, noTexts, record, nullptr, nullptr, folders.installedModels);
  if (corporate.LoadCorporateModel() == 1 && IsSafeLeafName(settings.languageFile)) {
    return settings.languageFile;
  }
  return "Tolvane_Language.txt";
}

}  // namespace tolvane::cli
