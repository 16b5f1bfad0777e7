// What every command of tolvane-cli shares: the folder set, and message boxes
// that print instead of asking.
#pragma once

#include <string>

#include "common/Folders.h"
#include "common/Messages.h"

namespace tolvane::cli {

// Message boxes of the headless program: the text goes to standard error; a
// question is answered with the configured default.
class CConsoleMessages : public IMessageBox {
 public:
  explicit CConsoleMessages(int answerToQuestions = RESULT_NO) : answer_(answerToQuestions) {}
  int Show(const std::string& text, unsigned type) override;

 private:
  int answer_;
};

FOLDERS ProgramFolders();

// The first start for the user: makes what is missing of the per-user tree
// and says on standard error what could not be made (the command goes on).
void PrepareUserTreeOrSay();

// The language file the program uses.
std::string LanguageFileName();

}  // namespace tolvane::cli
