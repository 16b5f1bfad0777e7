#include "shell/GuideProcedure.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

// Stands in for the prompt, the store, the opener and the error dialog at
// once and records what the procedure asked of each.
struct Desk : IViewGuide, ISettingsWriter, IDocumentOpener, IErrorDetail {
  int Show(bool& guide) override {
    if (escaped) {
      return RESULT_CANCEL;
    }
    if (ticked) {
      guide = false;
    }
    return answer;
  }
  bool WriteBool(const std::string& name, bool value, int* code) override {
    writes.emplace_back(name, value);
    *code = writeFailure;
    return writeFailure != 0;
  }
  bool Open(const std::filesystem::path& file) override {
    opened.push_back(file);
    return viewerStarts;
  }
  void Show(const std::string& message, const std::string& detail) override { errors.emplace_back(message, detail); }

  int answer = RESULT_CANCEL;
  bool ticked = false;
  bool escaped = false;  // left with Escape: the box does not count
  int writeFailure = 0;
  bool viewerStarts = true;
  std::vector<std::pair<std::string, bool>> writes;
  std::vector<std::filesystem::path> opened;
  std::vector<std::pair<std::string, std::string>> errors;
};

class GuideProcedure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(language_.Load("Tolvane_Language.txt"), 0);
    settings_.guide = true;
    settings_.guideFile = "User Guide.pps";
    test::WriteBytes(help_ / "User Guide.pps", "guide");
  }
  void Run() { RunGuideProcedure(desk_, desk_, desk_, desk_, language_, settings_, help_.path()); }
  std::pair<std::string, std::string> Texts(const char* message, const char* detail) const {
    return {language_.Text(message, settings_.languageNumber), language_.Text(detail, settings_.languageNumber)};
  }

  CLanguageFile language_{std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models", nullptr};
  APP_SETTINGS settings_;
  test::TempDir help_;
  Desk desk_;
};

TEST_F(GuideProcedure, YesOpensTheGuideAndOnlyATickedBoxIsWritten) {
  desk_.answer = RESULT_OK;
  Run();
  EXPECT_EQ(desk_.opened, std::vector<std::filesystem::path>{help_ / "User Guide.pps"});
  EXPECT_TRUE(settings_.guide);
  EXPECT_TRUE(desk_.writes.empty());

  desk_.ticked = true;
  Run();
  EXPECT_EQ(desk_.opened.size(), 2u);
  EXPECT_FALSE(settings_.guide);
  EXPECT_EQ(desk_.writes, (std::vector<std::pair<std::string, bool>>{{"GUIDE", false}}));
  EXPECT_TRUE(desk_.errors.empty());
}

TEST_F(GuideProcedure, NoWritesOnlyWhenTheBoxIsTickedAndEscapeNever) {
  desk_.answer = RESULT_CANCEL;
  Run();
  desk_.ticked = true;
  desk_.escaped = true;
  Run();
  EXPECT_TRUE(settings_.guide);
  EXPECT_TRUE(desk_.writes.empty());

  desk_.escaped = false;
  Run();
  EXPECT_FALSE(settings_.guide);
  EXPECT_EQ(desk_.writes.size(), 1u);
  EXPECT_TRUE(desk_.opened.empty());
  EXPECT_TRUE(desk_.errors.empty());
}

TEST_F(GuideProcedure, AGuideThatCannotBeOpenedIsReported) {
  desk_.answer = RESULT_OK;
  desk_.viewerStarts = false;
  Run();
  EXPECT_EQ(desk_.errors, std::vector{Texts("ERROR_MESSAGE21", "ERROR_MESSAGE22")});

  // A missing document: the desktop's opener would start a viewer all the
  // same, so it is not asked.
  desk_ = Desk{};
  desk_.answer = RESULT_OK;
  std::filesystem::remove(help_ / "User Guide.pps");
  Run();
  EXPECT_TRUE(desk_.opened.empty());
  EXPECT_EQ(desk_.errors, std::vector{Texts("ERROR_MESSAGE21", "ERROR_MESSAGE22")});
}

TEST_F(GuideProcedure, AGuideNameOutsideTheHelpFolderIsNotOpened) {
  desk_.answer = RESULT_OK;
  test::TempDir outside;
  test::WriteBytes(outside / "x.pps", "x");
  const std::string relative = "../" + outside.path().filename().string() + "/x.pps";
  for (const std::string& name : {relative, (outside / "x.pps").string(), std::string(""), std::string("."),
                                  std::string(".."), std::string("a\\b.pps")}) {
    settings_.guideFile = name;
    desk_.errors.clear();
    Run();
    EXPECT_TRUE(desk_.opened.empty()) << name;
    EXPECT_EQ(desk_.errors.size(), 1u) << name;
  }
  EXPECT_EQ(GuideDocumentPath("/opt/t/Help", "Kurzanleitung ä.pdf"),
            std::filesystem::path("/opt/t/Help/Kurzanleitung ä.pdf"));
  EXPECT_EQ(GuideDocumentPath("/opt/t/Help", "..."), std::filesystem::path("/opt/t/Help/..."));
}

TEST_F(GuideProcedure, FailuresAreReportedInTheRunsLanguageWithTheWriteCode) {
  desk_.answer = RESULT_CANCEL;
  desk_.ticked = true;
  desk_.writeFailure = 2;
  Run();
  ASSERT_EQ(desk_.errors.size(), 1u);
  EXPECT_EQ(desk_.errors[0].first, "Cannot save the quick start guide setting (error 2).");
  EXPECT_EQ(desk_.errors[0].second, Texts("ERROR_MESSAGE23", "ERROR_MESSAGE24").second);

  // Both failures, in order: the guide, then the setting.
  desk_ = Desk{};
  settings_.guide = true;
  settings_.languageNumber = 1;
  desk_.answer = RESULT_OK;
  desk_.ticked = true;
  desk_.viewerStarts = false;
  desk_.writeFailure = 4;
  Run();
  ASSERT_EQ(desk_.errors.size(), 2u);
  EXPECT_EQ(desk_.errors[0], Texts("ERROR_MESSAGE21", "ERROR_MESSAGE22"));
  EXPECT_EQ(desk_.errors[1].first, "Die Einstellung für die Kurzanleitung kann nicht gespeichert werden (Fehler 4).");
}

}  // namespace
}  // namespace tolvane
