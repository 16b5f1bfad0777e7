// The file name box's service commands, today's service code and the test
// aids' counters.
#include <gtest/gtest.h>

#include <set>

#include "common/CheckedFormat.h"
#include "config/ConfigTestModel.h"
#include "config/ServiceCommands.h"

namespace tolvane::config {
namespace {

std::tm Date(int year, int month, int day) {
  std::tm t{};
  t.tm_year = year - 1900;
  t.tm_mon = month - 1;
  t.tm_mday = day;
  t.tm_hour = 12;
  return t;
}

TEST(ServiceCode, IsTsAndSixDigitsAndChangesEveryDay) {
  EXPECT_EQ(ServiceDateNumber(Date(2026, 3, 15)), 260315);
  EXPECT_EQ(ServiceDateNumber(Date(2001, 12, 9)), 11209);
  // The rule as its comment gives it, worked by hand for 15 March 2026:
  // 260315 * 48271 + 20231 = 12565685596, modulo 10^6 = 685596.
  EXPECT_EQ(ServiceCode(Date(2026, 3, 15)), "TS685596");
  EXPECT_EQ(ServiceCode(Date(2001, 12, 9)), Format("TS%06d", (11209LL * 48271 + 20231) % 1000000));

  // Every day of a century has a code of its own.
  std::set<std::string> codes;
  std::tm day = Date(2000, 1, 1);
  int days = 0;
  std::string previous;
  while (day.tm_year < 200) {
    const std::string code = ServiceCode(day);
    ASSERT_EQ(code.size(), 8u);
    ASSERT_EQ(code.substr(0, 2), "TS");
    ASSERT_EQ(code.find_first_not_of("0123456789", 2), std::string::npos) << code;
    ASSERT_NE(code, previous);
    codes.insert(code);
    previous = code;
    ++days;
    ++day.tm_mday;
    std::mktime(&day);  // normalises the date
    day.tm_hour = 12;
  }
  EXPECT_EQ(days, 36525);
  EXPECT_EQ(codes.size(), static_cast<std::size_t>(days));
}

TEST(ServiceCommand, RecognisesTheCommandsInAnyCaseWhenTheirSwitchIsOn) {
  const std::tm today = Date(2026, 3, 15);
  APP_SETTINGS off;
  APP_SETTINGS on;
  on.kestrineMode = true;
  on.techSupport = true;
  const std::string code = ServiceCode(today);

  using C = SERVICE_COMMAND;
  const std::pair<const char*, C> gated[] = {{"test configurations", C::TestConfigurations},
                                             {"INFO MEMORY", C::InfoMemory},
                                             {"Tech Support", C::ShowServiceCode}};
  for (const auto& [text, command] : gated) {
    EXPECT_EQ(RecognizeServiceCommand(text, on, today), command) << text;
    // Switched off, the text is a file name.
    EXPECT_EQ(RecognizeServiceCommand(text, off, today), C::None) << text;
  }
  for (const APP_SETTINGS* s : {&off, &on}) {
    EXPECT_EQ(RecognizeServiceCommand("cal pages", *s, today), C::CalPages);
    EXPECT_EQ(RecognizeServiceCommand("CaL PaGeS", *s, today), C::CalPages);
    EXPECT_EQ(RecognizeServiceCommand("Direct Entry", *s, today), C::DirectEntry);
    EXPECT_EQ(RecognizeServiceCommand("code revision", *s, today), C::CodeRevision);
    EXPECT_EQ(RecognizeServiceCommand("RESTART", *s, today), C::Restart);
  }
  // Exactly the text: no blanks around it, nothing after it.
  EXPECT_EQ(RecognizeServiceCommand(" cal pages", on, today), C::None);
  EXPECT_EQ(RecognizeServiceCommand("cal pages.txt", on, today), C::None);
  EXPECT_EQ(RecognizeServiceCommand("", on, today), C::None);
  EXPECT_EQ(RecognizeServiceCommand("config[1].txt", on, today), C::None);

  // Today's code opens the support dialog when TECHSUPPORT is on, in any case.
  EXPECT_EQ(RecognizeServiceCommand(code, on, today), C::TechSupport);
  std::string lower = code;
  lower[0] = 't';
  lower[1] = 's';
  EXPECT_EQ(RecognizeServiceCommand(lower, on, today), C::TechSupport);
  APP_SETTINGS kestrineOnly = on;
  kestrineOnly.techSupport = false;
  EXPECT_EQ(RecognizeServiceCommand(code, kestrineOnly, today), C::None);
  APP_SETTINGS supportOnly = off;
  supportOnly.techSupport = true;
  EXPECT_EQ(RecognizeServiceCommand(code, supportOnly, today), C::TechSupport);
  // Yesterday's code no longer matches.
  EXPECT_EQ(RecognizeServiceCommand(ServiceCode(Date(2026, 3, 14)), on, today), C::None);
  EXPECT_EQ(RecognizeServiceCommand("ts", on, today), C::None);
}

TEST(TestAids, TestConfigsStepsThroughTheConfigurationsAndStartsAgain) {
  test::TestModel model;
  model.Item(0, 10, "Relays", {1, 2, 3}).Item(1, 11, "Output", {1, 2}).Item(3, 12, "Loop", {5, 6});
  model.Config(1, {2, 1, -1, 0}).Config(2, {3, -1, -1, 2}).Config(3, {0, 2, -1, 1});
  TEST_AID_COUNTERS counters;
  CONFIG_RECORD record;
  record.selection.fill(0);
  std::vector<int> shown;
  std::vector<std::array<std::int32_t, 4>> selections;
  for (int click = 0; click < 4; ++click) {
    shown.push_back(TakeTestConfiguration(*model, counters, record));
    selections.push_back({record.selection[0], record.selection[1], record.selection[2], record.selection[3]});
  }
  EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 1}));
  // Any option (-1) and none (0) take option 1; items the model lacks stay.
  EXPECT_EQ(selections[0], (std::array<std::int32_t, 4>{2, 1, 0, 1}));
  EXPECT_EQ(selections[1], (std::array<std::int32_t, 4>{3, 1, 0, 2}));
  EXPECT_EQ(selections[2], (std::array<std::int32_t, 4>{1, 2, 0, 1}));
  EXPECT_EQ(selections[3], selections[0]);
  EXPECT_EQ(counters.configuration, 2);
}

TEST(TestAids, ViewTanksCountsFromZeroTo255AndAround) {
  TEST_AID_COUNTERS counters;
  EXPECT_EQ(TakeTankPicture(counters), 0);
  EXPECT_EQ(TakeTankPicture(counters), 1);
  counters.picture = 255;
  EXPECT_EQ(TakeTankPicture(counters), 255);
  EXPECT_EQ(TakeTankPicture(counters), 0);
}

TEST(CodeRevision, ShowsTheFourNumbersOfTheVersionOrNothing) {
  EXPECT_EQ(CodeRevisionText("%s\nProgram version %d.%d.%d.%d", "Tolvane", "1.20.3.4"),
            "Tolvane\nProgram version 1.20.3.4");
  // The program's own version always reads.
  ASSERT_TRUE(VersionNumbers(TOLVANE_VERSION));
  for (const char* bad : {"", "1.0.0", "1.0.0.1.2", "1..0.1", "1.0.0.x", "a.b.c.d", "1.0.0.-1", "1.0.0.1 "}) {
    EXPECT_FALSE(VersionNumbers(bad)) << bad;
    EXPECT_FALSE(CodeRevisionText("%s %d.%d.%d.%d", "P", bad)) << bad;
  }
}

}  // namespace
}  // namespace tolvane::config
