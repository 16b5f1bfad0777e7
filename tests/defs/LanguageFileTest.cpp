#include "defs/LanguageFile.h"

#include <gtest/gtest.h>

#include "common/CheckedFormat.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

// Loads `content` as the language file of a fresh catalogue.
class LanguageFileTest : public ::testing::Test {
 protected:
  void LoadText(const std::string& content) {
    test::WriteBytes(dir_ / "lang.txt", content);
    ASSERT_EQ(catalogue_.Load("lang.txt"), 0);
  }
  std::string Text(const char* key, int column = 0) { return catalogue_.Text(key, column); }

  test::TempDir dir_;
  test::RecordingMessages messages_;
  CLanguageFile catalogue_{dir_.path(), &messages_};
};

TEST_F(LanguageFileTest, ColumnsCommentsAndIndexSuffixes) {
  LoadText(
      "' a comment line\n"
      "STATUS_MESSAGE9 = Writing->Schreiben\n"
      "IDC_PNSN[0][0] = Serial number\n"
      "ERROR_MESSAGE1 = it's broken->es ist\n"
      "TWO = a->b->c\n"
      "  SPACED   =   padded text   ->  gepolstert  \n"
      "\n"
      "NOEQUALS\n"
      "EMPTY =\n");
  EXPECT_EQ(Text("STATUS_MESSAGE9"), "Writing");
  EXPECT_EQ(Text("STATUS_MESSAGE9", 1), "Schreiben");
  EXPECT_EQ(Text("IDC_PNSN"), "Serial number");
  EXPECT_EQ(Text("IDC_PNSN", 1), "");
  EXPECT_EQ(Text("ERROR_MESSAGE1"), "it");  // cut at the apostrophe
  EXPECT_EQ(Text("ERROR_MESSAGE1", 1), "");
  EXPECT_EQ(Text("TWO"), "a");
  EXPECT_EQ(Text("TWO", 1), "b->c");
  EXPECT_EQ(Text("SPACED"), "padded text");
  EXPECT_EQ(Text("SPACED", 1), "gepolstert");
  EXPECT_EQ(Text("EMPTY"), "");
  std::string out = "unchanged";
  EXPECT_TRUE(catalogue_.Lookup("EMPTY", 0, out));
  EXPECT_EQ(out, "");
  // A line without "[" and "=" holds an entry with an empty key that never matches.
  EXPECT_EQ(catalogue_.EntryCount(), 7);
  out = "unchanged";
  EXPECT_FALSE(catalogue_.Lookup("", 0, out));
  EXPECT_FALSE(catalogue_.Lookup("NOEQUALS", 0, out));
  EXPECT_FALSE(catalogue_.Lookup("MISSING", 0, out));
  EXPECT_EQ(out, "unchanged");
}

TEST_F(LanguageFileTest, TextOrFallsBackOnlyForAMissingOrEmptyText) {
  LoadText("K = English->Deutsch\nONLY = English only\nEMPTY =\n");
  EXPECT_EQ(catalogue_.TextOr("K", 1, "fallback"), "Deutsch");
  EXPECT_EQ(catalogue_.TextOr("K", 0, "fallback"), "English");
  EXPECT_EQ(catalogue_.TextOr("ONLY", 1, "fallback"), "fallback");  // no German column
  EXPECT_EQ(catalogue_.TextOr("EMPTY", 0, "fallback"), "fallback");
  EXPECT_EQ(catalogue_.TextOr("MISSING", 0, "fallback"), "fallback");
}

TEST_F(LanguageFileTest, FirstEntryOfAKeyWinsAndKeysAreCaseSensitive) {
  LoadText("K = first\nK = second\nk = lower\n");
  EXPECT_EQ(Text("K"), "first");
  EXPECT_EQ(Text("k"), "lower");
}

TEST_F(LanguageFileTest, BackslashNBecomesALineBreak) {
  LoadText("K = one\\ntwo->eins\\nzwei\n");
  EXPECT_EQ(Text("K"), "one\ntwo");
  EXPECT_EQ(Text("K", 1), "eins\nzwei");
}

TEST_F(LanguageFileTest, ContinuationLinesAreCutAtTheFirstLinesColumns) {
  // On the first line column 0 spans positions 3..7 (" abc\\"), column 1 starts at 10.
  LoadText(
      "K = abc\\->def\\\n"
      "    0123456789XYZ\n"
      "L = more\\\n"
      "    a\\\\nb\n"
      "NEXT = after\n");
  EXPECT_EQ(Text("K"), "abc0123");
  EXPECT_EQ(Text("K", 1), "def6789XYZ");
  EXPECT_EQ(Text("L"), "morea\nb");
  EXPECT_EQ(Text("NEXT"), "after");
}

TEST_F(LanguageFileTest, FileEndingDuringAContinuationKeepsTheEntry) {
  LoadText("K = started\\");
  EXPECT_EQ(Text("K"), "started");
  EXPECT_EQ(catalogue_.EntryCount(), 1);
}

TEST_F(LanguageFileTest, OnlyContinuationLinesAndEmptyFiles) {
  LoadText("\\\n\\\n\\\n");
  EXPECT_EQ(catalogue_.EntryCount(), 3);  // each is a keyless entry that never matches
  LoadText("");
  EXPECT_EQ(catalogue_.EntryCount(), 0);
}

TEST_F(LanguageFileTest, Utf16AndEightBitFilesGiveTheSameCatalogue) {
  const std::string text = "A = Höhe->Height\r\nB = x\\\r\n    y\r\n";
  LoadText(text);
  const std::string a8 = Text("A"), b8 = Text("B");
  LoadText(test::Utf16File(text));
  EXPECT_EQ(Text("A"), a8);
  EXPECT_EQ(Text("B"), b8);
  EXPECT_EQ(a8, "Höhe");
  EXPECT_EQ(b8, "xy");
}

TEST_F(LanguageFileTest, TheTableHoldsAThousandEntries) {
  std::string text;
  for (int i = 0; i < 5000; ++i) {
    text += "K" + std::to_string(i) + " = text " + std::to_string(i) + "\n";
  }
  LoadText(text);
  EXPECT_EQ(catalogue_.EntryCount(), CLanguageFile::kMaxEntries);
  EXPECT_EQ(catalogue_.RefusedCount(), 4000);
  EXPECT_EQ(Text("K999"), "text 999");
  EXPECT_EQ(Text("K1000"), "");
}

// The file's size is bounded before it is read: a larger file is refused as
// a missing one is. The bound is far above any real language file.
TEST_F(LanguageFileTest, AFileAboveTheSizeBoundIsRefusedAsAMissingOne) {
  ASSERT_GE(CLanguageFile::kMaxFileBytes, std::size_t{1} << 20);
  std::string text = "FIRST = kept\n";
  text += std::string(CLanguageFile::kMaxFileBytes - text.size(), '\n');
  LoadText(text);
  EXPECT_EQ(Text("FIRST"), "kept");
  EXPECT_TRUE(messages_.shown.empty());

  test::WriteBytes(dir_ / "huge.txt", text + "\n");
  CLanguageFile fresh(dir_.path(), &messages_);
  EXPECT_EQ(fresh.Load("huge.txt"), -1);
  ASSERT_EQ(messages_.shown.size(), 1u);
  EXPECT_EQ(messages_.shown[0].first, "Error:  Cannot open the Language File. \n");
  EXPECT_EQ(fresh.EntryCount(), 0);
  EXPECT_EQ(fresh.Text("FIRST", 0), "");
  // A named pipe is refused the same way, without waiting for a writer.
  ASSERT_TRUE(test::MakeFifo(dir_ / "pipe.txt"));
  const auto loaded = test::RunInChild([&] { return fresh.Load("pipe.txt") == -1 ? 1 : 0; }, std::chrono::seconds(10));
  EXPECT_EQ(loaded, std::optional<int>(1));
}

// Entries past the table's room and their continuation lines take no room:
// the refused entries are counted, their text is not kept.
TEST_F(LanguageFileTest, EntriesPastTheTableAreReadButNotKept) {
  std::string text;
  for (int i = 0; i < 1200; ++i) {
    // "K0042 = a\ ->b\", then the continuation at the same columns.
    text += Format("K%04d = a\\ ->b\\\n", i) + std::string(7, ' ') + "cc" + std::string(4, ' ') + "dd\n";
  }
  LoadText(text);
  EXPECT_EQ(catalogue_.EntryCount(), CLanguageFile::kMaxEntries);
  EXPECT_EQ(catalogue_.RefusedCount(), 200);
  EXPECT_EQ(Text("K0999"), "acc");
  EXPECT_EQ(Text("K0999", 1), "bdd");
  EXPECT_EQ(Text("K1000"), "");
}

TEST_F(LanguageFileTest, UnknownColumnsReadTheFirst) {
  LoadText("K = en->de\n");
  EXPECT_EQ(Text("K", 7), "en");
  EXPECT_EQ(Text("K", -1), "en");
}

TEST_F(LanguageFileTest, MissingFileOrUnsafeNameShowsTheErrorAndLeavesTheCatalogueEmpty) {
  EXPECT_EQ(catalogue_.Load("nothing.txt"), -1);
  ASSERT_FALSE(messages_.shown.empty());
  EXPECT_EQ(messages_.shown.back().first, "Error:  Cannot open the Language File. \n");
  EXPECT_EQ(catalogue_.EntryCount(), 0);
  test::WriteBytes(dir_.path().parent_path() / "outside.txt", "K = x\n");
  EXPECT_EQ(catalogue_.Load("../outside.txt"), -1);
  std::filesystem::remove(dir_.path().parent_path() / "outside.txt");
}

TEST(AccessKeys, CaptionsLoseTheirMarksAndKeepALiteralAmpersand) {
  EXPECT_EQ(WithoutAccessKeys("&Open Config File"), "Open Config File");
  EXPECT_EQ(WithoutAccessKeys("Konfiguration ö&ffnen"), "Konfiguration öffnen");
  EXPECT_EQ(WithoutAccessKeys("Save && Close"), "Save & Close");
  EXPECT_EQ(WithoutAccessKeys("&&&Print"), "&Print");
  EXPECT_EQ(WithoutAccessKeys("Trailing &"), "Trailing ");
  EXPECT_EQ(WithoutAccessKeys("Plain"), "Plain");
  EXPECT_EQ(WithoutAccessKeys(""), "");
}

}  // namespace
}  // namespace tolvane
