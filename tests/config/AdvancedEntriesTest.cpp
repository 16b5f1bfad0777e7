// The advanced entries' decisions: the number filter as typed, reading the
// boxes, help and units texts, the run-time layout and its scroll steps, the
// working copy with kind 2 values, the marker and the notice file.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>

#include "config/AdvancedEntries.h"
#include "support/TestSupport.h"

namespace tolvane::config {
namespace {

// Types `text` one character at a time as the number box sees it.
NUMBER_EDIT Type(const std::string& text) {
  NUMBER_EDIT e;
  int beeps = 0;
  for (const char c : text) {
    e = FilterAdvancedNumber(e.text + c, e.caret + 1);
    beeps += e.beep ? 1 : 0;
  }
  e.beep = beeps > 0;
  return e;
}

TEST(AdvancedNumber, FilterWhileTyping) {
  EXPECT_EQ(Type("0X1F").text, "0X1F");
  EXPECT_FALSE(Type("0x1f").beep);
  EXPECT_DOUBLE_EQ(ReadAdvancedNumber("0X1F"), 31.0);
  EXPECT_DOUBLE_EQ(ReadAdvancedNumber("0x1f"), 31.0);

  NUMBER_EDIT e = Type("1F");  // refused at the F
  EXPECT_EQ(e.text, "1");
  EXPECT_TRUE(e.beep);
  e = Type("1.2.3");  // refused at the second point
  EXPECT_EQ(e.text, "1.23");
  EXPECT_TRUE(e.beep);
  EXPECT_EQ(Type("12a").text, "12");
  EXPECT_EQ(Type("1X").text, "1");      // X only after a leading 0
  EXPECT_EQ(Type("0X1X").text, "0X1");  // one X
  EXPECT_EQ(Type("0X1.").text, "0X1");  // X and a point
  EXPECT_EQ(Type("-5").text, "5");      // no sign
  EXPECT_EQ(Type("0X").text, "0X");
  EXPECT_DOUBLE_EQ(ReadAdvancedNumber("0X"), 0.0);
  EXPECT_DOUBLE_EQ(ReadAdvancedNumber(""), -1.0);
  EXPECT_DOUBLE_EQ(ReadAdvancedNumber("12.36"), 12.36);
  EXPECT_DOUBLE_EQ(ReadAdvancedNumber("."), 0.0);

  // The caret in the middle: the character before it goes.
  e = FilterAdvancedNumber("1G2", 2);
  EXPECT_EQ(e.text, "12");
  EXPECT_EQ(e.caret, 1);
  // A malformed text pasted whole is refused whole.
  e = FilterAdvancedNumber("1.2.3.4", 7);
  EXPECT_TRUE(e.beep);
  EXPECT_TRUE(AdvancedNumberAccepted(e.text));

  // 40 digits: accepted while typing, read as a number the page refuses, never inf.
  const std::string forty(40, '9');
  EXPECT_EQ(Type(forty).text, forty);
  EXPECT_TRUE(std::isfinite(ReadAdvancedNumber(forty)));
  EXPECT_GT(ReadAdvancedNumber(forty), 65535.0);
  EXPECT_TRUE(std::isfinite(ReadAdvancedNumber("0X" + std::string(300, 'F'))));
  EXPECT_TRUE(std::isfinite(ReadAdvancedNumber(std::string(400, '9'))));
}

TEST(AdvancedTexts, HelpLinesAndUnits) {
  EXPECT_EQ(AdvancedHelpText("first\\nsecond"), "first\nsecond");
  EXPECT_EQ(AdvancedHelpLines("first\\nsecond"), 2);
  EXPECT_EQ(AdvancedHelpLines(""), 0);
  EXPECT_EQ(AdvancedHelpLines("one line"), 1);
  EXPECT_EQ(AdvancedHelpText("100%% of span, 5% left"), "100% of span, 5% left");
  EXPECT_EQ(AdvancedHelpText("ends with \\"), "ends with \\");

  ADVANCED_ENTRY e;
  e.secondText = "seconds";
  e.kind = 1;
  EXPECT_EQ(AdvancedUnitsText(e, "Gallons", "Feet"), "seconds");
  e.kind = 2;
  EXPECT_EQ(AdvancedUnitsText(e, "Gallons", "Feet"), "Feet");
  e.kind = 7;
  EXPECT_EQ(AdvancedUnitsText(e, "Gallons", "Feet"), "Gallons");
}

MODEL_DEFINITION Entries(int n, const std::string& help = {}) {
  MODEL_DEFINITION m;
  for (int r = 0; r < n; ++r) {
    ADVANCED_ENTRY& a = m.advanced[static_cast<std::size_t>(r)];
    a.label = "Entry " + std::to_string(r + 1);
    a.flagWord = 30;
    a.flagBit = r % 16 + 1;
    a.valueWord = r % 2 == 0 ? 31 + r : -1;
    a.kind = 1;
    a.helpText = help;
  }
  m.advancedInputCount = n;
  m.advancedTextCount = help.empty() ? 0 : n;
  m.advancedLast = n - 1;
  return m;
}

TEST(AdvancedLayout, RowsButtonsAndTheCap) {
  MODEL_DEFINITION m = Entries(3);
  m.advanced[1].helpText = "two\\nlines";
  const ADVANCED_LAYOUT l = LayoutAdvanced(m, 13, 23);
  ASSERT_EQ(l.rows.size(), 3u);
  EXPECT_EQ(l.rows[0].helpTop, -1);
  EXPECT_EQ(l.rows[0].rowTop, 10);
  EXPECT_EQ(l.rows[0].rowBottom, 25);
  EXPECT_TRUE(l.rows[0].hasNumber);
  EXPECT_FALSE(l.rows[1].hasNumber);
  EXPECT_EQ(l.rows[1].helpTop, 35);
  EXPECT_EQ(l.rows[1].helpBottom, 35 + 2 * 13);
  EXPECT_EQ(l.rows[1].rowTop, 35 + 26 + 10);
  EXPECT_EQ(l.rows[2].rowTop, 71 + 25);
  EXPECT_EQ(l.buttonsTop, 96 + 25);
  EXPECT_EQ(l.contentHeight, 121 + 23 + 10);
  EXPECT_EQ(l.clientHeight, l.contentHeight);
  EXPECT_EQ(AdvancedScroll(l.contentHeight, l.clientHeight).maximum, 0);

  // 31 entries with help: 30 rows, content above 700, the client 500 high.
  const ADVANCED_LAYOUT big = LayoutAdvanced(Entries(31, "help"), 13, 23);
  EXPECT_EQ(big.rows.size(), 30u);
  EXPECT_EQ(big.contentHeight, 10 + 30 * (13 + 10 + 25) + 23 + 10);
  EXPECT_EQ(big.clientHeight, 500);
  const ADVANCED_SCROLL s = AdvancedScroll(big.contentHeight, big.clientHeight);
  const int over = big.contentHeight - 500;
  EXPECT_EQ(s.maximum, static_cast<int>(1.1 * over));
  EXPECT_EQ(s.page, s.maximum / 10);
  EXPECT_EQ(s.lineStep, over / 100);
  EXPECT_EQ(s.pageStep, over / 10);
  // Exactly 700 is not above 700.
  EXPECT_EQ(AdvancedScroll(700, 700).maximum, 0);
}

TEST(AdvancedWorkingCopy, KindTwoInUnitsCancelLeavesTheRecord) {
  MODEL_DEFINITION m = Entries(3);
  m.advanced[0].kind = 2;
  CONFIG_RECORD record;
  record.advanced[0] = {true, 123.0};  // counts
  record.advanced[1] = {true, -1.0};
  record.advanced[2] = {false, 7.0};
  auto copy = AdvancedWorkingCopy(m, record, 10.0);
  EXPECT_DOUBLE_EQ(copy[0].value, 12.3);
  EXPECT_DOUBLE_EQ(copy[1].value, -1.0);
  EXPECT_DOUBLE_EQ(copy[2].value, 7.0);
  EXPECT_DOUBLE_EQ(record.advanced[0].value, 123.0);  // a copy: Cancel keeps the record

  copy[0].value = ReadAdvancedNumber("12.36");
  copy[2].present = true;
  ApplyAdvancedWorkingCopy(m, copy, 10.0, record);
  EXPECT_DOUBLE_EQ(record.advanced[0].value, 124.0);
  EXPECT_TRUE(record.advanced[1].present);
  EXPECT_DOUBLE_EQ(record.advanced[1].value, -1.0);
  EXPECT_TRUE(record.advanced[2].present);

  EXPECT_TRUE(AdvancedMarker(m, record));
  for (auto& slot : record.advanced) {
    slot.present = false;
  }
  record.advanced[10].present = true;  // beyond the model's entries
  EXPECT_FALSE(AdvancedMarker(m, record));
}

TEST(AdvancedNoticeFile, LinesOrNone) {
  test::TempDir dir;
  EXPECT_FALSE(AdvancedNotice(dir.path()).has_value());
  test::WriteBytes(dir / "advancednotice.txt", "Read this first.\r\nSecond line");
  EXPECT_EQ(AdvancedNotice(dir.path()), "Read this first.\nSecond line\n");
  std::filesystem::remove(dir / "advancednotice.txt");
  std::filesystem::create_directory(dir / "advancednotice.txt");  // no regular file
  EXPECT_FALSE(AdvancedNotice(dir.path()).has_value());
}

}  // namespace
}  // namespace tolvane::config
