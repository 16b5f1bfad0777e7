// The model file parser: keys, tables, unit type matching, CONFIG expansion
// and what it does with bad input.
#include <gtest/gtest.h>

#include <random>

#include "common/StdioFileEx.h"
#include "defs/ModelFile.h"
#include "defs/ModelTestSupport.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

class Parser : public ::testing::Test {
 protected:
  Parser() {
    test::WriteBytes(dir_ / "Lang.txt",
                     "SELECTSTR = <Select>->Bitte waehlen\nIDC_MODELDESCRIPTION = Model:->Modell:\n");
    f_.language.Load("Lang.txt");
  }
  // Parses `text` as the file `name` of the test folder.
  PARSE_STATS Parse(std::string_view text, const std::string& name = "QRModel_Test.txt") {
    test::WriteBytes(dir_ / name, text);
    EXPECT_EQ(f_.parser.ParseModelFile(dir_ / name), 0);
    return f_.parser.LastParseStats();
  }
  MODEL_DEFINITION& m() { return f_.model(); }

  test::TempDir dir_;
  test::ModelFixture f_{dir_.path()};
};

TEST_F(Parser, ProgramKeysOfTheCorporateModel) {
  const PARSE_STATS s = Parse(
      "PROGRAMID = Tolvane\nPROGRAMNAME = Tolvane Tool\nMODELID = QRModel_ ' prefix\n"
      "INSTALLERID = Setup\nCORPORATEID = Kestrine\nMAINHELP = Main.chm\nSERVER = host\nSUBDIR = sub\n"
      "SUPPORTMAIL = Help Desk|help@example.org\n"
      "LOGOIMAGE = Logo.bmp\nLANGUAGE_FILE = L.txt\nLANGUAGE_NUMBER = 1\nREGISTRY_FILE =\n",
      "Corporate_Model");
  const PROGRAM_INFO& p = f_.tables->program;
  const std::vector<std::pair<std::string, std::string>> got = {{p.programId, "Tolvane"},
                                                                {p.programName, "Tolvane Tool"},
                                                                {p.modelId, "QRModel_"},
                                                                {p.installerId, "Setup"},
                                                                {p.corporateId, "Kestrine"},
                                                                {p.mainHelp, "Main.chm"},
                                                                {p.server, "host"},
                                                                {p.subDir, "sub"},
                                                                {p.supportMail, "Help Desk|help@example.org"},
                                                                {p.logoImage, "Logo.bmp"},
                                                                {f_.tables->images.logoImage, "Logo.bmp"},
                                                                {f_.settings.languageFile, "L.txt"},
                                                                {f_.settings.registryFile, ""}};
  for (const auto& [value, expected] : got) {
    EXPECT_EQ(value, expected);
  }
  EXPECT_EQ(f_.settings.languageNumber, 1);
  EXPECT_EQ(s.ignored + s.unknown + s.deferred, 0);
  EXPECT_EQ(s.entries, 13);
}

// Model files go through the text-file reader's type check, whose failures
// are shown: a file of one byte holds no byte-order mark to read.
TEST_F(Parser, TheTypeCheckMessagesAreShown) {
  test::WriteBytes(dir_ / "QRModel_One.txt", "'");
  EXPECT_EQ(f_.parser.LoadModel(dir_ / "QRModel_One.txt", 0), 1);
  using M = std::pair<std::string, unsigned>;
  EXPECT_EQ(f_.messages.shown, (std::vector<M>{{"Error:  Cannot read file for Unicode type check.", MB_ERROR}}));
  // The catalogue's search reads the files it looks in the same way.
  std::string found;
  EXPECT_EQ(f_.parser.FindModel("QRModel_", "UNITTYPE", "QR27", 0, found), 0);
  EXPECT_EQ(f_.messages.shown.size(), 2u);
}

TEST_F(Parser, ProgramNameCountsOnlyInTheCorporateModel) {
  const PARSE_STATS s = Parse("PROGRAMNAME = QR27\n");
  EXPECT_EQ(f_.tables->program.programName, "");
  EXPECT_EQ(s.deferred, 1);
  Parse("PROGRAMNAME = Tolvane\n", "Corporate_Model.txt");
  EXPECT_EQ(f_.tables->program.programName, "Tolvane");
}

TEST_F(Parser, ItemsAndOptions) {
  Parse("CFGLABEL[2] = 11|Relay 1\nCFGITEM[2][1] = 0|Lo Alarm\nCFGITEM[2][2] = 1|Hi Alarm\nCFGITEM[2][3] = 7|Pump\n");
  const CONFIG_ITEM& item = m().items[1];
  EXPECT_TRUE(item.present);
  EXPECT_EQ(item.wordIndex, 11);
  EXPECT_EQ(item.label, "Relay 1");
  EXPECT_EQ(item.optionCount, 4);
  EXPECT_EQ(item.optionCode[0], -1);
  EXPECT_EQ(item.optionText[0], "<Select>");
  EXPECT_EQ(item.optionCode[3], 7);
  EXPECT_EQ(item.optionText[3], "Pump");
  EXPECT_EQ(f_.settings.selectText, "<Select>");
  EXPECT_FALSE(m().items[0].present);
}

TEST_F(Parser, TheSelectPromptFollowsTheLanguageNumber) {
  Parse("LANGUAGE_NUMBER = 1\nCFGLABEL[1] = 8|Mode\n");
  EXPECT_EQ(m().items[0].optionText[0], "Bitte waehlen");
}

TEST_F(Parser, ARepeatedItemIndexOverwritesAndCountsAgain) {
  Parse("CFGLABEL[1] = 8|First\nCFGITEM[1][1] = 1|a\nCFGLABEL[1] = 9|Second\n");
  EXPECT_EQ(m().items[0].label, "Second");
  EXPECT_EQ(m().items[0].wordIndex, 9);
  EXPECT_EQ(m().items[0].optionCount, 1);
  EXPECT_EQ(m().itemCount, 2);
}

TEST_F(Parser, AnEleventhItemIsIgnored) {
  std::string text;
  for (int i = 1; i <= 11; ++i) {
    text += "CFGLABEL[" + std::to_string(i) + "] = " + std::to_string(i) + "|Item\n";
  }
  const PARSE_STATS s = Parse(text);
  EXPECT_EQ(m().itemCount, 10);
  EXPECT_EQ(s.ignored, 1);
}

TEST_F(Parser, OptionIndicesOutsideTheItemAreIgnored) {
  const PARSE_STATS s = Parse(
      "CFGLABEL[1] = 8|A\nCFGITEM[1][0] = 5|prompt\nCFGITEM[1][100] = 5|x\nCFGITEM[11][1] = 1|x\n"
      "CFGITEM[2147483648][1] = 1|x\nCFGITEM[1][2147483647] = 1|x\nCFGITEM = 1|x\n");
  EXPECT_EQ(s.ignored, 6);
  EXPECT_EQ(m().items[0].optionText[0], "<Select>");
  EXPECT_EQ(m().items[0].optionCount, 1);
}

TEST_F(Parser, ConfigurationLines) {
  Parse("CONFIGURATION[3] = 1|2|-1|0|0|0|0|0|0|0|20|Lo Alarm|0||0||0||24|Hi Alarm|0||5|Wiring.pdf\n");
  const CONFIGURATION_ENTRY& c = m().configurations[2];
  EXPECT_TRUE(c.present);
  EXPECT_EQ(c.number, 3);
  EXPECT_EQ(c.requiredOption[0], 1);
  EXPECT_EQ(c.requiredOption[2], -1);
  EXPECT_EQ(c.levelWord[0], 20);
  EXPECT_EQ(c.levelLabel[0], "Lo Alarm");
  EXPECT_EQ(c.levelWord[4], 24);
  EXPECT_EQ(c.levelLabel[4], "Hi Alarm");
  EXPECT_EQ(c.imageNumber, 5);
  EXPECT_EQ(c.drawingFile, "Wiring.pdf");
  EXPECT_EQ(m().configurationCount, 1);
  EXPECT_EQ(m().configurationLast, 2);
}

TEST_F(Parser, AShortConfigurationLeavesTheRestZeroAndEmpty) {
  Parse(
      "CONFIGURATION[1] = 1|2|3|-1|4|5|6|7|8|9|10|Stale|11|Old|12|x|13|y|14|z|15|w|9|d.pdf\n"
      "CONFIGURATION[1] = 2|2\n");
  const CONFIGURATION_ENTRY& c = m().configurations[0];
  EXPECT_EQ(c.requiredOption[0], 2);
  EXPECT_EQ(c.requiredOption[1], 2);
  for (std::size_t i = 2; i < kMaxItems; ++i) {
    EXPECT_EQ(c.requiredOption[i], 0);
  }
  for (std::size_t k = 0; k < kLevelRows; ++k) {
    EXPECT_EQ(c.levelWord[k], 0);
    EXPECT_EQ(c.levelLabel[k], "");
  }
  EXPECT_EQ(c.imageNumber, 0);
  EXPECT_EQ(c.drawingFile, "");
}

TEST_F(Parser, ConfigExpandsIntoTheCrossProduct) {
  Parse("CONFIG = 7|1,2|3:5|-1|-1|-1|-1|-1|-1|-1|-1|20|Lo|0||0||0||0||0||2|D.pdf\n");
  ASSERT_EQ(m().configurationCount, 6);
  const std::int32_t expect[6][2] = {{1, 3}, {1, 4}, {1, 5}, {2, 3}, {2, 4}, {2, 5}};
  for (std::size_t n = 0; n < 6; ++n) {
    const CONFIGURATION_ENTRY& c = m().configurations[n];
    EXPECT_TRUE(c.present);
    EXPECT_EQ(c.number, 7);
    EXPECT_EQ(c.requiredOption[0], expect[n][0]);
    EXPECT_EQ(c.requiredOption[1], expect[n][1]);
    EXPECT_EQ(c.requiredOption[9], -1);
    EXPECT_EQ(c.levelLabel[0], "Lo");
    EXPECT_EQ(c.imageNumber, 2);
    EXPECT_EQ(c.drawingFile, "D.pdf");
  }
}

TEST_F(Parser, ConfigAppendsAfterIndexedConfigurations) {
  Parse("CONFIGURATION[1] = 1\nCONFIGURATION[2] = 2\nCONFIG = 3|1:2\n");
  EXPECT_EQ(m().configurationCount, 4);
  EXPECT_EQ(m().configurations[2].number, 3);
  EXPECT_EQ(m().configurations[3].requiredOption[0], 2);
  // An empty list requires option 0.
  EXPECT_EQ(m().configurations[3].requiredOption[5], 0);
}

TEST_F(Parser, ConfigStopsAtAThousandConfigurations) {
  // 10 x 10 x 10 x 2 = 2000 combinations for 1000 slots.
  const PARSE_STATS s = Parse("CONFIG = 1|1:10|1:10|1:10|1,2\nCONFIG = 2|1\nCONFIGURATION[1001] = 1\n");
  EXPECT_EQ(m().configurationCount, kMaxConfigurations);
  EXPECT_EQ(m().configurationLast, kMaxConfigurations - 1);
  const CONFIGURATION_ENTRY& lastOne = m().configurations[999];
  EXPECT_EQ(lastOne.requiredOption[0], 5);
  EXPECT_EQ(lastOne.requiredOption[1], 10);
  EXPECT_EQ(lastOne.requiredOption[2], 10);
  EXPECT_EQ(lastOne.requiredOption[3], 2);
  EXPECT_EQ(s.applied, 1);
  EXPECT_EQ(s.ignored, 2);
}

TEST_F(Parser, ConfigListsBeyondAnItemAreRefused) {
  std::string thirty;
  for (int i = 1; i <= 30; ++i) {
    thirty += (i > 1 ? "," : "") + std::to_string(i);
  }
  const PARSE_STATS s = Parse("CONFIG = 1|" + thirty + "\nCONFIG = 2|1|1:25\nCONFIG = 3|1:2147483647\n");
  EXPECT_EQ(s.ignored, 3);
  EXPECT_EQ(m().configurationCount, 0);
}

TEST_F(Parser, UnitsShareTheirLastIndexWithTheFactors) {
  Parse(
      "UNITS[1] = Inches\nUNITS[2] = Feet\nUNITS[3] = Meters\nUNITCONV[1] = 25.4\nUNITCONV[2] = 304.8\n"
      "UNITCONV[3] = 1000\n");
  EXPECT_EQ(m().unitsCount, 3);
  EXPECT_EQ(m().unitConvCount, 1);
  EXPECT_EQ(m().unitNames[2], "Meters");
  EXPECT_DOUBLE_EQ(m().unitFactors[0], 25.4);
  EXPECT_DOUBLE_EQ(m().unitFactors[2], 1000.0);
}

TEST_F(Parser, UnitsWrittenInPairsCountBoth) {
  Parse("UNITS[1] = Inches\nUNITCONV[1] = 25.4\nUNITS[2] = Feet\nUNITCONV[2] = 304.8\n");
  EXPECT_EQ(m().unitsCount, 2);
  EXPECT_EQ(m().unitConvCount, 2);
}

TEST_F(Parser, LimitsFixedWritesAndFiles) {
  const PARSE_STATS s = Parse(
      "MAXSENSORHEIGHT = 480.5\nMINRANGE = 12\nDEFAULTFILE = F.cfg\nUNITRANGE = 12M\nTPF = 25.4\n"
      "DCAL[40] = 27\nDCAL[0] = -3\nDCAL = 5\nDCAL[256] = 1\nREVISION = 1.04\nHELPFILE = QR.chm\n");
  EXPECT_DOUBLE_EQ(m().maxSensorHeight, 480.5);
  EXPECT_DOUBLE_EQ(m().minRange, 12.0);
  EXPECT_EQ(m().defaultFile, "F.cfg");
  EXPECT_EQ(m().unitRange, "12M");
  EXPECT_DOUBLE_EQ(m().baseFactor, 25.4);
  ASSERT_EQ(m().fixedWriteCount, 2);
  EXPECT_EQ(m().fixedWrites[0].word, 40);
  EXPECT_EQ(m().fixedWrites[0].value, 27);
  EXPECT_EQ(m().fixedWrites[1].word, 0);
  EXPECT_EQ(m().fixedWrites[1].value, -3);
  EXPECT_EQ(f_.record.modelFileRevision, "1.04");
  EXPECT_EQ(f_.tables->helpFile, "QR.chm");
  EXPECT_EQ(s.ignored, 2);  // DCAL without a word, and one past the page
}

TEST_F(Parser, FixedWritesBeyondAHundredAreIgnored) {
  std::string text;
  for (int i = 0; i < 105; ++i) {
    text += "DCAL[" + std::to_string(i) + "] = 1\n";
  }
  const PARSE_STATS s = Parse(text);
  EXPECT_EQ(m().fixedWriteCount, kMaxFixedWrites);
  EXPECT_EQ(s.ignored, 5);
}

TEST_F(Parser, AdvancedEntries) {
  Parse(
      "ADVINPUT[1] = 30|1|Damping|31|1|seconds\nADVTEXT[1] = Averages.\\nMore.\n"
      "ADVINPUT[2] = 30|3|Echo Lock|-1|0|\nADVTEXT[2] = Old\nADVINPUT[2] = 30|4|Echo Lock|-1|0|\n");
  EXPECT_EQ(m().advancedInputCount, 3);
  EXPECT_EQ(m().advancedTextCount, 2);
  const ADVANCED_ENTRY& a = m().advanced[0];
  EXPECT_EQ(a.flagWord, 30);
  EXPECT_EQ(a.flagBit, 1);
  EXPECT_EQ(a.label, "Damping");
  EXPECT_EQ(a.valueWord, 31);
  EXPECT_EQ(a.kind, 1);
  EXPECT_EQ(a.secondText, "seconds");
  EXPECT_EQ(a.helpText, "Averages.\\nMore.");
  // A later ADVINPUT line empties the help text.
  EXPECT_EQ(m().advanced[1].flagBit, 4);
  EXPECT_EQ(m().advanced[1].helpText, "");
}

TEST_F(Parser, PicturesAndOverlays) {
  Parse(
      "TANKIMAGE[1] = T1.bmp\nTANKIMAGE[2] = T2.bmp\nOVERLAY[1] = 5|6|Old.bmp\nIMAGE = Base.bmp\n"
      "OVERLAY[1] = -10|20|M1.bmp\nOVERLAY[8] = 1|2|M8.bmp\nOVERLAY[9] = 1|2|M9.bmp\n");
  const IMAGE_SET& img = f_.tables->images;
  EXPECT_EQ(img.tankImageCount, 2);
  EXPECT_EQ(img.tankImages[1], "T2.bmp");
  EXPECT_EQ(img.overlayImage, "Base.bmp");
  EXPECT_EQ(img.overlayCount, 2);
  EXPECT_EQ(img.overlayPosition[0].x, -10);
  EXPECT_EQ(img.overlayText[0], "M1.bmp");
  EXPECT_EQ(img.overlayText[7], "M8.bmp");
}

TEST_F(Parser, UnitDescriptionOfTheMatchingUnitType) {
  f_.record.firmwareName = "QR27-LVL";
  Parse(
      "UNITTYPE[1] = QR27\nUNITDESCRIPTION[1] = Generic\nUNITTYPE[2] = QR27-LVL\nUNITDESCRIPTION[2] = Level\n"
      "UNITTYPE[3] = QR27Demo\nUNITDESCRIPTION[3] = Demo\n");
  EXPECT_EQ(f_.record.unitDescription, "Model: Level");
  EXPECT_EQ(m().unitTypeCount, 3);
  EXPECT_EQ(m().unitTypes[2], "QR27Demo");
}

TEST_F(Parser, ADescriptionBeforeItsUnitTypeHasNoEffect) {
  f_.record.firmwareName = "QR27-LVL";
  Parse("UNITDESCRIPTION[2] = Early\nUNITTYPE[1] = QR27\nUNITTYPE[2] = QR27-LVL\n");
  EXPECT_EQ(f_.record.unitDescription, "");
  // Without a match the first description counts.
  f_.record.firmwareName = "QR99";
  Parse("UNITTYPE[1] = QR27\nUNITDESCRIPTION[1] = First\nUNITTYPE[2] = QR28\nUNITDESCRIPTION[2] = Second\n");
  EXPECT_EQ(f_.record.unitDescription, "Model: First");
}

TEST_F(Parser, UnitTypesBeyondTenAreIgnored) {
  std::string text;
  for (int i = 1; i <= 12; ++i) {
    text += "UNITTYPE[" + std::to_string(i) + "] = T" + std::to_string(i) + "\n";
  }
  const PARSE_STATS s = Parse(text);
  EXPECT_EQ(m().unitTypeCount, kMaxUnitTypes);
  EXPECT_EQ(s.ignored, 2);
}

TEST_F(Parser, HelpTopicsGoToTheirControls) {
  Parse(
      "HLPCFG[1] = A.htm\nHLPCFG[9] = I.htm\nHLPCFG[11] = X.htm\nHLPFACTORYDEFAULT = F.htm\nHLPRESET = R.htm\n"
      "HLPADV = V.htm\nHLPLVL[2] = L2.htm\n");
  const std::vector<std::pair<int, std::string>> expect = {{1033, "A.htm"}, {1006, "A.htm"}, {1049, "I.htm"},
                                                           {1030, "I.htm"}, {1023, "F.htm"}, {1052, "R.htm"},
                                                           {1062, "V.htm"}, {1018, "L2.htm"}};
  EXPECT_EQ(f_.help.topics, expect);
  // Without an index: the six level boxes, row 0 (1019) to row 5 (1014); an
  // index past the sixth row is ignored.
  f_.help.topics.clear();
  Parse("HLPLVL = L.htm\nHLPLVL[7] = X.htm\n");
  const std::vector<std::pair<int, std::string>> boxes = {{1019, "L.htm"}, {1018, "L.htm"}, {1017, "L.htm"},
                                                          {1016, "L.htm"}, {1015, "L.htm"}, {1014, "L.htm"}};
  EXPECT_EQ(f_.help.topics, boxes);
}

TEST_F(Parser, SettingsKeys) {
  const PARSE_STATS s = Parse(
      "DBVERSION = 5.1.0\nDEMOMODEL = QR27Demo\nDEMOSERIAL = 1001\nDEMOSWREV = 0001\nGFILE = Guide.pps\n"
      "PREF_UNITS = Meters\nVERSION = 5.0.0\nDEMOTAB = TRUE\nKESTRINE_MODE = true\nGUIDE = TRUE\nOPTOUT = FALSE\n"
      "PENDING = TRUE\nTECHSUPPORT = TRUE\n");
  const APP_SETTINGS& a = f_.settings;
  const std::vector<std::pair<std::string, std::string>> texts = {
      {a.dbVersion, "5.1.0"},     {a.demoModel, "QR27Demo"}, {a.demoSerial, "1001"}, {a.demoSoftwareRevision, "0001"},
      {a.guideFile, "Guide.pps"}, {a.prefUnits, "Meters"},   {a.version, "5.0.0"}};
  for (const auto& [value, expected] : texts) {
    EXPECT_EQ(value, expected);
  }
  // Only the exact word TRUE is true.
  EXPECT_EQ((std::vector<bool>{a.demoTab, a.kestrineMode, a.guide, a.optOut, a.pending, a.techSupport}),
            (std::vector<bool>{true, false, true, false, true, true}));
  EXPECT_EQ(s.applied, 13);
}

TEST_F(Parser, StructurePageKeys) {
  const PARSE_STATS s = Parse(
      "TABTITLE = Ignored\nTABTITLE[1] = Cylinders\nSELECTIMAGE[1] = H.bmp\nIMAGECAPTION[1] = Horizontal\n"
      "NLTYPE[1] = 1\nSELECTIMAGE[2] = V.bmp\nALTMODELFILE[2] = Alt.txt\nNLTYPE[2] = 70000\nSELECTIMAGE[11] = X.bmp\n");
  const STRUCTURE_PAGE& p = f_.tables->structurePage;
  EXPECT_EQ(p.tabTitle, "Cylinders");
  EXPECT_EQ(p.pictureCount, 2);
  EXPECT_EQ(p.pictureFiles[1], "V.bmp");
  EXPECT_EQ(p.pictureCaptions[0], "Horizontal");
  EXPECT_EQ(p.altModelFiles[1], "Alt.txt");
  EXPECT_EQ(m().structureTypes[0], 1);
  EXPECT_EQ(m().structureTypes[1], static_cast<std::int16_t>(70000));
  EXPECT_EQ(m().structureTypes[2], -1);
  EXPECT_EQ(s.ignored, 2);
}

TEST_F(Parser, StructureDefinitionKeys) {
  Parse(
      "NLTYPEID[1] = 3\nSELECTID[1] = 259\nCLSID = C-1\nIID = I-1\nNLTITLE = Cone\nMAINIMAGE = M.bmp\n"
      "DIMWINDOW[1] = 500|250|Diameter\nDIMWINDOW[10] = 1|1|x\nUNITWINDOW = 700|80|Units\n"
      "DIMUNITS[1] = Inches\nDIMUNITS[2] = Feet\nDIMUNITCONV[2] = 12\nNLUNITS[1] = Gallons\nNLUNITCONV[1] = 231\n");
  const DIMENSION_LAYOUT& d = f_.tables->dimensions;
  EXPECT_EQ(m().definedTypes[0], 3);
  EXPECT_EQ(m().definedTypeCount, 1);
  EXPECT_EQ(m().selectIds[0], 3);
  EXPECT_EQ(m().clsid, "C-1");
  EXPECT_EQ(m().iid, "I-1");
  EXPECT_EQ(d.title, "Cone");
  EXPECT_EQ(d.mainImage, "M.bmp");
  EXPECT_EQ(d.windowCount, 1);
  EXPECT_EQ(d.windowPosition[0].x, 500);
  EXPECT_EQ(d.windowLabel[0], "Diameter");
  EXPECT_TRUE(d.unitWindow);
  EXPECT_EQ(d.unitWindowLabel, "Units");
  EXPECT_EQ(d.dimUnitCount, 2);
  EXPECT_DOUBLE_EQ(d.dimFactors[0], 1.0);
  EXPECT_DOUBLE_EQ(d.dimFactors[1], 12.0);
  EXPECT_EQ(m().volumeUnitsCount, 1);
  EXPECT_EQ(m().volumeUnitNames[0], "Gallons");
  EXPECT_DOUBLE_EQ(m().volumeFactors[0], 231.0);
}

TEST_F(Parser, ResetModelEmptiesTheDefinitionButKeepsTheProgram) {
  Parse(
      "PROGRAMID = Tolvane\nCFGLABEL[1] = 8|A\nCONFIG = 1|1:3\nDEFAULTFILE = F.cfg\nTPF = 25.4\nIMAGE = B.bmp\n"
      "OVERLAY[1] = 1|1|M.bmp\nNLTYPE[1] = 4\nUNITWINDOW = 1|1|U\nLOGOIMAGE = Logo.bmp\n");
  f_.parser.ResetModel();
  EXPECT_EQ(m().itemCount, 0);
  EXPECT_EQ(m().itemLast, -1);
  EXPECT_FALSE(m().items[0].present);
  EXPECT_EQ(m().configurationCount, 0);
  EXPECT_FALSE(m().configurations[0].present);
  EXPECT_EQ(m().defaultFile, "");
  EXPECT_DOUBLE_EQ(m().baseFactor, 709.0);
  EXPECT_EQ(m().structureTypes[0], -1);
  EXPECT_EQ(f_.tables->images.overlayImage, "");
  EXPECT_EQ(f_.tables->images.overlayCount, 0);
  EXPECT_FALSE(f_.tables->dimensions.unitWindow);
  EXPECT_EQ(f_.tables->program.programId, "Tolvane");
  EXPECT_EQ(f_.tables->images.logoImage, "Logo.bmp");
}

TEST_F(Parser, ResetStructureKeepsTitleAndAlternatives) {
  Parse(
      "TABTITLE[1] = T\nSELECTIMAGE[1] = A.bmp\nIMAGECAPTION[1] = A\nALTMODELFILE[1] = Alt.txt\n"
      "MAINIMAGE = M.bmp\nDIMWINDOW[1] = 1|2|D\nDIMUNITS[1] = Inches\n");
  f_.parser.ResetStructure();
  const STRUCTURE_PAGE& p = f_.tables->structurePage;
  const DIMENSION_LAYOUT& d = f_.tables->dimensions;
  EXPECT_EQ(p.pictureCount, 0);
  EXPECT_EQ(p.pictureFiles[0], "");
  EXPECT_EQ(p.pictureCaptions[0], "");
  EXPECT_EQ(p.tabTitle, "T");
  EXPECT_EQ(p.altModelFiles[0], "Alt.txt");
  EXPECT_EQ(d.mainImage, "");
  EXPECT_EQ(d.windowCount, 0);
  EXPECT_EQ(d.windowLabel[0], "");
  EXPECT_EQ(d.dimUnitCount, 0);
  EXPECT_EQ(d.dimUnitLast, 0);
}

TEST_F(Parser, ParsingAddsToWhatIsThere) {
  Parse("CFGLABEL[1] = 8|A\n");
  Parse("CFGLABEL[2] = 9|B\n");
  EXPECT_EQ(m().itemCount, 2);
  EXPECT_TRUE(m().items[0].present);
}

TEST_F(Parser, AMissingFileChangesNothing) {
  Parse("CFGLABEL[1] = 8|A\n");
  EXPECT_EQ(f_.parser.ParseModelFile(dir_ / "nothing.txt"), 1);
  EXPECT_EQ(m().itemCount, 1);
}

TEST_F(Parser, UnknownKeysAreCountedAndIgnored) {
  const PARSE_STATS s = Parse("cfglabel[1] = 8|A\nNOSUCHKEY = 1\n = 5\nCFGLABEL [1] = 8|B\n");
  EXPECT_EQ(s.unknown, 3);
  EXPECT_EQ(m().items[0].label, "B");
}

TEST_F(Parser, AUtf16FileReadsLikeAnEightBitOne) {
  const std::string text =
      "CFGLABEL[1] = 8|F\xC3\xBCllstand\r\nCFGITEM[1][1] = 1|\xC3\x9C"
      "berlauf\r\n";
  Parse(text);
  const std::string label8 = m().items[0].label;
  const std::string option8 = m().items[0].optionText[1];
  f_.parser.ResetModel();
  Parse(test::Utf16File(text));
  EXPECT_EQ(m().items[0].label, label8);
  EXPECT_EQ(m().items[0].optionText[1], option8);
  EXPECT_EQ(label8, "F\xC3\xBCllstand");
}

TEST_F(Parser, LongLinesAndBinaryGarbageDoNoHarm) {
  std::string longLine = "CFGLABEL[1] = 8|" + std::string(3u << 20, 'L') + "\n";
  Parse(longLine + "CFGLABEL[2] = 9|B\n");
  EXPECT_EQ(m().items[1].label, "B");
  EXPECT_LE(m().items[0].label.size(), CStdioFileEx::kMaxLineBytes);

  std::mt19937 rng(7);
  for (int round = 0; round < 20; ++round) {
    std::string junk(4096, '\0');
    for (char& c : junk) {
      c = static_cast<char>(rng() & 0xFF);
    }
    if (round % 2 == 0) {
      junk.insert(0, "\xFF\xFE");
    }
    Parse(junk);
    EXPECT_LE(m().itemCount, kMaxItems);
    EXPECT_LE(m().configurationCount, kMaxConfigurations);
  }
}

TEST_F(Parser, TextInMemoryEndsAtItsZeroPadding) {
  const std::string text = std::string("CFGLABEL[1] = 8|A\n") + std::string(46, '\0');
  f_.parser.ParseModelText(text, dir_ / "x.fmf");
  EXPECT_EQ(f_.parser.LastParseStats().entries, 1);
  EXPECT_EQ(f_.parser.LastParseStats().unknown, 0);
}

}  // namespace
}  // namespace tolvane
