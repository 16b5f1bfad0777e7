#include "common/StdioFileEx.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

std::vector<std::string> ReadAll(const std::filesystem::path& path, IMessageBox* messages = nullptr) {
  CStdioFileEx f(messages);
  std::vector<std::string> lines;
  if (!f.Open(path, CStdioFileEx::modeRead)) {
    return {"<not opened>"};
  }
  std::string line;
  while (f.ReadString(line)) {
    lines.push_back(line);
  }
  return lines;
}

TEST(StdioFileEx, Utf16AndEightBitFilesReadAlike) {
  test::TempDir dir;
  const std::string text = "KEY = Füllhöhe->Fill height\r\nSECOND = x\r\n\r\nlast";
  test::WriteBytes(dir / "u16.txt", test::Utf16File(text));
  test::WriteBytes(dir / "cp.txt", "KEY = F\xFCllh\xF6he->Fill height\r\nSECOND = x\r\n\r\nlast");
  test::WriteBytes(dir / "u8.txt", text);
  const std::vector<std::string> want{"KEY = Füllhöhe->Fill height", "SECOND = x", "", "last"};
  EXPECT_EQ(ReadAll(dir / "u16.txt"), want);
  EXPECT_EQ(ReadAll(dir / "cp.txt"), want);
  EXPECT_EQ(ReadAll(dir / "u8.txt"), want);
}

TEST(StdioFileEx, OddUtf16ByteCountDropsTheLoneByte) {
  test::TempDir dir;
  test::WriteBytes(dir / "odd.txt", test::Utf16File("AB\nC") + "X");
  EXPECT_EQ(ReadAll(dir / "odd.txt"), (std::vector<std::string>{"AB", "C"}));
}

TEST(StdioFileEx, TypeCheckFailuresAreReportedAndTheFileReadAs8Bit) {
  test::TempDir dir;
  test::RecordingMessages messages;
  EXPECT_EQ(ReadAll(dir / "missing.txt", &messages), std::vector<std::string>{"<not opened>"});
  ASSERT_EQ(messages.shown.size(), 1u);
  EXPECT_EQ(messages.shown[0].first, "Error:  Cannot open file for Unicode type check.");
  EXPECT_EQ(messages.shown[0].second, MB_ERROR);

  test::WriteBytes(dir / "one.txt", "A");
  EXPECT_EQ(ReadAll(dir / "one.txt", &messages), std::vector<std::string>{"A"});
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[1].first, "Error:  Cannot read file for Unicode type check.");

  test::WriteBytes(dir / "empty.txt", "");
  EXPECT_TRUE(ReadAll(dir / "empty.txt", &messages).empty());
}

TEST(StdioFileEx, UnicodeWriteHasByteOrderMarkAndCrLf) {
  test::TempDir dir;
  CStdioFileEx f;
  ASSERT_TRUE(f.Open(dir / "out.txt", CStdioFileEx::modeCreate | CStdioFileEx::modeWrite |
                                          CStdioFileEx::modeWriteUnicode));
  f.WriteString("A=1\n");
  f.WriteString("Ä\n");
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(test::ReadBytes(dir / "out.txt"), test::Utf16File("A=1\r\nÄ\r\n"));
  EXPECT_EQ(ReadAll(dir / "out.txt"), (std::vector<std::string>{"A=1", "Ä"}));
}

TEST(StdioFileEx, EightBitWriteIsWindows1252WithCrLf) {
  test::TempDir dir;
  CStdioFileEx f;
  ASSERT_TRUE(f.Open(dir / "out.txt", CStdioFileEx::modeCreate | CStdioFileEx::modeWrite));
  f.WriteString("Größe\n");
  ASSERT_TRUE(f.Close());
  EXPECT_EQ(test::ReadBytes(dir / "out.txt"), "Gr\xF6\xDF" "e\r\n");
}

TEST(StdioFileEx, AnUnfinishedWriteLeavesTheOldFile) {
  test::TempDir dir;
  test::WriteBytes(dir / "cfg.txt", "previous");
  {
    CStdioFileEx f;
    ASSERT_TRUE(f.Open(dir / "cfg.txt", CStdioFileEx::modeCreate | CStdioFileEx::modeWrite));
    f.WriteString("half");
    EXPECT_EQ(test::ReadBytes(dir / "cfg.txt"), "previous");
  }  // destroyed without Close: abandoned
  EXPECT_EQ(test::ReadBytes(dir / "cfg.txt"), "previous");
}

TEST(StdioFileEx, OverlongLinesAreCut) {
  test::TempDir dir;
  test::WriteBytes(dir / "long.txt", std::string(CStdioFileEx::kMaxLineBytes + 10, 'x') + "\nnext\n");
  const auto lines = ReadAll(dir / "long.txt");
  ASSERT_EQ(lines.size(), 2u);
  EXPECT_EQ(lines[0].size(), CStdioFileEx::kMaxLineBytes);
  EXPECT_EQ(lines[1], "next");
}

}  // namespace
}  // namespace tolvane
