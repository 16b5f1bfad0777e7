// The cipher of protected model files.
#include <gtest/gtest.h>

#include <random>

#include "defs/FileCipher.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

// Known answers worked out on their own by tools/cipher-known-answers.py,
// which implements the cipher from its description, not from this code: a
// word, a shift, a key word or an order of steps taken wrong here fails them
// even when it is taken wrong the same way in both directions.
const CipherKey kOtherKey{0x01234567u, 0x89ABCDEFu, 0xFEDCBA98u, 0x76543210u};
const CipherBlock kCounting{0x03020100u, 0x07060504u, 0x0B0A0908u, 0x0F0E0D0Cu, 0x13121110u, 0x17161514u,
                            0x1B1A1918u, 0x1F1E1D1Cu, 0x23222120u, 0x27262524u, 0x2B2A2928u, 0x2F2E2D2Cu,
                            0x33323130u, 0x37363534u, 0x3B3A3938u, 0x3F3E3D3Cu};
const CipherBlock kCountingEnciphered{0x73E41B49u, 0x0E0B278Au, 0x2D24DCF3u, 0xEEB94E89u, 0x2AFE343Du, 0x7F24A040u,
                                      0xD590616Eu, 0x61BE0C7Cu, 0x1C0E9C38u, 0xC41A6EA4u, 0xB57F81EFu, 0xD3C02314u,
                                      0x813996BDu, 0xCA50D626u, 0xD6DD64F6u, 0x6FC3D462u};
const CipherBlock kOnesDeciphered{0x52FD0BEEu, 0x11AC0AAAu, 0x23B82D7Au, 0x69F70632u, 0xC47B762Au, 0x4489782Du,
                                  0x8C4759E3u, 0xDDD34A72u, 0xEEDC710Au, 0x8289CD91u, 0xBB6A6F42u, 0x23226C80u,
                                  0xCAABF2F2u, 0x72D1F139u, 0x5B20ECC9u, 0xC468AD39u};
const CipherBlock kTextEnciphered{0xF74386DEu, 0x6524D9B7u, 0xC43B9A74u, 0x6CE9A53Du, 0x1E572E25u, 0x76F2C63Au,
                                  0xBDA2A553u, 0x5273D6D8u, 0xFBA94770u, 0xB3CEAC4Fu, 0x42F9F1F0u, 0x1F237BF0u,
                                  0xF5ED070Bu, 0x9E644537u, 0xE9944BDBu, 0x0ABF0339u};
const CipherBlock kZeroDeciphered{0xCC9EEF93u, 0xA5DBFAA7u, 0xEEC49238u, 0x1F3FFDE6u, 0xB8BB923Du, 0x929EB7CBu,
                                  0x8D5510ECu, 0x7779B44Cu, 0x3B176D47u, 0x61C4560Eu, 0x2C0838E3u, 0x136E840Cu,
                                  0x5F501EE6u, 0xB91F2EEBu, 0xDD4193A0u, 0x04FCB652u};

// The bytes of a block, as the file holds them: each word little-endian.
std::string BlockBytes(const CipherBlock& v) {
  std::string bytes;
  for (const std::uint32_t w : v) {
    for (int b = 0; b < 4; ++b) {
      bytes.push_back(static_cast<char>((w >> (8 * b)) & 0xFFu));
    }
  }
  return bytes;
}

TEST(FileCipher, KnownAnswers) {
  CipherBlock v = kCounting;
  EncipherBlock(v, kOtherKey);
  EXPECT_EQ(v, kCountingEnciphered);
  DecipherBlock(v, kOtherKey);
  EXPECT_EQ(v, kCounting);

  // Deciphering a block that no enciphering made.
  CipherBlock ones;
  ones.fill(0xFFFFFFFFu);
  DecipherBlock(ones, kOtherKey);
  EXPECT_EQ(ones, kOnesDeciphered);

  // With the key of the model files, through the byte functions: the text is
  // taken as little-endian words and filled up with zero bytes to 64.
  const std::string text = "REVISION = 1.04\r\nUNITTYPE[1] = QR27\r\nUNITTYPE[2] = QR27-LVL\r\nX";
  ASSERT_EQ(text.size(), 62u);
  EXPECT_EQ(EncipherBytes(text, ModelFileKey()), BlockBytes(kTextEnciphered));
  EXPECT_EQ(DecipherBytes(BlockBytes(kTextEnciphered), ModelFileKey()), text + std::string(2, '\0'));
  EXPECT_EQ(DecipherBytes(std::string(64, '\0'), ModelFileKey()), BlockBytes(kZeroDeciphered));
  // A file of 65 bytes: its last byte (a zero) and the zeros that fill the
  // second block up decipher as the zero block does.
  const std::string two = DecipherBytes(BlockBytes(kTextEnciphered) + std::string(1, '\0'), ModelFileKey());
  ASSERT_EQ(two.size(), 128u);
  EXPECT_EQ(two.substr(64), BlockBytes(kZeroDeciphered));
}

TEST(FileCipher, EncipherThenDecipherGivesEveryBlockBack) {
  std::mt19937 rng(12345);
  const CipherKey key = ModelFileKey();
  for (int n = 0; n < 200; ++n) {
    CipherBlock block;
    for (auto& w : block) {
      w = static_cast<std::uint32_t>(rng());
    }
    CipherBlock work = block;
    EncipherBlock(work, key);
    EXPECT_NE(work, block);
    DecipherBlock(work, key);
    ASSERT_EQ(work, block);
  }
  CipherBlock zero{};
  CipherBlock work = zero;
  EncipherBlock(work, key);
  DecipherBlock(work, key);
  EXPECT_EQ(work, zero);
}

TEST(FileCipher, EveryWordDependsOnEveryInputWord) {
  const CipherKey key = ModelFileKey();
  CipherBlock base{};
  CipherBlock c0 = base;
  EncipherBlock(c0, key);
  for (std::size_t i = 0; i < base.size(); ++i) {
    CipherBlock flipped = base;
    flipped[i] ^= 1u;
    EncipherBlock(flipped, key);
    for (std::size_t j = 0; j < base.size(); ++j) {
      EXPECT_NE(flipped[j], c0[j]) << "input word " << i << " output word " << j;
    }
  }
}

TEST(FileCipher, AnotherKeyGivesAnotherText) {
  const std::string plain = "MODELID = QRModel_\n";
  CipherKey other = ModelFileKey();
  other[3] ^= 0x80000000u;
  const std::string enciphered = EncipherBytes(plain, ModelFileKey());
  const std::string wrong = DecipherBytes(enciphered, other);
  EXPECT_EQ(wrong.size(), 64u);
  EXPECT_EQ(wrong.find("MODELID"), std::string::npos);
  EXPECT_EQ(DecipherBytes(enciphered, ModelFileKey()).substr(0, plain.size()), plain);
}

TEST(FileCipher, WholeBlocksWithZeroPadding) {
  EXPECT_EQ(EncipherBytes("", ModelFileKey()).size(), 0u);
  EXPECT_EQ(EncipherBytes(std::string(64, 'a'), ModelFileKey()).size(), 64u);
  const std::string text(65, 'x');
  const std::string plain = DecipherBytes(EncipherBytes(text, ModelFileKey()), ModelFileKey());
  ASSERT_EQ(plain.size(), 128u);
  EXPECT_EQ(plain.substr(0, 65), text);
  EXPECT_EQ(plain.substr(65), std::string(63, '\0'));
}

TEST(DecipherFile, SixtyFiveBytesGiveTwoBlocksAndEmptyGivesEmpty) {
  test::TempDir dir;
  test::WriteBytes(dir / "in65.fmf", std::string(65, '\x5A'));
  ASSERT_TRUE(DecipherFile(dir / "in65.fmf", dir / "out65.txt", ModelFileKey()));
  EXPECT_EQ(test::ReadBytes(dir / "out65.txt").size(), 128u);

  test::WriteBytes(dir / "empty.fmf", "");
  ASSERT_TRUE(DecipherFile(dir / "empty.fmf", dir / "empty.txt", ModelFileKey()));
  EXPECT_TRUE(std::filesystem::exists(dir / "empty.txt"));
  EXPECT_EQ(test::ReadBytes(dir / "empty.txt").size(), 0u);
}

TEST(DecipherFile, AMissingInputCreatesNoOutput) {
  test::TempDir dir;
  EXPECT_FALSE(DecipherFile(dir / "missing.fmf", dir / "out.txt", ModelFileKey()));
  EXPECT_FALSE(std::filesystem::exists(dir / "out.txt"));
  std::string plain = "stale";
  EXPECT_FALSE(DecipherFileToMemory(dir / "missing.fmf", ModelFileKey(), plain));
  EXPECT_TRUE(plain.empty());
}

TEST(DecipherFile, AnExistingOutputIsReplaced) {
  test::TempDir dir;
  test::WriteBytes(dir / "in.fmf", EncipherBytes("A = 1\n", ModelFileKey()));
  test::WriteBytes(dir / "out.txt", std::string(1000, 'o'));
  ASSERT_TRUE(DecipherFile(dir / "in.fmf", dir / "out.txt", ModelFileKey()));
  const std::string out = test::ReadBytes(dir / "out.txt");
  EXPECT_EQ(out.size(), 64u);
  EXPECT_EQ(out.substr(0, 6), "A = 1\n");
}

}  // namespace
}  // namespace tolvane
