// Configuration files: the text written, the reader's rules and its bounds,
// file names and numbers, the file date text and the comparison of two
// configurations.
#include "config/ConfigFile.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>

#include <chrono>
#include <cmath>
#include <ctime>
#include <filesystem>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "ConfigTestModel.h"
#include "ShippedModelRig.h"
#include "common/StdioFileEx.h"
#include "config/ConfigValues.h"
#include "config/Selection.h"
#include "support/TestSupport.h"

namespace tolvane::config {
namespace {

namespace fs = std::filesystem;
using namespace std::string_literals;

// ------------------------------------------------------------ the text

class FileText : public ::testing::Test {
 protected:
  FileText() {
    model_.Item(0, 8, "Mode", {1, 2})
        .Item(1, 9, "Relay", {0, 1, 2})
        .Config(3, {1, 2}, {{0, 20, "Lo"}, {5, 25, "Hi"}})
        .Config(4, {2, -1})
        .Units({{"Inches", 25.4}, {"Millimeters", 1.0}})
        .Advanced(30, 1, 31, "Damping")
        .Advanced(30, 2, -1, "Lock");
    model_->unitTypeCount = 1;
    model_->unitTypes[0] = "QR27";
    r_.modelName = "QR27-4W";
    r_.serialNumber = 270042;
    r_.firmwareName = "QR27-LVL";
    r_.softwareRevision = 515;
    r_.unitDescription = "Model: QR27";
    r_.tankDescription = "Line one\nline two";
    r_.modelFileName = "QRModel_QR27.txt";
    r_.modelFileRevision = "1.04";
    StartSelections(*model_, r_);
    r_.selection[0] = 1;
    r_.selection[1] = 2;
    EvaluateConfiguration(*model_, r_, true);
    r_.advanced[0] = {true, 5.0};
    r_.advanced[1] = {true, -1.0};
    r_.unitsIndex = r_.lastLinearUnits = 1;
    r_.sensorHeight = 6096.0;
    r_.fillHeight = 5000.0;
    r_.level[0] = 300.0;
    r_.level[5] = 4500.0;
    nl_.on = true;
    nl_.structureType = 2;
    nl_.page.dimensions[0] = 100.0f;
    nl_.page.dimensions[3] = 25.5f;
  }

  test::TestModel model_;
  CONFIG_RECORD r_;
  CONFIG_NONLINEAR nl_;
};

TEST_F(FileText, IsTheFixedLayoutLineByLine) {
  ASSERT_TRUE(r_.valid);
  EXPECT_EQ(ConfigFileText(*model_, r_, nl_),
            "'Configuration File for:\n"
            "  MODEL = QR27-4W\n"
            "  SERIAL = 270042\n"
            "  FIRMWARE = QR27-LVL\n"
            "  SW REV = 515\n"
            "  UNIT DESCRIPTION = Model: QR27\n"
            "  TANK DESCRIPTION = Line one line two\n"  // a line end in the notes never makes a line
            "  MDL FILE NAME = QRModel_QR27.txt\n"
            "  MDL FILE REVISION = 1.04\n"
            "\n'Configuration Settings -\n"
            "  CONFIG[0] = 1\t\t' Mode = Mode 1\n"
            "  CONFIG[1] = 2\t\t' Relay = Relay 2\n"
            "  'Configuration Number = 3\n"
            "\n'Advanced Entries -\n"
            "  ADVANCED[0] = 5.0\n"
            "  ADVANCED[1] = -1.0\n"
            "\n'Unit Setting -\n"
            "  UNITS = 1\t\t' Millimeters\n"
            "\n'Levels -\n"
            "  SENSORHEIGHT = 6096.0\n"
            "  FILLHEIGHT = 5000.0\n"
            "  LEVEL[5] = 4500.0\t' Hi\n"
            "  LEVEL[0] = 300.0\t' Lo\n"
            "\n'Nonlinear settings -\n"
            "  NONLINEAR = TRUE\n"
            "  NLTYPE = 2\n"
            "  D[0] = 100.0\n"
            "  D[3] = 25.5\n"
            "\n'End of File\n");
}

TEST_F(FileText, NoMatchedConfigurationIsNumberZeroWithoutLevels) {
  r_.selection[0] = 0;
  EvaluateConfiguration(*model_, r_, true);
  nl_.on = false;
  const std::string text = ConfigFileText(*model_, r_, nl_);
  EXPECT_NE(text.find("  CONFIG[0] = 0\t\t' Mode = <Select>\n"), std::string::npos) << text;
  EXPECT_NE(text.find("  'Configuration Number = 0\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("LEVEL["), std::string::npos) << text;
  EXPECT_NE(text.find("\n'Nonlinear settings -\n  NONLINEAR = FALSE\n\n'End of File\n"), std::string::npos) << text;
  EXPECT_EQ(text.find("NLTYPE"), std::string::npos);
}

TEST_F(FileText, VolumeUnitsAreTheUnitsBoxEntryAfterTheLinearUnits) {
  model_->volumeUnitsCount = 2;
  model_->volumeUnitNames[0] = "Gallons";
  model_->volumeUnitNames[1] = "Liters";
  r_.volumeUnits = true;
  r_.unitsIndex = 1;
  const std::string text = ConfigFileText(*model_, r_, nl_);
  EXPECT_NE(text.find("  UNITS = 3\t\t' Liters\n"), std::string::npos) << text;

  // Read back, the entry selects the volume unit again; heights stay in the
  // last linear unit.
  test::TempDir dir;
  ASSERT_TRUE(WriteConfigFile(dir / "v.txt", *model_, r_, nl_));
  CONFIG_RECORD back;
  back.lastLinearUnits = 1;
  CONFIG_NONLINEAR nl;
  test::RecordingMessages box;
  ASSERT_EQ(ReadConfigFile(dir / "v.txt", *model_, back, nl, box, CLanguageFile("/nonexistent", nullptr), 0), 0);
  EXPECT_TRUE(back.volumeUnits);
  EXPECT_EQ(back.unitsIndex, 1);
  EXPECT_EQ(back.lastLinearUnits, 1);
  EXPECT_EQ(back.sensorHeight, 6096.0);
}

TEST_F(FileText, WrittenAsUtf16WithByteOrderMarkAndCrLfBesideTheTarget) {
  test::TempDir dir;
  test::WriteBytes(dir / "Tank[0].txt", "old");
  ASSERT_TRUE(WriteConfigFile(dir / "Tank[0].txt", *model_, r_, nl_));
  std::string expected = ConfigFileText(*model_, r_, nl_);
  std::string crlf;
  for (const char c : expected) {
    if (c == '\n') {
      crlf += '\r';
    }
    crlf += c;
  }
  EXPECT_EQ(test::ReadBytes(dir / "Tank[0].txt"), test::Utf16File(crlf));
  // Nothing is left beside it.
  EXPECT_EQ(std::distance(fs::directory_iterator(dir.path()), fs::directory_iterator()), 1);

  // A target that cannot be written: false, and what is there stays.
  EXPECT_FALSE(WriteConfigFile(dir / "missing" / "x.txt", *model_, r_, nl_));
  fs::create_directories(dir / "folder" / "inside");
  EXPECT_FALSE(WriteConfigFile(dir / "folder", *model_, r_, nl_));
  EXPECT_TRUE(fs::is_directory(dir / "folder" / "inside"));
}

// ------------------------------------------------------------ reading

class ReadFile : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_NO_FATAL_FAILURE(rig_.Load("qr27"));
    r_ = FormStart();
  }

  const MODEL_DEFINITION& model() const { return rig_.model(); }

  // The form's state before a file is opened: the unit's identity, nothing
  // chosen, nothing entered.
  CONFIG_RECORD FormStart() {
    CONFIG_RECORD r = rig_.record();
    StartSelections(model(), r);
    r.unitsIndex = r.lastLinearUnits = 0;
    return r;
  }

  int Read(const std::string& bytes, CONFIG_RECORD& r, CONFIG_NONLINEAR& nl) {
    test::WriteBytes(dir_ / "in.txt", bytes);
    return ReadConfigFile(dir_ / "in.txt", model(), r, nl, box_, rig_.language(), 0);
  }
  int Read(const std::string& bytes) { return Read(bytes, r_, nl_); }

  // Whatever the bytes, the record holds nothing a form or the page could
  // not take.
  void ExpectSane(const CONFIG_RECORD& r, const CONFIG_NONLINEAR& nl) {
    EXPECT_TRUE(std::isfinite(r.sensorHeight));
    EXPECT_TRUE(std::isfinite(r.fillHeight));
    for (const double v : r.level) {
      EXPECT_TRUE(std::isfinite(v));
    }
    for (const ADVANCED_SLOT& a : r.advanced) {
      EXPECT_TRUE(std::isfinite(a.value));
    }
    for (const float d : nl.page.dimensions) {
      EXPECT_TRUE(std::isfinite(d));
    }
    for (int i = 0; i < kMaxItems; ++i) {
      const CONFIG_ITEM& item = model().items[At(i)];
      if (item.present) {
        EXPECT_GE(r.selection[At(i)], 0);
        EXPECT_LT(r.selection[At(i)], OptionSlots(item));
      }
    }
    EXPECT_GE(r.unitsIndex, 0);
    EXPECT_LT(r.unitsIndex, r.volumeUnits ? model().volumeUnitsCount : model().unitsCount);
  }

  test::ShippedModelRig rig_;
  test::TempDir dir_;
  test::RecordingMessages box_;
  CONFIG_RECORD r_;
  CONFIG_NONLINEAR nl_;
};

TEST_F(ReadFile, UnitsWithTabsSelectsTheEntryWithoutConverting) {
  r_.sensorHeight = 120.0;
  r_.fillHeight = 100.0;
  ASSERT_EQ(Read("  UNITS = 2\t\t' Millimeters\r\n"), 0);
  EXPECT_EQ(r_.unitsIndex, 2);
  EXPECT_FALSE(r_.volumeUnits);
  EXPECT_EQ(r_.sensorHeight, 120.0);
  EXPECT_EQ(r_.fillHeight, 100.0);
  // An entry outside the units box is ignored.
  for (const char* line : {"UNITS = 5", "UNITS = -1", "UNITS = 99999999999", "UNITS = 1e3"}) {
    ASSERT_EQ(Read(line), 0);
    EXPECT_EQ(r_.unitsIndex, std::string(line) == "UNITS = 1e3" ? 1 : 2) << line;
  }
}

TEST_F(ReadFile, ConfigLinesSetItemsByIndex) {
  ASSERT_EQ(Read("  CONFIG[3] = 2\t\t' Relay 2 Function = Hi Alarm\n"), 0);
  EXPECT_EQ(r_.selection[3], 2);
  const auto before = r_.selection;
  for (const char* line :
       {"CONFIG[12] = 1", "CONFIG[-1] = 1", "CONFIG[99999999999] = 1", "CONFIG[10] = 1", "CONFIG[3] = 99999999999"}) {
    ASSERT_EQ(Read(line), 0);
    EXPECT_EQ(r_.selection, before) << line;
  }
  // An option the item does not have, or that the items above rule out,
  // falls back to the prompt.
  ASSERT_EQ(Read("CONFIG[3] = 77"), 0);
  EXPECT_EQ(r_.selection[3], 0);
  ASSERT_EQ(Read("CONFIG[2] = -5"), 0);
  EXPECT_EQ(r_.selection[2], 0);
  // No index reads as index 0; a second bracket is read and ignored.
  ASSERT_EQ(Read("CONFIG = 2\nCONFIG[1][7] = 2"), 0);
  EXPECT_EQ(r_.selection[0], 2);
  EXPECT_EQ(r_.selection[1], 2);
}

TEST_F(ReadFile, KeysAreFoundAsSubstringsAndValuesByTheirLeadingNumber) {
  ASSERT_EQ(Read("  CONFIG[2] = 3 pump\n  CONFIG[3] = 1\n"), 0);
  EXPECT_EQ(r_.selection[2], 3);
  EXPECT_EQ(r_.selection[3], 1);
  ASSERT_EQ(Read("LEVELS[2] = 5\nNONLINEAR = true\nD[0] = 7"), 0);
  EXPECT_EQ(r_.level[2], 5.0);
  EXPECT_FALSE(nl_.on);
  EXPECT_EQ(nl_.page.dimensions[0], 7.0f);  // read, though only written when non-linear is on
  ASSERT_EQ(Read("NONLINEAR = TRUE\nNLTYPE = 12abc\nLEVEL[-1] = 3\nLEVEL[6] = 3\nLEVEL = 4.25"), 0);
  EXPECT_TRUE(nl_.on);
  EXPECT_EQ(nl_.structureType, 12);
  EXPECT_EQ(r_.level[0], *SnapToCounts(25.4, 4.25));  // no index is row 0; snapped in inches
  EXPECT_EQ(FormatValue(r_.level[0]), "4.3");
  EXPECT_EQ(r_.level[2], 5.0);
  // Keys compared whole are the text before the bracket: "NONLINEAR[1]" is
  // NONLINEAR and "D [1]" is D; "DD" and "d" are nothing.
  ASSERT_EQ(Read("NONLINEAR = TRUE\nNONLINEAR[1] = FALSE\nDD[1] = 4\nd[1] = 4\nD [2] = 9"), 0);
  EXPECT_FALSE(nl_.on);
  EXPECT_EQ(nl_.page.dimensions[1], 0.0f);
  EXPECT_EQ(nl_.page.dimensions[2], 9.0f);
}

TEST_F(ReadFile, ALineWithoutEqualsIsItsOwnValue) {
  ASSERT_EQ(Read("TANK DESCRIPTION\nSERIAL 123\n  FIRMWARE  \n"), 0);
  EXPECT_EQ(r_.tankDescription, "TANK DESCRIPTION");
  EXPECT_EQ(r_.factorySerial, 0);  // "SERIAL 123" has no leading number
  EXPECT_EQ(r_.firmwareName, "FIRMWARE");
}

TEST_F(ReadFile, IdentityLinesOnlyTakeSerialAndFirmware) {
  const CONFIG_RECORD unit = r_;
  ASSERT_EQ(Read("MODEL = QR27-9X\nSERIAL = 12\nFIRMWARE = QR27-OLD\nSW REV = 9\nUNIT DESCRIPTION = x\n"
                 "MDL FILE NAME = y\nMDL FILE REVISION = z\nTANK DESCRIPTION =  North sump  ' by the gate"),
            0);
  EXPECT_EQ(r_.factorySerial, 12);
  EXPECT_EQ(r_.firmwareName, "QR27-OLD");
  EXPECT_EQ(r_.tankDescription, "North sump");
  EXPECT_EQ(r_.modelName, unit.modelName);
  EXPECT_EQ(r_.serialNumber, unit.serialNumber);
  EXPECT_EQ(r_.softwareRevision, unit.softwareRevision);
  EXPECT_EQ(r_.unitDescription, unit.unitDescription);
  EXPECT_EQ(r_.modelFileName, unit.modelFileName);
  EXPECT_EQ(r_.modelFileRevision, unit.modelFileRevision);
  EXPECT_TRUE(box_.shown.empty());
}

// A file of another model stops the reading after the message, and nothing
// of it is taken: the lines before the MODEL line do not stay applied (a
// failed Open must not lose the form's configuration).
TEST_F(ReadFile, AnotherModelStopsTheReadingAfterTheMessageAndLeavesTheRecord) {
  ASSERT_EQ(Read("CONFIG[0] = 1\nCONFIG[2] = 1\nCONFIG[3] = 2\nADVANCED[0] = 4\nADVANCED[2] = 1\n"), 0);
  r_.sensorHeight = 100.0;
  nl_.on = true;
  nl_.structureType = 2;
  const CONFIG_RECORD before = r_;
  ASSERT_EQ(Read("SERIAL = 5\nFIRMWARE = X\nCONFIG[0] = 2\nADVANCED[1] = 3\nSENSORHEIGHT = 7\nNLTYPE = 9\n"
                 "MODEL = QR30-RLY\nSERIAL = 6\n"),
            2);
  ASSERT_EQ(box_.shown.size(), 1u);
  EXPECT_EQ(box_.shown[0].first, rig_.language().Text("ERROR_MESSAGE54", 0));
  EXPECT_EQ(box_.shown[0].second, static_cast<unsigned>(MB_ERROR));
  EXPECT_EQ(r_.factorySerial, before.factorySerial);
  EXPECT_EQ(r_.firmwareName, before.firmwareName);
  EXPECT_EQ(r_.selection, before.selection);
  EXPECT_EQ(r_.configIndex, before.configIndex);
  EXPECT_EQ(r_.valid, before.valid);
  EXPECT_EQ(r_.sensorHeight, 100.0);
  for (std::size_t a = 0; a < r_.advanced.size(); ++a) {
    EXPECT_EQ(r_.advanced[a].present, before.advanced[a].present) << a;
    EXPECT_EQ(r_.advanced[a].value, before.advanced[a].value) << a;
  }
  EXPECT_TRUE(nl_.on);
  EXPECT_EQ(nl_.structureType, 2);
  for (const char* other : {"MODEL = ", "MODEL = QR2", "MODEL = qr27", "MODEL = -QR27"}) {
    EXPECT_EQ(Read(other), 2) << other;
  }
  for (const char* same : {"MODEL = QR27", "MODEL = QR27-4W", "MODEL = QR27Demo-x", "  MODEL=QR27-LVL  "}) {
    EXPECT_EQ(Read(same), 0) << same;
  }
}

// The command line's write takes only what the file itself supplies: a file
// that does not hold a valid, complete configuration of its own is refused,
// whatever the unit's configuration it would be laid over holds.
class CompleteFile : public ReadFile {
 protected:
  void SetUp() override {
    ReadFile::SetUp();
    const fs::path factory = fs::path(TOLVANE_SOURCE_DATA) / "Configs" / "QR27_Factory.cfg";
    CStdioFileEx in;
    ASSERT_TRUE(in.Open(factory, CStdioFileEx::modeRead));
    std::string line;
    while (in.ReadString(line)) {
      lines_.push_back(line);
    }
    // The unit holds a complete configuration of its own.
    ASSERT_EQ(ReadConfigFile(factory, model(), r_, nl_, box_, rig_.language(), 0), READ_CONFIG_OK);
    ASSERT_TRUE(r_.valid && r_.complete);
    unit_ = r_;
  }
  // The factory file's lines without those for which `drop` is true.
  std::string Without(const std::function<bool(const std::string&)>& drop) const {
    std::string text;
    for (const auto& l : lines_) {
      if (!drop(l)) {
        text += l + "\r\n";
      }
    }
    return text;
  }
  int ReadComplete(const std::string& bytes) {
    test::WriteBytes(dir_ / "in.txt", bytes);
    return ReadCompleteConfigFile(dir_ / "in.txt", model(), r_, nl_, box_, rig_.language(), 0);
  }
  void ExpectUnitUntouched() {
    EXPECT_EQ(r_.selection, unit_.selection);
    EXPECT_EQ(r_.level, unit_.level);
    EXPECT_EQ(r_.sensorHeight, unit_.sensorHeight);
    EXPECT_EQ(r_.tankDescription, unit_.tankDescription);
    EXPECT_TRUE(r_.valid && r_.complete);
  }

  std::vector<std::string> lines_;
  CONFIG_RECORD unit_;
};

TEST_F(CompleteFile, AFileWithoutAWholeConfigurationIsRefused) {
  std::mt19937 random(7);
  std::string binary(4096, '\0');
  for (char& c : binary) {
    c = static_cast<char>(random() & 0xFF);
  }
  std::string cutBeforeLevels;
  for (const auto& l : lines_) {
    if (l == "'Levels -") {
      break;
    }
    cutBeforeLevels += l + "\n";
  }
  const std::pair<const char*, std::string> refused[] = {
      {"empty", ""},
      {"only a byte-order mark", "\xFF\xFE"},
      {"binary", binary},
      {"cut before its levels", test::Utf16File(cutBeforeLevels)},
      {"without a level the configuration uses",
       Without([](const std::string& l) { return l.find("LEVEL[1]") != std::string::npos; })},
      {"without the fill height",
       Without([](const std::string& l) { return l.find("FILLHEIGHT") != std::string::npos; })},
      {"without an item", Without([](const std::string& l) { return l.find("CONFIG[4]") != std::string::npos; })},
      // Two relays of the same alarm kind: no configuration has them.
      {"a combination of no configuration", Without([](const std::string&) { return false; }) + "CONFIG[3] = 1\n"},
  };
  for (const auto& [what, bytes] : refused) {
    EXPECT_EQ(ReadComplete(bytes), READ_CONFIG_INCOMPLETE) << what;
    ExpectUnitUntouched();
  }
  // Another model and a file that cannot be read keep their own results.
  EXPECT_EQ(ReadComplete("MODEL = QR25\n"), READ_CONFIG_OTHER_MODEL);
  EXPECT_EQ(ReadCompleteConfigFile(dir_ / "none.txt", model(), r_, nl_, box_, rig_.language(), 0),
            READ_CONFIG_CANNOT_OPEN);
  ExpectUnitUntouched();
}

TEST_F(CompleteFile, AWholeConfigurationIsTakenOverTheUnitsRecord) {
  // The factory file with other levels and notes; the unit's other fields
  // (its identity) stay.
  std::string text = Without([](const std::string& l) {
    return l.find("LEVEL[4]") != std::string::npos || l.find("TANK DESCRIPTION") != std::string::npos;
  });
  text += "  LEVEL[4] = 100.0\r\n";
  r_.tankDescription = "kept from the unit";
  ASSERT_EQ(ReadComplete(text), READ_CONFIG_OK);
  EXPECT_TRUE(r_.valid && r_.complete);
  EXPECT_EQ(r_.selection, unit_.selection);
  EXPECT_EQ(r_.level[4], 100.0);
  EXPECT_EQ(r_.tankDescription, "kept from the unit");
  EXPECT_EQ(r_.serialNumber, unit_.serialNumber);
}

TEST_F(ReadFile, AFileThatCannotBeOpenedLeavesTheRecord) {
  r_.valid = r_.complete = true;
  EXPECT_EQ(ReadConfigFile(dir_ / "none.txt", model(), r_, nl_, box_, rig_.language(), 0), 1);
  EXPECT_EQ(ReadConfigFile(dir_.path(), model(), r_, nl_, box_, rig_.language(), 0), 1);
  EXPECT_EQ(ReadConfigFile("/dev/zero", model(), r_, nl_, box_, rig_.language(), 0), 1);
  ASSERT_EQ(::mkfifo((dir_ / "pipe").c_str(), 0600), 0);
  EXPECT_EQ(ReadConfigFile(dir_ / "pipe", model(), r_, nl_, box_, rig_.language(), 0), 1);
  fs::create_symlink(dir_ / "none.txt", dir_ / "dangling");
  EXPECT_EQ(ReadConfigFile(dir_ / "dangling", model(), r_, nl_, box_, rig_.language(), 0), 1);
  EXPECT_TRUE(r_.valid);
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ReadFile, NumbersThatAreNotFiniteNeverReachTheRecord) {
  ASSERT_EQ(Read("CONFIG[2] = 3\nCONFIG[3] = 1\nSENSORHEIGHT = 100\nFILLHEIGHT = 90\nLEVEL[0] = 5\nLEVEL[1] = 6\n"
                 "ADVANCED[0] = 4\nD[0] = 3\nNLTYPE = 2\nSERIAL = 77"),
            0);
  ASSERT_EQ(Read("SENSORHEIGHT = nan\nFILLHEIGHT = -inf\nLEVEL[0] = 1e999\nLEVEL[1] = INFINITY\n"
                 "ADVANCED[0] = NaN\nADVANCED[1] = 1e400\nD[0] = 1e39\nD[1] = -1e300\nD[2] = inf\n"
                 "NLTYPE = 40000\nSERIAL = 99999999999\n"),
            0);
  // A height or level becomes not set; anything else keeps what it had.
  EXPECT_EQ(r_.sensorHeight, -1.0);
  EXPECT_EQ(r_.fillHeight, -1.0);
  EXPECT_EQ(r_.level[0], -1.0);
  EXPECT_EQ(r_.level[1], -1.0);
  EXPECT_FALSE(r_.advanced[0].present);  // emptied before reading, and not set again
  EXPECT_FALSE(r_.advanced[1].present);
  EXPECT_EQ(nl_.page.dimensions[0], 0.0f);
  EXPECT_EQ(nl_.page.dimensions[1], 0.0f);
  EXPECT_EQ(nl_.structureType, -1);
  EXPECT_EQ(r_.factorySerial, 77);
  EXPECT_FALSE(r_.complete);
  ExpectSane(r_, nl_);
  // Text that is not a number at all reads as 0, as the format has it.
  ASSERT_EQ(Read("SENSORHEIGHT = abc\nFILLHEIGHT = .5e1x\nADVANCED[0] = +7.5"), 0);
  EXPECT_EQ(r_.sensorHeight, 0.0);
  EXPECT_EQ(r_.fillHeight, 5.0);
  EXPECT_EQ(r_.advanced[0].value, 7.5);
}

TEST_F(ReadFile, HeightsAndLevelsAreSnappedToWhatThePageHolds) {
  r_.unitsIndex = r_.lastLinearUnits = 1;  // feet: 304.8 counts each
  ASSERT_EQ(Read("CONFIG[2] = 3\nCONFIG[3] = 1\nSENSORHEIGHT = 12.36\nFILLHEIGHT = 11.04\nLEVEL[1] = 0.04\n"
                 "LEVEL[0] = -2.5\n"),
            0);
  EXPECT_EQ(r_.sensorHeight, *SnapToCounts(304.8, 12.36));
  EXPECT_EQ(r_.sensorHeight, 12.4);
  EXPECT_EQ(r_.fillHeight, 11.0);
  EXPECT_EQ(r_.level[1], 0.0);
  EXPECT_EQ(r_.level[0], -2.5);  // negative: not set, kept as written
}

TEST_F(ReadFile, BadBytesAreReadWithoutHarm) {
  std::string binary;
  for (int i = 0; i < 4096; ++i) {
    binary.push_back(static_cast<char>((i * 7919 + 13) & 0xFF));
  }
  const std::string longLine = "TANK DESCRIPTION = " + std::string(100 * 1024, 'x') + "\nSENSORHEIGHT = 50\n";
  const std::string utf16Odd = test::Utf16File("SENSORHEIGHT = 60\r\nLEVEL[0] = 7\r\n") + "\x41";
  for (const std::string& bytes :
       {std::string(), binary, longLine, utf16Odd, std::string("\xFF\xFE", 2), std::string("\xFF"),
        std::string("=\n[\n]\n[=]\n'\n   \n\t\n=[3]\nCONFIG[\nCONFIG[]=\nD["),
        "LEVEL[0] = 1\0 2\nCONFIG\0[1] = 2\nSENSORHEIGHT\0= 4\n"s}) {
    CONFIG_RECORD r = FormStart();
    CONFIG_NONLINEAR nl;
    EXPECT_EQ(Read(bytes, r, nl), 0) << bytes.size();
    ExpectSane(r, nl);
    EXPECT_FALSE(r.valid);
  }
  CONFIG_RECORD r = FormStart();
  CONFIG_NONLINEAR nl;
  ASSERT_EQ(Read(longLine, r, nl), 0);
  EXPECT_EQ(r.tankDescription.size(), 100u * 1024u + 0u);
  EXPECT_EQ(r.sensorHeight, 50.0);
  ASSERT_EQ(Read(utf16Odd, r, nl), 0);
  EXPECT_EQ(r.sensorHeight, 60.0);
  EXPECT_TRUE(box_.shown.empty());
}

TEST_F(ReadFile, BeforeReadingTheStateIsEmptied) {
  r_.valid = r_.complete = true;
  r_.advanced[4] = {true, 9.0};
  nl_.on = true;
  nl_.structureType = 3;
  nl_.page.dimensionUnit = 2;
  nl_.page.dimensions.fill(5.0f);
  ASSERT_EQ(Read(""), 0);
  EXPECT_FALSE(r_.valid);
  EXPECT_FALSE(r_.advanced[4].present);
  EXPECT_EQ(r_.advanced[4].value, 9.0);  // values kept
  EXPECT_FALSE(nl_.on);
  EXPECT_EQ(nl_.structureType, -1);
  EXPECT_EQ(nl_.page.dimensionUnit, 2);  // not in the file
  EXPECT_EQ(nl_.page.dimensions[8], 0.0f);
}

// ------------------------------------------------------------ every shipped model

class RoundTrip : public ::testing::TestWithParam<const char*> {
 protected:
  void SetUp() override { ASSERT_NO_FATAL_FAILURE(rig_.Load(GetParam())); }
  const MODEL_DEFINITION& model() const { return rig_.model(); }

  // A configuration with every field set: the configuration with the most
  // level rows, in feet, some advanced entries, notes and a tank shape.
  void Fill(CONFIG_RECORD& r, CONFIG_NONLINEAR& nl) {
    int best = -1, rows = -1;
    for (int n = 0; n < ConfigurationSlots(model()); ++n) {
      const CONFIGURATION_ENTRY& c = model().configurations[At(n)];
      const int used = c.present ? static_cast<int>(std::count_if(c.levelWord.begin(), c.levelWord.end(),
                                                                  [](std::int32_t w) { return w > 0; }))
                                 : -1;
      if (used > rows) {
        best = n;
        rows = used;
      }
    }
    StartSelections(model(), r);
    for (int i = 0; i < kMaxItems; ++i) {
      if (model().items[At(i)].present) {
        const std::int32_t need = model().configurations[At(best)].requiredOption[At(i)];
        r.selection[At(i)] = need > 0 ? need : OptionSlots(model().items[At(i)]) - 1;
      }
    }
    EvaluateConfiguration(model(), r, true);
    ASSERT_TRUE(r.valid);
    ASSERT_EQ(r.configIndex, best);
    r.unitsIndex = r.lastLinearUnits = 1;
    const double f = *LinearFactor(model(), 1);
    r.sensorHeight = *SnapToCounts(f, 19.7);
    r.fillHeight = *SnapToCounts(f, 17.25);
    for (int k = 0; k < kLevelRows; ++k) {
      r.level[At(k)] = *SnapToCounts(f, 1.0 + 2.3 * k);
    }
    r.advanced[0] = {true, 12.0};
    r.advanced[2] = {true, -1.0};
    r.tankDescription = "Sump 3 — east wall, près du portail";
    nl.on = true;
    nl.structureType = 4;
    nl.page.dimensions = {120.5f, 60.0f, 0.0f, 3.5f, 0.0f, 0.0f, 0.0f, 0.0f, 11.0f};
    UpdateCompleteness(model(), r);
    ASSERT_TRUE(r.complete);
  }

  test::ShippedModelRig rig_;
  test::TempDir dir_;
  test::RecordingMessages box_;
};

TEST_P(RoundTrip, SavingThenOpeningRestoresEveryField) {
  CONFIG_RECORD saved = rig_.record();
  CONFIG_NONLINEAR savedNl;
  ASSERT_NO_FATAL_FAILURE(Fill(saved, savedNl));
  const fs::path file = dir_ / "Tank[0].txt";
  ASSERT_TRUE(WriteConfigFile(file, model(), saved, savedNl));

  CONFIG_RECORD opened = rig_.record();
  StartSelections(model(), opened);
  opened.sensorHeight = 3.0;
  opened.advanced[1] = {true, 4.0};
  CONFIG_NONLINEAR openedNl;
  openedNl.page.dimensionUnit = 3;
  ASSERT_EQ(ReadConfigFile(file, model(), opened, openedNl, box_, rig_.language(), 0), 0);
  EXPECT_EQ(opened.selection, saved.selection);
  EXPECT_EQ(opened.configIndex, saved.configIndex);
  EXPECT_TRUE(opened.valid);
  EXPECT_TRUE(opened.complete);
  EXPECT_EQ(opened.unitsIndex, saved.unitsIndex);
  EXPECT_EQ(opened.sensorHeight, saved.sensorHeight);
  EXPECT_EQ(opened.fillHeight, saved.fillHeight);
  const CONFIGURATION_ENTRY& c = model().configurations[At(saved.configIndex)];
  for (int k = 0; k < kLevelRows; ++k) {
    EXPECT_EQ(opened.level[At(k)], c.levelWord[At(k)] > 0 ? saved.level[At(k)] : -1.0) << "row " << k;
  }
  for (int a = 0; a < kMaxAdvanced; ++a) {
    EXPECT_EQ(opened.advanced[At(a)].present, saved.advanced[At(a)].present) << a;
    if (saved.advanced[At(a)].present) {
      EXPECT_EQ(opened.advanced[At(a)].value, saved.advanced[At(a)].value) << a;
    }
  }
  EXPECT_EQ(opened.tankDescription, saved.tankDescription);
  EXPECT_TRUE(openedNl.on);
  EXPECT_EQ(openedNl.structureType, 4);
  EXPECT_EQ(openedNl.page.dimensions, savedNl.page.dimensions);
  EXPECT_EQ(openedNl.page.dimensionUnit, 3);
  // The identity stays the unit's; SERIAL and FIRMWARE are taken.
  EXPECT_EQ(opened.modelName, saved.modelName);
  EXPECT_EQ(opened.factorySerial, saved.serialNumber);
  EXPECT_EQ(opened.firmwareName, saved.firmwareName);
  EXPECT_TRUE(DiffConfigurations(model(), opened, openedNl, saved, savedNl).empty());

  // Written again it is the same file.
  ASSERT_TRUE(WriteConfigFile(dir_ / "again.txt", model(), opened, openedNl));
  EXPECT_EQ(test::ReadBytes(dir_ / "again.txt"), test::ReadBytes(file));

  // The same lines as 8-bit text, with either line end, read the same.
  const std::string text = ConfigFileText(model(), saved, savedNl);
  std::string crlf;
  for (const char ch : text) {
    crlf += ch == '\n' ? std::string("\r\n") : std::string(1, ch);
  }
  for (const std::string& bytes : {text, crlf}) {
    test::WriteBytes(dir_ / "ansi.txt", bytes);
    CONFIG_RECORD ansi = rig_.record();
    StartSelections(model(), ansi);
    CONFIG_NONLINEAR ansiNl;
    ASSERT_EQ(ReadConfigFile(dir_ / "ansi.txt", model(), ansi, ansiNl, box_, rig_.language(), 0), 0);
    EXPECT_TRUE(DiffConfigurations(model(), ansi, ansiNl, opened, openedNl).empty());
    EXPECT_EQ(ConfigFileText(model(), ansi, ansiNl), ConfigFileText(model(), opened, openedNl));
  }
  EXPECT_TRUE(box_.shown.empty());
}

INSTANTIATE_TEST_SUITE_P(EveryShippedModel, RoundTrip, ::testing::Values("qr25", "qr27", "qr30"));

// ------------------------------------------------------------ names

TEST(FileNames, ProposalsNumberTheNameInTheFolder) {
  test::TempDir dir;
  EXPECT_EQ(ProposedSaveName("", dir.path()), "Config[0].txt");
  EXPECT_EQ(ProposedSaveName("   ", dir.path()), "Config[0].txt");
  EXPECT_EQ(ProposedSaveName("Tank.txt", dir.path()), "Tank[0].txt");
  EXPECT_EQ(ProposedSaveName("  Tank  ", dir.path()), "Tank[0].txt");
  for (const char* name : {"Tank[0].txt", "Tank[3].txt", "Tank[x].txt", "Tank[].txt", "Tank3.txt", "Tank[9].TXT",
                           "tank[7].txt", "Tank[5].txt.bak", "Tank A[8].txt"}) {
    test::WriteBytes(dir / name, "");
  }
  EXPECT_EQ(ProposedSaveName("Tank.txt", dir.path()), "Tank[4].txt");
  EXPECT_EQ(ProposedSaveName("Tank[0].txt", dir.path()), "Tank[4].txt");
  EXPECT_EQ(ProposedSaveName("Tank A.old.txt", dir.path()), "Tank A[9].txt");
  EXPECT_EQ(ProposedSaveName("Tank.TXT", dir.path()), "Tank[4].txt") << "\".TXT\" is not \".txt\": appended";
  EXPECT_EQ(NextFileNumber(dir / "Config.txt"), 0);
  EXPECT_EQ(NextFileNumber(dir / "Tank[9].TXT"), 10);
  EXPECT_EQ(NextFileNumber(dir / "missing" / "Tank.txt"), 0);

  // A name whose brackets hold no number counts, but gives no number.
  test::TempDir only;
  test::WriteBytes(only / "Pit[new].txt", "");
  EXPECT_EQ(NextFileNumber(only / "Pit.txt"), 1);
  test::WriteBytes(only / "Pit[2147483647].txt", "");
  test::WriteBytes(only / "Pit[99999999999].txt", "");
  EXPECT_EQ(NextFileNumber(only / "Pit.txt"), 2147483647);
}

TEST(FileNames, NamesFromOutsideMustStayInTheFolder) {
  test::TempDir dir;
  for (const char* bad : {"../Tank", "a/b.txt", "/etc/passwd", "Tank\n.txt", "a\\b"}) {
    EXPECT_EQ(ProposedSaveName(bad, dir.path()), "") << bad;
    EXPECT_FALSE(ConfigFilePath(dir.path(), bad).has_value()) << bad;
  }
  EXPECT_FALSE(ConfigFilePath(dir.path(), "..").has_value());
  EXPECT_FALSE(ConfigFilePath(dir.path(), "").has_value());
  EXPECT_EQ(ConfigFilePath(dir.path(), "Tank[2].txt"), dir / "Tank[2].txt");
}

TEST(FileNames, TheNameDialogAppendsTxtUnlessTheNameHoldsIt) {
  EXPECT_EQ(WithTxtExtension("Tank[4]"), "Tank[4].txt");
  EXPECT_EQ(WithTxtExtension("Tank[4].txt"), "Tank[4].txt");
  EXPECT_EQ(WithTxtExtension("Tank.txt.old"), "Tank.txt.old");
  EXPECT_EQ(WithTxtExtension("Tank.TXT"), "Tank.TXT.txt");
  EXPECT_EQ(WithTxtExtension(""), ".txt");
}

// ------------------------------------------------------------ file date

TEST(FileDate, IsTheLastWriteInLocalTime) {
  CLanguageFile language(fs::path(TOLVANE_SOURCE_DATA) / "Models", nullptr);
  ASSERT_EQ(language.Load("Tolvane_Language.txt"), 0);
  test::TempDir dir;
  test::WriteBytes(dir / "a.txt", "x");
  std::tm when{};
  when.tm_year = 2025 - 1900;
  when.tm_mon = 2;
  when.tm_mday = 7;
  when.tm_hour = 9;
  when.tm_min = 5;
  when.tm_isdst = -1;
  const std::time_t t = std::mktime(&when);
  const struct timespec times[2] = {{t, 0}, {t, 0}};
  ASSERT_EQ(::utimensat(AT_FDCWD, (dir / "a.txt").c_str(), times, 0), 0);
  EXPECT_EQ(FileDateText(dir / "a.txt", language, 0), "File date: 03/07/2025 09:05");
  EXPECT_EQ(FileDateText(dir / "a.txt", language, 1), "Dateistand (Monat/Tag/Jahr): 03/07/2025 09:05");
  EXPECT_EQ(FileDateText(dir / "none.txt", language, 0), "");
  EXPECT_EQ(FileDateText("", language, 0), "");
  // A name whose time cannot be read (a loop of links).
  fs::create_symlink(dir / "loop2", dir / "loop1");
  fs::create_symlink(dir / "loop1", dir / "loop2");
  EXPECT_EQ(FileDateText(dir / "loop1", language, 0), language.Text("ERROR_MESSAGE76", 0));
}

// ------------------------------------------------------------ differences

class Differences : public ReadFile {};

TEST_F(Differences, AreListedFieldByFieldInDisplayUnits) {
  ASSERT_EQ(Read("CONFIG[0] = 1\nCONFIG[1] = 1\nCONFIG[2] = 3\nCONFIG[3] = 1\nCONFIG[4] = 1\nCONFIG[5] = 1\n"
                 "CONFIG[6] = 2\nADVANCED[0] = 7.9\nADVANCED[2] = 5\nUNITS = 0\nSENSORHEIGHT = 100\n"
                 "FILLHEIGHT = 90\nLEVEL[5] = 80\nLEVEL[3] = 50\nLEVEL[2] = 40\nLEVEL[1] = 20\nLEVEL[0] = 10\n"
                 "TANK DESCRIPTION = Pit 4\n"),
            0);
  ASSERT_TRUE(r_.valid);
  ASSERT_TRUE(r_.complete);
  CONFIG_RECORD unit = r_;
  CONFIG_NONLINEAR unitNl = nl_;
  unit.advanced[0].value = 7.0;      // the unit keeps whole numbers
  unit.advanced[2].value = -1.0;     // Echo Lock is an on/off entry
  unitNl.page.dimensions[0] = 4.0f;  // both off: the file carries no dimensions
  EXPECT_TRUE(DiffConfigurations(model(), r_, nl_, unit, unitNl).empty());

  unit.selection[3] = 2;  // Relay 2: Hi Alarm, configuration 6
  EvaluateConfiguration(model(), unit, false);
  ASSERT_TRUE(unit.valid);
  unit.sensorHeight = 99.96;  // shows as 100.0: the same
  unit.level[2] = -1.0;
  unit.advanced[3] = {true, 30.0};
  unit.tankDescription = "Pit 5";
  unitNl.on = true;
  const auto diffs = DiffConfigurations(model(), r_, nl_, unit, unitNl);
  std::vector<std::string> lines;
  for (const auto& d : diffs) {
    lines.push_back(d.field + ": " + d.fileValue + " | " + d.unitValue);
  }
  EXPECT_EQ(lines, (std::vector<std::string>{
                       "Relay 2 Function: Lo Alarm | Hi Alarm",
                       "Relay 2 Hi Alarm: (unused) | (not set)",
                       "Relay 1 Pump Off: 40.0 | (not set)",
                       "Relay 2 Lo Alarm: 20.0 | (unused)",
                       "Fail-Safe Delay: off | 30",
                       "Notes: Pit 4 | Pit 5",
                       "Non-linear: off | on",
                       "D[0]: 0.0 | 4.0",
                   }))
      << ::testing::PrintToString(lines);
}

}  // namespace
}  // namespace tolvane::config
