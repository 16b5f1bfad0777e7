// The line syntax of model files: entries, indices, fields, slots, option
// lists and in-memory text.
#include <gtest/gtest.h>

#include <limits>
#include <string>

#include "defs/ModelSyntax.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

MODEL_ENTRY Entry(std::string_view line) {
  MODEL_ENTRY e;
  EXPECT_TRUE(ReadEntry(line, e)) << line;
  return e;
}

TEST(ReadEntry, CutsCommentsAndTrimsOnlySpaces) {
  const MODEL_ENTRY e = Entry("  MODELID = QRModel_ ' prefix of the model files");
  EXPECT_EQ(e.key, "MODELID");
  EXPECT_EQ(e.value, "QRModel_");
  EXPECT_FALSE(e.hasIndex);
  EXPECT_TRUE(e.append);

  // Tabs are no blanks here: they stay part of key and value.
  const MODEL_ENTRY t = Entry("\tKEY =\tvalue\t");
  EXPECT_EQ(t.key, "\tKEY");
  EXPECT_EQ(t.value, "\tvalue\t");

  MODEL_ENTRY skipped;
  EXPECT_FALSE(ReadEntry("' only a comment", skipped));
  EXPECT_FALSE(ReadEntry("   ", skipped));
  EXPECT_FALSE(ReadEntry("", skipped));
}

TEST(ReadEntry, ValueIsAfterTheFirstEqualsOrTheWholeLine) {
  const MODEL_ENTRY e = Entry("A = b = c");
  EXPECT_EQ(e.key, "A");
  EXPECT_EQ(e.value, "b = c");
  const MODEL_ENTRY n = Entry("  just words  ");
  EXPECT_EQ(n.key, "just words");
  EXPECT_EQ(n.value, "just words");
  // A "[" in the value is no index.
  const MODEL_ENTRY v = Entry("UNITS = Meters[3]");
  EXPECT_FALSE(v.hasIndex);
  EXPECT_EQ(v.value, "Meters[3]");
}

TEST(ReadEntry, IndicesAreOneBasedInTheFileAndAppendModeFollowsThem) {
  const MODEL_ENTRY two = Entry("CFGITEM[2][3] = 5|Pump");
  EXPECT_EQ(two.key, "CFGITEM");
  EXPECT_EQ(two.index, 1);
  EXPECT_EQ(two.written, 2);
  EXPECT_EQ(two.second, 3);
  EXPECT_FALSE(two.append);

  EXPECT_TRUE(Entry("CFGLABEL[0] = 1|x").append);
  EXPECT_TRUE(Entry("CFGLABEL[+] = 1|x").append);
  EXPECT_TRUE(Entry("CFGLABEL[+4] = 1|x").append);
  EXPECT_TRUE(Entry("CFGLABEL[-7] = 1|x").append);
  EXPECT_EQ(Entry("CFGLABEL[1] = 1|x").index, 0);
  EXPECT_FALSE(Entry("CFGLABEL[1] = 1|x").append);
}

TEST(ReadEntry, MalformedBracketsGiveNoIndex) {
  EXPECT_FALSE(Entry("CFGLABEL[ = 1|x").hasIndex);
  EXPECT_FALSE(Entry("CFGLABEL[abc] = 1|x").hasIndex);
  EXPECT_EQ(Entry("CFGLABEL3] = 1|x").index, -1);
  // Nothing before the bracket: the pattern needs at least one character there.
  const MODEL_ENTRY lead = Entry("[3] = x");
  EXPECT_FALSE(lead.hasIndex);
  EXPECT_EQ(lead.key, "");
  // The second index needs its own brackets right after the first.
  EXPECT_EQ(Entry("CFGITEM[2] [3] = x").second, 0);
  EXPECT_EQ(Entry("CFGITEM[2][ 4 = x").second, 4);
}

TEST(ReadEntry, HugeIndicesSaturateInsteadOfWrapping) {
  const MODEL_ENTRY big = Entry("CFGLABEL[2147483648] = 1|x");
  EXPECT_EQ(big.written, std::numeric_limits<std::int32_t>::max());
  EXPECT_GT(big.index, 0);
  EXPECT_FALSE(big.append);
  const MODEL_ENTRY huge = Entry("CFGLABEL[99999999999999999999999999999999999999][99999999999999] = x");
  EXPECT_EQ(huge.second, std::numeric_limits<std::int32_t>::max());
  const MODEL_ENTRY low = Entry("CFGLABEL[-2147483649] = x");
  EXPECT_EQ(low.index, std::numeric_limits<std::int32_t>::min());
  EXPECT_TRUE(low.append);
}

TEST(ParseFields, ConvertsEachFieldByItsToken) {
  std::int32_t word = 7;
  std::string label = "old";
  double factor = 9.0;
  ParseFields(" -12abc|Lo Alarm|2.54e1|ignored", "%d|%s|%f", {&word, &label, &factor});
  EXPECT_EQ(word, -12);
  EXPECT_EQ(label, "Lo Alarm");
  EXPECT_DOUBLE_EQ(factor, 25.4);

  // Missing fields give 0 and empty; a non-number gives 0.
  ParseFields("x", "%d|%s|%f", {&word, &label, &factor});
  EXPECT_EQ(word, 0);
  EXPECT_EQ(label, "");
  EXPECT_EQ(factor, 0.0);

  // A token that is no conversion skips its field and takes no target.
  std::int32_t a = 0;
  std::int32_t b = 0;
  ParseFields("1|2|3", "%d|%x|%d", {&a, &b});
  EXPECT_EQ(a, 1);
  EXPECT_EQ(b, 3);
}

TEST(ParseFields, NumbersFromOutsideAreBounded) {
  std::int32_t v = 0;
  ParseFields("1234567890123456789012345678901234567890", "%d", {&v});
  EXPECT_EQ(v, std::numeric_limits<std::int32_t>::max());
  ParseFields("-1234567890123456789012345678901234567890", "%d", {&v});
  EXPECT_EQ(v, std::numeric_limits<std::int32_t>::min());
  EXPECT_EQ(ParseReal("1e999"), 0.0);
  EXPECT_EQ(ParseReal("nan"), 0.0);
  EXPECT_EQ(ParseReal(" +0.5x"), 0.5);
  EXPECT_TRUE(ParseBool("TRUE"));
  EXPECT_FALSE(ParseBool("True"));
  EXPECT_FALSE(ParseBool("TRUE "));
}

TEST(AllocateSlot, CountsFollowTheWrittenIndices) {
  std::int32_t count = 0;
  std::int32_t last = -1;
  EXPECT_EQ(AllocateSlot(false, 10, 0, count, last), 0);
  EXPECT_EQ(AllocateSlot(false, 10, 1, count, last), 1);
  EXPECT_EQ(AllocateSlot(false, 10, 2, count, last), 2);
  EXPECT_EQ(count, 3);
  EXPECT_EQ(last, 2);
  // A repeated index raises the count too; an earlier one does not.
  EXPECT_EQ(AllocateSlot(false, 10, 2, count, last), 2);
  EXPECT_EQ(count, 4);
  EXPECT_EQ(AllocateSlot(false, 10, 0, count, last), 0);
  EXPECT_EQ(count, 4);
}

TEST(AllocateSlot, AppendModeRaisesTheCountOnlyForAnEmptyList) {
  std::int32_t count = 0;
  std::int32_t last = -1;
  EXPECT_EQ(AllocateSlot(true, 10, -1, count, last), 0);
  EXPECT_EQ(AllocateSlot(true, 10, -1, count, last), 1);
  EXPECT_EQ(AllocateSlot(true, 10, -1, count, last), 2);
  EXPECT_EQ(count, 1);
  EXPECT_EQ(last, 2);
}

TEST(AllocateSlot, RefusesFullListsAndSlotsOutsideTheTable) {
  std::int32_t count = 10;
  std::int32_t last = 9;
  EXPECT_EQ(AllocateSlot(false, 10, 3, count, last), -1);
  count = 0;
  last = -1;
  EXPECT_EQ(AllocateSlot(false, 10, 10, count, last), -1);
  EXPECT_EQ(AllocateSlot(false, 10, std::numeric_limits<std::int32_t>::max(), count, last), -1);
  EXPECT_EQ(count, 0);
  EXPECT_EQ(last, -1);
  last = std::numeric_limits<std::int32_t>::max();
  EXPECT_EQ(AllocateSlot(true, 10, -1, count, last), -1);
}

TEST(ExpandOptionList, ListsAndRanges) {
  std::vector<std::int32_t> o;
  ASSERT_TRUE(ExpandOptionList("1,2", o));
  EXPECT_EQ(o, (std::vector<std::int32_t>{1, 2}));
  ASSERT_TRUE(ExpandOptionList("3:5", o));
  EXPECT_EQ(o, (std::vector<std::int32_t>{3, 4, 5}));
  ASSERT_TRUE(ExpandOptionList("1:3,7,9:10", o));
  EXPECT_EQ(o, (std::vector<std::int32_t>{1, 2, 3, 7, 9, 10}));
  ASSERT_TRUE(ExpandOptionList("-1", o));
  EXPECT_EQ(o, (std::vector<std::int32_t>{-1}));
  ASSERT_TRUE(ExpandOptionList("", o));
  EXPECT_EQ(o, (std::vector<std::int32_t>{0}));
  // A falling range adds nothing after its first number.
  ASSERT_TRUE(ExpandOptionList("5:3", o));
  EXPECT_EQ(o, (std::vector<std::int32_t>{5}));
}

TEST(ExpandOptionList, RefusesListsBeyondWhatAnItemHolds) {
  std::vector<std::int32_t> o;
  EXPECT_TRUE(ExpandOptionList("1,2,3,4,5,6,7,8,9,10", o));
  EXPECT_FALSE(ExpandOptionList("1,2,3,4,5,6,7,8,9,10,11", o));
  EXPECT_TRUE(o.empty());
  std::string thirty;
  for (int i = 1; i <= 30; ++i) {
    thirty += (i > 1 ? "," : "") + std::to_string(i);
  }
  EXPECT_FALSE(ExpandOptionList(thirty, o));
  EXPECT_TRUE(ExpandOptionList("1:21", o));
  EXPECT_EQ(o.size(), 21u);
  EXPECT_FALSE(ExpandOptionList("1:22", o));
  EXPECT_FALSE(ExpandOptionList("1:15,20:30", o));
  EXPECT_FALSE(ExpandOptionList("0:2147483647", o));
  EXPECT_FALSE(ExpandOptionList("-2147483648:2147483647", o));
}

TEST(SplitTextLines, ReadsLikeTheTextFileReader) {
  EXPECT_EQ(SplitTextLines("A = 1\r\nB = 2\nC"), (std::vector<std::string>{"A = 1", "B = 2", "C"}));
  EXPECT_TRUE(SplitTextLines("").empty());
  // Zero padding of a deciphered text is no content, whether or not the text ended its last line.
  EXPECT_EQ(SplitTextLines(std::string("A = 1\n\0\0\0\0", 10)), (std::vector<std::string>{"A = 1"}));
  EXPECT_EQ(SplitTextLines(std::string("A = 1\0\0", 7)), (std::vector<std::string>{"A = 1"}));
  EXPECT_TRUE(SplitTextLines(std::string(64, '\0')).empty());
  // UTF-16 with byte-order mark; padding is stripped in whole characters.
  const std::string u16 = test::Utf16File("K = \xC3\xA4\r\nL = 2") + std::string(6, '\0');
  EXPECT_EQ(SplitTextLines(u16), (std::vector<std::string>{"K = \xC3\xA4", "L = 2"}));
  const std::string endsInA = test::Utf16File("K = A") + std::string(4, '\0');
  EXPECT_EQ(SplitTextLines(endsInA), (std::vector<std::string>{"K = A"}));
}

}  // namespace
}  // namespace tolvane
