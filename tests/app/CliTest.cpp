// Runs tolvane-cli as a user would, on a portable tree made from the shipped
// data, against tolvane-sim on a pseudo-terminal.
#include <gtest/gtest.h>

#include "link/sim/SimProcess.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

class Cli : public ::testing::Test {
 protected:
  std::pair<int, std::string> Run(const std::string& args, const fs::path& deviceRoot = "/nonexistent") {
    return home_.RunCli(args, deviceRoot);
  }
  test::PortableHome home_;
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
  fs::remove(home_ / "Models" / "Tolvane_Language.txt");
  EXPECT_EQ(Run("lang IDC_PNSN").first, 2);
}

TEST_F(Cli, VersionAndHelp) {
  const auto [rc, out] = Run("--version");
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("tolvane-cli "), std::string::npos);
  EXPECT_EQ(Run("--help").first, 0);
}

TEST_F(Cli, IdentifyAndDumpTheSimulatedUnit) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr25"});
  ASSERT_TRUE(sim.Running());
  const auto [rc, json] = Run("identify --json", sim.root());
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(json,
            "{\"serial\": 250117, \"firmwareName\": \"QR25-LVL\", \"softwareRevision\": \"0102\", "
            "\"hardwareSerial\": 250117, \"hardwareModel\": \"QR25-2W\", \"modelFile\": \"QRModel_QR25.txt\", "
            "\"unitDescription\": " +
                json.substr(json.find("\"unitDescription\": ") + 19));
  EXPECT_NE(json.find("QR25"), json.rfind("QR25"));  // the description names the model too

  const auto [rcDump, dump] = Run("dump factory --hex", sim.root());
  EXPECT_EQ(rcDump, 0);
  EXPECT_NE(dump.find("QR25-L"), std::string::npos);
  const auto [rcWords, words] = Run("dump info", sim.root());
  EXPECT_EQ(rcWords, 0);
  EXPECT_NE(words.find("063: "), std::string::npos);  // 64 words of the information memory
  EXPECT_EQ(words.find("064: "), std::string::npos);
  EXPECT_EQ(Run("dump nowhere", sim.root()).first, 2);
  EXPECT_NE(
      test::ReadBytes(home_ / "Logs/logfile.txt").find(std::string("TOLVANE->Version ") + TOLVANE_VERSION + " Started"),
      std::string::npos);
}

TEST_F(Cli, IdentifyWithoutAdapterAndInDemonstration) {
  test::TempDir emptyRoot;
  fs::create_directories(emptyRoot / "sys/class/tty");
  EXPECT_EQ(Run("identify", emptyRoot.path()).first, 1);
  EXPECT_EQ(Run("identify").first, 2);  // no sysfs under the device root: adapters cannot be found here
  const auto [rc, out] = Run("identify --demo");
  EXPECT_EQ(rc, 0);
  EXPECT_NE(out.find("Hardware model:    QR27Demo"), std::string::npos);
  EXPECT_NE(out.find("Model file:        QRModel_QR27.txt"), std::string::npos);
}

TEST_F(Cli, SettingsRoundTrip) {
  EXPECT_EQ(Run("settings set PREF_UNITS Meters").first, 0);
  const auto [rc, value] = Run("settings get PREF_UNITS");
  EXPECT_EQ(rc, 0);
  EXPECT_EQ(value, "Meters\n");
  EXPECT_EQ(Run("settings get NO_SUCH_VALUE").first, 1);
  // A removed key is made again by the next start, as the installation made it.
  fs::remove_all(home_ / "Settings/Software");
  EXPECT_EQ(Run("settings set PREF_UNITS Feet").first, 0);
  EXPECT_EQ(Run("settings get VERSION").second, std::string(TOLVANE_VERSION) + "\n");
  // A key that cannot be made: the setting cannot be written.
  fs::remove_all(home_ / "Settings/Software");
  test::WriteBytes(home_ / "Settings/Software", "not a folder");
  EXPECT_EQ(Run("settings set PREF_UNITS Feet").first, 1);
}

}  // namespace
}  // namespace tolvane
