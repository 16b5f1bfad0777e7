// Configuration matching and what the item boxes offer after each choice.
#include "config/Selection.h"

#include <gtest/gtest.h>

#include "config/ConfigTestModel.h"

namespace tolvane::config {
namespace {

using List = std::vector<std::int32_t>;

TEST(Matching, OneConfigurationThatTakesAnyOption) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2}).Item(1, 9, "B", {1, 2, 3}).Item(2, 10, "C", {0, 1}).Config(1, {});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  EXPECT_EQ(r.selection, (Selections{0, 0, 0, 0, 0, 0, 0, 0, 0, 0})) << "items not defined take the prompt too";
  CONFIG_STATUS s;
  ASSERT_TRUE(ChooseOption(*m, r, 0, 2, &s));
  EXPECT_STREQ(s.key, "STATUS_MESSAGE7");
  ASSERT_TRUE(ChooseOption(*m, r, 1, 3, &s));
  EXPECT_FALSE(r.valid);
  ASSERT_TRUE(ChooseOption(*m, r, 2, 1, &s));
  EXPECT_STREQ(s.key, "IDC_VALIDCFG");
  EXPECT_EQ(s.number, 1);
  EXPECT_TRUE(r.valid);
  EXPECT_EQ(r.configIndex, 0);
}

TEST(Matching, TwoConfigurationsThatDifferInTheFourthItem) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2})
      .Item(1, 9, "B", {1, 2})
      .Item(2, 10, "C", {1, 2})
      .Item(3, 11, "D", {1, 2})
      .Config(4, {1, 1, 1, 1})
      .Config(5, {1, 1, 1, 2})
      .Config(6, {2, 2, 2, 2});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  CONFIG_STATUS s;
  for (int i = 0; i < 3; ++i) {
    ASSERT_TRUE(ChooseOption(*m, r, i, 1, &s));
  }
  EXPECT_STREQ(s.key, "STATUS_MESSAGE8");
  EXPECT_EQ(r.configIndex, -1);
  ASSERT_TRUE(ChooseOption(*m, r, 3, 2, &s));
  EXPECT_STREQ(s.key, "IDC_VALIDCFG");
  EXPECT_EQ(s.number, 5);
  EXPECT_EQ(r.configIndex, 1);
}

TEST(Offering, EachBoxOffersWhatTheItemsAboveStillAllow) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2, 3})
      .Item(1, 9, "B", {1, 2, 3})
      .Item(2, 10, "C", {1, 2})
      .Config(1, {1, 1, 1})
      .Config(2, {1, 3, -1})
      .Config(3, {2, 2, 2})
      .Config(4, {1, 40, 1});  // an option the item does not have is never offered
  Selections s{};
  OPTION_LISTS lists = OfferOptions(*m, s);
  EXPECT_EQ(lists[0], (List{0, 1, 2}));
  EXPECT_EQ(lists[1], (List{0, 1, 2, 3}));
  EXPECT_EQ(lists[2], (List{0, 1, 2}));
  EXPECT_EQ(lists[3], (List{0})) << "an item the model does not define offers the prompt only";
  s[0] = 1;
  lists = OfferOptions(*m, s);
  EXPECT_EQ(lists[0], (List{0, 1, 2})) << "an item's own list depends only on the items above it";
  EXPECT_EQ(lists[1], (List{0, 1, 3}));
  EXPECT_EQ(lists[2], (List{0, 1, 2})) << "configuration 2 takes any option of C";
  s[1] = 1;
  EXPECT_EQ(OfferOptions(*m, s)[2], (List{0, 1}));
}

TEST(Offering, AChoiceRuledOutAboveFallsBackToThePrompt) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2})
      .Item(1, 9, "B", {1, 2})
      .Item(2, 10, "C", {1, 2})
      .Config(1, {1, 1, 1})
      .Config(2, {1, 2, 2})
      .Config(3, {2, 1, 2})
      .Config(4, {2, 2, 1});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  ASSERT_TRUE(ChooseOption(*m, r, 0, 1));
  ASSERT_TRUE(ChooseOption(*m, r, 1, 1));
  EXPECT_EQ(r.selection[2], 1) << "C had one option left";
  EXPECT_TRUE(r.valid);
  // A from 1 to 2: B = 1 stays allowed, C = 1 is ruled out and falls back;
  // then C has one option left (2) and takes it.
  CONFIG_STATUS s;
  ASSERT_TRUE(ChooseOption(*m, r, 0, 2, &s));
  EXPECT_EQ(r.selection[1], 1);
  EXPECT_EQ(r.selection[2], 2);
  EXPECT_STREQ(s.key, "IDC_VALIDCFG");
  EXPECT_EQ(s.number, 3);

  // Without the single-option rule: the status speaks of the selections the
  // boxes show after the fall-back, not of the ruled-out choice.
  r.selection = {2, 2, 2, 0, 0, 0, 0, 0, 0, 0};
  s = EvaluateConfiguration(*m, r, true);
  EXPECT_EQ(r.selection[1], 2);
  EXPECT_EQ(r.selection[2], 0);
  EXPECT_STREQ(s.key, "STATUS_MESSAGE7") << "one configuration (#4) is left, C is to be chosen";
}

TEST(Offering, OptionsThatAreNotOfferedCannotBeChosen) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2}).Item(2, 10, "C", {1, 2}).Config(1, {1, -1, 2});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  EXPECT_FALSE(ChooseOption(*m, r, 0, 2));
  EXPECT_FALSE(ChooseOption(*m, r, 0, 5));
  EXPECT_FALSE(ChooseOption(*m, r, 1, 1)) << "item 1 is not defined";
  EXPECT_FALSE(ChooseOption(*m, r, 10, 1));
  EXPECT_EQ(r.selection[0], 0);
  // A typed text is an option only when it is one exactly.
  EXPECT_EQ(OptionByText(*m, 0, "A 2"), 2);
  EXPECT_EQ(OptionByText(*m, 0, "a 2"), -1);
}

TEST(Offering, AnItemWithOneOptionLeftIsChosenForTheUser) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2})
      .Item(1, 9, "B", {1, 2, 3})
      .Item(2, 10, "C", {1, 2})
      .Config(1, {1, 2, 1})
      .Config(2, {2, 1, -1})
      .Config(3, {2, 3, 2});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  CONFIG_STATUS s;
  ASSERT_TRUE(ChooseOption(*m, r, 0, 1, &s));
  EXPECT_EQ(r.selection[1], 2);
  EXPECT_EQ(r.selection[2], 1);
  EXPECT_STREQ(s.key, "IDC_VALIDCFG");
  EXPECT_EQ(s.number, 1);

  // B with two options left is not chosen for the user; C = 1 is still allowed.
  ASSERT_TRUE(ChooseOption(*m, r, 0, 2, &s));
  EXPECT_EQ(r.selection[1], 0);
  EXPECT_EQ(r.selection[2], 1);
  EXPECT_STREQ(s.key, "STATUS_MESSAGE7");
}

TEST(Offering, AnOpenListShowsTheItemsBelowAsIfTheItemWereNotChosen) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2})
      .Item(1, 9, "B", {1, 2, 3})
      .Item(2, 10, "C", {1, 2})
      .Config(1, {1, 1, 1})
      .Config(2, {1, 2, 2})
      .Config(3, {2, 3, -1});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  ASSERT_TRUE(ChooseOption(*m, r, 0, 1));
  ASSERT_TRUE(ChooseOption(*m, r, 1, 2));
  ASSERT_TRUE(r.valid);
  const CONFIG_RECORD before = r;
  EXPECT_EQ(OfferOptions(*m, r.selection)[1], (List{0, 1, 2}));

  EXPECT_EQ(OpenOptionList(*m, r, 0), 1);
  EXPECT_EQ(r.selection[0], 0) << "the item stays at its prompt while its list is open";
  EXPECT_FALSE(r.valid);
  EXPECT_EQ(OfferOptions(*m, r.selection)[1], (List{0, 1, 2, 3}));

  ASSERT_TRUE(ChooseOption(*m, r, 0, 1));
  EXPECT_EQ(r.selection, before.selection);
  EXPECT_EQ(r.configIndex, before.configIndex);
  EXPECT_TRUE(r.valid);
}

TEST(Completeness, HeightsAndTheLevelsTheConfigurationUses) {
  test::TestModel m;
  m.Item(0, 8, "A", {1}).Config(1, {1}, {{0, 20, "Lo Alarm"}, {4, 24, "Hi Alarm"}});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  EXPECT_EQ(ButtonStates(r).drawing, false);
  ASSERT_TRUE(ChooseOption(*m, r, 0, 1));
  ASSERT_TRUE(r.valid);
  EXPECT_FALSE(r.complete);
  BUTTON_STATES b = ButtonStates(r);
  EXPECT_TRUE(b.drawing);
  EXPECT_FALSE(b.save);
  EXPECT_FALSE(b.write);

  r.sensorHeight = 100;
  r.fillHeight = 0;
  r.level[0] = 10;
  EXPECT_EQ(UpdateCompleteness(*m, r), -1);
  r.level[4] = 0;
  r.level[2] = -1;  // a row the configuration does not use
  EXPECT_EQ(UpdateCompleteness(*m, r), 0);
  b = ButtonStates(r);
  EXPECT_TRUE(b.save && b.write && b.drawing);
  r.sensorHeight = -1;
  EXPECT_EQ(UpdateCompleteness(*m, r), -1);

  // Back to the prompts: no configuration, the level rows are emptied.
  r.sensorHeight = 100;
  const CONFIG_STATUS s = ResetSelections(*m, r);
  EXPECT_STREQ(s.key, "STATUS_MESSAGE7");
  EXPECT_FALSE(r.valid);
  EXPECT_FALSE(r.complete);
  EXPECT_EQ(r.level, (std::array<double, 6>{-1, -1, -1, -1, -1, -1}));
  EXPECT_FALSE(ButtonStates(r).drawing);
}

}  // namespace
}  // namespace tolvane::config
