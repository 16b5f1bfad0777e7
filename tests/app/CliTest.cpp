// Runs tolvane-cli as a user would, on a portable tree made from the shipped data.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

class Cli : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(home_ / "Models");
    std::filesystem::copy_file(std::filesystem::path(TOLVANE_SOURCE_DATA) / "Models" / "Tolvane_Language.txt",
                               home_ / "Models" / "Tolvane_Language.txt");
  }
  std::pair<int, std::string> Run(const std::string& args) {
    return test::RunCommand("TOLVANE_HOME='" + home_.path().string() + "' '" + TOLVANE_CLI_PATH + "' " + args +
                            " 2>/dev/null");
  }
  test::TempDir home_;
};

TEST_F(Cli, LangPrintsTheTextOfEitherColumn) {
  const auto [rc0, english] = Run("lang IDC_PNSN");
  const auto [rc1, german] = Run("lang IDC_PNSN --column 1");
  EXPECT_EQ(rc0, 0);
  EXPECT_EQ(rc1, 0);
  EXPECT_FALSE(english.empty());
  EXPECT_FALSE(german.empty());
  EXPECT_NE(english, german);
}

TEST_F(Cli, LangFailsOnUnknownKeysAndColumns) {
  EXPECT_EQ(Run("lang NO_SUCH_KEY").first, 1);
  EXPECT_NE(Run("lang IDC_PNSN --column 2").first, 0);
  std::filesystem::remove(home_ / "Models" / "Tolvane_Language.txt");
  EXPECT_EQ(Run("lang IDC_PNSN").first, 2);
}

TEST_F(Cli, VersionAndHelp) {
  const auto [rc, out] = Run("--version");
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("tolvane-cli "), std::string::npos);
  EXPECT_EQ(Run("--help").first, 0);
}

}  // namespace
}  // namespace tolvane
