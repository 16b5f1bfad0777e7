#include "common/Encoding.h"

#include <gtest/gtest.h>

namespace tolvane {
namespace {

TEST(Encoding, Windows1252RoundTripsItsCharacters) {
  const std::string cp = "Gr\xF6\xDF" "e \x80 \x96 \xE9";  // Größe € – é
  const std::string utf8 = Cp1252ToUtf8(cp);
  EXPECT_EQ(utf8, "Größe € – é");
  EXPECT_EQ(Utf8ToCp1252(utf8), cp);
}

TEST(Encoding, CharactersWithoutEquivalentBecomeQuestionMarks) {
  EXPECT_EQ(Utf8ToCp1252("a\u4E2Db\u2603c"), "a?b?c");
  EXPECT_EQ(Utf8ToCp1252("x\xFFy"), "x?y");           // malformed UTF-8
  EXPECT_EQ(Cp1252ToUtf8("a\x81z\x9D"), "a?z?");      // unassigned bytes
}

TEST(Encoding, EightBitLinesAreUtf8WhenWellFormedElseWindows1252) {
  EXPECT_EQ(Decode8Bit("plain"), "plain");
  EXPECT_EQ(Decode8Bit("Füllhöhe"), "Füllhöhe");
  EXPECT_EQ(Decode8Bit("F\xFCllh\xF6he"), "Füllhöhe");
}

TEST(Encoding, Utf16ConversionsHandleSurrogatesAndOddBytes) {
  const std::string text = "Tank \U0001F4A7 ß";
  const std::string u16 = Utf8ToUtf16Le(text);
  EXPECT_EQ(u16.size(), 2u * 9u);  // the drop takes a surrogate pair
  EXPECT_EQ(Utf16LeToUtf8(u16), text);
  EXPECT_EQ(Utf16LeToUtf8(std::string("A\0B", 3)), "A");                 // odd byte ignored
  EXPECT_EQ(Utf16LeToUtf8(std::string("\x00\xD8" "A\0", 4)), "\uFFFDA");  // lone high surrogate
  EXPECT_TRUE(IsValidUtf8(text));
  EXPECT_FALSE(IsValidUtf8("\xC0\x80"));      // overlong
  EXPECT_FALSE(IsValidUtf8("\xED\xA0\x80"));  // encoded surrogate
}

TEST(Encoding, CodePointsRoundTrip) {
  const std::string text = "a→ü\U0001F4A7";
  EXPECT_EQ(Utf8ToU32(text).size(), 4u);
  EXPECT_EQ(U32ToUtf8(Utf8ToU32(text)), text);
}

}  // namespace
}  // namespace tolvane
