// tolvane-cli read-config -o and diff as a user runs them, against tolvane-sim.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <string>

#include "common/Encoding.h"
#include "link/sim/SimProcess.h"
#include "link/sim/SimSensor.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

std::string Quoted(const fs::path& p) { return "'" + p.string() + "'"; }

class ConfigFileCli : public ::testing::Test {
 protected:
  std::pair<int, std::string> Run(const std::string& args, const fs::path& deviceRoot) {
    return home_.RunCli(args, deviceRoot);
  }
  test::PortableHome home_{TOLVANE_PROTECTED_MODELS_DIR};
};

// The text of a UTF-16 file with byte-order mark.
std::string Utf16Text(const fs::path& file) {
  const std::string bytes = test::ReadBytes(file);
  EXPECT_EQ(bytes.substr(0, 2), "\xFF\xFE") << file;
  return Utf16LeToUtf8(bytes.size() >= 2 ? bytes.substr(2) : std::string());
}

// `text` with the line `from` (without its line end) replaced by `to`.
std::string Replaced(std::string text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from + "\r\n");
  EXPECT_NE(at, std::string::npos) << from;
  return at == std::string::npos ? text : text.replace(at, from.size(), to);
}

TEST_F(ConfigFileCli, ReadConfigWritesTheUnitsConfigurationAsAFile) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  const fs::path file = home_ / "Unit 270042.txt";
  auto [rc, out] = Run("read-config -o " + Quoted(file), sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(out, "") << "no listing with -o";
  const std::string text = Utf16Text(file);
  for (const char* line :
       {"'Configuration File for:\r\n  MODEL = QR27-4W\r\n  SERIAL = 270042\r\n  FIRMWARE = QR27-LVL\r\n"
        "  SW REV = 515\r\n",
        "  MDL FILE NAME = QRModel_QR27.txt\r\n", "  CONFIG[2] = 1\t\t' Relay 1 Function = Lo Alarm\r\n",
        "  'Configuration Number = 1\r\n", "  ADVANCED[2] = -1.0\r\n", "  UNITS = 0\t\t' Inches\r\n",
        "  SENSORHEIGHT = 200.0\r\n", "  LEVEL[4] = 160.0\t' Relay 2 Hi Alarm\r\n", "  NONLINEAR = FALSE\r\n"}) {
    EXPECT_NE(text.find(line), std::string::npos) << line << "in\n" << text;
  }

  // In other units; and the file agrees with the unit.
  std::tie(rc, out) = Run("read-config --units Millimeters -o " + Quoted(file), sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_NE(Utf16Text(file).find("  UNITS = 2\t\t' Millimeters\r\n\r\n'Levels -\r\n  SENSORHEIGHT = 5080.0\r\n"),
            std::string::npos);
  std::tie(rc, out) = Run("diff " + Quoted(file), sim.root());
  EXPECT_EQ(rc, 0) << out;
  EXPECT_EQ(out, "");

  // The listing is what it always was.
  std::tie(rc, out) = Run("read-config", sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("Units:          Inches\n"), std::string::npos) << out;

  // A file that cannot be written: status 2, and what was there stays.
  EXPECT_EQ(Run("read-config -o " + Quoted(home_ / "missing" / "x.txt"), sim.root()).first, 2);
  fs::create_directories(home_ / "folder" / "inside");
  EXPECT_EQ(Run("read-config -o " + Quoted(home_ / "folder"), sim.root()).first, 2);
  EXPECT_TRUE(fs::is_directory(home_ / "folder" / "inside"));
}

TEST_F(ConfigFileCli, DiffListsEachFieldThatDiffers) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  const fs::path file = home_ / "unit.txt";
  ASSERT_EQ(Run("read-config --units Feet -o " + Quoted(file), sim.root()).first, 0);

  // The same configuration with three fields changed, saved as 8-bit text.
  std::string text = Utf16Text(file);
  text = Replaced(text, "  SENSORHEIGHT = 16.7", "  SENSORHEIGHT = 17.7");
  text = Replaced(text, "  TANK DESCRIPTION = Simulated QR27 unit", "  TANK DESCRIPTION = Changed notes");
  text = Replaced(text, "'Advanced Entries -", "'Advanced Entries -\r\n  ADVANCED[3] = 45.0");
  test::WriteBytes(home_ / "changed.txt", text);

  auto [rc, out] = Run("diff " + Quoted(home_ / "changed.txt"), sim.root());
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(out,
            "Sensor height: file \"17.7\", unit \"16.7\"\n"
            "Fail-Safe Delay: file \"45\", unit \"off\"\n"
            "Notes: file \"Changed notes\", unit \"Simulated QR27 unit\"\n");

  // Errors are neither agreement nor difference.
  EXPECT_EQ(Run("diff " + Quoted(home_ / "none.txt"), sim.root()).first, 2);
  EXPECT_EQ(Run("diff " + Quoted(fs::path(TOLVANE_SOURCE_DATA) / "Configs" / "QR30_Factory.cfg"), sim.root()).first, 2);
  EXPECT_EQ(Run("diff " + Quoted(home_.path()), sim.root()).first, 2);
  EXPECT_NE(Run("diff", sim.root()).first, 0);  // no file named

  // The shipped factory file is another configuration than the simulated unit's.
  std::tie(rc, out) = Run("diff " + Quoted(fs::path(TOLVANE_SOURCE_DATA) / "Configs" / "QR27_Factory.cfg"), sim.root());
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("Sensor height: file \"144.0\", unit \""), std::string::npos) << out;
}

// A tank whose levels are kept in gallons: the file names a volume unit of its
// tank shape, which is known only once the shape's definition is loaded.
// Written, compared and read back through the same strapping table.
TEST_F(ConfigFileCli, LevelsInVolumeUnitsGoThroughTheTanksTable) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr27"});
  ASSERT_TRUE(sim.Running());
  const fs::path unit = home_ / "unit.txt";
  ASSERT_EQ(Run("read-config -o " + Quoted(unit), sim.root()).first, 0);
  // A horizontal cylinder of 60 in diameter and 120 in length holds about
  // 1469 gallons; with the sensor 60 in above its bottom the highest fill
  // height (60 - 12 in) holds about 1260.
  std::string text = Utf16Text(unit);
  text = Replaced(text, "  UNITS = 0\t\t' Inches", "  UNITS = 5\t\t' Gallons");
  text = Replaced(text, "  SENSORHEIGHT = 200.0", "  SENSORHEIGHT = 60.0");
  text = Replaced(text, "  FILLHEIGHT = 180.0", "  FILLHEIGHT = 45.0");
  text = Replaced(text, "  LEVEL[5] = 175.0\t' Hi Span (Full)", "  LEVEL[5] = 1000.0\t' Hi Span (Full)");
  text = Replaced(text, "  LEVEL[4] = 160.0\t' Relay 2 Hi Alarm", "  LEVEL[4] = 900.0\t' Relay 2 Hi Alarm");
  text = Replaced(text, "  LEVEL[1] = 30.0\t' Relay 1 Lo Alarm", "  LEVEL[1] = 100.0\t' Relay 1 Lo Alarm");
  text = Replaced(text, "  LEVEL[0] = 10.0\t' Lo Span (Empty)", "  LEVEL[0] = 20.0\t' Lo Span (Empty)");
  const std::string tank =
      Replaced(text, "  NONLINEAR = FALSE", "  NONLINEAR = TRUE\r\n  NLTYPE = 1\r\n  D[0] = 60.0\r\n  D[1] = 120.0");
  test::WriteBytes(home_ / "tank.txt", tank);

  // Before the write the unit's levels, shown in the file's gallons, differ.
  auto [rc, out] = Run("diff " + Quoted(home_ / "tank.txt"), sim.root());
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("Relay 1 Lo Alarm: file \""), std::string::npos) << out;

  std::tie(rc, out) = Run("write-config " + Quoted(home_ / "tank.txt"), sim.root());
  ASSERT_EQ(rc, 0) << out;
  std::tie(rc, out) = Run("diff " + Quoted(home_ / "tank.txt"), sim.root());
  EXPECT_EQ(rc, 0) << out;

  // Read back in gallons with the shape named: the levels within the
  // table's rounding, the shape saved with the file.
  std::tie(rc, out) = Run("read-config --tank-type 1 --units Gallons", sim.root());
  ASSERT_EQ(rc, 0) << out;
  EXPECT_NE(out.find("Units:          Gallons\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Sensor height:  60.0 Inches\n"), std::string::npos) << out;
  EXPECT_NE(out.find("Tank shape:     type 1, Horizontal cylinder"), std::string::npos) << out;
  EXPECT_NE(out.find("Tank dimensions: 60.0, 120.0,"), std::string::npos) << out;
  for (const auto& [label, gallons] : {std::pair{"Hi Span (Full):", 1000.0}, std::pair{"Relay 1 Lo Alarm:", 100.0}}) {
    const std::size_t at = out.find(label);
    ASSERT_NE(at, std::string::npos) << label;
    EXPECT_NEAR(std::stod(out.substr(at + 23)), gallons, 1.5) << label;
  }
  const fs::path back = home_ / "back.txt";
  ASSERT_EQ(Run("read-config --tank-type 1 --units Gallons -o " + Quoted(back), sim.root()).first, 0);
  const std::string backText = Utf16Text(back);
  EXPECT_NE(backText.find("  UNITS = 5\t\t' Gallons\r\n"), std::string::npos) << backText;
  EXPECT_NE(backText.find("  NONLINEAR = TRUE\r\n  NLTYPE = 1\r\n  D[0] = 60.0\r\n  D[1] = 120.0\r\n"),
            std::string::npos)
      << backText;
  std::tie(rc, out) = Run("diff " + Quoted(back), sim.root());
  EXPECT_EQ(rc, 0) << out;

  // The highest fill height holds about 1260 gallons: a level above it is
  // refused in volume units as it is in inches, and nothing is written.
  test::WriteBytes(home_ / "over.txt",
                   Replaced(tank, "  LEVEL[5] = 1000.0\t' Hi Span (Full)", "  LEVEL[5] = 1300.0\t' Hi Span (Full)"));
  EXPECT_EQ(Run("write-config " + Quoted(home_ / "over.txt"), sim.root()).first, 1);
  std::tie(rc, out) = Run("diff " + Quoted(home_ / "tank.txt"), sim.root());
  EXPECT_EQ(rc, 0) << out;

  // What cannot be computed is refused, not compared or written in inches.
  EXPECT_EQ(Run("read-config --units Gallons", sim.root()).first, 2);
  EXPECT_EQ(Run("read-config --tank-type 1 --units Hogsheads", sim.root()).first, 2);
  EXPECT_EQ(Run("read-config --tank-type 77", sim.root()).first, 2);
  const std::string unknown = Replaced(tank, "  NLTYPE = 1", "  NLTYPE = 77");
  test::WriteBytes(home_ / "unknown.txt", unknown);
  EXPECT_EQ(Run("diff " + Quoted(home_ / "unknown.txt"), sim.root()).first, 2);
  EXPECT_EQ(Run("write-config " + Quoted(home_ / "unknown.txt"), sim.root()).first, 2);
  std::tie(rc, out) = Run("diff " + Quoted(home_ / "tank.txt"), sim.root());
  EXPECT_EQ(rc, 0) << out;
}

TEST_F(ConfigFileCli, WithoutAUnitOrAModelThereIsNothingToCompare) {
  test::TempDir emptyRoot;
  fs::create_directories(emptyRoot / "sys/class/tty");
  const fs::path shipped = fs::path(TOLVANE_SOURCE_DATA) / "Configs" / "QR27_Factory.cfg";
  EXPECT_EQ(Run("diff " + Quoted(shipped), emptyRoot.path()).first, 4);
  EXPECT_EQ(Run("diff " + Quoted(shipped), "/nonexistent").first, 4);

  // A unit whose page holds no valid configuration: no file is written.
  link::sim::SimOptions options;
  options.identity = *link::sim::ShippedIdentity("qr25");
  link::sim::CSimSensor unit(options, std::chrono::steady_clock::now());
  unit.Page(1)[20] = 99;
  const fs::path state = home_ / "unit.state";
  ASSERT_TRUE(unit.SaveState(state));
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--state", state.string()});
  ASSERT_TRUE(sim.Running());
  EXPECT_EQ(Run("read-config -o " + Quoted(home_ / "bad.txt"), sim.root()).first, 1);
  EXPECT_FALSE(fs::exists(home_ / "bad.txt"));
  // The diff still compares it, item by item.
  const auto [rc, out] =
      Run("diff " + Quoted(fs::path(TOLVANE_SOURCE_DATA) / "Configs" / "QR25_Factory.cfg"), sim.root());
  EXPECT_EQ(rc, 1);
  EXPECT_NE(out.find("Loop Alarm: file \"None\", unit \"<Select>\"\n"), std::string::npos) << out;
}

}  // namespace
}  // namespace tolvane
