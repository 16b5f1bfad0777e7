// tolvane-cli model ...: run as a user would, on a portable tree holding the
// shipped models.
#include <gtest/gtest.h>

#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class ModelCli : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_TRUE(fs::exists(TOLVANE_CLI_PATH)) << "build tolvane-cli first";
    fs::create_directories(models_);
    for (const auto& e : fs::directory_iterator(fs::path(TOLVANE_SOURCE_DATA) / "Models")) {
      fs::copy_file(e.path(), models_ / e.path().filename());
    }
    for (const auto& e : fs::directory_iterator(TOLVANE_PROTECTED_MODELS_DIR)) {
      fs::copy_file(e.path(), models_ / e.path().filename());
    }
  }
  std::pair<int, std::string> Run(const std::string& args) {
    return test::RunCommand("TOLVANE_HOME='" + home_.path().string() + "' '" + TOLVANE_CLI_PATH + "' " + args +
                            " 2>/dev/null");
  }
  test::TempDir home_;
  fs::path models_ = home_.path() / "Models";
};

TEST_F(ModelCli, FindPicksTheModelOfEachUnit) {
  const std::pair<const char*, const char*> expect[] = {
      {"QR25-2W QR25-LVL", "QRModel_QR25.txt\nModel: QR25-LVL two-wire level transmitter, 4-20 mA\n"},
      {"QR27-4W QR27-LVL", "QRModel_QR27.txt\nModel: QR27-LVL level transmitter, 4-20 mA and two relays\n"},
      {"QR30-RLY QR30-RLY", "QRModel_QR30.fmf\nModel: QR30-RLY level controller, four relays\n"},
      {"QR27Demo QR27Demo", "QRModel_QR27.txt\nModel: QR27 demonstration unit\n"},
  };
  for (const auto& [args, output] : expect) {
    const auto [rc, out] = Run(std::string("model find ") + args);
    EXPECT_EQ(rc, 0) << args;
    EXPECT_EQ(out, output) << args;
  }
  EXPECT_EQ(Run("model find QR27-4W QR25-LVL").first, 1);
  fs::remove(models_ / "Corporate_Model");
  EXPECT_EQ(Run("model find QR27-4W QR27-LVL").first, 2);
}

TEST_F(ModelCli, ShowReadsPlainAndProtectedFiles) {
  const auto [rc, out] = Run("model show '" + (models_ / "QRModel_QR30.fmf").string() + "'");
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("Control Mode"), std::string::npos);
  EXPECT_NE(out.find("Configurations (148)"), std::string::npos);
  EXPECT_NE(out.find("0 ignored, 0 unknown"), std::string::npos);
  const auto [rc2, corporate] = Run("model show '" + (models_ / "Corporate_Model").string() + "'");
  EXPECT_EQ(rc2, 0);
  EXPECT_NE(corporate.find("QRModel_"), std::string::npos);
  EXPECT_NE(Run("model show '" + (models_ / "Nothing.txt").string() + "'").first, 0);
}

TEST_F(ModelCli, EncryptAndDecryptRoundTrip) {
  const fs::path plain = models_ / "QRModel_QR27.txt";
  const fs::path fmf = home_.path() / "Copy.fmf";
  const fs::path back = home_.path() / "Back.txt";
  ASSERT_EQ(Run("model encrypt '" + plain.string() + "' '" + fmf.string() + "'").first, 0);
  EXPECT_EQ(test::ReadBytes(fmf).size() % 64, 0u);
  EXPECT_EQ(test::ReadBytes(fmf).find("CFGLABEL"), std::string::npos);
  ASSERT_EQ(Run("model decrypt '" + fmf.string() + "' '" + back.string() + "'").first, 0);
  EXPECT_EQ(test::ReadBytes(back), test::ReadBytes(plain));
  EXPECT_NE(Run("model decrypt '" + (home_.path() / "none.fmf").string() + "' '" + back.string() + "'").first, 0);
}

TEST_F(ModelCli, TheLanguageFileComesFromTheCorporateModel) {
  // The corporate model names the language file; a renamed catalogue is found through it.
  fs::rename(models_ / "Tolvane_Language.txt", models_ / "Other_Language.txt");
  const std::string corporate = test::ReadBytes(models_ / "Corporate_Model");
  std::string changed = corporate;
  const std::string from = "LANGUAGE_FILE = Tolvane_Language.txt";
  changed.replace(changed.find(from), from.size(), "LANGUAGE_FILE = Other_Language.txt");
  test::WriteBytes(models_ / "Corporate_Model", changed);
  const auto [rc, out] = Run("lang SELECTSTR");
  EXPECT_EQ(rc, 0);
  EXPECT_FALSE(out.empty());
}

}  // namespace
}  // namespace tolvane
