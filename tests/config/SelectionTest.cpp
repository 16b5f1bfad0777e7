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

  // Without the single-option rule: the status is that of the selections
  // as they stood (none matches), and the lists are built from them before
  // the ruled-out choice falls back to the prompt.
  r.selection = {2, 2, 2, 0, 0, 0, 0, 0, 0, 0};
  OPTION_LISTS lists;
  s = EvaluateConfiguration(*m, r, true, &lists);
  EXPECT_EQ(r.selection, (Selections{2, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_STREQ(s.key, "STATUS_MESSAGE6") << "no configuration matched A 2, B 2, C 2";
  EXPECT_EQ(lists[2], (List{0, 1})) << "built with A 2 and B 2: configuration 4";
  EXPECT_FALSE(r.valid);
}

// The lists are built from the selections as they stand, all of them before
// any selection falls back; so a choice below one that falls back meets an
// empty list and falls back too, and the single-remaining rule then works on
// what the boxes hold.
TEST(Offering, TheListsAreBuiltBeforeTheSelectionsAreChecked) {
  test::TestModel m;
  m.Item(0, 8, "A", {1, 2})
      .Item(1, 9, "B", {1, 2})
      .Item(2, 10, "C", {1, 2})
      .Config(1, {1, 1, 2})
      .Config(2, {2, 2, 1})
      .Config(3, {2, 2, 2});
  CONFIG_RECORD r;
  StartSelections(*m, r);
  CONFIG_STATUS s;
  ASSERT_TRUE(ChooseOption(*m, r, 0, 1, &s));
  ASSERT_TRUE(ChooseOption(*m, r, 1, 1, &s));
  ASSERT_TRUE(ChooseOption(*m, r, 2, 2, &s));
  EXPECT_EQ(r.selection, (Selections{1, 1, 2, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_STREQ(s.key, "IDC_VALIDCFG");
  EXPECT_EQ(s.number, 1);

  // The first item to 2: B 1 and, below it, C 2 fall back to the prompt; B
  // then holds one option and takes it; C offers two and stays at its prompt.
  ASSERT_TRUE(ChooseOption(*m, r, 0, 2, &s));
  EXPECT_EQ(r.selection, (Selections{2, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_STREQ(s.key, "STATUS_MESSAGE8");
  EXPECT_FALSE(r.valid);
  EXPECT_EQ(OfferOptions(*m, r.selection)[2], (List{0, 1, 2}));

  // (2, 1, 2) alone: no configuration matches.
  r.selection = {2, 1, 2, 0, 0, 0, 0, 0, 0, 0};
  OPTION_LISTS lists;
  s = EvaluateConfiguration(*m, r, true, &lists);
  EXPECT_STREQ(s.key, "STATUS_MESSAGE6");
  EXPECT_EQ(lists[1], (List{0, 2}));
  EXPECT_EQ(lists[2], (List{0})) << "nothing matches A 2 with B 1";
  EXPECT_EQ(r.selection, (Selections{2, 0, 0, 0, 0, 0, 0, 0, 0, 0}));
  // The rule works on those lists: B holds two entries, C one.
  EXPECT_EQ(SelectSingleRemaining(*m, r, 0, true, &lists, &s), 1);
  EXPECT_EQ(r.selection, (Selections{2, 2, 0, 0, 0, 0, 0, 0, 0, 0}));
  EXPECT_STREQ(s.key, "STATUS_MESSAGE8");
  EXPECT_EQ(lists[2], (List{0, 1, 2}));
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

  // A to 2: nothing matches A 2, B 2, C 1. B 2 is ruled out and falls back;
  // C's list was built with B 2, which nothing allows, so C falls back too.
  // B, with two options left, is not chosen for the user.
  ASSERT_TRUE(ChooseOption(*m, r, 0, 2, &s));
  EXPECT_EQ(r.selection[1], 0);
  EXPECT_EQ(r.selection[2], 0);
  EXPECT_STREQ(s.key, "STATUS_MESSAGE6");
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
