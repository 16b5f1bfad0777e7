// The user's models folder over the installed one: a file the user has wins,
// every other is read where it is installed, and the catalogue sees both.
#include <gtest/gtest.h>

#include "defs/FileCipher.h"
#include "defs/ModelFile.h"
#include "defs/ModelTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class ModelOverlay : public ::testing::Test {
 protected:
  ModelOverlay() {
    fs::create_directories(user_);
    fs::create_directories(installed_.parent_path());
    fs::copy(fs::path(TOLVANE_SOURCE_DATA) / "Models", installed_);
  }
  std::unique_ptr<MODEL_TABLES> tables_ = std::make_unique<MODEL_TABLES>();
  APP_SETTINGS settings_;
  CONFIG_RECORD record_;
  test::TempDir dir_;
  fs::path user_ = dir_ / "home/Models";
  fs::path installed_ = dir_ / "usr/share/tolvane/Models";
  CLanguageFile language_{user_, nullptr, installed_};
  CModelFile models_{user_, *tables_, settings_, language_, record_, nullptr, nullptr, installed_};
};

TEST_F(ModelOverlay, InstalledFilesAreReadWhenTheUserHasNone) {
  EXPECT_EQ(language_.Load("Tolvane_Language.txt"), 0);
  EXPECT_FALSE(language_.Text("IDC_PNSN", 0).empty());
  ASSERT_EQ(models_.LoadCorporateModel(), 1);
  EXPECT_EQ(tables_->program.programId, "Tolvane");
  record_.modelName = "QR25-2W";
  record_.firmwareName = "QR25-LVL";
  ASSERT_EQ(models_.LoadUnitModel(), 1);
  EXPECT_EQ(record_.modelFileName, "QRModel_QR25.txt");
  EXPECT_TRUE(fs::is_empty(user_));

  // Without the installed folder the same user folder holds nothing.
  CModelFile alone(user_, *tables_, settings_, language_, record_);
  EXPECT_EQ(alone.LoadCorporateModel(), 0);
}

TEST_F(ModelOverlay, TheUsersOwnFileOfANameWins) {
  std::string own = test::ReadBytes(installed_ / "QRModel_QR27.txt");
  const std::string from = "UNITDESCRIPTION[2] = QR27-LVL level transmitter, 4-20 mA and two relays";
  ASSERT_NE(own.find(from), std::string::npos);
  own.replace(own.find(from), from.size(), "UNITDESCRIPTION[2] = our own QR27 model");
  test::WriteBytes(user_ / "QRModel_QR27.txt", own);
  test::WriteBytes(user_ / "Tolvane_Language.txt", "IDC_PNSN = Our serial->Unsere Seriennummer\n");

  ASSERT_EQ(models_.LoadCorporateModel(), 1);  // still the installed one
  record_.modelName = "QR27-4R";
  record_.firmwareName = "QR27-LVL";
  ASSERT_EQ(models_.LoadUnitModel(), 1);
  EXPECT_NE(record_.unitDescription.find("our own QR27 model"), std::string::npos) << record_.unitDescription;
  ASSERT_EQ(language_.Load("Tolvane_Language.txt"), 0);
  EXPECT_EQ(language_.Text("IDC_PNSN", 1), "Unsere Seriennummer");

  // A protected file of the user's comes before the installed plain one of the base name.
  test::WriteBytes(user_ / "QRModel_QR27.fmf",
                   EncipherBytes(own.replace(own.find("our own"), 7, "protected"), ModelFileKey()));
  models_.ResetModel();
  ASSERT_EQ(models_.LoadModelByName("QRModel_QR27", 0), 1);
  record_.modelName = "QR27-4R";
  ASSERT_EQ(models_.LoadUnitModel(), 1);
  EXPECT_NE(record_.unitDescription.find("protected QR27 model"), std::string::npos) << record_.unitDescription;
}

TEST_F(ModelOverlay, TheCatalogueListsBothFoldersAndAUserEntryHidesTheInstalledFile) {
  // A model only the user has is found.
  test::WriteBytes(user_ / "QRModel_QR99.txt", "UNITTYPE[1] = QR99\nUNITTYPE[2] = QR99-LVL\n");
  std::string name;
  ASSERT_EQ(models_.FindModelByTwoValues("QRModel_", "UNITTYPE", "QR99", "QR99-LVL", 0, name), 1);
  EXPECT_EQ(name, "QRModel_QR99.txt");
  ASSERT_EQ(models_.FindModelByTwoValues("QRModel_", "UNITTYPE", "QR25", "QR25-LVL", 0, name), 1);
  EXPECT_EQ(name, "QRModel_QR25.txt");
  // Anything of that name in the user's folder, even a folder, hides the installed file.
  fs::create_directories(user_ / "QRModel_QR25.txt");
  EXPECT_EQ(models_.FindModelByTwoValues("QRModel_", "UNITTYPE", "QR25", "QR25-LVL", 0, name), 0);
  // Names that would leave the folder are refused in both.
  EXPECT_EQ(models_.LoadModelByName("../Models/QRModel_QR27.txt", 0), 0);
}

}  // namespace
}  // namespace tolvane
