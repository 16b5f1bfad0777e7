// The Customer page of every unit we ship, as the simulated sensor holds it,
// read with the unit's model: it decodes to a valid, complete configuration
// that passes the value checks, and encoding it again without a change gives
// the same 512 bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "config/ConfigValues.h"
#include "config/PageMapping.h"
#include "config/Selection.h"
#include "config/ValueChecks.h"
#include "defs/ModelTestSupport.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane::config {
namespace {

namespace fs = std::filesystem;

class ShippedPages : public ::testing::TestWithParam<const char*> {
 protected:
  ShippedPages() {
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

  // The unit's page and its model, loaded as identification loads it.
  void Load() {
    const auto identity = link::sim::ShippedIdentity(GetParam());
    ASSERT_TRUE(identity.has_value());
    link::sim::SimOptions options;
    options.identity = *identity;
    link::sim::CSimSensor sensor(options, std::chrono::steady_clock::now());
    std::copy(sensor.Page(1).begin(), sensor.Page(1).end(), page_.begin());

    fixture_ = std::make_unique<test::ModelFixture>(models_);
    ASSERT_EQ(fixture_->parser.LoadCorporateModel(), 1);
    ASSERT_EQ(fixture_->language.Load(fixture_->settings.languageFile), 0);
    fixture_->record.modelName = identity->hardwareModel;
    fixture_->record.firmwareName = identity->firmwareName;
    ASSERT_EQ(fixture_->parser.LoadUnitModel(), 1);
  }

  test::TempDir home_;
  fs::path models_ = home_.path() / "Models";
  PageBytes page_{};
  std::unique_ptr<test::ModelFixture> fixture_;
};

TEST_P(ShippedPages, DecodeToAValidConfigurationAndEncodeToTheSameBytes) {
  ASSERT_NO_FATAL_FAILURE(Load());
  const MODEL_DEFINITION& model = fixture_->model();
  CONFIG_RECORD& record = fixture_->record;
  if (std::string(GetParam()) == "qr30") {
    EXPECT_NE(record.modelFileName.find(".fmf"), std::string::npos) << "the protected model is the one read";
  }
  StartSelections(model, record);
  NONLINEAR_PAGE nl;
  ASSERT_EQ(DecodeFromPage(model, record, nl, page_), 0);
  ASSERT_TRUE(record.valid);
  EXPECT_TRUE(record.complete);
  for (int i = 0; i < kMaxItems; ++i) {
    EXPECT_EQ(record.selection[static_cast<std::size_t>(i)] > 0, model.items[static_cast<std::size_t>(i)].present);
  }
  EXPECT_FALSE(record.tankDescription.empty());
  EXPECT_EQ(CheckSensorHeight(model, record).result, CHECK_PASS);
  EXPECT_EQ(CheckFillHeight(model, record).result, CHECK_PASS);
  for (int k = 0; k < kLevelRows; ++k) {
    EXPECT_EQ(CheckLevel(model, record, k).result, CHECK_PASS) << "row " << k;
  }

  PageBytes again{};
  ENCODE_FAULT fault;
  ASSERT_EQ(EncodeToPage(model, record, nl, page_, again, nullptr, &fault), ENCODE_OK) << fault.what;
  EXPECT_EQ(again, page_);

  // In every linear unit the decoded values encode back to the same counts
  // when the counts can be shown exactly (millimetres), and within the
  // unit's resolution otherwise.
  for (std::int32_t u = 0; u < model.unitsCount; ++u) {
    CONFIG_RECORD inUnit = record;
    inUnit.unitsIndex = u;
    ASSERT_EQ(DecodeFromPage(model, inUnit, nl, page_), 0);
    ASSERT_EQ(EncodeToPage(model, inUnit, nl, page_, again), ENCODE_OK);
    const double f = *LinearFactor(model, u);
    for (const int w : {kSensorHeightWord, kFillHeightWord}) {
      EXPECT_LE(std::abs(GetWord(again, w) - GetWord(page_, w)), static_cast<int>(f * 0.05) + 1)
          << model.unitNames[static_cast<std::size_t>(u)] << " word " << w;
      if (f == 1.0) {
        EXPECT_EQ(GetWord(again, w), GetWord(page_, w));
      }
    }
  }
}

INSTANTIATE_TEST_SUITE_P(EveryShippedUnit, ShippedPages, ::testing::Values("qr25", "qr27", "qr30"));

}  // namespace
}  // namespace tolvane::config
