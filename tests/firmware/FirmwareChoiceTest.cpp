// Which files Select Program lists for a unit's model and what the
// newer-firmware search offers.
#include "firmware/FirmwareChoice.h"

#include <gtest/gtest.h>

#include "firmware/FirmwareRig.h"
#include "firmware/ProgramFiles.h"

namespace tolvane::firmware {
namespace {

using test::Bytes;

class Choice : public ::testing::Test {
 protected:
  void Pack(const std::string& name, std::string_view pid) {
    const Bytes b = PackCombined(pid, {{TAG_FEP, Bytes(64, 1)}});
    Write(name, b);
  }
  void Write(const std::string& name, const Bytes& b) {
    tolvane::test::WriteBytes(programs_ / name, std::string_view(reinterpret_cast<const char*>(b.data()), b.size()));
  }
  std::vector<std::string> List() { return ListCompatibleFirmware(models_, modelFile_, programs_); }

  tolvane::test::TempDir dir_;
  std::filesystem::path programs_ = [this] {
    std::filesystem::create_directory(dir_ / "Programs");
    return dir_ / "Programs";
  }();
  std::filesystem::path modelFile_ = [this] {
    tolvane::test::WriteBytes(dir_ / "QRModel_Q1.txt", "HWMODEL = Q1\nPROGRAMNAME[1] = Q1\nPROGRAMNAME[2] = QRLVL\n");
    return dir_ / "QRModel_Q1.txt";
  }();
  MODEL_TABLES tables_;
  APP_SETTINGS settings_;
  CLanguageFile language_{dir_.path(), nullptr};
  CONFIG_RECORD record_;
  CModelFile models_{dir_.path(), tables_, settings_, language_, record_};
};

TEST_F(Choice, ListsFilesWhoseFirstRecordNamesTheModelsProgram) {
  Pack("Q1ver23p1.fp2", "Q1-7");
  Pack("Q1ver23p4.fp2", "Q1");
  Pack("Q1ver23p1old.fp2", "QRLVL-x");
  Pack("Q2ver30p0.fp2", "Q2-1");             // another program
  Pack("Q1ver24p0.fp2", "Q1X-1");            // the name must be equal, not a prefix
  Write("Q1ver25p0.fep", Bytes(200, 0x33));  // an encrypted image: no PID record
  Write("0short.fp2", {0x50, 0x49, 0x44});   // shorter than a header: skipped, the listing goes on
  Write("1cut.fp2", {0x50, 0x49, 0x44, 0x00, 10, 0, 0, 0, 'Q', '1'});  // PID body cut
  std::filesystem::create_directory(programs_ / "Q1ver99p0.fp2");      // a folder
  EXPECT_EQ(List(), (std::vector<std::string>{"Q1ver23p1.fp2", "Q1ver23p1old.fp2", "Q1ver23p4.fp2"}));
  EXPECT_TRUE(ListCompatibleFirmware(models_, modelFile_, dir_ / "none").empty());
}

TEST_F(Choice, OfferTakesTheNewestVersionUnlessItIsOld) {
  const std::vector<std::string> names{"Q1ver23p1.fp2", "Q1ver23p4.fp2", "Q1ver29p9old.fp2", "Q1ver123456.fp2"};
  FIRMWARE_OFFER o = DecideFirmwareOffer(231, names);
  EXPECT_DOUBLE_EQ(o.currentVersion, 23.1);
  EXPECT_TRUE(o.ask);
  EXPECT_STREQ(o.question, "STATUS_MESSAGE52");  // 23.1 is below 40
  EXPECT_EQ(o.newest, "Q1ver23p4.fp2");
  EXPECT_DOUBLE_EQ(o.newestVersion, 23.4);
  o = DecideFirmwareOffer(451, {"Q1ver45p1.fp2", "Q1ver46p0.fp2"});
  EXPECT_TRUE(o.ask);
  EXPECT_STREQ(o.question, "STATUS_MESSAGE51");
  EXPECT_FALSE(DecideFirmwareOffer(460, {"Q1ver45p1.fp2", "Q1ver46p0.fp2"}).ask);
  // Nothing newer, and a current version of 40 or above: no question.
  o = DecideFirmwareOffer(500, names);
  EXPECT_FALSE(o.ask);
  // Below 40 the unit is asked to be updated even when nothing is newer.
  o = DecideFirmwareOffer(35, {"Q1ver23p1.fp2"});
  EXPECT_TRUE(o.ask);
  EXPECT_STREQ(o.question, "STATUS_MESSAGE52");
  // Equal versions: the first found wins.
  o = DecideFirmwareOffer(231, {"Q1ver23p4.fp2", "X9ver23p4.fp2"});
  EXPECT_EQ(o.newest, "Q1ver23p4.fp2");
  o = DecideFirmwareOffer(231, {});
  EXPECT_TRUE(o.noFiles);
  EXPECT_FALSE(o.ask);
  EXPECT_EQ(CurrentVersionText(231), "23.1");
  EXPECT_EQ(CurrentVersionText(35), "3.5");
}

}  // namespace
}  // namespace tolvane::firmware
