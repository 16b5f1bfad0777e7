// The Customer page of every unit we ship, as the simulated sensor holds it,
// read with the unit's model: it decodes to a valid, complete configuration
// that passes the value checks, and encoding it again without a change gives
// the same 512 bytes.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>

#include "ShippedModelRig.h"
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

// ---------------------------------------------------------------------------
// Known-answer pages, worked out by hand from the model files: the words of
// each item, the codes of the options, the level words of the configuration,
// the advanced entries' flag bits (the bit number less one) and value words,
// the DCAL words, and the counts r = trunc(f * v + 0.5) with the factor of
// the units. A round trip cannot catch a word, a factor or a bit taken wrong
// the same way in both directions; these pages can.

namespace known {

using Words = std::array<std::uint16_t, 256>;

Words WordsOf(const PageBytes& page) {
  Words w{};
  for (int i = 0; i < 256; ++i) {
    w[static_cast<std::size_t>(i)] = GetWord(page, i);
  }
  return w;
}

PageBytes PageOf(const Words& words) {
  PageBytes page{};
  for (int i = 0; i < 256; ++i) {
    PutWord(page, i, words[static_cast<std::size_t>(i)]);
  }
  return page;
}

// The bytes of a text in the notes' words (two characters a word, the first
// in the low byte), the rest of the 64 bytes zero.
void PutNotes(Words& w, const std::string& cp1252) {
  for (std::size_t b = 0; b < 64; b += 2) {
    const auto lo = static_cast<std::uint8_t>(b < cp1252.size() ? cp1252[b] : 0);
    const auto hi = static_cast<std::uint8_t>(b + 1 < cp1252.size() ? cp1252[b + 1] : 0);
    w[224 + b / 2] = static_cast<std::uint16_t>(lo | (hi << 8));
  }
}

class KnownPages : public ::testing::Test {
 protected:
  void Load(const char* key) {
    ASSERT_NO_FATAL_FAILURE(rig_.Load(key));
    record_ = rig_.record();
    StartSelections(model(), record_);
  }
  const MODEL_DEFINITION& model() const { return rig_.model(); }
  // Selections by option index (1 the first real option), then evaluated.
  void Choose(std::initializer_list<std::int32_t> options, int number) {
    std::size_t i = 0;
    for (const std::int32_t o : options) {
      record_.selection[i++] = o;
    }
    EvaluateConfiguration(model(), record_, true);
    ASSERT_TRUE(record_.valid);
    ASSERT_EQ(model().configurations[static_cast<std::size_t>(record_.configIndex)].number, number);
  }

  test::ShippedModelRig rig_;
  CONFIG_RECORD record_;
  NONLINEAR_PAGE nonLinear_;
};

TEST_F(KnownPages, Qr27ConfigurationFiveInInches) {
  ASSERT_NO_FATAL_FAILURE(Load("qr27"));
  // Level, 20-4 mA, Relay 1 Pump Down, Relay 2 Lo Alarm, Go to 22 mA, Hold
  // State, Slow: configuration 5.
  ASSERT_NO_FATAL_FAILURE(Choose({1, 2, 3, 1, 3, 2, 3}, 5));
  record_.unitsIndex = 0;  // Inches, 25.4 counts each
  record_.sensorHeight = 120.0;
  record_.fillHeight = 100.5;
  record_.level = {0.0, 10.0, 20.0, 80.0, 50.0, 95.5};  // row 4 is not used by configuration 5
  record_.advanced[0] = {true, 12.7};                   // Damping: flag 30 bit 1, value word 31
  record_.advanced[2] = {true, -1.0};                   // Echo Lock: bit 3, no value word
  record_.advanced[6] = {true, 7.9};                    // Level Offset: bit 7, word 35
  record_.advanced[7] = {true, -1.0};                   // Maximum Level Change: bit 9, word 36
  record_.tankDescription = "Sump 3 \u00e9\u20ac";
  nonLinear_.dimensionUnit = 3;
  nonLinear_.dimensions = {1.5f, -2.0f, 0, 0, 0, 0, 0, 0, 100.0f};

  Words cached;
  cached.fill(0xA5A5);
  Words want = cached;
  want[1] = 3048;   // 120.0 in
  want[3] = 2553;   // 100.5 in: 2552.7
  want[8] = 1;      // Application: Level
  want[9] = 1;      // Analog Output: 20-4 mA
  want[10] = 2;     // Relay 1: Pump Down
  want[11] = 0;     // Relay 2: Lo Alarm
  want[12] = 2;     // Output Fail-Safe: Go to 22 mA
  want[13] = 1;     // Relay Fail-Safe: Hold State
  want[14] = 2;     // Response Speed: Slow
  want[20] = 0;     // row 0, Lo Span
  want[23] = 254;   // row 1, Relay 2 Lo Alarm: 10.0 in
  want[21] = 508;   // row 2, Relay 1 Pump Off: 20.0 in
  want[22] = 2032;  // row 3, Relay 1 Pump On: 80.0 in
  want[25] = 2426;  // row 5, Hi Span: 95.5 in, 2425.7
  // Flag word 30: bits 0 (Damping), 2 (Echo Lock), 6 (Level Offset) and 8
  // (Maximum Level Change) set; 1, 3, 4, 5 and 9 cleared; 7 and 10..15 are
  // no entry's and keep the unit's 0xA5A5 bits (7, 10, 13, 15).
  want[30] = 0x0145 | 0xA480;
  want[31] = 12;      // 12.7 cut
  want[32] = 0xFFFF;  // Blanking Distance, absent
  want[33] = 0xFFFF;  // Fail-Safe Delay, absent
  want[34] = 0xFFFF;  // Relay Delay, absent
  want[35] = 7;       // 7.9 cut
  want[36] = 0xFFFF;  // present without a value
  want[37] = 0xFFFF;  // Loop Current Trim, absent
  want[40] = 27;      // DCAL
  want[41] = 2;
  want[42] = 0;
  want[205] = 3;
  // 1.5f = 0x3FC00000, -2.0f = 0xC0000000, 100.0f = 0x42C80000; low word first.
  for (int i = 206; i <= 223; ++i) {
    want[static_cast<std::size_t>(i)] = 0;
  }
  want[207] = 0x3FC0;
  want[209] = 0xC000;
  want[223] = 0x42C8;
  PutNotes(want, "Sump 3 \xE9\x80");

  PageBytes staging{};
  ENCODE_FAULT fault;
  ASSERT_EQ(EncodeToPage(model(), record_, nonLinear_, PageOf(cached), staging, nullptr, &fault), ENCODE_OK)
      << fault.what;
  const Words got = WordsOf(staging);
  for (std::size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(got[i], want[i]) << "word " << i;
  }

  // And the page decodes to the hand values.
  CONFIG_RECORD back = rig_.record();
  StartSelections(model(), back);
  back.unitsIndex = 0;
  NONLINEAR_PAGE nl;
  ASSERT_EQ(DecodeFromPage(model(), back, nl, PageOf(want)), 0);
  EXPECT_EQ(back.selection, record_.selection);
  EXPECT_EQ(back.sensorHeight, 120.0);
  EXPECT_EQ(back.fillHeight, 100.5);
  EXPECT_EQ(back.level, (std::array<double, 6>{0.0, 10.0, 20.0, 80.0, -1.0, 95.5}));
  EXPECT_EQ(back.tankDescription, "Sump 3 \u00e9\u20ac");
  EXPECT_EQ(nl.dimensionUnit, 3);
  EXPECT_EQ(nl.dimensions[1], -2.0f);
}

TEST_F(KnownPages, Qr25PageDecodedInMeters) {
  ASSERT_NO_FATAL_FAILURE(Load("qr25"));
  record_.unitsIndex = 4;  // Meters, 1000 counts each
  Words w{};
  w[1] = 2500;  // 2.5 m
  w[3] = 2000;  // 2.0 m
  w[8] = 2;     // Application: Distance, option 2
  w[9] = 0;     // Analog Output: 4-20 mA, option 1
  w[10] = 4;    // Loop Alarm: Two-Stage Lo and Hi Alarms, option 5
  w[12] = 1;    // Output Fail-Safe: Go to 3.6 mA, option 2
  w[14] = 2;    // Response Speed: Slow, option 3
  // Configuration 6: rows 0..5 in words 20, 22, 21, 23, 24, 25.
  w[20] = 100;   // 0.1
  w[22] = 333;   // 0.333 shows as 0.3
  w[21] = 450;   // 0.45 shows as 0.5 (halves up)
  w[23] = 1849;  // 1.849 shows as 1.8
  w[24] = 1950;  // 2.0
  w[25] = 2050;  // 2.05 shows as 2.1
  // Damping (bit 1 of word 30, word 31) and Fail-Safe Delay (bit 4, word
  // 33) flagged; Level Offset (bit 7, word 35) not flagged but with a value.
  w[30] = 0x0009;
  w[31] = 30;
  w[32] = 0xFFFF;
  w[33] = 0xFFFF;
  w[35] = 7;
  w[205] = 2;
  w[207] = 0x4120;  // D[0] = 10.0f
  PutNotes(w, "Day tank");

  ASSERT_EQ(DecodeFromPage(model(), record_, nonLinear_, PageOf(w)), 0);
  EXPECT_EQ(record_.selection, (Selections{2, 1, 5, 2, 3, 0, 0, 0, 0, 0}));
  ASSERT_TRUE(record_.valid);
  EXPECT_EQ(model().configurations[static_cast<std::size_t>(record_.configIndex)].number, 6);
  EXPECT_EQ(record_.sensorHeight, 2.5);
  EXPECT_EQ(record_.fillHeight, 2.0);
  EXPECT_EQ(record_.level, (std::array<double, 6>{0.1, 0.3, 0.5, 1.8, 2.0, 2.1}));
  const std::pair<bool, double> advanced[] = {{true, 30.0}, {false, -1.0}, {false, -1.0}, {true, -1.0}, {true, 7.0}};
  for (std::size_t a = 0; a < std::size(advanced); ++a) {
    EXPECT_EQ(record_.advanced[a].present, advanced[a].first) << "entry " << a;
    EXPECT_EQ(record_.advanced[a].value, advanced[a].second) << "entry " << a;
  }
  EXPECT_EQ(record_.tankDescription, "Day tank");
  EXPECT_EQ(nonLinear_.dimensionUnit, 2);
  EXPECT_EQ(nonLinear_.dimensions[0], 10.0f);
  EXPECT_TRUE(record_.complete);
}

TEST_F(KnownPages, Qr30ConfigurationSixteenInFeet) {
  ASSERT_NO_FATAL_FAILURE(Load("qr30"));
  // Pump Down, Two Pumps Lead and Lag, Lo Hi and Hi Hi Alarm, De-energize,
  // Percent, Medium: configuration 16.
  ASSERT_NO_FATAL_FAILURE(Choose({1, 3, 4, 1, 3, 2}, 16));
  record_.unitsIndex = 1;  // Feet, 304.8 counts each
  record_.sensorHeight = 20.0;
  record_.fillHeight = 18.5;
  record_.level = {2.0, 3.0, 10.0, 12.5, 15.0, 16.2};
  record_.advanced[3] = {true, 4.0};    // Relay Delay: flag 30 bit 5, word 34
  record_.advanced[4] = {true, 120.9};  // Pump Run-On: bit 6, word 36
  record_.advanced[5] = {true, -1.0};   // Alternate Pumps Daily: bit 8, no value word
  record_.tankDescription.clear();

  Words cached{};
  cached[30] = 0xFFFF;
  cached[100] = 0xBEEF;
  cached[224] = 0x4141;  // notes the unit held
  Words want = cached;
  want[1] = 6096;   // 20.0 ft
  want[3] = 5639;   // 18.5 ft: 5638.8
  want[8] = 0;      // Control Mode: Pump Down
  want[9] = 3;      // Pumps: Two Pumps, Lead and Lag
  want[10] = 3;     // Alarm Relays: Lo, Hi and Hi Hi
  want[11] = 0;     // Relay Fail-Safe: De-energize
  want[12] = 2;     // Display: Percent
  want[13] = 1;     // Response Speed: Medium
  want[20] = 610;   // 2.0 ft: 609.6
  want[21] = 914;   // 3.0 ft: 914.4
  want[22] = 3048;  // 10.0 ft
  want[23] = 3810;  // 12.5 ft
  want[24] = 4572;  // 15.0 ft
  want[25] = 4938;  // 16.2 ft: 4937.76
  // Bits 0, 1, 2, 4, 5, 7 are the entries'; 4, 5, 7 set. The others keep
  // the unit's ones.
  want[30] = (0xFFFF & ~0x00B7) | 0x00B0;
  want[31] = 0xFFFF;  // Damping, absent
  want[32] = 0xFFFF;  // Blanking Distance, absent
  want[34] = 4;
  want[36] = 120;
  want[40] = 30;  // DCAL
  want[41] = 2;
  want[42] = 4;
  want[224] = 0;  // no notes

  PageBytes staging{};
  ENCODE_FAULT fault;
  ASSERT_EQ(EncodeToPage(model(), record_, nonLinear_, PageOf(cached), staging, nullptr, &fault), ENCODE_OK)
      << fault.what;
  const Words got = WordsOf(staging);
  for (std::size_t i = 0; i < 256; ++i) {
    EXPECT_EQ(got[i], want[i]) << "word " << i;
  }
}

}  // namespace known

}  // namespace
}  // namespace tolvane::config
