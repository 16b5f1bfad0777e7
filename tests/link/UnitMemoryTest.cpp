// Reading, writing and verifying the sensor's memory pages against the
// simulated sensor.
#include <gtest/gtest.h>

#include <numeric>

#include "link/MemoryRig.h"
#include "link/PageText.h"

namespace tolvane::link::test {
namespace {

PageImage Pattern(std::uint8_t seed) {
  PageImage p{};
  for (std::size_t i = 0; i < p.size(); ++i) {
    p[i] = static_cast<std::uint8_t>(seed + i * 7);
  }
  return p;
}

TEST(UnitMemory, ReadsAllPagesAndTheIdentity) {
  MemoryRig rig;
  rig.sensor->Page(3) = Pattern(3);
  ASSERT_EQ(rig.memory.ReadPages(-1, rig.memory.Pages(), nullptr, 30, 40, 50, nullptr), 0);
  for (int page = 0; page < kPageCount; ++page) {
    EXPECT_EQ(rig.memory.Page(page), rig.sensor->Page(page + 1)) << page;
  }
  std::int32_t serial = 0;
  std::string name;
  std::uint32_t revision = 0;
  ASSERT_EQ(ParseFactoryIdentity(rig.memory.Page(PAGE_FACTORY), serial, name, revision), 0);
  EXPECT_EQ(serial, 270042);
  EXPECT_EQ(name, "QR27-LVL");
  EXPECT_EQ(revision, 0x0203u);

  ASSERT_EQ(rig.memory.ReadInfoMemory(rig.memory.Info()), 0);
  EXPECT_EQ(rig.memory.Info(), rig.sensor->InfoMemory());
  std::string model;
  ASSERT_EQ(ParseInfoIdentity(rig.memory.Info(), serial, model), 0);
  EXPECT_EQ(model, "QR27-4W");
}

TEST(UnitMemory, IdentityFieldsAndTheirLimits) {
  PageImage factory{};
  factory[96] = 0x01;
  factory[97] = 0x00;
  factory[98] = 0x02;
  factory[99] = 0x00;  // high word 1, low word 2
  factory[26] = 0x34;
  factory[27] = 0x12;
  const std::string name = "TANK-\xC4";  // Windows-1252 text
  std::copy(name.begin(), name.end(), factory.begin() + 138);
  std::int32_t serial = 0;
  std::string text;
  std::uint32_t revision = 0;
  ASSERT_EQ(ParseFactoryIdentity(factory, serial, text, revision), 0);
  EXPECT_EQ(serial, 65536 + 2);
  EXPECT_EQ(text, "TANK-Ä");
  EXPECT_EQ(revision, 0x1234u);

  // Fifteen characters without a terminator: no name, revision untouched.
  std::fill(factory.begin() + 138, factory.begin() + 153, 'A');
  revision = 7;
  EXPECT_EQ(ParseFactoryIdentity(factory, serial, text, revision), -1);
  EXPECT_EQ(revision, 7u);
  factory[152] = 0;  // fourteen characters and the terminator fit
  EXPECT_EQ(ParseFactoryIdentity(factory, serial, text, revision), 0);
  EXPECT_EQ(text, std::string(14, 'A'));

  InfoImage info{};
  std::fill(info.begin() + 14, info.begin() + 30, 'M');
  std::string model = "Not Assigned";
  EXPECT_EQ(ParseInfoIdentity(info, serial, model), -1);
}

TEST(UnitMemory, WriteThenVerifyPutsTheStagingImageInTheUnitAndTheCache) {
  MemoryRig rig;
  rig.memory.Staging() = Pattern(11);
  ASSERT_EQ(rig.memory.WritePage(1), 0);
  EXPECT_EQ(rig.sensor->Page(1), rig.memory.Staging());
  EXPECT_EQ(rig.memory.VerifyPage(PAGE_CUSTOMER), 1);
  EXPECT_EQ(rig.memory.Page(PAGE_CUSTOMER), rig.memory.Staging());
  EXPECT_TRUE(rig.box.shown.empty());

  // One byte differs in the unit: no success, and the cache keeps what it had.
  rig.sensor->Page(1)[300] ^= 1;
  const PageImage cached = rig.memory.Page(PAGE_CUSTOMER);
  EXPECT_EQ(rig.memory.VerifyPage(PAGE_CUSTOMER), 0);
  EXPECT_EQ(rig.memory.Page(PAGE_CUSTOMER), cached);
  EXPECT_TRUE(rig.box.shown.empty());  // a difference is no read failure
}

TEST(UnitMemory, HistoryFailuresEatIntoTheOcmPagesAttempts) {
  {
    MemoryRig rig;
    rig.bridge.failReads[3] = 1;    // the History page reads at the second attempt
    rig.bridge.failReads[4] = 100;  // the OCM page never reads
    EXPECT_EQ(rig.memory.ReadPages(-1, rig.memory.Pages(), nullptr, 30, 40, 50, nullptr), 5);
    EXPECT_EQ(rig.bridge.readsSent[4], 3);
    EXPECT_FALSE(rig.link.IsLinkOpen());
  }
  {
    MemoryRig rig;
    rig.bridge.failReads[4] = 100;  // History at once: the OCM page has all five
    EXPECT_EQ(rig.memory.ReadPages(-1, rig.memory.Pages(), nullptr, 30, 40, 50, nullptr), 5);
    EXPECT_EQ(rig.bridge.readsSent[4], 5);
  }
  {
    MemoryRig rig;
    rig.bridge.failReads[2] = 100;
    EXPECT_EQ(rig.memory.ReadPages(-1, rig.memory.Pages(), nullptr, 30, 40, 50, nullptr), 3);
    EXPECT_EQ(rig.bridge.readsSent[2], 5);
    EXPECT_EQ(rig.bridge.readsSent[3], 0);
    EXPECT_TRUE(rig.errors.shown.empty());  // reading all pages shows nothing
  }
}

TEST(UnitMemory, ASinglePageShowsEachFailedAttempt) {
  MemoryRig rig;
  rig.bridge.failReads[1] = 100;
  std::array<PageImage, 1> one{};
  EXPECT_EQ(rig.memory.ReadPages(PAGE_CUSTOMER, one, nullptr, 0, 0, 0, nullptr), 6);
  ASSERT_EQ(rig.errors.shown.size(), 5u);
  EXPECT_EQ(rig.errors.shown[0].second, rig.language.Text("ERROR_MESSAGE65", 0));
  EXPECT_NE(rig.errors.shown[0].first.find('1'), std::string::npos);  // the sensor's status code

  // VerifyPage on a page that cannot be read reports it once and fails.
  rig.memory.Staging() = rig.sensor->Page(1);
  EXPECT_EQ(rig.memory.VerifyPage(PAGE_CUSTOMER), 0);
  ASSERT_EQ(rig.box.shown.size(), 1u);
  EXPECT_EQ(rig.box.shown[0].first, rig.language.Text("ERROR_MESSAGE66", 0));
  EXPECT_EQ(rig.box.shown[0].second, MB_ERROR);
}

TEST(UnitMemory, WriteFailuresCloseTheLinkAndTheNextCallReconnects) {
  sim::SimOptions options;
  options.faults.noReady = true;
  MemoryRig rig(options);
  rig.memory.Staging() = Pattern(5);
  EXPECT_EQ(rig.memory.WritePage(1), 4);  // no ready frame after the first block
  EXPECT_FALSE(rig.link.IsLinkOpen());
  EXPECT_EQ(rig.memory.WriteInfoMemory(rig.memory.Info()), 5);
  rig.sensor->Faults().noReady = false;
  EXPECT_EQ(rig.memory.WritePage(1), 0);
  EXPECT_TRUE(rig.link.IsLinkOpen());

  rig.sensor->Faults().statusByte = 3;
  rig.sensor->Faults().statusCommand = CMD_COPY_SCRATCH;
  EXPECT_EQ(rig.memory.WritePage(1), 6);
  rig.sensor->Faults().statusCommand = CMD_ERASE_SCRATCH;
  EXPECT_EQ(rig.memory.WritePage(1), 2);
  EXPECT_EQ(rig.memory.WriteInfoMemory(rig.memory.Info()), 2);
  rig.sensor->Faults().statusCommand = CMD_COPY_SCRATCH_INFO;
  EXPECT_EQ(rig.memory.WriteInfoMemory(rig.memory.Info()), 9);
  rig.sensor->Faults().statusCommand = CMD_READ_INFO;
  EXPECT_EQ(rig.memory.ReadInfoMemory(rig.memory.Info()), 2);
}

TEST(UnitMemory, InformationMemoryRoundTrip) {
  MemoryRig rig;
  InfoImage info{};
  std::iota(info.begin(), info.end(), std::uint8_t{1});
  ASSERT_EQ(rig.memory.WriteInfoMemory(info), 0);
  EXPECT_EQ(rig.sensor->InfoMemory(), info);
  InfoImage back{};
  ASSERT_EQ(rig.memory.ReadInfoMemory(back), 0);
  EXPECT_EQ(back, info);
}

}  // namespace
}  // namespace tolvane::link::test

namespace tolvane::link::test {
namespace {

TEST(PageText, HexRowsShowBytesAndText) {
  PageImage page{};
  const std::string letters = "ABCDEFGH";
  std::copy(letters.begin(), letters.end(), page.begin());
  const std::string text = FormatPageHex(page);
  const std::string header = "      0  1  2  3  4  5  6  7    8  9  A  B  C  D  E  F\r\n";
  ASSERT_EQ(text.substr(0, header.size()), header);
  const std::string first = "000: 41 42 43 44 45 46 47 48   00 00 00 00 00 00 00 00  ABCDEFGH........\r\n";
  EXPECT_EQ(text.substr(header.size(), first.size()), first);
  EXPECT_NE(text.find("1F0: "), std::string::npos);  // 32 rows
  EXPECT_EQ(text.find("200: "), std::string::npos);
}

TEST(PageText, WordRowsShowHexAndDecimal) {
  PageImage page{};
  page[6] = 0x34;
  page[7] = 0x12;
  const std::string text = FormatPageWords(page);
  EXPECT_EQ(text.rfind("       HEX    DEC\r\n", 0), 0u);
  EXPECT_NE(text.find("003: 0x1234  04660\r\n"), std::string::npos);
  EXPECT_NE(text.find("255: 0x0000  00000\r\n"), std::string::npos);
  EXPECT_EQ(text.find("256: "), std::string::npos);
}

}  // namespace
}  // namespace tolvane::link::test
