#include "shell/LogFile.h"

#include <gtest/gtest.h>

#include <sstream>
#include <thread>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

std::tm At(int year, int month, int day, int hour, int minute, int second) {
  std::tm tm{};
  tm.tm_year = year - 1900;
  tm.tm_mon = month - 1;
  tm.tm_mday = day;
  tm.tm_hour = hour;
  tm.tm_min = minute;
  tm.tm_sec = second;
  return tm;
}

TEST(LogFile, LineFormatUsesTheTwelveHourClock) {
  EXPECT_EQ(CLogFile::FormatLine(At(2012, 3, 7, 15, 15, 0), "LOADCONFIG", "msg"),
            "03/07/12 03:15:00PM LOADCONFIG->msg\n");
  EXPECT_EQ(CLogFile::FormatLine(At(2012, 3, 7, 12, 0, 1), "T", "noon"), "03/07/12 12:00:01PM T->noon\n");
  EXPECT_EQ(CLogFile::FormatLine(At(2000, 12, 31, 0, 5, 9), "T", "midnight"), "12/31/00 12:05:09AM T->midnight\n");
  EXPECT_EQ(CLogFile::FormatLine(At(2026, 1, 2, 13, 0, 0), "T", ""), "01/02/26 01:00:00PM T->\n");
  EXPECT_EQ(CLogFile::FormatLine(At(2026, 1, 2, 11, 59, 59), "T", ""), "01/02/26 11:59:59AM T->\n");
}

TEST(LogFile, FirstRunCreatesLaterRunsAppend) {
  test::TempDir dir;
  const auto now = [] { return At(2026, 12, 9, 17, 45, 0); };
  {
    CLogFile log(dir.path(), now);
    ASSERT_TRUE(log.Open());
    EXPECT_TRUE(log.Open());  // already open
    log.Write("TOLVANE", "Version %s Started", "1.0.0.1");
  }
  {
    CLogFile log(dir.path(), now);
    ASSERT_TRUE(log.Open());
    log.Write("SAVECONFIG", "Saved %d", 3);
  }
  EXPECT_EQ(test::ReadBytes(dir / "logfile.txt"),
            "12/09/26 05:45:00PM TOLVANE->Version 1.0.0.1 Started\r\n"
            "12/09/26 05:45:00PM SAVECONFIG->Saved 3\r\n");
}

TEST(LogFile, LongMessagesAreCutButTheLineStaysWhole) {
  test::TempDir dir;
  CLogFile log(dir.path(), [] { return At(2026, 1, 1, 9, 0, 0); });
  ASSERT_TRUE(log.Open());
  const int written = log.Write("WRITETARGET", "%s", std::string(2000, 'x'));
  const std::string expected = "01/01/26 09:00:00AM WRITETARGET->" + std::string(511, 'x') + "\n";
  EXPECT_EQ(written, static_cast<int>(expected.size()));
  EXPECT_EQ(test::ReadBytes(dir / "logfile.txt"), expected.substr(0, expected.size() - 1) + "\r\n");
}

// The limit counts characters: a message of characters that take two bytes
// in UTF-8 (and one in the file) is cut at 511 of them, not at 511 bytes.
TEST(LogFile, TheCutCountsCharactersNotBytes) {
  test::TempDir dir;
  CLogFile log(dir.path(), [] { return At(2026, 1, 1, 9, 0, 0); });
  ASSERT_TRUE(log.Open());
  std::string umlauts;
  for (int i = 0; i < 400; ++i) {
    umlauts += "\u00e4";
  }
  const std::string head = "01/01/26 09:00:00AM T->";
  EXPECT_EQ(log.Write("T", "%s", umlauts), static_cast<int>(head.size() + 400 + 1));
  std::string euros;
  for (int i = 0; i < 600; ++i) {
    euros += "\u20ac";  // three bytes in UTF-8, one (0x80) in the file
  }
  EXPECT_EQ(log.Write("T", "%s", euros), static_cast<int>(head.size() + 511 + 1));
  // The last character that fits is kept whole.
  log.Write("T", "%s", std::string(510, 'x') + "\u20acyz");
  EXPECT_EQ(test::ReadBytes(dir / "logfile.txt"), head + std::string(400, '\xE4') + "\r\n" + head +
                                                      std::string(511, '\x80') + "\r\n" + head + std::string(510, 'x') +
                                                      "\x80\r\n");
}

TEST(LogFile, APipeInTheLogsPlaceIsNotUsed) {
  test::TempDir dir;
  ASSERT_TRUE(test::MakeFifo(dir / "logfile.txt"));
  const auto used = test::RunInChild(
      [&] {
        CLogFile log(dir.path(), SystemLocalTime());
        if (!log.Open()) {
          return 0;
        }
        // A pipe nobody reads takes 64 KiB, then every write waits.
        for (int i = 0; i < 2000; ++i) {
          log.Write("T", "%s", std::string(100, 'x'));
        }
        return 1;
      },
      std::chrono::seconds(10));
  EXPECT_EQ(used, std::optional<int>(0));
}

TEST(LogFile, WithoutAUsableFileNothingIsWritten) {
  test::TempDir dir;
  CLogFile missingFolder(dir / "no-such-folder", SystemLocalTime());
  EXPECT_FALSE(missingFolder.Open());
  EXPECT_EQ(missingFolder.Write("T", "text"), 0);

  CLogFile first(dir.path(), SystemLocalTime());
  ASSERT_TRUE(first.Open());
  CLogFile second(dir.path(), SystemLocalTime());  // a second running instance
  EXPECT_FALSE(second.Open());
  EXPECT_EQ(second.Write("T", "text"), 0);
}

TEST(LogFile, BadPatternsAreLoggedAsTheyStandAndTextIsWindows1252) {
  test::TempDir dir;
  CLogFile log(dir.path(), [] { return At(2026, 1, 1, 9, 0, 0); });
  ASSERT_TRUE(log.Open());
  log.Write("T", "%s%n", "x");
  log.Write("T", "Füllhöhe %d", 5);
  EXPECT_EQ(test::ReadBytes(dir / "logfile.txt"),
            "01/01/26 09:00:00AM T->%s%n\r\n"
            "01/01/26 09:00:00AM T->F\xFCllh\xF6he 5\r\n");
}

TEST(LogFile, LinesFromSeveralThreadsStayWhole) {
  test::TempDir dir;
  CLogFile log(dir.path(), [] { return At(2026, 1, 1, 9, 0, 0); });
  ASSERT_TRUE(log.Open());
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&log, t] {
      for (int i = 0; i < 200; ++i) {
        log.Write("WRITEPROGRAM", "thread %d line %d", t, i);
      }
    });
  }
  for (auto& th : threads) {
    th.join();
  }
  const std::string content = test::ReadBytes(dir / "logfile.txt");
  std::istringstream lines(content);
  std::string line;
  int count = 0;
  while (std::getline(lines, line)) {
    ++count;
    EXPECT_EQ(line.rfind("01/01/26 09:00:00AM WRITEPROGRAM->thread ", 0), 0u) << line;
    EXPECT_EQ(line.back(), '\r');
  }
  EXPECT_EQ(count, 800);
}

}  // namespace
}  // namespace tolvane
