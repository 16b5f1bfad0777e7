// A model parser with its tables, as the main dialog owns them, for tests.
#pragma once

#include <algorithm>
#include <filesystem>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include "common/Messages.h"
#include "defs/ModelFile.h"
#include "support/TestSupport.h"

namespace tolvane::test {

class RecordingHelp : public IHelpTopics {
 public:
  int SetTopic(int controlId, const std::string& topic) override {
    topics.emplace_back(controlId, topic);
    return 0;
  }
  std::vector<std::pair<int, std::string>> topics;
};

// The tables are large (a thousand configurations); they live on the heap.
struct ModelFixture {
  explicit ModelFixture(const std::filesystem::path& folder, const std::filesystem::path& languageFolder = {})
      : tables(std::make_unique<MODEL_TABLES>()),
        language(languageFolder.empty() ? folder : languageFolder, nullptr),
        parser(folder, *tables, settings, language, record, &help, &busy, {}, &messages) {
    parser.ResetModel();
  }
  MODEL_DEFINITION& model() { return tables->model; }

  std::unique_ptr<MODEL_TABLES> tables;
  APP_SETTINGS settings;
  CLanguageFile language;
  CONFIG_RECORD record;
  RecordingHelp help;
  RecordingBusy busy;
  RecordingMessages messages;
  CModelFile parser;
};

// A configuration model the program ships, loaded.
struct SHIPPED_MODEL {
  std::filesystem::path file;
  std::unique_ptr<ModelFixture> loaded;
};

// Every model file of `shipped` (the installed Models folder's plain files,
// with the language file beside them) and every protected model of
// `protectedModels` (the .fmf files the build makes) that describes
// configurations, loaded as the program loads a unit's model, in name order.
// A file that does not load is left out and counted in `failed`.
inline std::vector<SHIPPED_MODEL> LoadShippedConfigurationModels(const std::filesystem::path& shipped,
                                                                 const std::filesystem::path& protectedModels,
                                                                 int& failed) {
  std::vector<std::filesystem::path> files;
  for (const auto& e : std::filesystem::directory_iterator(shipped)) {
    const std::string name = e.path().filename().string();
    if (e.is_regular_file() && name.starts_with("QRModel_") && e.path().extension() == ".txt") {
      files.push_back(e.path());
    }
  }
  for (const auto& e : std::filesystem::directory_iterator(protectedModels)) {
    if (e.path().extension() == ".fmf") {
      files.push_back(e.path());
    }
  }
  std::sort(files.begin(), files.end(),
            [](const auto& a, const auto& b) { return a.filename().string() < b.filename().string(); });
  std::vector<SHIPPED_MODEL> models;
  failed = 0;
  for (const auto& file : files) {
    auto f = std::make_unique<ModelFixture>(file.parent_path(), shipped);
    if (f->parser.LoadModel(file, 0) != 1) {
      ++failed;
      continue;
    }
    if (f->model().configurationCount > 0) {
      models.push_back({file, std::move(f)});
    }
  }
  return models;
}

}  // namespace tolvane::test
