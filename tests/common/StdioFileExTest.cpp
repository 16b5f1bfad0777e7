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

TEST(StdioFileEx, OnlyARegularFileIsReadAndAPipeIsNotWaitedFor) {
  test::TempDir dir;
  ASSERT_TRUE(test::MakeFifo(dir / "pipe.txt"));
  const auto opened = test::RunInChild(
      [&] {
        CStdioFileEx f;
        return f.Open(dir / "pipe.txt", CStdioFileEx::modeRead) ? 1 : 0;
      },
      std::chrono::seconds(10));
  ASSERT_TRUE(opened.has_value()) << "the open of a named pipe hangs";
  EXPECT_EQ(*opened, 0);
  test::RecordingMessages messages;
  EXPECT_EQ(ReadAll("/dev/zero", &messages), std::vector<std::string>{"<not opened>"});
  EXPECT_EQ(ReadAll(dir.path(), &messages), std::vector<std::string>{"<not opened>"});
  ASSERT_EQ(messages.shown.size(), 2u);
  EXPECT_EQ(messages.shown[0].first, "Error:  Cannot open file for Unicode type check.");
  // A link to a regular file is read.
  test::WriteBytes(dir / "real.txt", "A = 1\nB = 2");
  std::filesystem::create_symlink(dir / "real.txt", dir / "link.txt");
  EXPECT_EQ(ReadAll(dir / "link.txt"), (std::vector<std::string>{"A = 1", "B = 2"}));
}

TEST(StdioFileEx, LinesRunAcrossTheReadPieces) {
  test::TempDir dir;
  std::string text;
  std::vector<std::string> want;
  for (int i = 0; i < 20000; ++i) {
    want.push_back("LINE" + std::to_string(i) + " = " + std::string(static_cast<std::size_t>(i % 13), 'x'));
    text += want.back() + "\r\n";
  }
  test::WriteBytes(dir / "u8.txt", text);
  test::WriteBytes(dir / "u16.txt", test::Utf16File(text));
  EXPECT_EQ(ReadAll(dir / "u8.txt"), want);
  EXPECT_EQ(ReadAll(dir / "u16.txt"), want);
}

TEST(StdioFileEx, UnicodeWriteHasByteOrderMarkAndCrLf) {
  test::TempDir dir;
  CStdioFileEx f;
  ASSERT_TRUE(
      f.Open(dir / "out.txt", CStdioFileEx::modeCreate | CStdioFileEx::modeWrite | CStdioFileEx::modeWriteUnicode));
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
  EXPECT_EQ(test::ReadBytes(dir / "out.txt"),
            "Gr\xF6\xDF"
            "e\r\n");
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
