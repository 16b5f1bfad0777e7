// The three programs as a new user starts them from the build: the switches
// that need no display, and the first start that makes the user's tree.
#include <gtest/gtest.h>

#include "link/sim/SimProcess.h"
#include "support/TestSupport.h"

namespace tolvane {
namespace {

namespace fs = std::filesystem;

// A user with an empty home and no display; the program is started with
// `env` (more variables) and `args`. Exit status, standard output and error.
struct RUN {
  int status;
  std::string out;
  std::string err;
};

class NewUser : public ::testing::Test {
 protected:
  RUN Start(const std::string& program, const std::string& args, const std::string& env = "") {
    const fs::path err = dir_ / "stderr.txt";
    const auto [status, out] = test::RunCommand("env -i PATH=/usr/bin:/bin HOME='" + Home().string() + "' " + env +
                                                " '" + program + "' " + args + " 2>'" + err.string() + "'");
    return {status, out, test::ReadBytes(err)};
  }
  fs::path Home() const { return dir_ / "home"; }
  test::TempDir dir_;
};

TEST_F(NewUser, HelpAndVersionOfEveryProgramNeedNoDisplay) {
  if (std::string_view(TOLVANE_GUI_PATH).empty()) {
    GTEST_SKIP() << "built without the window program";
  }
  const RUN help = Start(TOLVANE_GUI_PATH, "--help");
  EXPECT_EQ(help.status, 0) << help.err;
  EXPECT_TRUE(help.out.starts_with("Usage: tolvane ")) << help.out;
  EXPECT_NE(help.out.find("--register"), std::string::npos);
  EXPECT_NE(help.out.find("tolvane: ignoring the argument"), std::string::npos);
  EXPECT_EQ(Start(TOLVANE_GUI_PATH, "/?").out, help.out);
  EXPECT_EQ(Start(TOLVANE_GUI_PATH, "--register -h").out, help.out);  // help wins over an action

  for (const std::string program : {TOLVANE_GUI_PATH, TOLVANE_CLI_PATH, TOLVANE_SIM_PATH}) {
    const RUN version = Start(program, "--version");
    EXPECT_EQ(version.status, 0) << program << ": " << version.err;
    EXPECT_EQ(version.out, fs::path(program).filename().string() + " " + TOLVANE_VERSION + "\n");
  }
  EXPECT_TRUE(Start(TOLVANE_CLI_PATH, "--help").out.starts_with("Tolvane command-line tool"));
  EXPECT_NE(Start(TOLVANE_SIM_PATH, "--help").out.find("Usage: tolvane-sim "), std::string::npos);
  // Printing help makes nothing in the user's home.
  EXPECT_TRUE(!fs::exists(Home()) || fs::is_empty(Home()));
}

TEST_F(NewUser, RegisterAndUnregisterWithoutADisplay) {
  if (std::string_view(TOLVANE_GUI_PATH).empty()) {
    GTEST_SKIP() << "built without the window program";
  }
  const RUN reg = Start(TOLVANE_GUI_PATH, "--register");
  EXPECT_EQ(reg.status, 0) << reg.err;
  const fs::path entry = Home() / ".local/share/applications/tolvane.desktop";
  EXPECT_EQ(reg.out, "tolvane: registered " + entry.string() + "\n");
  const std::string text = test::ReadBytes(entry);
  EXPECT_NE(text.find("\nExec=\"" + std::string(TOLVANE_GUI_PATH) + "\"\n"), std::string::npos) << text;
  EXPECT_NE(text.find("\nVersion=1.4\n"), std::string::npos);
  EXPECT_TRUE(fs::is_regular_file(Home() / ".local/share/icons/hicolor/256x256/apps/tolvane.png"));
  EXPECT_EQ(test::ReadBytes(Home() / ".local/share/icons/hicolor/256x256/apps/tolvane.png").substr(1, 3), "PNG");

  const RUN unreg = Start(TOLVANE_GUI_PATH, "-Unregister");
  EXPECT_EQ(unreg.status, 0) << unreg.err;
  EXPECT_FALSE(fs::exists(entry));
  EXPECT_FALSE(fs::exists(Home() / ".local/share/icons/hicolor/256x256/apps/tolvane.png"));

  // A data folder below a plain file: the registration fails and says where.
  test::WriteBytes(dir_ / "plain", "x");
  const RUN blocked = Start(TOLVANE_GUI_PATH, "--register", "XDG_DATA_HOME='" + (dir_ / "plain").string() + "'");
  EXPECT_EQ(blocked.status, 1);
  EXPECT_NE(blocked.err.find((dir_ / "plain").string()), std::string::npos) << blocked.err;
}

TEST_F(NewUser, TheBuildsProgramsRunForAUserWithoutAnySetUp) {
  link::sim::SimProcess sim(TOLVANE_SIM_PATH, {"--identity", "qr30"});
  ASSERT_TRUE(sim.Running());
  const RUN identify = Start(TOLVANE_CLI_PATH, "identify", "TOLVANE_DEVICE_ROOT='" + sim.root().string() + "'");
  EXPECT_EQ(identify.status, 0) << identify.err;
  EXPECT_NE(identify.out.find("Model file:        QRModel_QR30.fmf"), std::string::npos) << identify.out;
  EXPECT_TRUE(fs::is_directory(Home() / ".local/share/tolvane/Programs"));
  EXPECT_TRUE(fs::is_regular_file(Home() / "Documents/tolvane/Configs/QR30_Factory.cfg"));
  EXPECT_NE(test::ReadBytes(Home() / ".config/tolvane/Software/Kestrine/Tolvane/01/values.reg")
                .find(std::string("VERSION\t") + TOLVANE_VERSION + "\n"),
            std::string::npos);
  EXPECT_NE(test::ReadBytes(Home() / ".local/share/tolvane/Logs/logfile.txt")
                .find(std::string("TOLVANE->Version ") + TOLVANE_VERSION + " Started"),
            std::string::npos);
}

TEST_F(NewUser, AFolderThatCannotBeMadeIsNamedAndTheCommandGoesOn) {
  test::WriteBytes(dir_ / "plain", "x");
  const fs::path data = dir_ / "plain/data";
  const RUN demo = Start(TOLVANE_CLI_PATH, "identify --demo", "XDG_DATA_HOME='" + data.string() + "'");
  EXPECT_EQ(demo.status, 0) << demo.err;
  EXPECT_NE(demo.err.find("error: Cannot create the folder " + (data / "tolvane/Models").string() + ": "),
            std::string::npos)
      << demo.err;
  EXPECT_NE(demo.out.find("QR27Demo"), std::string::npos);

  // Without the settings key the start fails as the program says it does.
  const RUN noKey = Start(TOLVANE_CLI_PATH, "identify --demo", "XDG_CONFIG_HOME='" + (dir_ / "plain").string() + "'");
  EXPECT_EQ(noKey.status, 2);
  EXPECT_NE(noKey.err.find("Cannot create the settings key"), std::string::npos) << noKey.err;
  EXPECT_NE(noKey.err.find("(error 1)"), std::string::npos) << noKey.err;
}

}  // namespace
}  // namespace tolvane
