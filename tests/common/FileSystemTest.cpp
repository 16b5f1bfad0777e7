#include "common/FileSystem.h"

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <iostream>
#include <random>
#include <set>
#include <thread>

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

// Names in `folder` other than `keep`.
std::vector<std::string> OtherEntries(const std::filesystem::path& folder, const std::string& keep) {
  std::vector<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    if (e.path().filename() != keep) {
      names.push_back(e.path().filename().string());
    }
  }
  return names;
}

TEST(FileSystem, APipeOrADeviceIsNeitherWaitedForNorRead) {
  test::TempDir dir;
  ASSERT_TRUE(test::MakeFifo(dir / "pipe"));
  // Without a writer an ordinary open of a pipe waits for ever: run in a child.
  const auto read = test::RunInChild(
      [&] {
        std::string out;
        return static_cast<int>(ReadFileBounded(dir / "pipe", 100, out));
      },
      std::chrono::seconds(10));
  ASSERT_TRUE(read.has_value()) << "the read of a named pipe hangs";
  EXPECT_EQ(*read, static_cast<int>(ReadResult::Error));
  std::string out;
  EXPECT_EQ(ReadFileBounded("/dev/zero", 100, out), ReadResult::Error);
  EXPECT_TRUE(out.empty());
}

// Rewrites killed at random moments: whatever the moment, the target holds
// one whole version, and the next write of the target leaves nothing else
// in the folder.
void KillRewrites(const char* what, ReplaceMethod method, bool targetExists) {
  constexpr int kRuns = 50;
  const std::string small(3000, 'a');
  const std::string large(400000, 'b');
  std::mt19937 random(20240611u);
  int killedWithLeftover = 0;
  int leftoverAfterNextWrite = 0;
  for (int run = 0; run < kRuns; ++run) {
    test::TempDir dir;
    const auto target = dir / "Tank[0].txt";
    if (targetExists) {
      test::WriteBytes(target, small);
    }
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      for (int n = 0;; ++n) {
        WriteFileReplacing(target, (n % 2) != 0 ? small : large, method);
      }
    }
    std::this_thread::sleep_for(std::chrono::microseconds(random() % 6000));
    ::kill(child, SIGKILL);
    int status = 0;
    ::waitpid(child, &status, 0);

    const auto others = OtherEntries(dir.path(), target.filename().string());
    for (const auto& name : others) {
      EXPECT_TRUE(IsRewriteLeftover(name, target.filename().string())) << name;
    }
    killedWithLeftover += others.empty() ? 0 : 1;
    if (std::filesystem::exists(target) || targetExists) {
      const std::string held = test::ReadBytes(target);
      EXPECT_TRUE(held == small || held == large) << "a cut version of " << held.size() << " bytes";
    }
    ASSERT_TRUE(WriteFileReplacing(target, "next", method));
    EXPECT_EQ(test::ReadBytes(target), "next");
    const auto after = OtherEntries(dir.path(), target.filename().string());
    leftoverAfterNextWrite += after.empty() ? 0 : 1;
    EXPECT_TRUE(after.empty()) << after.front();
  }
  std::cout << what << ": " << kRuns << " kills, " << killedWithLeftover << " left a temporary file, "
            << leftoverAfterNextWrite << " still had one after the next write\n";
}

TEST(FileSystem, AKilledRewriteOfAnUnnamedTemporaryLeavesNothingBehind) {
  KillRewrites("unnamed temporary, target there", ReplaceMethod::Automatic, true);
}

TEST(FileSystem, AKilledFirstWriteLeavesNothingBehind) {
  KillRewrites("unnamed temporary, no target yet", ReplaceMethod::Automatic, false);
}

TEST(FileSystem, AKilledRewriteOfANamedTemporaryIsClearedByTheNextWrite) {
  KillRewrites("named temporary, target there", ReplaceMethod::NamedTemporary, true);
}

TEST(FileSystem, OnlyTheTemporariesOfDeadWritersOfTheSameTargetAreRemoved) {
  test::TempDir dir;
  const std::string name = "settings.txt";
  // A writer that has ended, one still running (this process's parent), a
  // temporary of another target and files that only look alike.
  pid_t ended = ::fork();
  if (ended == 0) {
    ::_exit(0);
  }
  int status = 0;
  ::waitpid(ended, &status, 0);
  const std::string dead = "." + name + ".tolvane-" + std::to_string(ended) + "-Ab3dE9";
  const std::string alive = "." + name + ".tolvane-" + std::to_string(::getppid()) + "-Zz09aa";
  const std::string other = ".other.txt.tolvane-" + std::to_string(ended) + "-Ab3dE9";
  for (const std::string& n : {dead, alive, other, name + ".Ab3dE9", "." + name + ".tolvane-x-Ab3dE9",
                               "." + name + ".tolvane-" + std::to_string(ended) + "-Ab3dE9.bak"}) {
    test::WriteBytes(dir / n, "x");
  }
  EXPECT_TRUE(IsRewriteLeftover(dead, name));
  EXPECT_FALSE(IsRewriteLeftover(other, name));
  EXPECT_FALSE(IsRewriteLeftover(name + ".Ab3dE9", name));
  ASSERT_TRUE(WriteFileReplacing(dir / name, "v"));
  EXPECT_FALSE(std::filesystem::exists(dir / dead));
  EXPECT_TRUE(std::filesystem::exists(dir / alive));
  EXPECT_TRUE(std::filesystem::exists(dir / other));
  EXPECT_TRUE(std::filesystem::exists(dir / (name + ".Ab3dE9")));
  EXPECT_EQ(OtherEntries(dir.path(), name).size(), 5u);
  // A name too long for the temporary's additions still gets a temporary.
  const std::string longName(250, 'n');
  ASSERT_TRUE(WriteFileReplacing(dir / longName, "first"));
  ASSERT_TRUE(WriteFileReplacing(dir / longName, "second"));
  EXPECT_EQ(test::ReadBytes(dir / longName), "second");
  EXPECT_EQ(OtherEntries(dir.path(), name).size(), 6u);
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
