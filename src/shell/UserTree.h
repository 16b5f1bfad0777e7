// The per-user tree, made by the first start of any of the programs for a
// user: what an installation provides on a desktop with a registry and
// common folders, done here by the program itself and only where it is
// missing. Nothing a user wrote is ever replaced, and two programs starting
// at once both find a whole tree.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "common/Folders.h"
#include "defs/LanguageFile.h"
#include "shell/UserRegistry.h"

namespace tolvane {

// One thing the first start could not make, with the path it concerns.
struct TREE_PROBLEM {
  enum class Kind { Folder, File, SettingsKey, SettingsValue };
  Kind kind;
  std::filesystem::path path;
  std::string reason;  // the system's text for the error
};

struct USER_TREE_RESULT {
  std::vector<TREE_PROBLEM> problems;
  int foldersCreated = 0;
  int filesAdded = 0;       // shipped configuration, firmware and settings files added
  bool keyCreated = false;  // the settings key did not exist before
  bool versionSet = false;  // VERSION was missing or another version's
};

// The quick start guide the build writes into the help folder; GFILE names
// it when the key has no GFILE yet.
inline constexpr const char* kShippedGuide = "Tolvane Quick Start Guide.pdf";

// What the corporate model names for the settings and the texts.
struct CORPORATE_NAMES {
  std::string corporateId;
  std::string programName;
  std::string registryFile;
  std::string languageFile;
  int languageNumber = 0;
};
// Reads them from the corporate model of the models folder (the user's or
// the installed one). False when there is none.
bool ReadCorporateNames(const FOLDERS& folders, CORPORATE_NAMES& names);

// Makes what is missing of the user's tree:
// - the models, configurations, programs and logs folders and the settings
//   store's folder;
// - the configuration files and firmware files the data folder ships in its
//   "Configs" and "Programs" folders, each added when the user has no file of
//   that name (nothing happens when the two folders are one, as in a portable
//   tree);
// - with the per-user store, the settings key named by the corporate model
//   (CORPORATEID, PROGRAMNAME) with VERSION = `version` and GFILE = the
//   shipped guide when the key has none; with a settings file (REGISTRY_FILE),
//   a copy of the shipped file when the user has none.
USER_TREE_RESULT PrepareUserTree(const FOLDERS& folders, CUserRegistry& registry, std::string_view version);

// Adds each regular file of `shipped` to `target` (made when missing) that
// `target` has no entry of that name for. Each file is written under a
// temporary name and moved into place only when it is whole, and never over
// a file that appeared meanwhile. Returns the number of files added; files
// that could not be added are appended to `problems` when given.
int AddShippedFiles(const std::filesystem::path& shipped, const std::filesystem::path& target,
                    std::vector<TREE_PROBLEM>* problems = nullptr);

// The language key of a problem's message: a pattern of the path and the reason.
const char* ProblemKey(TREE_PROBLEM::Kind kind);
// The message for a problem, naming its path: the language file's text in
// column `language`, or the English one when `texts` has none.
std::string DescribeProblem(const TREE_PROBLEM& problem, const CLanguageFile* texts = nullptr, int language = 0);

}  // namespace tolvane
