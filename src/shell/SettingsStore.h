// The values kept between runs: either string values under the program's
// per-user registry key, or key = value lines of a settings file in the
// models folder, chosen by the corporate model's REGISTRY_FILE.
//
// Every operation returns false on success and true on failure, and writes a
// failure code to `code` when given (0 on success).
#pragma once

#include <filesystem>
#include <functional>
#include <string>
#include <vector>

#include "common/Messages.h"
#include "defs/AppSettings.h"
#include "shell/GuideProcedure.h"
#include "shell/UserRegistry.h"

namespace tolvane {

// Reads a settings file into the settings block (the model file parser does
// this: it knows the settings keys). Returns false when the file cannot be opened.
using SettingsFileLoader = std::function<bool(const std::filesystem::path& file, APP_SETTINGS& settings)>;

// One entry of a key = value file.
struct KEY_VALUE {
  std::string key;
  std::string value;
};
// Reads every entry of a key = value file in order, with the model file's
// line syntax (comments and blank lines are no entries). Returns false when
// the file cannot be opened. `messages` shows the text-file reader's type
// check failures (may be null).
bool ReadKeyValueFile(const std::filesystem::path& file, std::vector<KEY_VALUE>& entries,
                      IMessageBox* messages = nullptr);

class CSettingsStore : public ISettingsWriter {
 public:
  // Values read from the registry longer than this fail to read.
  static constexpr std::size_t kMaxValueChars = 49;

  // `corporateId` and `programName` name the registry key; both are the
  // corporate model's and must outlive the store. `messages` shows the
  // type-check failures of the settings file's reader (may be null).
  CSettingsStore(IRegistry& registry, const std::string& corporateId, const std::string& programName,
                 APP_SETTINGS& settings, std::filesystem::path modelsFolder, SettingsFileLoader loadFile,
                 IMessageBox* messages = nullptr);

  bool LoadAll(int* code = nullptr);
  bool ReadBool(const std::string& name, bool& value, int* code = nullptr);
  bool WriteBool(const std::string& name, bool value, int* code = nullptr) override;
  bool ReadString(const std::string& name, std::string& value, int* code = nullptr);
  bool WriteString(const std::string& name, const std::string& value, int* code = nullptr);

  // The registry key path: Software, CORPORATEID, PROGRAMNAME, 01.
  std::vector<std::string> KeyPath() const;

  // The failure code when the settings file cannot be opened, for a load and
  // for every single read or write (a value the file does not hold is no
  // failure of a read).
  static constexpr int kSettingsFileMissing = 1;

 private:
  bool UsesFile() const { return !settings_.registryFile.empty(); }
  std::filesystem::path SettingsFile() const;
  bool LoadRegistry(int& code);
  bool ReadRegistry(const std::string& name, std::string& value, int& code);
  bool WriteRegistry(const std::string& name, const std::string& value, int& code);
  // 0 with the value of the first line of `name` (the value unchanged when
  // there is none), or kSettingsFileMissing.
  int ReadFileValue(const std::string& name, std::string& value);
  bool WriteFileValue(const std::string& name, const std::string& value, int& code);

  IRegistry& registry_;
  const std::string& corporateId_;
  const std::string& programName_;
  APP_SETTINGS& settings_;
  std::filesystem::path models_;
  SettingsFileLoader loadFile_;
  IMessageBox* messages_;
};

}  // namespace tolvane
