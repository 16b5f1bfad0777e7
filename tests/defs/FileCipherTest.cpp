// The cipher of protected model files.
#include <gtest/gtest.h>

#include <random>

#include "defs/FileCipher.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

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
