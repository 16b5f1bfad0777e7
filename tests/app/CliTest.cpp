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

// REGISTRY_FILE names a settings file in the models folder.
void UseSettingsFile(const test::PortableHome& home, const std::string& name) {
  std::string corporate = test::ReadBytes(home / "Models" / "Corporate_Model");
  const std::string key = "REGISTRY_FILE =";
  const std::size_t at = corporate.find(key);
  ASSERT_NE(at, std::string::npos);
  corporate.insert(at + key.size(), " " + name);
  test::WriteBytes(home / "Models" / "Corporate_Model", corporate);
}

TEST_F(Cli, SettingsGetFailsWithTheStoresCodeWhenTheSettingsCannotBeRead) {
  UseSettingsFile(home_, "Tolvane_Settings.txt");
  test::WriteBytes(home_ / "Models" / "Tolvane_Settings.txt", "PREF_UNITS = Feet\nGUIDE = TRUE\n");
  EXPECT_EQ(Run("settings get PREF_UNITS"), (std::pair<int, std::string>{0, "Feet\n"}));
  fs::remove(home_ / "Models" / "Tolvane_Settings.txt");
  const auto [rc, out] = Run("settings get PREF_UNITS");
  EXPECT_EQ(rc, 1);
  EXPECT_EQ(out, "") << "no value is printed";
  // The text-file reader's type check says so first.
  EXPECT_EQ(home_.RunCliErrors("settings get PREF_UNITS").second,
            "error: Error:  Cannot open file for Unicode type check.\nerror: cannot read PREF_UNITS (code 1)\n");
  EXPECT_EQ(home_.RunCliErrors("settings set PREF_UNITS Feet").second,
            "error: Error:  Cannot open file for Unicode type check.\nerror: cannot write PREF_UNITS (code 1)\n");
}

// A named pipe where a file is expected: every program refuses it at once.
class CliWithPipes : public Cli {
 protected:
  // Exit status of the command, 124 when it had to be stopped after 10 s.
  int RunLimited(const std::string& args) {
    return test::RunCommand("TOLVANE_HOME='" + home_.path().string() +
                            "' TOLVANE_DEVICE_ROOT=/nonexistent timeout 10 '" + TOLVANE_CLI_PATH + "' " + args +
                            " >/dev/null 2>&1")
        .first;
  }
  void PipeInPlaceOf(const fs::path& file) {
    fs::remove(file);
    ASSERT_TRUE(test::MakeFifo(file));
  }
};

TEST_F(CliWithPipes, TheLanguageFile) {
  PipeInPlaceOf(home_ / "Models" / "Tolvane_Language.txt");
  EXPECT_EQ(RunLimited("lang IDC_PNSN"), 2);
  EXPECT_EQ(RunLimited("model show '" + (home_ / "Models" / "QRModel_QR27.txt").string() + "'"), 0);
  EXPECT_EQ(RunLimited("identify --demo"), 0) << "the start goes on with empty texts";
}

TEST_F(CliWithPipes, TheSettingsValuesFile) {
  PipeInPlaceOf(home_ / "Settings/Software/Kestrine/Tolvane/01/values.reg");
  EXPECT_EQ(RunLimited("settings get GUIDE"), 1);
  EXPECT_EQ(RunLimited("settings set GUIDE TRUE"), 1);
  EXPECT_EQ(RunLimited("identify --demo"), 2) << "the settings cannot be loaded";
}

TEST_F(CliWithPipes, TheSettingsFileOfTheCorporateModel) {
  UseSettingsFile(home_, "Tolvane_Settings.txt");
  PipeInPlaceOf(home_ / "Models" / "Tolvane_Settings.txt");
  EXPECT_EQ(RunLimited("settings get GUIDE"), 1);
  EXPECT_EQ(RunLimited("settings set GUIDE TRUE"), 1);
  EXPECT_EQ(RunLimited("identify --demo"), 2);
}

TEST_F(CliWithPipes, TheInputOfEncryptAndDecrypt) {
  PipeInPlaceOf(home_ / "in.txt");
  EXPECT_EQ(RunLimited("model encrypt '" + (home_ / "in.txt").string() + "' '" + (home_ / "out.fmf").string() + "'"),
            1);
  EXPECT_EQ(RunLimited("model decrypt '" + (home_ / "in.txt").string() + "' '" + (home_ / "out.txt").string() + "'"),
            1);
  EXPECT_FALSE(fs::exists(home_ / "out.fmf"));
  EXPECT_FALSE(fs::exists(home_ / "out.txt"));
}

TEST_F(CliWithPipes, TheCorporateModel) {
  PipeInPlaceOf(home_ / "Models" / "Corporate_Model");
  EXPECT_EQ(RunLimited("settings get GUIDE"), 2);
}

}  // namespace
}  // namespace tolvane
