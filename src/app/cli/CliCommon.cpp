#include "app/cli/CliCommon.h"

#include <cstdio>

namespace tolvane::cli {

int CConsoleMessages::Show(const std::string& text, unsigned type) {
  std::fprintf(stderr, "%s%s\n", (type & MB_ERROR) != 0 ? "error: " : "", text.c_str());
  return (type & MB_YESNO) != 0 ? answer_ : RESULT_OK;
}

FOLDERS ProgramFolders() { return ResolveFolders(ProcessEnvironment(), "tolvane", TOLVANE_DATA_DIR); }

std::string LanguageFileName() { return "Tolvane_Language.txt"; }

}  // namespace tolvane::cli
