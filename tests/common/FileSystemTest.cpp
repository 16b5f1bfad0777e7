#include "common/FileSystem.h"

#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

TEST(FileSystem, ReadIsBoundedBeforeAllocation) {
  test::TempDir dir;
  test::WriteBytes(dir / "f", std::string(100, 'x'));
  std::string out;
  EXPECT_EQ(ReadFileBounded(dir / "f", 99, out), ReadResult::TooLarge);
  EXPECT_TRUE(out.empty());
  EXPECT_EQ(ReadFileBounded(dir / "f", 100, out), ReadResult::Ok);
  EXPECT_EQ(out.size(), 100u);
  EXPECT_EQ(ReadFileBounded(dir / "missing", 100, out), ReadResult::NotFound);
  EXPECT_EQ(ReadFileBounded(dir.path(), 100, out), ReadResult::Error);  // a folder is no file
}

TEST(FileSystem, ReplacingWriteKeepsTheOldFileUntilTheNewOneIsComplete) {
  test::TempDir dir;
  const auto target = dir / "settings.txt";
  test::WriteBytes(target, "old");
  EXPECT_TRUE(WriteFileReplacing(target, "new content"));
  EXPECT_EQ(test::ReadBytes(target), "new content");
  // A target whose folder is gone cannot be written; nothing is left behind.
  EXPECT_FALSE(WriteFileReplacing(dir / "gone" / "x.txt", "data"));
  // Only the target remains in the folder: no temporary files.
  int files = 0;
  for ([[maybe_unused]] const auto& e : std::filesystem::directory_iterator(dir.path())) {
    ++files;
  }
  EXPECT_EQ(files, 1);
}

TEST(FileSystem, NamesFromOutsideStayInTheirFolder) {
  EXPECT_TRUE(IsSafeLeafName("Setup_2.4.1.run"));
  EXPECT_TRUE(IsSafeLeafName("..hidden"));
  for (const char* bad : {"", ".", "..", "../etc/passwd", "/etc/passwd", "a/b", "a\\b", "C:x", "tab\there"}) {
    EXPECT_FALSE(IsSafeLeafName(bad)) << bad;
  }
  EXPECT_FALSE(IsSafeLeafName(std::string("nul\0x", 5)));
}

}  // namespace
}  // namespace tolvane
