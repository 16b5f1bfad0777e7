// The quick start guide offered at start: ask, open the guide document, and
// remember a "do not show again" in the settings store.
#pragma once

#include <filesystem>
#include <string>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/LanguageFile.h"

namespace tolvane {

// The quick start guide prompt. Returns RESULT_OK for yes and RESULT_CANCEL
// for no, Escape or the close box. Either button clears `guide` when the user
// ticked "Do not show this message again"; otherwise `guide` is left alone.
class IViewGuide {
 public:
  virtual ~IViewGuide() = default;
  virtual int Show(bool& guide) = 0;
};

// Writes one boolean setting. Returns false on success and true on failure,
// with the failure code in `code` when it is given (0 on success).
class ISettingsWriter {
 public:
  virtual ~ISettingsWriter() = default;
  virtual bool WriteBool(const std::string& name, bool value, int* code) = 0;
};

// Opens a document with the desktop's own viewer. Returns true when the
// viewer was started.
class IDocumentOpener {
 public:
  virtual ~IDocumentOpener() = default;
  virtual bool Open(const std::filesystem::path& file) = 0;
};

// The guide document: `guideFile` in the help folder. Empty when the name
// would reach outside the help folder (or names nothing at all).
std::filesystem::path GuideDocumentPath(const std::filesystem::path& helpFolder, const std::string& guideFile);

// Runs the prompt; on yes opens the guide document (GFILE in `helpFolder`)
// and reports a failure to open it; afterwards, when GUIDE is now false,
// writes it to the settings store and reports a failure to write it.
void RunGuideProcedure(IViewGuide& prompt, ISettingsWriter& store, IDocumentOpener& opener, IErrorDetail& errors,
                       const CLanguageFile& language, APP_SETTINGS& settings,
                       const std::filesystem::path& helpFolder);

}  // namespace tolvane
