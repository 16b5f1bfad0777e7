// A per-user key/value store with the semantics of a desktop registry: keys
// are paths that must exist before values can be read or written, values are
// named strings. CUserRegistry keeps each key as a folder below a root, its
// values in one file that is replaced whole on every change.
#pragma once

#include <filesystem>
#include <map>
#include <optional>
#include <string>
#include <vector>

namespace tolvane {

class IRegistry {
 public:
  enum class Status { Ok, NotFound, TooLong, Error };

  virtual ~IRegistry() = default;
  // Opens an existing key; never creates one.
  virtual Status OpenKey(const std::vector<std::string>& path) = 0;
  // Names of the values of the open key.
  virtual Status EnumValues(std::vector<std::string>& names) = 0;
  // Reads a string value; a value longer than `maxChars` characters fails with TooLong.
  virtual Status QueryValue(const std::string& name, std::size_t maxChars, std::string& value) = 0;
  virtual Status SetValue(const std::string& name, const std::string& value) = 0;
  virtual Status CloseKey() = 0;
};

class CUserRegistry : public IRegistry {
 public:
  explicit CUserRegistry(std::filesystem::path root);

  Status OpenKey(const std::vector<std::string>& path) override;
  Status EnumValues(std::vector<std::string>& names) override;
  Status QueryValue(const std::string& name, std::size_t maxChars, std::string& value) override;
  Status SetValue(const std::string& name, const std::string& value) override;
  Status CloseKey() override;

  // Creates a key and its parents (what an installation does); true on success.
  bool CreateKey(const std::vector<std::string>& path);

  // The file that holds a key's values.
  static constexpr const char* kValuesFile = "values.reg";

 private:
  std::optional<std::filesystem::path> KeyFolder(const std::vector<std::string>& path) const;
  Status Load(std::map<std::string, std::string>& values) const;

  std::filesystem::path root_;
  std::optional<std::filesystem::path> open_;
};

}  // namespace tolvane
