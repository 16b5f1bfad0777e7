#include "shell/GuideProcedure.h"

#include <system_error>

#include "common/CheckedFormat.h"

namespace tolvane {

std::filesystem::path GuideDocumentPath(const std::filesystem::path& helpFolder, const std::string& guideFile) {
  // GFILE comes from the settings store, which the user can edit. A bare
  // file name only: a separator, "." or ".." or an absolute name would open
  // something other than a document of the help folder.
  if (guideFile.empty() || guideFile == "." || guideFile == ".." ||
      guideFile.find_first_of("/\\") != std::string::npos || guideFile.find('\0') != std::string::npos) {
    return {};
  }
  return helpFolder / guideFile;
}

void RunGuideProcedure(IViewGuide& prompt, ISettingsWriter& store, IDocumentOpener& opener, IErrorDetail& errors,
                       const CLanguageFile& language, APP_SETTINGS& settings,
                       const std::filesystem::path& helpFolder) {
  const int lang = settings.languageNumber;
  if (prompt.Show(settings.guide) == RESULT_OK) {
    // The desktop's opener starts a viewer and cannot tell whether the
    // document was there, so a missing document is caught here.
    const std::filesystem::path document = GuideDocumentPath(helpFolder, settings.guideFile);
    std::error_code error;
    const bool opened =
        !document.empty() && std::filesystem::is_regular_file(document, error) && opener.Open(document);
    if (!opened) {
      errors.Show(language.Text("ERROR_MESSAGE21", lang), language.Text("ERROR_MESSAGE22", lang));
    }
  }
  if (!settings.guide) {
    int code = 0;
    if (store.WriteBool("GUIDE", false, &code)) {
      errors.Show(Format(language.Text("ERROR_MESSAGE23", lang), code), language.Text("ERROR_MESSAGE24", lang));
    }
  }
}

}  // namespace tolvane
