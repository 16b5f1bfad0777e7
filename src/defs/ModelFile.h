// The model file parser and catalogue. Every sensor model's form (items,
// options, valid configurations, levels, units, advanced entries, pictures,
// help topics, non-linear structures) comes from a model file in the models
// folder; the corporate model names the program and its files. Files are
// plain (".txt") or protected (".fmf", deciphered in memory).
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "defs/ConfigRecord.h"
#include "defs/FileCipher.h"
#include "defs/HelpTopics.h"
#include "defs/LanguageFile.h"
#include "defs/ModelSyntax.h"
#include "defs/ModelTables.h"

namespace tolvane {

// What the last parse did with its lines.
struct PARSE_STATS {
  int entries = 0;   // lines that held an entry
  int applied = 0;   // entries that changed a table
  int ignored = 0;   // known keys that were not applied: full table, index out of range, bad list
  int unknown = 0;   // keys the parser does not know
  int deferred = 0;  // entries meant for another reader (PROGRAMNAME of a configuration model)
};

// Control ids whose help topics model files may set.
inline constexpr int kItemComboIds[kMaxItems] = {1006, 1007, 1008, 1009, 1010, 1011, 1012, 1013, 1030, 1032};
inline constexpr int kItemLabelIds[kMaxItems] = {1033, 1034, 1035, 1036, 1037, 1038, 1039, 1040, 1049, 1051};
inline constexpr int kLevelBoxIds[kLevelRows] = {1019, 1018, 1017, 1016, 1015, 1014};
inline constexpr int kLevelLabelIds[kLevelRows] = {1047, 1046, 1045, 1044, 1043, 1042};

class CModelFile {
 public:
  // All references are owned by the caller and outlive the object. `help`,
  // `busy` and `messages` may be null (no help table yet, no busy window, no
  // message box for the text-file reader's type check failures).
  // `installedModels`, when given, lies under the models folder: a file of a
  // name the models folder does not hold is read from there, and the
  // catalogue lists both.
  CModelFile(const std::filesystem::path& modelsFolder, MODEL_TABLES& tables, APP_SETTINGS& settings,
             const CLanguageFile& language, CONFIG_RECORD& record, IHelpTopics* help = nullptr,
             IBusyWindow* busy = nullptr, const std::filesystem::path& installedModels = {},
             IMessageBox* messages = nullptr);

  // --- Parser ---

  // Reads a plain model file into the tables. 0 when it was read to its end,
  // 1 when it could not be opened (nothing is changed then).
  int ParseModelFile(const std::filesystem::path& path);
  // The same for text already in memory (a deciphered file). `path` decides
  // only whether PROGRAMNAME is taken: it is when the file name holds
  // "Corporate_Model".
  int ParseModelText(std::string_view bytes, const std::filesystem::path& path);

  // Empties the configuration model before another is loaded.
  void ResetModel();
  // Empties the structure picker's tables before a structure-page file is loaded.
  void ResetStructure();

  // Expands one CONFIG value into configurations, item 0 outermost. Returns
  // the number added (the expansion stops when the table is full), or -1 when
  // a list names more numbers or options than an item can take.
  int ExpandConfig(std::string_view value);

  const PARSE_STATS& LastParseStats() const { return stats_; }

  // --- Catalogue ---

  // Loads a model file: a path holding ".txt" or ".fmf" in its file name is
  // read as such; any other path is a base name, for which ".fmf", then
  // ".txt", then the bare name are tried. 1 when a file existed, 0 when none
  // did. With progress above 0 the busy window's bar is set to it.
  int LoadModel(const std::filesystem::path& path, int progress);
  // Loads the file `name` of the models folder (a base name as for LoadModel);
  // a name that would leave the folder is refused (result 0).
  int LoadModelByName(std::string_view name, int progress);

  // Looks for an entry with `key` in the file (deciphered first when it is
  // protected). Each such entry's value goes to `outValue` (when given); 1 when
  // one equals `value`. Without `keepLooking` the first entry of the key
  // decides.
  int FindKeyValue(const std::filesystem::path& path, std::string_view key, std::string_view value,
                   std::string* outValue, bool keepLooking) const;

  // The first model file (pattern + "*.txt", then pattern + "*.fmf") that holds
  // `key` = `value`. 1 and the file name in `outName` when one does.
  int FindModel(std::string_view pattern, std::string_view key, std::string_view value, int progress,
                std::string& outName) const;
  // The same for a file that holds both values under `key`.
  int FindModelByTwoValues(std::string_view pattern, std::string_view key, std::string_view value1,
                           std::string_view value2, int progress, std::string& outName) const;

  // Start-up: ResetModel and load "Corporate_Model". 1 when it was found.
  int LoadCorporateModel();
  // Identification: finds and loads the model of the unit in the record
  // (`firmwareName` and `modelName`). 1 when a model was found and loaded.
  int LoadUnitModel();

  // The hardware type of a hardware model name: the part before its first "-".
  static std::string HardwareType(std::string_view modelName);

  const std::filesystem::path& ModelsFolder() const { return folder_; }

 private:
  using LineSource = std::function<bool(std::string&)>;
  void ParseLines(const LineSource& next, bool corporate);
  void ApplyEntry(const MODEL_ENTRY& e, bool corporate);
  bool ApplyProgramKey(const MODEL_ENTRY& e, bool corporate);
  bool ApplyConfigurationKey(const MODEL_ENTRY& e);
  bool ApplyHelpKey(const MODEL_ENTRY& e);
  bool ApplyNonLinearKey(const MODEL_ENTRY& e);
  bool ApplySettingsKey(const MODEL_ENTRY& e);
  void Applied(bool applied);
  void ResetDefinition();
  void SetHelpTopic(int controlId, const std::string& topic);
  // Visits the entries of a plain or protected file until `visit` returns
  // false. False when the file cannot be read.
  bool ScanEntries(const std::filesystem::path& path, const std::function<bool(const MODEL_ENTRY&)>& visit) const;
  std::vector<std::string> ListFiles(std::string_view pattern, std::string_view extension) const;
  // The file `name` of the models folder: the user's, else the installed one.
  std::filesystem::path File(std::string_view name) const;
  // LoadModel for a name of the models folder, each candidate of a base name
  // taken from where it is found.
  int LoadFromModels(std::string_view name, int progress);
  void ShowBusy(std::string_view key, int progress) const;

  std::filesystem::path folder_;
  std::filesystem::path installed_;
  MODEL_TABLES& tables_;
  APP_SETTINGS& settings_;
  const CLanguageFile& language_;
  CONFIG_RECORD& record_;
  IHelpTopics* help_;
  IBusyWindow* busy_;
  IMessageBox* messages_;
  CipherKey key_;

  PARSE_STATS stats_;
  std::int32_t matchingUnitType_ = 0;
};

}  // namespace tolvane
