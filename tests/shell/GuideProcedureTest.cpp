#include "shell/GuideProcedure.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

const std::filesystem::path kModels = std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models";

// Answers like a user: a button and the state of the check box.
class FakePrompt : public IViewGuide {
 public:
  int Show(bool& guide) override {
    ++shown;
    if (escaped) {
      return RESULT_CANCEL;
    }
    if (ticked) {
      guide = false;
    }
    return answer;
  }
  int answer = RESULT_CANCEL;
  bool ticked = false;
  bool escaped = false;  // left with Escape: no button, the box does not count
  int shown = 0;
};

class FakeStore : public ISettingsWriter {
 public:
  bool WriteBool(const std::string& name, bool value, int* code) override {
    writes.emplace_back(name, value);
    if (code != nullptr) {
      *code = failCode;
    }
    return failCode != 0;
  }
  std::vector<std::pair<std::string, bool>> writes;
  int failCode = 0;
};

class FakeOpener : public IDocumentOpener {
 public:
  bool Open(const std::filesystem::path& file) override {
    opened.push_back(file);
    return works;
  }
  std::vector<std::filesystem::path> opened;
  bool works = true;
};

class FakeErrors : public IErrorDetail {
 public:
  void Show(const std::string& message, const std::string& detail) override { shown.emplace_back(message, detail); }
  std::vector<std::pair<std::string, std::string>> shown;
};

class GuideProcedure : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(language_.Load("Tolvane_Language.txt"), 0);
    settings_.guide = true;
    settings_.guideFile = "User Guide.pps";
    test::WriteBytes(help_ / "User Guide.pps", "guide");
  }

  void Run() { RunGuideProcedure(prompt_, store_, opener_, errors_, language_, settings_, help_.path()); }

  std::string Text(const char* key) const { return language_.Text(key, settings_.languageNumber); }

  CLanguageFile language_{kModels, nullptr};
  APP_SETTINGS settings_;
  test::TempDir help_;
  FakePrompt prompt_;
  FakeStore store_;
  FakeOpener opener_;
  FakeErrors errors_;
};

TEST_F(GuideProcedure, YesWithTheBoxClearOpensTheGuideAndWritesNothing) {
  prompt_.answer = RESULT_OK;
  Run();
  EXPECT_EQ(prompt_.shown, 1);
  ASSERT_EQ(opener_.opened.size(), 1u);
  EXPECT_EQ(opener_.opened[0], help_ / "User Guide.pps");
  EXPECT_TRUE(settings_.guide);
  EXPECT_TRUE(store_.writes.empty());
  EXPECT_TRUE(errors_.shown.empty());
}

TEST_F(GuideProcedure, NoWithTheBoxTickedWritesGuideFalse) {
  prompt_.answer = RESULT_CANCEL;
  prompt_.ticked = true;
  Run();
  EXPECT_TRUE(opener_.opened.empty());
  EXPECT_FALSE(settings_.guide);
  ASSERT_EQ(store_.writes.size(), 1u);
  EXPECT_EQ(store_.writes[0], std::make_pair(std::string("GUIDE"), false));
  EXPECT_TRUE(errors_.shown.empty());
}

TEST_F(GuideProcedure, NoOrEscapeWithTheBoxClearChangesNothing) {
  for (const bool escaped : {false, true}) {
    prompt_.answer = RESULT_CANCEL;
    prompt_.ticked = escaped;  // Escape ignores a ticked box
    prompt_.escaped = escaped;
    Run();
    EXPECT_TRUE(settings_.guide);
    EXPECT_TRUE(opener_.opened.empty());
    EXPECT_TRUE(store_.writes.empty());
    EXPECT_TRUE(errors_.shown.empty());
  }
}

TEST_F(GuideProcedure, YesWithTheBoxTickedOpensAndWrites) {
  prompt_.answer = RESULT_OK;
  prompt_.ticked = true;
  Run();
  EXPECT_EQ(opener_.opened.size(), 1u);
  EXPECT_EQ(store_.writes.size(), 1u);
  EXPECT_TRUE(errors_.shown.empty());
}

TEST_F(GuideProcedure, AGuideThatCannotBeOpenedIsReported) {
  prompt_.answer = RESULT_OK;
  const std::pair<std::string, std::string> expected{Text("ERROR_MESSAGE21"), Text("ERROR_MESSAGE22")};

  // The viewer does not start.
  opener_.works = false;
  Run();
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0], expected);

  // The document is not there: the desktop's opener would start a viewer
  // all the same, so it is not asked.
  opener_ = FakeOpener{};
  errors_.shown.clear();
  std::filesystem::remove(help_ / "User Guide.pps");
  Run();
  EXPECT_TRUE(opener_.opened.empty());
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0], expected);
  EXPECT_TRUE(store_.writes.empty());
}

TEST_F(GuideProcedure, AGuideNameOutsideTheHelpFolderIsNotOpened) {
  prompt_.answer = RESULT_OK;
  test::WriteBytes(help_.path().parent_path() / "outside.pps", "x");
  const std::string absolute = (help_.path() / "User Guide.pps").string();
  for (const std::string& name : {std::string("../outside.pps"), std::string("sub/../User Guide.pps"), absolute,
                                 std::string(""), std::string("."), std::string(".."), std::string("a\\b.pps")}) {
    settings_.guideFile = name;
    errors_.shown.clear();
    Run();
    EXPECT_TRUE(opener_.opened.empty()) << name;
    EXPECT_EQ(errors_.shown.size(), 1u) << name;
  }
  std::filesystem::remove(help_.path().parent_path() / "outside.pps");
}

TEST_F(GuideProcedure, GuideDocumentPathKeepsPlainNames) {
  EXPECT_EQ(GuideDocumentPath("/opt/t/Help", "User Guide.pps"), std::filesystem::path("/opt/t/Help/User Guide.pps"));
  EXPECT_EQ(GuideDocumentPath("/opt/t/Help", "Kurzanleitung ä.pdf"),
            std::filesystem::path("/opt/t/Help/Kurzanleitung ä.pdf"));
  EXPECT_EQ(GuideDocumentPath("/opt/t/Help", "..."), std::filesystem::path("/opt/t/Help/..."));
  EXPECT_TRUE(GuideDocumentPath("/opt/t/Help", "/etc/passwd").empty());
}

TEST_F(GuideProcedure, AFailedWriteIsReportedWithItsCode) {
  prompt_.answer = RESULT_CANCEL;
  prompt_.ticked = true;
  store_.failCode = 2;
  Run();
  ASSERT_EQ(errors_.shown.size(), 1u);
  EXPECT_EQ(errors_.shown[0].first, "Cannot save the quick start guide setting (error 2).");
  EXPECT_EQ(errors_.shown[0].second, Text("ERROR_MESSAGE24"));
}

TEST_F(GuideProcedure, BothFailuresAreReportedInTheRunsLanguage) {
  settings_.languageNumber = 1;
  prompt_.answer = RESULT_OK;
  prompt_.ticked = true;
  opener_.works = false;
  store_.failCode = 4;
  Run();
  ASSERT_EQ(errors_.shown.size(), 2u);
  EXPECT_EQ(errors_.shown[0].first, language_.Text("ERROR_MESSAGE21", 1));
  EXPECT_EQ(errors_.shown[1].first, "Die Einstellung für die Kurzanleitung kann nicht gespeichert werden (Fehler 4).");
  EXPECT_EQ(errors_.shown[1].second, language_.Text("ERROR_MESSAGE24", 1));
}

}  // namespace
}  // namespace tolvane
