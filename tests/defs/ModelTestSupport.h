// A model parser with its tables, as the main dialog owns them, for tests.
#pragma once

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

}  // namespace tolvane::test
