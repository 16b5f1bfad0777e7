// The model catalogue: finding files by name or by the keys they hold, plain
// and protected, and the model of a unit.
#include <gtest/gtest.h>

#include <set>

#include "defs/FileCipher.h"
#include "defs/ModelFile.h"
#include "defs/ModelTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

std::set<std::string> Listing(const std::filesystem::path& folder) {
  std::set<std::string> names;
  for (const auto& e : std::filesystem::directory_iterator(folder)) {
    names.insert(e.path().filename().string());
  }
  return names;
}

class Catalogue : public ::testing::Test {
 protected:
  Catalogue() {
    test::WriteBytes(dir_ / "Lang.txt",
                     "SELECTSTR = <Select>\nIDC_MODELDESCRIPTION = Model:\nSTATUS_MESSAGE29 = Plain\n"
                     "STATUS_MESSAGE30 = Protected\n");
    f_.language.Load("Lang.txt");
  }
  void Plain(const std::string& name, std::string_view text) { test::WriteBytes(dir_ / name, text); }
  void Protected(const std::string& name, std::string_view text, const CipherKey& key = ModelFileKey()) {
    test::WriteBytes(dir_ / name, EncipherBytes(text, key));
  }

  test::TempDir dir_;
  test::ModelFixture f_{dir_.path()};
};

TEST_F(Catalogue, FindKeyValueStopsAtTheFirstEntryUnlessToldToKeepLooking) {
  Plain("M.txt", "UNITTYPE[1] = QR27\nUNITTYPE[2] = QR27-LVL\n");
  std::string out;
  EXPECT_EQ(f_.parser.FindKeyValue(dir_ / "M.txt", "UNITTYPE", "QR27-LVL", &out, false), 0);
  EXPECT_EQ(out, "QR27");
  EXPECT_EQ(f_.parser.FindKeyValue(dir_ / "M.txt", "UNITTYPE", "QR27-LVL", &out, true), 1);
  EXPECT_EQ(out, "QR27-LVL");
  EXPECT_EQ(f_.parser.FindKeyValue(dir_ / "M.txt", "UNITTYPE", "qr27", &out, true), 0);
  EXPECT_EQ(f_.parser.FindKeyValue(dir_ / "missing.txt", "UNITTYPE", "QR27", nullptr, true), 0);
}

TEST_F(Catalogue, FindKeyValueReadsProtectedFiles) {
  Protected("M.fmf", "PROGRAMNAME[1] = QR30\nPROGRAMNAME[2] = QRRLY\n");
  EXPECT_EQ(f_.parser.FindKeyValue(dir_ / "M.fmf", "PROGRAMNAME", "QRRLY", nullptr, true), 1);
}

TEST_F(Catalogue, PlainFilesAreSearchedFirstButProtectedOnesAreLoadedFirst) {
  Plain("QRModel_A.txt", "UNITTYPE[1] = QRA\nREVISION = plain\n");
  Protected("QRModel_A.fmf", "UNITTYPE[1] = QRA\nREVISION = protected\n");
  std::string name;
  ASSERT_EQ(f_.parser.FindModel("QRModel_", "UNITTYPE", "QRA", 0, name), 1);
  EXPECT_EQ(name, "QRModel_A.txt");
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "QRModel_A", 0), 1);
  EXPECT_EQ(f_.record.modelFileRevision, "protected");
}

TEST_F(Catalogue, ProtectedFilesAreFoundByTheirContent) {
  Plain("QRModel_A.txt", "UNITTYPE[1] = QRA\n");
  Protected("QRModel_B.fmf", "UNITTYPE[1] = QRB\n");
  std::string name = "unchanged";
  EXPECT_EQ(f_.parser.FindModel("QRModel_", "UNITTYPE", "QRC", 0, name), 0);
  EXPECT_EQ(name, "unchanged");
  ASSERT_EQ(f_.parser.FindModel("QRModel_", "UNITTYPE", "QRB", 0, name), 1);
  EXPECT_EQ(name, "QRModel_B.fmf");
}

TEST_F(Catalogue, OnlyFilesWithThePrefixAndExtensionAreSearched) {
  Plain("Other_A.txt", "UNITTYPE[1] = QRA\n");
  Plain("QRModel_A.cfg", "UNITTYPE[1] = QRA\n");
  std::filesystem::create_directory(dir_ / "QRModel_Dir.txt");
  std::string name;
  EXPECT_EQ(f_.parser.FindModel("QRModel_", "UNITTYPE", "QRA", 0, name), 0);
}

TEST_F(Catalogue, BothUnitTypesMustBeListed) {
  Plain("QRModel_One.txt", "UNITTYPE[1] = QR27\n");
  Plain("QRModel_Both.txt", "UNITTYPE[1] = QR27\nUNITTYPE[2] = QR27-LVL\n");
  std::string name;
  ASSERT_EQ(f_.parser.FindModelByTwoValues("QRModel_", "UNITTYPE", "QR27", "QR27-LVL", 0, name), 1);
  EXPECT_EQ(name, "QRModel_Both.txt");
  std::filesystem::remove(dir_ / "QRModel_Both.txt");
  EXPECT_EQ(f_.parser.FindModelByTwoValues("QRModel_", "UNITTYPE", "QR27", "QR27-LVL", 0, name), 0);
  // Letter case counts.
  EXPECT_EQ(f_.parser.FindModelByTwoValues("QRModel_", "UNITTYPE", "qr27", "qr27", 0, name), 0);
}

TEST_F(Catalogue, NoFileIsLeftBehindBySearchesOrLoads) {
  Plain("QRModel_A.txt", "UNITTYPE[1] = QRA\n");
  Protected("QRModel_B.fmf", "UNITTYPE[1] = QRB\nUNITTYPE[2] = QRB-1\n");
  Protected("QRModel_C.fmf", "UNITTYPE[1] = QRC\n");
  const std::set<std::string> before = Listing(dir_.path());
  std::string name;
  EXPECT_EQ(f_.parser.FindModelByTwoValues("QRModel_", "UNITTYPE", "QRB", "QRB-1", 50, name), 1);
  EXPECT_EQ(f_.parser.FindModelByTwoValues("QRModel_", "UNITTYPE", "QRX", "QRX", 50, name), 0);
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "QRModel_B", 0), 1);
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "QRModel_C.fmf", 0), 1);
  EXPECT_EQ(Listing(dir_.path()), before);
}

TEST_F(Catalogue, TheBusyWindowShowsTheSearchAndTheLoad) {
  Plain("QRModel_A.txt", "UNITTYPE[1] = QRA\n");
  std::string name;
  f_.parser.FindModel("QRModel_", "UNITTYPE", "QRZ", 85, name);
  EXPECT_EQ(f_.busy.messages, (std::vector<std::string>{"Plain", "Protected"}));
  f_.parser.FindModel("QRModel_", "UNITTYPE", "QRZ", 0, name);
  EXPECT_EQ(f_.busy.messages.size(), 2u);
  f_.parser.LoadModel(dir_ / "QRModel_A", 95);
  f_.parser.LoadModel(dir_ / "QRModel_None", 40);
  f_.parser.LoadModel(dir_ / "QRModel_A", 0);
  EXPECT_EQ(f_.busy.progress, (std::vector<int>{95, 40}));
}

TEST_F(Catalogue, LoadModelTriesProtectedThenPlainThenTheBareName) {
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "Corporate_Model", 0), 0);
  Plain("Corporate_Model", "PROGRAMNAME = Bare\n");
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "Corporate_Model", 0), 1);
  EXPECT_EQ(f_.tables->program.programName, "Bare");
  Plain("Corporate_Model.txt", "PROGRAMNAME = Plain\n");
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "Corporate_Model", 0), 1);
  EXPECT_EQ(f_.tables->program.programName, "Plain");
  Protected("Corporate_Model.fmf", "PROGRAMNAME = Protected\n");
  EXPECT_EQ(f_.parser.LoadCorporateModel(), 1);
  EXPECT_EQ(f_.tables->program.programName, "Protected");
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "Missing.txt", 0), 0);
}

TEST_F(Catalogue, NamesFromModelFilesStayInTheFolder) {
  std::filesystem::create_directory(dir_ / "sub");
  Plain("sub/QRModel_X.txt", "REVISION = escaped\n");
  Plain("QRModel_X.txt", "REVISION = inside\n");
  EXPECT_EQ(f_.parser.LoadModelByName("../QRModel_X.txt", 0), 0);
  EXPECT_EQ(f_.parser.LoadModelByName("sub/QRModel_X.txt", 0), 0);
  EXPECT_EQ(f_.parser.LoadModelByName("/etc/passwd", 0), 0);
  EXPECT_EQ(f_.record.modelFileRevision, "");
  EXPECT_EQ(f_.parser.LoadModelByName("QRModel_X.txt", 0), 1);
  EXPECT_EQ(f_.record.modelFileRevision, "inside");
}

TEST_F(Catalogue, TheModelOfAUnit) {
  Plain("Corporate_Model", "MODELID = QRModel_\n");
  Plain("QRModel_27.txt",
        "UNITTYPE[1] = QR27\nUNITDESCRIPTION[1] = Generic\nUNITTYPE[2] = QR27-LVL\nUNITDESCRIPTION[2] = Level\n"
        "CFGLABEL[1] = 8|Application\n");
  Plain("QRModel_25.txt", "UNITTYPE[1] = QR25\nUNITTYPE[2] = QR25-LVL\nCFGLABEL[1] = 8|Other\nCFGLABEL[2] = 9|x\n");
  ASSERT_EQ(f_.parser.LoadCorporateModel(), 1);
  f_.record.modelName = "QR27-4W";
  f_.record.firmwareName = "QR27-LVL";
  ASSERT_EQ(f_.parser.LoadUnitModel(), 1);
  EXPECT_EQ(f_.record.modelFileName, "QRModel_27.txt");
  EXPECT_EQ(f_.record.unitDescription, "Model: Level");
  EXPECT_EQ(f_.model().itemCount, 1);
  EXPECT_EQ(f_.model().items[0].label, "Application");

  // A model without description or revision leaves none from the model before.
  Plain("QRModel_26.txt", "UNITTYPE[1] = QR26\nUNITTYPE[2] = QR26-LVL\n");
  f_.record.modelFileRevision = "1.0";
  f_.record.modelName = "QR26-2W";
  f_.record.firmwareName = "QR26-LVL";
  ASSERT_EQ(f_.parser.LoadUnitModel(), 1);
  EXPECT_EQ(f_.record.unitDescription, "");
  EXPECT_EQ(f_.record.modelFileRevision, "");

  f_.record.modelName = "QR27-4W";
  f_.record.firmwareName = "QR25-LVL";
  f_.record.modelFileName = "kept";
  EXPECT_EQ(f_.parser.LoadUnitModel(), 0);
  EXPECT_EQ(f_.record.modelFileName, "kept");
}

TEST_F(Catalogue, HardwareTypeIsTheModelNameBeforeItsFirstDash) {
  EXPECT_EQ(CModelFile::HardwareType("QR27-4W"), "QR27");
  EXPECT_EQ(CModelFile::HardwareType("QR30-RLY-X"), "QR30");
  EXPECT_EQ(CModelFile::HardwareType("QR27Demo"), "QR27Demo");
  EXPECT_EQ(CModelFile::HardwareType(""), "");
}

TEST_F(Catalogue, BrokenProtectedFilesFindNothing) {
  // 65 bytes: not a whole number of blocks; deciphers to two blocks of noise.
  test::WriteBytes(dir_ / "QRModel_Short.fmf", std::string(65, 'Q'));
  CipherKey other = ModelFileKey();
  other[0] += 1;
  Protected("QRModel_OtherKey.fmf", "UNITTYPE[1] = QRK\nCFGLABEL[1] = 8|A\n", other);
  test::WriteBytes(dir_ / "QRModel_Empty.fmf", "");
  // Larger than any model file may be: refused before it is read.
  test::WriteBytes(dir_ / "QRModel_Huge.fmf",
                   EncipherBytes("CFGLABEL[1] = 8|A\n" + std::string(kMaxProtectedFileBytes, ' '), ModelFileKey()));
  std::string name;
  EXPECT_EQ(f_.parser.FindModel("QRModel_", "UNITTYPE", "QRK", 0, name), 0);
  for (const char* file : {"QRModel_Short.fmf", "QRModel_OtherKey.fmf", "QRModel_Empty.fmf", "QRModel_Huge.fmf"}) {
    f_.parser.ResetModel();
    EXPECT_EQ(f_.parser.LoadModel(dir_ / file, 0), 1) << file;
    EXPECT_EQ(f_.parser.LastParseStats().applied, 0) << file;
    EXPECT_EQ(f_.model().itemCount, 0) << file;
  }
}

}  // namespace
}  // namespace tolvane
