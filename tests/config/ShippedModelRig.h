// A shipped unit's model, loaded as identification loads it: the shipped
// models and the protected ones the build made, copied into a temporary
// models folder, the language file loaded, the unit's identity in the record.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>

#include "defs/ModelTestSupport.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane::test {

class ShippedModelRig {
 public:
  ShippedModelRig() {
    namespace fs = std::filesystem;
    fs::create_directories(models_);
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Models")) {
      fs::copy_file(e.path(), models_ / e.path().filename());
    }
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_PROTECTED_MODELS_DIR))) {
      if (e.path().extension() == ".fmf") {
        fs::copy_file(e.path(), models_ / e.path().filename());
      }
    }
  }

  // Loads the model of the shipped unit `key` ("qr25", "qr27", "qr30"); the
  // record holds the unit's identity. Use with ASSERT_NO_FATAL_FAILURE.
  void Load(const std::string& key) {
    const auto identity = link::sim::ShippedIdentity(key);
    ASSERT_TRUE(identity.has_value()) << key;
    fixture_ = std::make_unique<ModelFixture>(models_);
    ASSERT_EQ(fixture_->parser.LoadCorporateModel(), 1);
    ASSERT_EQ(fixture_->language.Load(fixture_->settings.languageFile), 0);
    CONFIG_RECORD& r = fixture_->record;
    r.modelName = identity->hardwareModel;
    r.firmwareName = identity->firmwareName;
    r.serialNumber = static_cast<std::int32_t>(identity->hardwareSerial);
    r.factorySerial = static_cast<std::int32_t>(identity->serial);
    r.softwareRevision = identity->softwareRevision;
    ASSERT_EQ(fixture_->parser.LoadUnitModel(), 1);
  }

  const MODEL_DEFINITION& model() const { return fixture_->tables->model; }
  CONFIG_RECORD& record() { return fixture_->record; }
  const CLanguageFile& language() const { return fixture_->language; }
  const std::filesystem::path& modelsFolder() const { return models_; }

 private:
  TempDir home_;
  std::filesystem::path models_ = home_.path() / "Models";
  std::unique_ptr<ModelFixture> fixture_;
};

}  // namespace tolvane::test
