// The record on the Customer page and back: where each field lands, what the
// page keeps of the unit, and what happens with pages and models that do not
// fit together.
#include "config/PageMapping.h"

#include <gtest/gtest.h>

#include <cstring>
#include <functional>

#include "config/ConfigTestModel.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"

namespace tolvane::config {
namespace {

// A cached page whose every byte tells where it came from.
PageBytes UnitPage() {
  PageBytes p{};
  for (std::size_t b = 0; b < p.size(); ++b) {
    p[b] = static_cast<std::uint8_t>(0xC0 ^ b);
  }
  return p;
}

double FromCountsOf(const PageBytes& page, int word) { return FromCounts(10.0, GetWord(page, word)); }

class PageMapping : public ::testing::Test {
 protected:
  PageMapping() {
    // Centimetres (factor 10) first. Item 0 on word 8, which a DCAL line
    // also names; item 1 on word 0. Row 1 has word 0: not used.
    m_.Units({{"Centimeters", 10.0}, {"Inches", 25.4}})
        .Item(0, 8, "Mode", {1, 2, -5})
        .Item(1, 0, "Output", {0, 1})
        .Config(1, {1, -1}, {{0, 20, "Lo Span"}, {1, 0, "Nothing"}, {5, 25, "Hi Span"}})
        .Config(2, {2, -1}, {{0, 20, "Lo Span"}})
        .Config(3, {3, -1}, {{0, 20, "Lo Span"}})
        .Fixed(8, 77)
        .Fixed(40, 27)
        .Advanced(30, 0, 31, "bit number 0")
        .Advanced(30, 20, 32, "bit number 20")
        .Advanced(30, 9, 33, "bit number 9")
        .Advanced(34, 1, -1, "on/off");
    StartSelections(*m_, r_);
    EXPECT_TRUE(ChooseOption(*m_, r_, 0, 1));
    EXPECT_TRUE(ChooseOption(*m_, r_, 1, 2));
    EXPECT_TRUE(r_.valid);
    r_.sensorHeight = 12.34;
    r_.fillHeight = 10.0;
    r_.level = {1.0, 99.0, -1.0, -1.0, -1.0, 9.0};
  }
  int Encode() { return EncodeToPage(*m_, r_, nl_, cached_, staging_, nullptr, &fault_); }

  test::TestModel m_;
  CONFIG_RECORD r_;
  NONLINEAR_PAGE nl_;
  PageBytes cached_ = UnitPage();
  PageBytes staging_{};
  ENCODE_FAULT fault_;
};

TEST_F(PageMapping, EncodeWritesEachFieldToItsWord) {
  r_.advanced[0] = {true, 7.9};
  r_.advanced[1] = {true, 0.0};
  r_.advanced[2] = {true, -1.0};
  r_.tankDescription = "Tank 4, caf\xC3\xA9";
  nl_.dimensionUnit = 3;
  nl_.dimensions[0] = 1.5f;
  nl_.dimensions[8] = -2.0f;
  ASSERT_EQ(Encode(), ENCODE_OK);

  EXPECT_EQ(GetWord(staging_, 1), 123);  // 12.34 cm at 10 counts per cm
  EXPECT_EQ(GetWord(staging_, 3), 100);
  EXPECT_EQ(GetWord(staging_, 8), 1) << "the item's code wins over the DCAL word";
  EXPECT_EQ(GetWord(staging_, 0), 1) << "an item on word 0 is written to word 0";
  EXPECT_EQ(GetWord(staging_, 40), 27);
  EXPECT_EQ(GetWord(staging_, 20), 10);
  EXPECT_EQ(GetWord(staging_, 25), 90);
  // Advanced flags: bit number 0 uses bit 0, 20 bit 15, 9 bit 0 of the high
  // byte; the other bits of the word keep the unit's values.
  const std::uint16_t flags = GetWord(staging_, 30);
  EXPECT_EQ(flags & 0x8101, 0x8101);
  EXPECT_EQ(flags & ~0x8101 & 0xFFFF, GetWord(cached_, 30) & ~0x8101 & 0xFFFF);
  EXPECT_EQ(GetWord(staging_, 31), 7) << "7.9 is written as 7";
  EXPECT_EQ(GetWord(staging_, 32), 0);
  EXPECT_EQ(GetWord(staging_, 33), 0xFFFF) << "present without a value";
  EXPECT_EQ(GetWord(staging_, 34) & 1, 0) << "an entry not present clears its bit";
  // Non-linear values and notes.
  EXPECT_EQ(GetWord(staging_, 205), 3);
  float d0 = 0;
  float d8 = 0;
  std::memcpy(&d0, staging_.data() + 412, 4);
  std::memcpy(&d8, staging_.data() + 444, 4);
  EXPECT_EQ(d0, 1.5f);
  EXPECT_EQ(d8, -2.0f);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(staging_.data() + 448)), "Tank 4, caf\xE9");
  EXPECT_EQ(staging_[511], 0);

  // Words the model does not map keep the unit's values.
  for (const int w : {2, 4, 7, 9, 21, 24, 26, 29, 35, 39, 41, 204}) {
    EXPECT_EQ(GetWord(staging_, w), GetWord(cached_, w)) << "word " << w;
  }
}

TEST_F(PageMapping, NotesFillTheirSixtyFourBytes) {
  r_.tankDescription = std::string(63, 'x');
  ASSERT_EQ(Encode(), ENCODE_OK);
  EXPECT_EQ(staging_[510], 'x');
  EXPECT_EQ(staging_[511], 0);
  // Longer notes are cut to what the page holds.
  r_.tankDescription = std::string(70, 'y');
  ASSERT_EQ(Encode(), ENCODE_OK);
  CONFIG_RECORD back;
  DecodeFromPage(*m_, back, nl_, staging_);
  EXPECT_EQ(back.tankDescription, std::string(64, 'y'));
}

// Each case spoils one thing; the image is refused and the staging buffer
// keeps what it held.
TEST_F(PageMapping, WhatCannotBeWrittenIsRefusedAndNothingIsTouched) {
  const struct {
    const char* what;
    int result;
    std::function<void(MODEL_DEFINITION&, CONFIG_RECORD&)> spoil;
  } cases[] = {
      {"not valid", ENCODE_NOT_VALID, [](auto&, auto& r) { r.valid = false; }},
      {"65536 counts", ENCODE_VALUE_RANGE, [](auto&, auto& r) { r.sensorHeight = 6553.6; }},
      {"fill height not set", ENCODE_VALUE_RANGE, [](auto&, auto& r) { r.fillHeight = -1; }},
      {"level beyond 32 bits", ENCODE_VALUE_RANGE, [](auto&, auto& r) { r.level[5] = 1e12; }},
      {"advanced 0xFFFF", ENCODE_VALUE_RANGE,
       [](auto&, auto& r) {
         r.advanced[0] = {true, 65535.0};
       }},
      {"code beyond a word", ENCODE_VALUE_RANGE, [](auto& m, auto&) { m.items[0].optionCode[1] = 70000; }},
      {"DCAL value", ENCODE_VALUE_RANGE, [](auto& m, auto&) { m.fixedWrites[1].value = -40000; }},
      {"item word", ENCODE_WORD_RANGE, [](auto& m, auto&) { m.items[1].wordIndex = 256; }},
      {"level word", ENCODE_WORD_RANGE, [](auto& m, auto&) { m.configurations[0].levelWord[5] = 1000; }},
      {"flag word", ENCODE_WORD_RANGE, [](auto& m, auto&) { m.advanced[2].flagWord = 300; }},
      {"value word", ENCODE_WORD_RANGE, [](auto& m, auto&) { m.advanced[2].valueWord = 65536; }},
      {"DCAL word", ENCODE_WORD_RANGE, [](auto& m, auto&) { m.fixedWrites[0].word = 256; }},
      {"units past the list", ENCODE_NO_UNITS, [](auto&, auto& r) { r.unitsIndex = 2; }},
      {"volume units without a tank curve", ENCODE_NO_UNITS, [](auto&, auto& r) { r.volumeUnits = true; }},
      {"option the configuration does not take", ENCODE_BAD_SELECTION, [](auto&, auto& r) { r.selection[0] = 2; }},
      {"configuration past the table", ENCODE_BAD_SELECTION, [](auto&, auto& r) { r.configIndex = 1000; }},
  };
  const MODEL_DEFINITION model = *m_;
  const CONFIG_RECORD record = r_;
  for (const auto& c : cases) {
    *m_ = model;
    r_ = record;
    c.spoil(*m_, r_);
    staging_.fill(0x5A);
    EXPECT_EQ(Encode(), c.result) << c.what;
    EXPECT_EQ(staging_[2], 0x5A) << c.what;
    EXPECT_EQ(staging_[511], 0x5A) << c.what;
  }
}

TEST_F(PageMapping, TheLargestValuesThatFit) {
  r_.sensorHeight = 6553.5;
  r_.advanced[0] = {true, 65534.9};
  m_->fixedWrites[1].value = -2;  // a negative value as its two's complement
  ASSERT_EQ(Encode(), ENCODE_OK);
  EXPECT_EQ(GetWord(staging_, 1), 0xFFFF);
  EXPECT_EQ(GetWord(staging_, 31), 65534);
  EXPECT_EQ(GetWord(staging_, 40), 0xFFFE);
}

TEST_F(PageMapping, DecodeGivesBackWhatWasEncoded) {
  r_.advanced[0] = {true, 7.0};
  r_.advanced[3] = {true, -1.0};
  r_.tankDescription = "North sump";
  nl_.dimensions = {1, 2, 3, 4, 5, 6, 7, 8, 9};
  ASSERT_EQ(Encode(), ENCODE_OK);

  CONFIG_RECORD back;
  back.level = {5, 5, 5, 5, 5, 5};
  NONLINEAR_PAGE nl;
  EXPECT_EQ(DecodeFromPage(*m_, back, nl, staging_), 0);
  EXPECT_TRUE(back.valid && back.complete);
  EXPECT_EQ(back.selection, (Selections{1, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_DOUBLE_EQ(back.sensorHeight, 12.3);
  EXPECT_EQ(back.level, (std::array<double, 6>{1, -1, -1, -1, -1, 9})) << "a level on word 0 is not read";
  EXPECT_DOUBLE_EQ(back.advanced[0].value, 7.0);
  EXPECT_FALSE(back.advanced[1].present);
  EXPECT_TRUE(back.advanced[3].present);
  EXPECT_EQ(back.tankDescription, "North sump");
  EXPECT_EQ(nl.dimensions, nl_.dimensions);

  // Encoding the decoded record without a change gives the same page.
  PageBytes again{};
  ASSERT_EQ(EncodeToPage(*m_, back, nl, staging_, again), ENCODE_OK);
  EXPECT_EQ(again, staging_);
}

TEST_F(PageMapping, PageWordsThatMatchNoOption) {
  PageBytes page = cached_;
  PutWord(page, 8, 0xFFFF);  // -1: the prompt's code
  PutWord(page, 0, 9);       // no option has code 9
  CONFIG_RECORD back;
  EXPECT_EQ(DecodeFromPage(*m_, back, nl_, page), 0) << "no configuration: levels are not decoded";
  EXPECT_EQ(back.selection[0], 0);
  EXPECT_EQ(back.selection[1], 0);
  EXPECT_FALSE(back.valid);
  EXPECT_EQ(back.configIndex, -1);
  EXPECT_EQ(back.level, (std::array<double, 6>{-1, -1, -1, -1, -1, -1}));

  // A negative code reads back from its two's complement.
  PutWord(page, 8, 0xFFFB);
  PutWord(page, 0, 0);
  EXPECT_EQ(DecodeFromPage(*m_, back, nl_, page), 0);
  EXPECT_EQ(back.selection[0], 3);
  EXPECT_EQ(back.selection[1], 1);
  EXPECT_EQ(back.configIndex, 2);
  EXPECT_TRUE(back.complete);
}

TEST_F(PageMapping, AdvancedValuesAndTheirFlags) {
  PageBytes page = cached_;
  PutWord(page, 8, 1);
  PutWord(page, 0, 1);
  PutWord(page, 30, 0x0001);  // entry 0's bit set, entries 1 and 2 clear
  PutWord(page, 31, 0xFFFF);  // flag set, no value
  PutWord(page, 32, 12);      // a value without its flag
  PutWord(page, 33, 0xFFFF);
  CONFIG_RECORD back;
  DecodeFromPage(*m_, back, nl_, page);
  EXPECT_TRUE(back.advanced[0].present);
  EXPECT_DOUBLE_EQ(back.advanced[0].value, -1.0);
  EXPECT_TRUE(back.advanced[1].present) << "a value makes the entry present";
  EXPECT_DOUBLE_EQ(back.advanced[1].value, 12.0);
  EXPECT_FALSE(back.advanced[2].present);

  PageBytes again{};
  ASSERT_EQ(EncodeToPage(*m_, back, nl_, page, again), ENCODE_OK);
  EXPECT_EQ(GetWord(again, 31), 0xFFFF);
  EXPECT_EQ(GetWord(again, 30) & 0x8101, 0x8001);
  EXPECT_EQ(GetWord(again, 32), 12);
}

TEST_F(PageMapping, DecodeSkipsWordsOutsideThePage) {
  m_->items[1].wordIndex = 4000;
  m_->configurations[0].levelWord[0] = 256;
  m_->advanced[0].flagWord = 999;
  m_->advanced[0].valueWord = 1 << 20;
  PageBytes page = cached_;
  PutWord(page, 8, 1);
  PutWord(page, 30, 0xFFFF);
  PutWord(page, 31, 5);
  CONFIG_RECORD back;
  EXPECT_EQ(DecodeFromPage(*m_, back, nl_, page), 0);
  EXPECT_EQ(back.selection[0], 1);
  EXPECT_EQ(back.selection[1], 0) << "an item word beyond the page is not read";
  EXPECT_EQ(back.configIndex, -1);
  m_->items[1].present = false;
  EXPECT_EQ(DecodeFromPage(*m_, back, nl_, page), -1) << "the level on a word beyond the page stays unset";
  EXPECT_EQ(back.configIndex, 0);
  EXPECT_DOUBLE_EQ(back.level[0], -1.0);
  EXPECT_DOUBLE_EQ(back.level[5], FromCountsOf(page, 25));
  EXPECT_FALSE(back.advanced[0].present);
  EXPECT_DOUBLE_EQ(back.advanced[0].value, -1.0);
  EXPECT_TRUE(back.advanced[1].present) << "entries on the page are still read";

  // Units past the list: the heights cannot be read and stay unset.
  back.unitsIndex = 5;
  EXPECT_EQ(DecodeFromPage(*m_, back, nl_, page), -1);
  EXPECT_DOUBLE_EQ(back.sensorHeight, -1.0);
  EXPECT_DOUBLE_EQ(back.fillHeight, -1.0);
}

TEST(PageMappingModels, AModelWithoutItemsOrAdvancedEntries) {
  test::TestModel m;
  m.Units({{"Millimeters", 1.0}}).Config(1, {}, {{2, 50, "Hi Alarm"}});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  EXPECT_EQ(EvaluateConfiguration(*m, r, true).number, 1);
  r.sensorHeight = 4000;
  r.fillHeight = 3500;
  r.level[2] = 3000;
  NONLINEAR_PAGE nl;
  nl.dimensionUnit = 2;
  nl.dimensions[4] = 0.25f;
  PageBytes cached{};
  PageBytes staging{};
  ASSERT_EQ(EncodeToPage(*m, r, nl, cached, staging), ENCODE_OK);
  EXPECT_EQ(GetWord(staging, 1), 4000);
  EXPECT_EQ(GetWord(staging, 50), 3000);
  EXPECT_EQ(GetWord(staging, 205), 2) << "word 205 and the dimensions are written without advanced entries";
  float d4 = 0;
  std::memcpy(&d4, staging.data() + 412 + 16, 4);
  EXPECT_EQ(d4, 0.25f);

  NONLINEAR_PAGE nlBack;

  // No configurations at all: nothing is valid, nothing is written.
  test::TestModel empty;
  empty.Units({{"Millimeters", 1.0}});
  CONFIG_RECORD none;
  StartSelections(*empty, none);
  EXPECT_STREQ(EvaluateConfiguration(*empty, none, true).key, "STATUS_MESSAGE6");
  none.sensorHeight = none.fillHeight = 1;
  EXPECT_EQ(EncodeToPage(*empty, none, nl, cached, staging), ENCODE_NOT_VALID);
  EXPECT_EQ(DecodeFromPage(*empty, none, nlBack, staging), 0);
  EXPECT_FALSE(none.valid);
  EXPECT_EQ(nlBack.dimensionUnit, 2);
}

}  // namespace
}  // namespace tolvane::config
