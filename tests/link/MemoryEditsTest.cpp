// The direct memory entry and the information memory fields: the checks of
// what a technician types, and the writes on the simulated sensor.
#include <gtest/gtest.h>

#include "common/CheckedFormat.h"
#include "common/Encoding.h"
#include "link/MemoryEdits.h"
#include "link/MemoryRig.h"

namespace tolvane::link::test {
namespace {

std::string Check(std::string_view address, std::string_view value, int page) {
  DIRECT_ENTRY entry{9, 9, 9};
  const char* key = CheckDirectEntry(address, value, page, entry);
  if (key == nullptr) {
    return Format("ok %d %d %d", entry.page, entry.address, entry.value);
  }
  // A refused entry leaves the record alone.
  EXPECT_EQ(entry.page, 9);
  return key;
}

TEST(DirectEntry, RefusesWhatIsNotAWordOrAValue) {
  EXPECT_EQ(Check("256", "1", 1), "ERROR_MESSAGE67");
  EXPECT_EQ(Check("1", "65536", 1), "ERROR_MESSAGE68");
  EXPECT_EQ(Check("", "1", 1), "ERROR_MESSAGE67");
  EXPECT_EQ(Check("1", "", 1), "ERROR_MESSAGE68");
  EXPECT_EQ(Check("   ", "1", 2), "ERROR_MESSAGE67");
  // Text that is no number never stands for word 0 or the value 0.
  EXPECT_EQ(Check("abc", "1", 1), "ERROR_MESSAGE67");
  EXPECT_EQ(Check("1", "abc", 1), "ERROR_MESSAGE68");
  EXPECT_EQ(Check("-1", "1", 1), "ERROR_MESSAGE67");
  EXPECT_EQ(Check("1", "-1", 1), "ERROR_MESSAGE68");
  EXPECT_EQ(Check("12x", "1", 1), "ERROR_MESSAGE67");
  EXPECT_EQ(Check("1", "99999999999999999999", 1), "ERROR_MESSAGE68");
  // The address is checked before the value, both before the page.
  EXPECT_EQ(Check("300", "70000", 0), "ERROR_MESSAGE67");
  EXPECT_EQ(Check("3", "70000", 0), "ERROR_MESSAGE68");
  EXPECT_EQ(Check("3", "7", 0), "ERROR_MESSAGE69");
  EXPECT_EQ(Check("3", "7", 3), "ERROR_MESSAGE69");
}

TEST(DirectEntry, TakesTheEdgesOfTheRanges) {
  EXPECT_EQ(Check("0", "0", 1), "ok 1 0 0");
  EXPECT_EQ(Check("255", "65535", 2), "ok 2 255 65535");
  EXPECT_EQ(Check(" 17 ", "0042", 1), "ok 1 17 42");
}

TEST(DirectEntry, WritesTheWordIntoTheUnitAndKeepsItInTheCacheWhenTheWriteFails) {
  MemoryRig rig;
  std::array<PageImage, kPageCount> pages{};
  ASSERT_EQ(rig.memory.ReadPages(-1, pages, nullptr, 0, 0, 0, nullptr), 0);
  rig.memory.Pages() = pages;
  const PageImage before = rig.memory.Page(PAGE_FACTORY);

  ASSERT_EQ(ApplyDirectEntry(rig.memory, DIRECT_ENTRY{2, 3, 0x1234}), 0);
  // Little-endian at bytes 6 and 7; nothing else of the page changes.
  PageImage expected = before;
  expected[6] = 0x34;
  expected[7] = 0x12;
  EXPECT_EQ(rig.sensor->Page(2), expected);
  EXPECT_EQ(rig.memory.Page(PAGE_FACTORY), expected);
  EXPECT_EQ(rig.memory.Staging(), expected);
  EXPECT_EQ(rig.memory.VerifyPage(PAGE_FACTORY), 1);

  // The unit stops answering: the write fails, the cache has the value anyway.
  rig.sensor->Faults().noReady = true;
  EXPECT_EQ(ApplyDirectEntry(rig.memory, DIRECT_ENTRY{1, 255, 65535}), 4);
  EXPECT_EQ(rig.memory.Page(PAGE_CUSTOMER)[510], 0xFF);
  EXPECT_EQ(rig.memory.Page(PAGE_CUSTOMER)[511], 0xFF);
  EXPECT_NE(rig.sensor->Page(1)[510], 0xFF);
}

InfoImage InfoWith(std::initializer_list<std::pair<std::size_t, std::uint16_t>> words) {
  InfoImage info{};
  for (const auto& [w, v] : words) {
    info[2 * w] = static_cast<std::uint8_t>(v & 0xFF);
    info[2 * w + 1] = static_cast<std::uint8_t>(v >> 8);
  }
  return info;
}

std::uint16_t WordAt(const InfoImage& info, std::size_t w) {
  return static_cast<std::uint16_t>(info[2 * w] | (info[2 * w + 1] << 8));
}

TEST(InfoMemoryFields, ShowTheWordsTheSerialAndTheModel) {
  InfoImage info = InfoWith({{0, 0xBEEF}, {1, 1}, {4, 0x00A0}, {5, 1}, {6, 2}, {15, 255}});
  const std::string model = "QR27-\xC4";  // Windows-1252 A umlaut
  std::copy(model.begin(), model.end(), info.begin() + 14);
  const INFO_TEXTS t = InfoMemoryTexts(info);
  EXPECT_EQ(t[INFO_TCAL], "0xBEEF");
  EXPECT_EQ(t[INFO_TVAL], "0x0001");
  EXPECT_EQ(t[INFO_CALA], "0x0000");
  EXPECT_EQ(t[INFO_CALD], "0x00A0");
  EXPECT_EQ(t[INFO_CALDONE], "0x00FF");
  EXPECT_EQ(t[INFO_HWSERIAL], std::to_string(1 * 65536 + 2));
  EXPECT_EQ(t[INFO_HWMODEL], "QR27-\xC3\x84");

  // Saving the same texts gives the same image.
  InfoImage again = info;
  std::fill(again.begin(), again.begin() + 32, 0x55);
  ASSERT_EQ(ApplyInfoMemoryTexts(t, again), nullptr);
  EXPECT_EQ(WordAt(again, 5), 1);
  EXPECT_EQ(WordAt(again, 6), 2);
  EXPECT_EQ(again, info);

  // Sixteen model bytes without a zero show as sixteen characters.
  std::fill(info.begin() + 14, info.begin() + 30, 'M');
  EXPECT_EQ(InfoMemoryTexts(info)[INFO_HWMODEL], std::string(16, 'M'));
  // A negative serial is shown and stored as typed.
  info = InfoWith({{5, 0xFFFF}, {6, 0xFFFE}});
  EXPECT_EQ(InfoMemoryTexts(info)[INFO_HWSERIAL], "-2");
}

TEST(InfoMemoryFields, ReadTypedWordsAsTheDialogDoes) {
  EXPECT_EQ(ParseInfoWord("0x00FF"), 255);
  EXPECT_EQ(ParseInfoWord("0X00ff"), 255);
  EXPECT_EQ(ParseInfoWord("255"), 255);
  EXPECT_EQ(ParseInfoWord("x255"), 0);
  EXPECT_EQ(ParseInfoWord("0x"), 0);
  EXPECT_EQ(ParseInfoWord(""), 0);
  EXPECT_EQ(ParseInfoWord("12abc"), 12);
  EXPECT_EQ(ParseInfoWord("0x1FFFF"), 0xFFFF);  // only the low 16 bits
  EXPECT_EQ(ParseInfoWord("65537"), 1);
  EXPECT_EQ(ParseInfoWord("99999999999"), 0xFFFF);  // saturates before the cut
  EXPECT_EQ(ParseInfoWord("-1"), 0xFFFF);
  EXPECT_EQ(ParseInfoSerial("65538"), 65538);
  EXPECT_EQ(ParseInfoSerial(" -7"), -7);
  EXPECT_EQ(ParseInfoSerial("abc"), 0);
  EXPECT_EQ(ParseInfoSerial("99999999999"), 2147483647);
  EXPECT_EQ(ParseInfoSerial("-99999999999"), -2147483647 - 1);
}

TEST(InfoMemoryFields, TheModelMustFitItsSixteenBytes) {
  InfoImage info = InfoWith({{0, 7}});
  const InfoImage untouched = info;
  INFO_TEXTS t = InfoMemoryTexts(info);
  t[INFO_TCAL] = "9";
  t[INFO_HWMODEL] = std::string(16, 'A');
  EXPECT_STREQ(ApplyInfoMemoryTexts(t, info), "SERVICE_MESSAGE1");
  EXPECT_EQ(info, untouched);  // nothing is cut, nothing stored
  // Characters count as the bytes they take in Windows-1252: 15 umlauts fit.
  std::string umlauts;
  for (int i = 0; i < 15; ++i) {
    umlauts += "\xC3\xA4";
  }
  t[INFO_HWMODEL] = umlauts;
  ASSERT_EQ(ApplyInfoMemoryTexts(t, info), nullptr);
  EXPECT_EQ(WordAt(info, 0), 9);
  EXPECT_EQ(info[14], 0xE4);
  EXPECT_EQ(info[28], 0xE4);
  EXPECT_EQ(info[29], 0);
  // A shorter model clears the rest of the field.
  t[INFO_HWMODEL] = "QR25";
  ASSERT_EQ(ApplyInfoMemoryTexts(t, info), nullptr);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(info.data() + 14), 16),
            std::string("QR25") + std::string(12, '\0'));
  // Characters that Windows-1252 lacks become "?".
  t[INFO_HWMODEL] = "QR\xE2\x98\x83\xE6\x97\xA5";  // a snowman and a CJK sign
  ASSERT_EQ(ApplyInfoMemoryTexts(t, info), nullptr);
  EXPECT_EQ(InfoMemoryTexts(info)[INFO_HWMODEL], "QR??");
}

TEST(InfoMemoryFields, FieldsByName) {
  for (int f = 0; f < INFO_FIELD_COUNT; ++f) {
    EXPECT_EQ(InfoFieldByName(InfoFieldName(f)), f);
  }
  EXPECT_EQ(InfoFieldByName("caldone"), INFO_CALDONE);
  EXPECT_FALSE(InfoFieldByName("CAL"));
  EXPECT_FALSE(InfoFieldByName(""));
}

TEST(InfoMemoryFields, RoundTripOnTheUnit) {
  MemoryRig rig;
  ASSERT_EQ(rig.memory.ReadInfoMemory(rig.memory.Info()), 0);
  const InfoImage original = rig.memory.Info();
  INFO_TEXTS t = InfoMemoryTexts(rig.memory.Info());
  t[INFO_HWSERIAL] = "65538";
  t[INFO_CALDONE] = "0x00FF";
  t[INFO_HWMODEL] = "QR27X";
  ASSERT_EQ(ApplyInfoMemoryTexts(t, rig.memory.Info()), nullptr);
  ASSERT_EQ(rig.memory.WriteInfoMemory(rig.memory.Info()), 0);

  InfoImage back{};
  ASSERT_EQ(rig.memory.ReadInfoMemory(back), 0);
  EXPECT_EQ(back, rig.memory.Info());
  EXPECT_EQ(WordAt(back, 5), 1);
  EXPECT_EQ(WordAt(back, 6), 2);
  EXPECT_EQ(WordAt(back, 15), 255);
  const INFO_TEXTS shown = InfoMemoryTexts(back);
  EXPECT_EQ(shown[INFO_HWSERIAL], "65538");
  EXPECT_EQ(shown[INFO_HWMODEL], "QR27X");
  // The words not edited are what the unit held.
  for (std::size_t w = 0; w < 5; ++w) {
    EXPECT_EQ(WordAt(back, w), WordAt(original, w)) << w;
  }
  EXPECT_TRUE(std::equal(back.begin() + 32, back.end(), original.begin() + 32));
}

}  // namespace
}  // namespace tolvane::link::test
