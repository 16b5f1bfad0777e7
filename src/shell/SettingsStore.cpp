#include "shell/SettingsStore.h"

#include <algorithm>
#include <array>

#include "common/FileSystem.h"
#include "common/StdioFileEx.h"
#include "defs/ModelSyntax.h"

namespace tolvane {
namespace {

using Status = IRegistry::Status;

struct Default {
  const char* name;
  const char* value;
};

// Written when missing from the key, in this order.
constexpr std::array<Default, 12> kDefaults{{
    {"DBVERSION", "5.0.0"},
    {"DEMOMODEL", "QR27Demo"},
    {"DEMOSERIAL", "1001"},
    {"DEMOSWREV", "0001"},
    {"DEMOTAB", "FALSE"},
    {"GFILE", "User Guide.pps"},
    {"GUIDE", "TRUE"},
    {"OPTOUT", "FALSE"},
    {"PENDING", "FALSE"},
    {"VERSION", "5.0.0"},
    {"TECHSUPPORT", "FALSE"},
    {"PREF_UNITS", "Inches"},
}};

bool Fail(int* out, int code) {
  if (out != nullptr) {
    *out = code;
  }
  return code != 0;
}

}  // namespace

bool ReadKeyValueFile(const std::filesystem::path& file, std::vector<KEY_VALUE>& entries, IMessageBox* messages) {
  CStdioFileEx f(messages);
  if (!f.Open(file, CStdioFileEx::modeRead)) {
    return false;
  }
  std::string line;
  MODEL_ENTRY entry;
  while (f.ReadString(line)) {
    if (ReadEntry(line, entry)) {
      entries.push_back({entry.key, entry.value});
    }
  }
  return true;
}

CSettingsStore::CSettingsStore(IRegistry& registry, const std::string& corporateId, const std::string& programName,
                               APP_SETTINGS& settings, std::filesystem::path modelsFolder, SettingsFileLoader loadFile,
                               IMessageBox* messages)
    : registry_(registry),
      corporateId_(corporateId),
      programName_(programName),
      settings_(settings),
      models_(std::move(modelsFolder)),
      loadFile_(std::move(loadFile)),
      messages_(messages) {}

std::vector<std::string> CSettingsStore::KeyPath() const { return {"Software", corporateId_, programName_, "01"}; }

std::filesystem::path CSettingsStore::SettingsFile() const { return models_ / settings_.registryFile; }

bool CSettingsStore::LoadAll(int* code) {
  int c = 0;
  if (UsesFile()) {
    if (!IsSafeLeafName(settings_.registryFile) || !loadFile_ || !loadFile_(SettingsFile(), settings_)) {
      c = kSettingsFileMissing;
    }
  } else {
    LoadRegistry(c);
  }
  return Fail(code, c);
}

bool CSettingsStore::LoadRegistry(int& code) {
  if (registry_.OpenKey(KeyPath()) != Status::Ok) {
    code = 1;
    return true;
  }
  auto fail = [this, &code](int c) {
    registry_.CloseKey();
    code = c;
    return true;
  };

  // Create the defaults that are missing.
  std::vector<std::string> names;
  if (registry_.EnumValues(names) != Status::Ok) {
    return fail(2);
  }
  for (const auto& d : kDefaults) {
    if (std::find(names.begin(), names.end(), d.name) == names.end() &&
        registry_.SetValue(d.name, d.value) != Status::Ok) {
      return fail(2);
    }
  }

  std::string text;
  auto readString = [this, &text](const char* name) {
    return registry_.QueryValue(name, kMaxValueChars, text) == Status::Ok;
  };
  // Booleans whose failure is no error read as false.
  auto readOptionalBool = [&](const char* name) { return readString(name) && text == "TRUE"; };

  if (!readString("GFILE")) return fail(3);
  settings_.guideFile = text;
  if (!readString("GUIDE")) return fail(4);
  settings_.guide = text == "TRUE";
  if (!readString("DEMOMODEL")) return fail(5);
  settings_.demoModel = text;
  if (!readString("DEMOSERIAL")) return fail(6);
  settings_.demoSerial = text;
  if (!readString("DEMOSWREV")) return fail(7);
  settings_.demoSoftwareRevision = text;
  settings_.demoTab = readOptionalBool("DEMOTAB");
  settings_.kestrineMode = readOptionalBool("KESTRINE_MODE");
  if (!readString("OPTOUT")) return fail(8);
  settings_.optOut = text == "TRUE";
  if (!readString("PENDING")) return fail(9);
  settings_.pending = text == "TRUE";
  if (!readString("VERSION")) return fail(10);
  settings_.version = text;
  if (!readString("DBVERSION")) return fail(11);
  settings_.dbVersion = text;
  settings_.techSupport = readOptionalBool("TECHSUPPORT");
  if (!readString("PREF_UNITS")) return fail(11);
  settings_.prefUnits = text;

  if (registry_.CloseKey() != Status::Ok) {
    code = 12;
    return true;
  }
  return false;
}

bool CSettingsStore::ReadRegistry(const std::string& name, std::string& value, int& code) {
  if (registry_.OpenKey(KeyPath()) != Status::Ok) {
    code = 1;
    return true;
  }
  std::string text;
  if (registry_.QueryValue(name, kMaxValueChars, text) != Status::Ok) {
    registry_.CloseKey();
    code = 2;
    return true;
  }
  if (registry_.CloseKey() != Status::Ok) {
    code = 3;
    return true;
  }
  value = text;
  return false;
}

bool CSettingsStore::WriteRegistry(const std::string& name, const std::string& value, int& code) {
  if (registry_.OpenKey(KeyPath()) != Status::Ok) {
    code = 1;
    return true;
  }
  if (registry_.SetValue(name, value) != Status::Ok) {
    registry_.CloseKey();
    code = 2;
    return true;
  }
  if (registry_.CloseKey() != Status::Ok) {
    code = 3;
    return true;
  }
  return false;
}

int CSettingsStore::ReadFileValue(const std::string& name, std::string& value) {
  std::vector<KEY_VALUE> entries;
  if (!IsSafeLeafName(settings_.registryFile) || !ReadKeyValueFile(SettingsFile(), entries, messages_)) {
    return kSettingsFileMissing;
  }
  for (const auto& e : entries) {
    if (e.key == name) {
      value = e.value;
      break;
    }
  }
  return 0;
}

bool CSettingsStore::WriteFileValue(const std::string& name, const std::string& value, int& code) {
  std::vector<KEY_VALUE> entries;
  if (!IsSafeLeafName(settings_.registryFile) || !ReadKeyValueFile(SettingsFile(), entries, messages_)) {
    code = kSettingsFileMissing;
    return true;
  }
  bool found = false;
  for (auto& e : entries) {
    if (e.key == name) {
      e.value = value;
      found = true;
    }
  }
  if (!found) {
    code = 4;  // a key without a line is not added; the file stays as it is
    return true;
  }
  // The new file is written beside the settings file and renamed over it, so
  // a failure at any point leaves the old settings whole.
  CStdioFileEx out;
  out.Open(SettingsFile(), CStdioFileEx::modeCreate | CStdioFileEx::modeWrite | CStdioFileEx::modeWriteUnicode);
  for (const auto& e : entries) {
    out.WriteString(e.key + " = " + e.value + "\n");
  }
  if (!out.Close()) {
    code = 2;
    return true;
  }
  return false;
}

bool CSettingsStore::ReadBool(const std::string& name, bool& value, int* code) {
  std::string text;
  if (UsesFile()) {
    // No line of the name reads as false.
    const int c = ReadFileValue(name, text);
    value = c == 0 && text == "TRUE";
    return Fail(code, c);
  }
  int c = 0;
  if (!ReadRegistry(name, text, c)) {
    value = text == "TRUE";
  }
  return Fail(code, c);
}

bool CSettingsStore::ReadString(const std::string& name, std::string& value, int* code) {
  if (UsesFile()) {
    return Fail(code, ReadFileValue(name, value));
  }
  int c = 0;
  ReadRegistry(name, value, c);
  return Fail(code, c);
}

bool CSettingsStore::WriteBool(const std::string& name, bool value, int* code) {
  return WriteString(name, value ? "TRUE" : "FALSE", code);
}

bool CSettingsStore::WriteString(const std::string& name, const std::string& value, int* code) {
  int c = 0;
  if (UsesFile()) {
    WriteFileValue(name, value, c);
  } else {
    WriteRegistry(name, value, c);
  }
  return Fail(code, c);
}

}  // namespace tolvane
