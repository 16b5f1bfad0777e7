// tolvane-cli write-config as a production line runs it, against tolvane-sim:
// what is written is what read-config then finds in the unit.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "common/StdioFileEx.h"
#include "link/sim/SimProcess.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// The lines of a configuration file without those that name the unit and
// the model file rather than the configuration, and without the tank shape:
// the unit keeps only the shape's dimensions, which the shape calculation
// reads back.
std::vector<std::string> ConfigurationLines(const fs::path& file) {
  CStdioFileEx in;
  std::vector<std::string> lines;
  if (!in.Open(file, CStdioFileEx::modeRead)) {
    return lines;
  }
  std::string line;
  bool shape = false;
  while (in.ReadString(line)) {
    shape = (shape || line == "'Nonlinear settings -") && line != "'End of File";
    if (shape) {
      continue;
    }
    bool identity = false;
    for (const char* key : {"  MODEL = ", "  SERIAL = ", "  FIRMWARE = ", "  SW REV = ", "  UNIT DESCRIPTION = ",
                            "  MDL FILE NAME = ", "  MDL FILE REVISION = "}) {
      identity = identity || line.rfind(key, 0) == 0;
    }
    if (!identity) {
      lines.push_back(line);
    }
  }
  return lines;
}

struct SHIPPED_EXAMPLE {
  const char* identity;
  const char* file;
};

class WriteConfig : public ::testing::TestWithParam<SHIPPED_EXAMPLE> {
 protected:
  test::PortableHome home_{TOLVANE_PROTECTED_MODELS_DIR};
};

TEST_P(WriteConfig, WhatIsWrittenIsWhatTheUnitThenHolds) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", GetParam().identity});
  ASSERT_TRUE(sim.Running());
  const fs::path file = home_ / "Configs" / GetParam().file;
  ASSERT_TRUE(fs::exists(file)) << file;
  auto [rc, out] = home_.RunCli("write-config \"" + file.string() + "\"", sim.root());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("written: "), std::string::npos) << out;

  // Read back in the file's units.
  const auto written = ConfigurationLines(file);
  std::string units;
  for (const auto& l : written) {
    if (l.rfind("  UNITS = ", 0) == 0) {
      units = l.substr(l.find("' ") + 2);
    }
  }
  ASSERT_FALSE(units.empty());
  const fs::path back = home_ / "back.txt";
  std::tie(rc, out) = home_.RunCli("read-config --units " + units + " -o \"" + back.string() + "\"", sim.root());
  ASSERT_EQ(rc, 0) << out;
  ASSERT_GT(written.size(), 10U);
  EXPECT_EQ(ConfigurationLines(back), written);
  // The unit and the file agree field by field.
  std::tie(rc, out) = home_.RunCli("diff \"" + file.string() + "\"", sim.root());
  EXPECT_EQ(rc, 0) << out;
  // The log holds the write with the whole configuration.
  const std::string log = test::ReadBytes(home_ / "Logs" / "logfile.txt");
  EXPECT_NE(log.find("WRITETARGET->Successful Write:"), std::string::npos);
}

INSTANTIATE_TEST_SUITE_P(ShippedExamples, WriteConfig,
                         ::testing::Values(SHIPPED_EXAMPLE{"qr25", "QR25 Diesel Day Tank.txt"},
                                           SHIPPED_EXAMPLE{"qr27", "QR27 Pump Down Sump.txt"},
                                           SHIPPED_EXAMPLE{"qr30", "QR30 Lift Station Duplex.txt"}));

TEST(WriteConfigRefusals, AFileOfAnotherModelOrWithBadLevelsIsNotWritten) {
  test::PortableHome home(TOLVANE_PROTECTED_MODELS_DIR);
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  const fs::path before = home / "before.txt";
  ASSERT_EQ(home.RunCli("read-config -o \"" + before.string() + "\"", sim.root()).first, 0);

  // A QR25 file for a QR27 unit.
  auto [rc, out] = home.RunCli("write-config \"" + (home / "Configs" / "QR25_Factory.cfg").string() + "\"", sim.root());
  EXPECT_EQ(rc, 2) << out;

  // Levels that cross: the fill height above what the sensor height allows.
  const fs::path crossing = home / "crossing.txt";
  CStdioFileEx in;
  ASSERT_TRUE(in.Open(home / "Configs" / "QR27 Pump Down Sump.txt", CStdioFileEx::modeRead));
  std::string all;
  std::string line;
  while (in.ReadString(line)) {
    if (line.rfind("  FILLHEIGHT = ", 0) == 0) {
      line = "  FILLHEIGHT = 999.0";
    }
    all += line + "\n";
  }
  ASSERT_NE(all.find("  FILLHEIGHT = 999.0"), std::string::npos);
  test::WriteBytes(crossing, all);
  std::tie(rc, out) = home.RunCli("write-config \"" + crossing.string() + "\"", sim.root());
  EXPECT_EQ(rc, 1) << out;

  const fs::path after = home / "after.txt";
  ASSERT_EQ(home.RunCli("read-config -o \"" + after.string() + "\"", sim.root()).first, 0);
  EXPECT_EQ(ConfigurationLines(after), ConfigurationLines(before));
}

// Only what the file itself supplies counts: a file that holds no complete
// configuration is refused with status 2 and nothing is sent, although the
// unit's own configuration (which the form lays the file over) is complete.
TEST(WriteConfigRefusals, AFileWithoutACompleteConfigurationOfItsOwnIsNotWritten) {
  test::PortableHome home(TOLVANE_PROTECTED_MODELS_DIR);
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  const fs::path before = home / "before.txt";
  ASSERT_EQ(home.RunCli("read-config -o \"" + before.string() + "\"", sim.root()).first, 0);

  std::string cut;
  CStdioFileEx in;
  ASSERT_TRUE(in.Open(home / "Configs" / "QR27_Factory.cfg", CStdioFileEx::modeRead));
  std::string line;
  while (in.ReadString(line) && line != "'Levels -") {
    cut += line + "\r\n";
  }
  std::string binary;
  for (int i = 0; i < 2048; ++i) {
    binary.push_back(static_cast<char>((i * 37 + 11) & 0xFF));
  }
  const std::pair<const char*, std::string> files[] = {
      {"empty.txt", ""}, {"bom.txt", "\xFF\xFE"}, {"binary.txt", binary}, {"cut.txt", test::Utf16File(cut)}};
  for (const auto& [name, bytes] : files) {
    test::WriteBytes(home / name, bytes);
    const auto [rc, errors] = home.RunCliErrors("write-config \"" + (home / name).string() + "\"", sim.root());
    EXPECT_EQ(rc, 2) << name;
    EXPECT_NE(errors.find("does not hold a complete configuration of its own"), std::string::npos) << errors;
    EXPECT_EQ(home.RunCli("write-config \"" + (home / name).string() + "\"", sim.root()).second, "") << name;
  }
  // Nothing reached the unit and nothing was logged as written.
  const fs::path after = home / "after.txt";
  ASSERT_EQ(home.RunCli("read-config -o \"" + after.string() + "\"", sim.root()).first, 0);
  EXPECT_EQ(ConfigurationLines(after), ConfigurationLines(before));
  EXPECT_EQ(test::ReadBytes(home / "Logs" / "logfile.txt").find("Successful Write"), std::string::npos);
  // The whole factory file is written.
  const auto [rc, out] =
      home.RunCli("write-config \"" + (home / "Configs" / "QR27_Factory.cfg").string() + "\"", sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("written: QR27-4W serial"), std::string::npos) << out;
}

}  // namespace
}  // namespace tolvane
